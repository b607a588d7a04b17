#include <gtest/gtest.h>

#include <regex>

#include "cli_runner.h"
#include "hivora_version.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class BackupCommands : public testing::Test {
protected:
    BackupCommands() : m_cli(m_dir) {}
    void SetUp() override { ASSERT_TRUE(m_cli.Ok()); }

    DWORD Run(const std::string& args) { return m_cli.Run(args, m_out, m_err); }

    TempDir m_dir;
    CliCopy m_cli;
    std::string m_out, m_err;
};

} // namespace

TEST_F(BackupCommands, ListOneLinePerSet)
{
    EXPECT_EQ(Run("backups"), 0u);
    EXPECT_EQ(m_out, "");
    m_dir.WriteFile("Backup\\HVBak_May_01_08_10_00_00.reg", "REGEDIT4");
    m_dir.WriteFile("Backup\\HVBak_May_01_08_10_00_00.bak", "a,b");
    m_dir.WriteFile("Backup\\HVBak_Empty.reg", "");
    EXPECT_EQ(Run("backups"), 0u);
    EXPECT_TRUE(std::regex_match(m_out, std::regex("HVBak_May_01_08_10_00_00  [A-Z][a-z]+ \\d\\d, \\d{4} "
                                                   "\\(\\d\\d:\\d\\d:\\d\\d\\)\n")))
        << m_out;
    EXPECT_EQ(Run("backups extra"), 2u);
}

TEST_F(BackupCommands, RestoreMovesTheFilesBackAndReportsTheCount)
{
    const std::string place = m_dir / "Desktop, Old\\a.lnk";
    CreateDirectoryA((m_dir / "Desktop, Old").c_str(), nullptr);
    const std::string set = m_dir / "Backup\\HVBak_X";
    m_dir.WriteFile("Backup\\HVBak_X\\a.lnk", "A");
    m_dir.WriteFile("Backup\\HVBak_X.bak", place + "," + set + "\\a.lnk\n");

    EXPECT_EQ(Run("restore HVBak_Nope"), 2u);
    EXPECT_NE(m_err.find("unknown backup set 'HVBak_Nope'"), std::string::npos) << m_err;
    EXPECT_TRUE(Exists(set + ".bak"));

    EXPECT_EQ(Run("restore hvbak_x"), 0u) << m_err;
    EXPECT_EQ(m_out, "1 Item(s) have been successfully restored\n");
    EXPECT_EQ(ReadFileText(place), "A");
    EXPECT_FALSE(Exists(set));
    EXPECT_FALSE(Exists(set + ".bak"));

    EXPECT_EQ(Run("restore"), 1u);
    EXPECT_EQ(m_err, "Restore Error \n\n There Are No Items To Restore.\n");
}

TEST_F(BackupCommands, RestoreFailsWhenNothingComesBack)
{
    m_dir.WriteFile("Backup\\HVBak_Bad.reg", "this is no registry file");
    EXPECT_EQ(Run("restore HVBak_Bad"), 1u);
    EXPECT_NE(m_err.find("not restored: HVBak_Bad:"), std::string::npos) << m_err;
    EXPECT_NE(m_err.find("Could not restore\n"), std::string::npos) << m_err;
    EXPECT_TRUE(Exists(m_dir / "Backup\\HVBak_Bad.reg"));
    EXPECT_EQ(Run("restore"), 2u);
    EXPECT_NE(m_err.find("Please Select At Least One Item To Restore"), std::string::npos) << m_err;
}

TEST_F(BackupCommands, RemoveDeletesEveryPartOfTheSet)
{
    m_dir.WriteFile("Backup\\HVBak_X.reg", "REGEDIT4");
    m_dir.WriteFile("Backup\\HVBak_X.bak", "a,b");
    m_dir.WriteFile("Backup\\HVBak_X\\a.lnk");
    EXPECT_EQ(Run("remove HVBak_Y"), 2u);
    EXPECT_EQ(Run("remove HVBak_X"), 0u) << m_err;
    EXPECT_EQ(m_out, "Removed HVBak_X\n");
    EXPECT_FALSE(Exists(m_dir / "Backup\\HVBak_X"));
    EXPECT_FALSE(Exists(m_dir / "Backup\\HVBak_X.reg"));
    EXPECT_EQ(Run("remove"), 1u);
    EXPECT_EQ(m_err, "Remove Error \n\n There Are No Items To Remove.\n");
}

TEST_F(BackupCommands, StatsShowsThePageFigures)
{
    m_dir.WriteFile("ignorelist.dat", "3\nHKEY_LOCAL_MACHINE\\a\\|\n3\nHKEY_LOCAL_MACHINE\\b\\|\n2\nx\n");
    EXPECT_EQ(Run("stats"), 0u) << m_err;
    EXPECT_NE(m_out.find("Error(s) Found Till Date:"), std::string::npos) << m_out;
    EXPECT_NE(m_out.find("Version:                     " HIVORA_VERSION "\n"), std::string::npos) << m_out;
    EXPECT_TRUE(std::regex_search(m_out, std::regex("\nShared Dlls +-?\\d+ +-?\\d+ +2\n"))) << m_out;
    EXPECT_TRUE(std::regex_search(m_out, std::regex("\nFont Entries +-?\\d+ +-?\\d+ +1\n"))) << m_out;
    EXPECT_TRUE(std::regex_search(m_out, std::regex("\nSound & App Events +-?\\d+ +-?\\d+ +0\n"))) << m_out;
    EXPECT_EQ(Run("stats now"), 2u);
}

TEST_F(BackupCommands, CommandsThatCannotWriteSaySoAndChangeNothing)
{
    const auto refused = [&](const std::string& args, const std::string& what) {
        const DWORD code = Run(args);
        EXPECT_EQ(code, 1u) << args;
        EXPECT_EQ(m_out, "") << args;
        // One line, naming what cannot be written.
        EXPECT_EQ(m_err.find("hivora-cli: cannot write " + what), 0u) << args << ": " << m_err;
        EXPECT_EQ(m_err.find('\n'), m_err.size() - 1) << m_err;
        EXPECT_NE(m_err.find("administrator"), std::string::npos) << m_err;
    };
    // Where the program keeps its log, backups and ignore list stand things it cannot write into.
    m_dir.WriteFile("Logs", "not a folder");
    m_dir.WriteFile("Backup\\HVBak_X.reg", "REGEDIT4\n");
    CreateDirectoryA((m_dir / "ignorelist.dat").c_str(), nullptr);
    refused("scan --categories=fonts", "its log in " + m_dir.Path() + "\\Logs");
    refused("repair --categories=fonts --dry-run", "its log in");
    refused("restore HVBak_X", "its log in");
    refused("ignore add fonts HKEY_LOCAL_MACHINE\\Software\\Fonts Example example.ttf", "its log in");
    refused("ignore remove 1", "the ignore list " + m_dir.Path() + "\\ignorelist.dat");
    EXPECT_EQ(ReadFileText(m_dir / "Logs"), "not a folder");

    DeleteFileA((m_dir / "Logs").c_str());
    CreateDirectoryA((m_dir / "Logs").c_str(), nullptr);
    RemoveDirectoryA((m_dir / "ignorelist.dat").c_str());
    RemoveTree(m_dir / "Backup");
    m_dir.WriteFile("Backup", "not a folder");
    refused("repair --categories=fonts", "backup sets in " + m_dir.Path() + "\\Backup");
    refused("remove HVBak_X", "backup sets in");
    EXPECT_EQ(ReadFileText(m_dir / "Backup"), "not a folder");
    // Nothing was logged, nothing added to the ignore list.
    EXPECT_FALSE(Exists(m_dir / "ignorelist.dat"));
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA((m_dir / "Logs\\*.log").c_str(), &entry);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);

    // Commands that write nothing run as ever.
    EXPECT_EQ(Run("ignore list"), 0u) << m_err;
    EXPECT_EQ(Run("backups"), 0u) << m_err;
}
