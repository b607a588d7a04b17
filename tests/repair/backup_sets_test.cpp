#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <regex>

#include "framework/format.h"
#include "repair/backup_sets.h"
#include "repair/clean_sweep.h"
#include "links.h"
#include "repair_support.h"
#include "sandbox.h"

namespace {

std::vector<std::string> Names(const std::vector<BACKUP_SET_ROW>& rows)
{
    std::vector<std::string> names;
    for (const auto& row : rows)
        names.push_back(row.strName);
    return names;
}

} // namespace

TEST(ListBackupSets, OneRowPerSetNewestEnumeratedFirst)
{
    TempDir dir;
    const std::string folder = dir / "Backup";
    dir.WriteFile("Backup\\HVBak_A.reg", "REGEDIT4");
    dir.WriteFile("Backup\\HVBak_A.bak", "x,y");
    dir.WriteFile("Backup\\hvbak_a.txt", "same set, other case");
    dir.WriteFile("Backup\\HVBak_B.reg", "");
    dir.WriteFile("Backup\\HVBak_C.bak", "x,y");
    dir.WriteFile("Backup\\HVBak_D\\inner.lnk", "a folder is not a set");
    dir.WriteFile("Backup\\HVBak_E.reg.old", "x");

    const auto rows = ListBackupSets(folder);
    std::vector<std::string> names = Names(rows);
    EXPECT_EQ(names.size(), 3u);
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"HVBak_A", "HVBak_C", "HVBak_E"}));
    // Rows are inserted at the top: the reverse of the enumeration order.
    std::vector<std::string> enumerated;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    do {
        const std::string name = entry.cFileName;
        if (name.rfind("HVBak_", 0) == 0 && name.find('.') != std::string::npos && entry.nFileSizeLow > 0) {
            const std::string set = name.substr(0, name.find('.'));
            if (std::find(enumerated.begin(), enumerated.end(), set) == enumerated.end())
                enumerated.insert(enumerated.begin(), set);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    EXPECT_EQ(names, enumerated);
    EXPECT_TRUE(std::regex_match(rows[0].strDateTime, std::regex("[A-Z][a-z]+ \\d\\d, \\d{4} \\(\\d\\d:\\d\\d:\\d\\d\\)")))
        << rows[0].strDateTime;
    EXPECT_TRUE(ListBackupSets(dir / "none").empty());
}

TEST(MovedFilesList, SplitsAtTheCommaBeforeTheSetFolder)
{
    std::string original, copy;
    ASSERT_TRUE(SplitMovedFileLine("C:\\a.lnk,C:\\App\\Backup\\HVBak_X\\a.lnk", "C:\\App\\Backup\\HVBak_X", original, copy));
    EXPECT_EQ(original, "C:\\a.lnk");
    EXPECT_EQ(copy, "C:\\App\\Backup\\HVBak_X\\a.lnk");
    ASSERT_TRUE(SplitMovedFileLine("C:\\Me, Myself\\a, b.lnk,C:\\App,1\\Backup\\HVBak_X\\a, b.lnk",
                                   "C:\\App,1\\Backup\\HVBak_X", original, copy));
    EXPECT_EQ(original, "C:\\Me, Myself\\a, b.lnk");
    EXPECT_EQ(copy, "C:\\App,1\\Backup\\HVBak_X\\a, b.lnk");
    // Written from another program folder: the single comma still splits it.
    ASSERT_TRUE(SplitMovedFileLine("C:\\a.lnk,D:\\Old\\Backup\\HVBak_X\\a.lnk", "C:\\App\\Backup\\HVBak_X", original, copy));
    EXPECT_EQ(copy, "D:\\Old\\Backup\\HVBak_X\\a.lnk");
    EXPECT_FALSE(SplitMovedFileLine("C:\\a,b.lnk,D:\\Old\\HVBak_X\\a,b.lnk", "C:\\App\\Backup\\HVBak_X", original, copy));
    EXPECT_FALSE(SplitMovedFileLine("no comma", "C:\\F", original, copy));
}

TEST(MovedFilesList, RestoresEveryFileAndRemovesTheSet)
{
    TempDir dir;
    const std::string set = dir / "Backup\\HVBak_X";
    const std::string a = dir / "Desktop\\a.lnk";
    const std::string b = dir / "Start, Menu\\b, c.lnk";
    dir.WriteFile("Backup\\HVBak_X\\a.lnk", "A");
    dir.WriteFile("Backup\\HVBak_X\\b, c.lnk", "B");
    CreateDirectoryA((dir / "Desktop").c_str(), nullptr);
    CreateDirectoryA((dir / "Start, Menu").c_str(), nullptr);
    dir.WriteFile("Backup\\HVBak_X.bak", a + "," + set + "\\a.lnk\n" + b + "," + set + "\\b, c.lnk\n" + dir.Path() +
                                             "\\never.lnk," + set + "\\never.lnk\n");
    std::string reason;
    EXPECT_TRUE(RestoreMovedFiles(set + ".bak", reason)) << reason;
    EXPECT_EQ(ReadFileText(a), "A");
    EXPECT_EQ(ReadFileText(b), "B");
    EXPECT_FALSE(FileExists(set));
    EXPECT_FALSE(FileExists(set + ".bak"));
}

TEST(MovedFilesList, KeepsTheLinesOfFilesThatCouldNotComeBack)
{
    TempDir dir;
    const std::string set = dir / "Backup\\HVBak_X";
    const std::string taken = dir.WriteFile("Desktop\\a.lnk", "someone else's");
    dir.WriteFile("Backup\\HVBak_X\\a.lnk", "A");
    const std::string line = taken + "," + set + "\\a.lnk";
    dir.WriteFile("Backup\\HVBak_X.bak", line + "\n");
    std::string reason;
    EXPECT_FALSE(RestoreMovedFiles(set + ".bak", reason));
    EXPECT_NE(reason.find("could not be moved back"), std::string::npos) << reason;
    EXPECT_EQ(ReadFileText(set + "\\a.lnk"), "A");
    EXPECT_EQ(ReadFileText(set + ".bak"), line + "\r\n");
    EXPECT_EQ(ReadFileText(taken), "someone else's");
}

TEST(RemoveBackupSets, DeletesEveryPartOfTheSet)
{
    TempDir dir;
    dir.WriteFile("Backup\\HVBak_X.reg", "REGEDIT4");
    dir.WriteFile("Backup\\HVBak_X.bak", "a,b");
    dir.WriteFile("Backup\\HVBak_X\\a.lnk");
    dir.WriteFile("Backup\\HVBak_X\\deeper\\b.lnk");
    dir.WriteFile("Backup\\HVBak_Y.reg", "REGEDIT4");
    LogCapture log(dir);
    EXPECT_EQ(RemoveBackupSets(dir / "Backup", {"HVBak_X"}), 1);
    EXPECT_EQ(Names(ListBackupSets(dir / "Backup")), std::vector<std::string>{"HVBak_Y"});
    EXPECT_FALSE(FileExists(dir / "Backup\\HVBak_X"));
    EXPECT_NE(log.Text().find("Removed Backup file HVBak_X"), std::string::npos);
    EXPECT_FALSE(DeleteFolderTree(dir / "Backup\\HVBak_X"));

    // A file without a dot lists as a set with an empty name; removing it must not empty the folder.
    dir.WriteFile("Backup\\README", "x");
    ASSERT_EQ(Names(ListBackupSets(dir / "Backup")).size(), 2u);
    EXPECT_EQ(RemoveBackupSets(dir / "Backup", {"", "..", "a\\b"}), 0);
    EXPECT_TRUE(FileExists(dir / "Backup\\HVBak_Y.reg"));
}

TEST(RemoveBackupSets, RemovesLinksNeverWhatTheyLeadTo)
{
    TempDir dir;
    dir.WriteFile("Elsewhere\\theirs.txt", "theirs");
    dir.WriteFile("Backup\\HVBak_X.reg", "REGEDIT4");
    dir.WriteFile("Backup\\HVBak_X\\a.lnk");
    dir.WriteFile("Backup\\HVBak_Y.bak", "a,b");
    // One link inside a set's folder, and a set whose folder is a link.
    const FolderLink inside(dir / "Backup\\HVBak_X\\sub", dir / "Elsewhere");
    const FolderLink whole(dir / "Backup\\HVBak_Y", dir / "Elsewhere");
    if (!inside.Ok() || !whole.Ok())
        GTEST_SKIP() << "no folder link can be made here";
    LogCapture log(dir);

    RemoveBackupSets(dir / "Backup", {"HVBak_X", "HVBak_Y"});

    // Windows removes the links themselves; Wine's RemoveDirectory cannot, and leaves them.
    EXPECT_EQ(ReadFileText(dir / "Elsewhere\\theirs.txt"), "theirs");
    EXPECT_FALSE(FileExists(dir / "Backup\\HVBak_X\\a.lnk"));
    EXPECT_FALSE(FileExists(dir / "Backup\\HVBak_X.reg"));
    EXPECT_FALSE(FileExists(dir / "Backup\\HVBak_Y.bak"));
}

TEST(RestoreRegistryFile, RefusesAFileThatDeletesAndKeepsIt)
{
    TempDir dir;
    RealKey real;
    SetString(real.Path() + "\\Keep", "v", "kept");
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const struct {
        std::string text;
        const char* error;
    } files[] = {
        {header + "\n[-" + real.Path() + "\\Keep]\n", "deletes a key"},
        {header + "\n[" + real.Path() + "\\Keep]\n\"v\"=-\n", "deletes a value"},
        // Behind records that are fine, and in the writer's own Unicode form.
        {kRegFileBom + EncodeRegFileText(header + "\n[" + real.Path() + "]\n\"ok\" = \"1\"\n\n[-" + real.Path() +
                                         "\\Keep]\n"),
         "deletes a key"},
        {header + "\n[" + real.Path() + "\\Keep]\n\"v\" = -\n", "deletes a value"},
        // A deletion behind a lone carriage return or a NUL, where the registry editor may see a
        // line of its own.
        {header + "\n[" + real.Path() + "]\n\"ok\"=\"1\"\r[-" + real.Path() + "\\Keep]\n", "carriage return without"},
        {header + "\n[" + real.Path() + "]\n\"ok\"=\"1\"" + std::string(1, '\0') + "\n[-" + real.Path() + "\\Keep]\n",
         "a NUL"},
        {kRegFileBom + EncodeRegFileText(header + "\n[" + real.Path() + "]\n\"ok\"=\"1\"\r[-" + real.Path() + "\\Keep]\n"),
         "carriage return without"},
    };
    for (const auto& f : files) {
        const std::string file = dir.WriteFile("HVBak_X.reg", f.text);
        std::string reason;
        EXPECT_FALSE(RestoreRegistryFile(file, reason)) << f.text;
        EXPECT_NE(reason.find("is not imported"), std::string::npos) << reason;
        EXPECT_NE(reason.find(f.error), std::string::npos) << reason;
        EXPECT_EQ(ReadFileText(file), f.text);
        EXPECT_EQ(ReadRaw(real.Path() + "\\Keep", "v"), Sz("kept"));
        EXPECT_FALSE(ValueExists(real.Path(), "ok"));
    }
}

TEST(RegFileImportCheck, ComparesEveryKeyAndValue)
{
    RegistrySandbox sandbox;
    SetDword("HKEY_CURRENT_USER\\A", "d", 5);
    CreateKey("HKEY_CURRENT_USER\\A\\Empty");
    std::vector<REG_FILE_KEY> keys = {
        {"HKEY_CURRENT_USER\\A", {{"d", REG_DWORD, std::string("\x05\0\0\0", 4)}}},
        {"HKEY_CURRENT_USER\\A\\Empty", {}},
    };
    std::string difference;
    EXPECT_TRUE(IsRegFileImported(keys, difference)) << difference;

    SetString("HKEY_CURRENT_USER\\A", "d", std::string("\x05", 1));
    EXPECT_FALSE(IsRegFileImported(keys, difference));
    EXPECT_NE(difference.find("differs"), std::string::npos);

    // The later record of a value is the one an import leaves.
    keys.push_back({"HKEY_CURRENT_USER\\A", {{"d", REG_SZ, Widened(Sz("\x05"))}}});
    EXPECT_TRUE(IsRegFileImported(keys, difference)) << difference;

    keys.push_back({"HKEY_CURRENT_USER\\A\\Gone", {}});
    EXPECT_FALSE(IsRegFileImported(keys, difference));
    EXPECT_NE(difference.find("Gone is missing"), std::string::npos) << difference;
}

TEST(RestoreRegistryFile, ImportsChecksAndOnlyThenDeletesTheFile)
{
    TempDir dir;
    RealKey real;
    const std::string key = real.Path() + "\\Tree";
    SetString(key, "", "default \"quoted\" \\ text");
    SetDword(key, "dword", 0xdeadbeef);
    SetString(key + "\\Sub", "expand", "%SystemRoot%\\x.dll", REG_EXPAND_SZ);
    SetBinary(key + "\\Sub", "multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    SetBinary(key + "\\Sub", "big", REG_BINARY, std::string(4000, '\x11'));
    SetBinary(key + "\\Sub", "qword", REG_QWORD, std::string("\1\2\3\4\5\6\7\x08", 8));
    SetBinary(key + "\\Sub", "bare", REG_SZ, "no terminator");
    CreateKey(key + "\\Sub\\Empty");
    SetString(real.Path(), "Single", "C:\\x.exe");
    const std::string bareBefore = ReadRaw(key + "\\Sub", "bare");

    auto engine = MakeEngine(dir);
    ASSERT_TRUE(engine->CreateRegistryBackupFile());
    std::string reason;
    ASSERT_TRUE(engine->DeleteKeyTreeWithBackup(HKEY_CURRENT_USER, real.Sub() + "\\Tree", reason)) << reason;
    ASSERT_TRUE(engine->DeleteValueWithBackup(HKEY_CURRENT_USER, real.Sub(), "Single", reason)) << reason;
    engine->CloseBackupFiles();
    ASSERT_FALSE(KeyExists(key));

    const std::string file = engine->BackupSet().RegBackupPath();
    const std::vector<REG_FILE_KEY> recorded = ParseFile(file);
    ASSERT_TRUE(RestoreRegistryFile(file, reason)) << reason;
    EXPECT_FALSE(FileExists(file));
    std::string difference;
    EXPECT_TRUE(IsRegFileImported(recorded, difference)) << difference;
    DWORD type = 0;
    EXPECT_EQ(ReadRaw(key, "dword", &type), std::string("\xef\xbe\xad\xde", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(ReadRaw(key + "\\Sub", "bare", &type), bareBefore);
    EXPECT_TRUE(KeyExists(key + "\\Sub\\Empty"));
}

TEST(RestoreRegistryFile, KeepsAFileThatWasNotImported)
{
    TempDir dir;
    RealKey real;
    const std::string file = dir.WriteFile("HVBak_X.reg", "REGEDIT4\n\n[" + real.Path() +
                                                              "]\n\"ok\" = \"1\"\n[HKEY_DYN_DATA\\Nowhere]\n\"v\" = \"x\"");
    std::string reason;
    EXPECT_FALSE(RestoreRegistryFile(file, reason));
    EXPECT_TRUE(FileExists(file));
    EXPECT_NE(reason.find("did not import"), std::string::npos) << reason;
}

TEST(RestoreBackupSets, CountsOnlySetsThatCameBackWhole)
{
    TempDir dir;
    LogCapture log(dir);
    const std::string backup = dir / "Backup";
    const std::string a = dir / "a.lnk";
    dir.WriteFile("Backup\\HVBak_Good\\a.lnk", "A");
    dir.WriteFile("Backup\\HVBak_Good.bak", a + "," + backup + "\\HVBak_Good\\a.lnk\n");
    const std::string bad = dir.WriteFile("Backup\\HVBak_Bad.reg", "not a registry file");

    EXPECT_EQ(RestoreBackupSets(backup, {"HVBak_Good", "HVBak_Bad"}), 1);
    EXPECT_EQ(ReadFileText(a), "A");
    EXPECT_TRUE(FileExists(bad));
    EXPECT_EQ(Names(ListBackupSets(backup)), std::vector<std::string>{"HVBak_Bad"});
    const std::string text = log.Text();
    EXPECT_NE(text.find("Restoring backup file " + backup + "\\HVBak_Good"), std::string::npos);
    EXPECT_NE(text.find("WARN --Restore of " + backup + "\\HVBak_Bad incomplete"), std::string::npos) << text;
    EXPECT_NE(text.find("Succesfully Restored"), std::string::npos);

    EXPECT_EQ(RestoreBackupSets(backup, {"HVBak_Bad"}), 0);
    EXPECT_NE(log.Text().find("Could not restore"), std::string::npos);
}
