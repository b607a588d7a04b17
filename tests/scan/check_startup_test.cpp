#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/com_ptr.h"
#include "framework/ascii.h"
#include "framework/format.h"
#include "framework/known_folder.h"
#include "framework/wide_text.h"
#include "links.h"
#include "problems.h"
#include "shortcut.h"
#include "sandbox.h"
#include "scan/check_support.h"
#include "scan/checks.h"
#include "scan/scan_user.h"
#include "scan/scanner.h"
#include "scan/sync_folder.h"
#include "scope_guard.h"
#include "tempdir.h"

namespace {

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kMenuOrder = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder";

class StartupChecks : public testing::Test {
protected:
    StartupChecks() { g_arrProblems.clear(); }
    ~StartupChecks() override { g_arrProblems.clear(); }

    // "key|value name|data" of every problem reported, in order.
    static std::vector<std::string> Found(REGPROBLEM_TYPE type)
    {
        return ProblemLines(type);
    }
    // The same, sorted, for walks whose order the registry decides.
    static std::vector<std::string> SortedFound(REGPROBLEM_TYPE type)
    {
        std::vector<std::string> found = Found(type);
        std::sort(found.begin(), found.end());
        return found;
    }

    RegistrySandbox sandbox;
    TempDir temp;
    CRegistryScanner engine;
};

TEST_F(StartupChecks, RunListsTestTheProgramOfEachCommandLine)
{
    const std::string app = temp.WriteFile("Tools\\app.exe");
    const std::string gone = temp / "gone.exe";
    SetString("HKEY_LOCAL_MACHINE\\" + kRun, "Gone", "\"" + gone + "\" /background");
    SetString("HKEY_LOCAL_MACHINE\\" + kRun, "Quoted", "\"" + app + "\" -minimized");
    SetString("HKEY_LOCAL_MACHINE\\" + kRun, "OnPath", "cmd.exe /c exit");
    SetString("HKEY_CURRENT_USER\\" + kRun, "Tray", app + ",2");
    SetString("HKEY_CURRENT_USER\\" + kRun, "Missing", gone);

    CheckStartup(engine);

    // The machine list's first value is examined like every other.
    EXPECT_EQ(Found(RPT_STARTUP), (std::vector<std::string>{
                                      "HKEY_LOCAL_MACHINE\\" + kRun + "|Gone|\"" + gone + "\" /background",
                                      "HKEY_CURRENT_USER\\" + kRun + "|Missing|" + gone,
                                  }));
    EXPECT_EQ(engine.Found(RPT_STARTUP), 2);
}

TEST_F(StartupChecks, MenuOrderEntriesMustExistInOneProgramsFolder)
{
    char userPrograms[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, userPrograms, CSIDL_PROGRAMS, TRUE));
    const std::string userOnly = Format("Hivora user entry %lu", GetCurrentProcessId());
    const std::string userEntry = std::string(userPrograms) + "\\" + userOnly;
    ASSERT_TRUE(CreateDirectoryA(userEntry.c_str(), nullptr));
    const std::string allUsers = temp / "All Programs";
    temp.WriteFile("All Programs\\Shared Tool\\tool.lnk");
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
              "Common Programs", allUsers);
    for (const char* menu : {"\\Start Menu\\Programs\\", "\\Start Menu2\\Programs\\"}) {
        CreateKey(kMenuOrder + menu + "Shared Tool");
        CreateKey(kMenuOrder + menu + userOnly);
        CreateKey(kMenuOrder + menu + "Removed Game");
    }

    CheckStartup(engine);
    RemoveDirectoryA(userEntry.c_str());

    const std::string removed = "|Removed Game|" + allUsers + "\\Removed Game";
    EXPECT_EQ(Found(RPT_STARTUP), (std::vector<std::string>{
                                      kMenuOrder + "\\Start Menu\\Programs" + removed,
                                      kMenuOrder + "\\Start Menu2\\Programs" + removed,
                                  }));
}

class FilePathChecks : public StartupChecks {};

TEST_F(FilePathChecks, ValuesAreExaminedOnlyInKeysWithOneOrTwoSubkeys)
{
    const std::string gone = temp / "gone\\setup.exe";
    for (const char* key : {"None", "One\\A", "Two\\A", "Two\\B", "Three\\A", "Three\\B", "Three\\C"})
        CreateKey(std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\HivoraFp\\") + key);
    for (const char* key : {"None", "One", "Two", "Three"})
        SetString(std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\HivoraFp\\") + key, "Target", gone + " /q");
    SetString("HKEY_USERS\\S-1-5-21\\Software\\Vendor\\Child", "Ignored", gone);
    SetString("HKEY_USERS\\S-1-5-21\\Software\\Vendor", "Target", "\"" + gone + "\" /x");

    CheckFilePaths(engine);

    EXPECT_EQ(Found(RPT_FILE_PATHS), (std::vector<std::string>{
                                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\HivoraFp\\One|Target|" + gone + " /q",
                                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\HivoraFp\\Two|Target|" + gone + " /q",
                                         "HKEY_USERS\\S-1-5-21\\Software\\Vendor|Target|" + gone,
                                     }));
}

TEST_F(FilePathChecks, OnlyDrivePathsToMissingFilesAreReported)
{
    const std::string present = temp.WriteFile("Present Dir\\tool.exe");
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\HivoraFp\\Values";
    CreateKey(key + "\\Child");
    SetString(key, "Present", "\"" + present + "\" --flag");
    SetString(key, "Wildcard", temp / "gone\\*.tmp");
    SetString(key, "Question", temp / "gone\\file?.dat");
    SetString(key, "Relative", "gone\\setup.exe");
    SetString(key, "Expanded", "%SystemRoot%\\hivora-gone.exe -run");
    SetString(key, "ExpandedPresent", "\"%SystemRoot%\\system32\\cmd.exe\" /c");
    SetString(key, "Short", "C:");
    const std::string binary = temp / "gone\\data.bin";
    SetBinary(key, "Binary", REG_BINARY, binary);

    CheckFilePaths(engine);

    char windows[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableA("SystemRoot", windows, sizeof windows), 0u);
    // The value type is not looked at: binary data that reads as a drive path is tested too.
    EXPECT_EQ(SortedFound(RPT_FILE_PATHS), (std::vector<std::string>{
                                               key + "|Binary|" + binary,
                                               key + "|Expanded|" + windows + "\\hivora-gone.exe -run",
                                     }));
}

// Another user's values that need the environment are expanded with this process's: they cannot be
// checked, while the same value in the process user's own hive is.
TEST_F(FilePathChecks, EnvironmentTextInAnotherUsersHiveCannotBeChecked)
{
    ASSERT_FALSE(ProcessUserSid().empty());
    for (const std::string& hive : {ProcessUserSid(), std::string("S-1-5-21-7-7-7-1001"), std::string(".DEFAULT")}) {
        CreateKey("HKEY_USERS\\" + hive + "\\Software\\HivoraFp\\Values\\Child");
        SetString("HKEY_USERS\\" + hive + "\\Software\\HivoraFp\\Values", "Expanded", "%SystemRoot%\\hivora-gone.exe");
    }

    CheckFilePaths(engine);

    char windows[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableA("SystemRoot", windows, sizeof windows), 0u);
    EXPECT_EQ(SortedFound(RPT_FILE_PATHS),
              (std::vector<std::string>{"HKEY_USERS\\" + ProcessUserSid() + "\\Software\\HivoraFp\\Values|Expanded|" +
                                        windows + "\\hivora-gone.exe"}));
}

TEST(ScanUser, TheNoticeNamesBothUsersOnlyWhenTheyDiffer)
{
    EXPECT_EQ(OtherUserNotice("PC\\Admin", "PC\\Ann"),
              "Hivora runs as PC\\Admin, not as PC\\Ann, who is signed in: the per-user settings it scans are those "
              "of PC\\Admin.");
    EXPECT_EQ(OtherUserNotice("PC\\Ann", "pc\\ANN"), "");
    EXPECT_EQ(OtherUserNotice("PC\\Admin", ""), "");
    EXPECT_TRUE(IsOtherUsersHive("HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software", "S-1-5-21-1-2-3-1000"));
    EXPECT_TRUE(IsOtherUsersHive("HKEY_USERS\\.DEFAULT\\Software", "S-1-5-21-1-2-3-1000"));
    EXPECT_FALSE(IsOtherUsersHive("HKEY_USERS\\S-1-5-21-1-2-3-1000\\Software", "S-1-5-21-1-2-3-1000"));
    EXPECT_FALSE(IsOtherUsersHive("HKEY_USERS\\s-1-5-21-1-2-3-1000_Classes\\x", "S-1-5-21-1-2-3-1000"));
    EXPECT_FALSE(IsOtherUsersHive("HKEY_LOCAL_MACHINE\\SOFTWARE", "S-1-5-21-1-2-3-1000"));
}

TEST_F(FilePathChecks, StopEndsTheWalk)
{
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\HivoraFp\\One", "Target", temp / "gone.exe");
    CreateKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\HivoraFp\\One\\A");
    engine.RequestStop();

    CheckFilePaths(engine);

    EXPECT_TRUE(Found(RPT_FILE_PATHS).empty());
}

// Shortcut files made the way the shell makes them.
class ShortcutChecks : public StartupChecks {
protected:
    ComApartment com;
};

TEST_F(ShortcutChecks, BrokenShortcutsAreReportedByFilePath)
{
    const std::string target = temp.WriteFile("Programs\\app.exe");
    const std::string doomed = temp.WriteFile("Programs\\old.exe");
    CreateDirectoryA((temp / "Links").c_str(), nullptr);
    CreateDirectoryA((temp / "Links\\Nested").c_str(), nullptr);
    CreateDirectoryA((temp / "Links\\SendTo").c_str(), nullptr);
    CreateDirectoryA((temp / "Links\\SENDTO").c_str(), nullptr);
    ASSERT_TRUE(MakeShortcut(temp / "Links\\good.lnk", target));
    for (const char* link : {"Links\\broken.lnk", "Links\\Nested\\deep.lnk", "Links\\SendTo\\skipped.lnk",
                             "Links\\SENDTO\\skipped.lnk", "Links\\CAPITAL.LNK"})
        ASSERT_TRUE(MakeShortcut(temp / link, doomed));
    ASSERT_TRUE(DeleteFileA(doomed.c_str()));

    CheckShortcutsUnder(engine, temp / "Links");

    EXPECT_EQ(SortedFound(RPT_SHORTCUTS), (std::vector<std::string>{
                                              (temp / "Links\\Nested\\deep.lnk") + "||",
                                              (temp / "Links\\broken.lnk") + "||",
                                          }));
}

TEST(SynchronisedFolders, APlaceholderOrAPlaceUnderASyncRootIsLeftAlone)
{
    const std::vector<std::string> roots = {"C:\\Users\\u\\OneDrive\\", "D:\\Sync"};
    const auto synced = [&](const char* path, uint32_t attributes, uint32_t tag = 0) {
        return IsInSynchronisedFolder(path, attributes, tag, roots);
    };
    constexpr uint32_t kArchive = 0x20;
    constexpr uint32_t kFolder = 0x10;
    // Under a sync root, whatever its case; the root itself too; only whole names count.
    EXPECT_TRUE(synced("C:\\Users\\u\\OneDrive\\Desktop\\old.lnk", kArchive));
    EXPECT_TRUE(synced("c:\\users\\U\\onedrive", kFolder));
    EXPECT_TRUE(synced("D:\\Sync\\a.lnk", kArchive));
    EXPECT_FALSE(synced("D:\\Synced\\a.lnk", kArchive));
    EXPECT_FALSE(synced("C:\\Users\\u\\Desktop\\old.lnk", kArchive));
    // A placeholder by its attributes, wherever it lies.
    for (const uint32_t attributes : {kAttributeRecallOnOpen, kAttributeRecallOnDataAccess, kAttributePinned,
                                      kAttributeUnpinned, kAttributeOffline})
        EXPECT_TRUE(synced("E:\\x.lnk", kArchive | attributes)) << attributes;
    // A cloud reparse point of any provider variant; other reparse points are not placeholders.
    EXPECT_TRUE(synced("E:\\x.lnk", kArchive | kAttributeReparsePoint, kReparseTagCloud));
    EXPECT_TRUE(synced("E:\\x.lnk", kArchive | kAttributeReparsePoint, 0x9000601A));
    EXPECT_FALSE(synced("E:\\x.lnk", kArchive | kAttributeReparsePoint, 0xA0000003));
    EXPECT_FALSE(synced("E:\\x.lnk", kArchive, kReparseTagCloud));
}

// A provider's sync root, registered as Windows keeps it: its broken shortcuts stay unreported,
// while one beside it still is.
TEST_F(ShortcutChecks, ShortcutsInARegisteredSyncRootAreNotReported)
{
    const std::string doomed = temp.WriteFile("Programs\\old.exe");
    CreateDirectoryA((temp / "Links").c_str(), nullptr);
    CreateDirectoryA((temp / "Links\\OneDrive").c_str(), nullptr);
    CreateDirectoryA((temp / "Links\\OneDrive\\Desktop").c_str(), nullptr);
    for (const char* link : {"Links\\broken.lnk", "Links\\OneDrive\\Desktop\\elsewhere.lnk"})
        ASSERT_TRUE(MakeShortcut(temp / link, doomed));
    ASSERT_TRUE(DeleteFileA(doomed.c_str()));
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SyncRootManager\\"
              "OneDrive!S-1-5-21-1-2-3-1000!Personal\\UserSyncRoots",
              "S-1-5-21-1-2-3-1000", temp / "Links\\OneDrive");

    CheckShortcutsUnder(engine, temp / "Links");

    EXPECT_EQ(Found(RPT_SHORTCUTS), std::vector<std::string>{(temp / "Links\\broken.lnk") + "||"});
}

TEST_F(ShortcutChecks, LinkedFoldersAreNotEnteredAndNoShortcutIsRewritten)
{
    const std::string doomed = temp.WriteFile("Programs\\old.exe");
    CreateDirectoryA((temp / "Links").c_str(), nullptr);
    CreateDirectoryA((temp / "Links\\Real").c_str(), nullptr);
    CreateDirectoryA((temp / "Elsewhere").c_str(), nullptr);
    ASSERT_TRUE(MakeShortcut(temp / "Links\\Real\\broken.lnk", doomed));
    ASSERT_TRUE(MakeShortcut(temp / "Elsewhere\\broken.lnk", doomed));
    ASSERT_TRUE(DeleteFileA(doomed.c_str()));
    // A folder of the walk that is a link (a junction or symbolic link on Windows) to another place.
    const FolderLink link(temp / "Links\\Linked", temp / "Elsewhere");
    if (!link.Ok())
        GTEST_SKIP() << "no folder link can be made here";
    const std::string before = ReadFileText(temp / "Links\\Real\\broken.lnk");

    CheckShortcutsUnder(engine, temp / "Links");

    EXPECT_EQ(Found(RPT_SHORTCUTS), std::vector<std::string>{(temp / "Links\\Real\\broken.lnk") + "||"});
    EXPECT_EQ(ReadFileText(temp / "Links\\Real\\broken.lnk"), before);
}

// The folders of the walk may coincide or hold one another (Wine gives several known folders one
// place): each shortcut is reported once, under the name it is first met by.
TEST_F(ShortcutChecks, EachShortcutIsReportedOnceHoweverItsFolderIsReached)
{
    const std::string doomed = temp.WriteFile("Programs\\old.exe");
    const std::string target = temp.WriteFile("Programs\\app.exe");
    CreateDirectoryA((temp / "Links").c_str(), nullptr);
    CreateDirectoryA((temp / "Other").c_str(), nullptr);
    ASSERT_TRUE(MakeShortcut(temp / "Links\\broken.lnk", doomed));
    ASSERT_TRUE(MakeShortcut(temp / "Links\\good.lnk", target));
    ASSERT_TRUE(MakeShortcut(temp / "Other\\broken.lnk", doomed));
    ASSERT_TRUE(DeleteFileA(doomed.c_str()));
    std::vector<std::string> folders = {temp / "Links", temp / "Links", UpperAscii(temp / "Links"),
                                        temp / "Other\\..\\Links", temp / "Other", temp.Path()};
    // A folder reached through a link is the folder itself.
    const FolderLink link(temp / "Alias", temp / "Links");
    if (link.Ok())
        folders.insert(folders.begin() + 1, temp / "Alias");

    CheckShortcutsUnder(engine, folders);

    EXPECT_EQ(Found(RPT_SHORTCUTS), (std::vector<std::string>{(temp / "Links\\broken.lnk") + "||",
                                                             (temp / "Other\\broken.lnk") + "||"}));
}

// Setups for all users put their Start menu entries and desktop icons outside every profile.
TEST_F(ShortcutChecks, AllUsersProgramsAndThePublicDesktopAreWalked)
{
    const std::string programs = Narrow(KnownFolderPath(FOLDERID_CommonPrograms));
    const std::string desktop = Narrow(KnownFolderPath(FOLDERID_PublicDesktop));
    ASSERT_FALSE(programs.empty());
    ASSERT_FALSE(desktop.empty());
    const std::string doomed = temp.WriteFile("Programs\\old.exe");
    const std::string target = temp.WriteFile("Programs\\app.exe");
    const std::string name = "hvshortcut" + std::to_string(GetCurrentProcessId());
    const std::vector<std::string> links = {programs + "\\" + name + " broken.lnk",
                                            programs + "\\" + name + " good.lnk",
                                            desktop + "\\" + name + " broken.lnk"};
    const ScopeGuard removeLinks([&] {
        for (const std::string& file : links)
            DeleteFileA(file.c_str());
    });
    ASSERT_TRUE(MakeShortcut(links[0], doomed));
    ASSERT_TRUE(MakeShortcut(links[1], target));
    ASSERT_TRUE(MakeShortcut(links[2], doomed));
    ASSERT_TRUE(DeleteFileA(doomed.c_str()));

    CheckShortcuts(engine);

    std::vector<std::string> ours;
    for (const std::string& line : SortedFound(RPT_SHORTCUTS))
        if (line.find(name) != std::string::npos)
            ours.push_back(line);
    std::vector<std::string> expected = {links[0] + "||", links[2] + "||"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ours, expected);
}

TEST_F(ShortcutChecks, FilesThatAreNoShortcutsCountAsWorking)
{
    temp.WriteFile("Links\\not a link.lnk", "plain text");
    temp.WriteFile("Links\\empty.lnk", "");

    CheckShortcutsUnder(engine, temp / "Links");

    EXPECT_TRUE(Found(RPT_SHORTCUTS).empty());
}

} // namespace
