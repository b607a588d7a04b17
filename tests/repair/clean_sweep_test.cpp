#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <regex>
#include <set>

#include "repair/clean_sweep.h"
#include "framework/paths.h"
#include "links.h"
#include "repair_support.h"
#include "sandbox.h"

namespace {

const char kAcme[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme";

std::string Name(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    const size_t dot = path.find_last_of('.');
    return path.substr(slash + 1, dot == std::string::npos || dot < slash ? std::string::npos : dot - slash - 1);
}

} // namespace

TEST(RegistryBackupFile, RecordsAStringValueAsTheRegistryEditorReadsIt)
{
    RegistrySandbox sandbox;
    TempDir dir;
    auto engine = MakeEngine(dir);
    SetString(kAcme, "Path", "C:\\Tools\\x.exe");
    const Result made = engine->CreateRegistryBackupFile();
    ASSERT_TRUE(made) << made.Reason();
    std::string reason;
    ASSERT_TRUE(engine->DeleteValueWithBackup(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", "Path", reason)) << reason;
    engine->CloseBackupFiles();

    EXPECT_FALSE(ValueExists(kAcme, "Path"));
    EXPECT_EQ(ReadFileText(engine->BackupSet().RegBackupPath()),
              "\xFF\xFE" + Widened("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\r\n"
                                   "\"Path\" = \"C:\\\\Tools\\\\x.exe\""));
    EXPECT_EQ(FolderOf(engine->BackupSet().RegBackupPath()), dir.Path() + "\\Backup\\");
}

TEST(RegistryBackupFile, KeepsTypeAndEveryByteOfEachValue)
{
    RegistrySandbox sandbox;
    TempDir dir;
    auto engine = MakeEngine(dir);
    SetDword(kAcme, "One", 1);
    SetDword(kAcme, "Zero", 0);
    SetString(kAcme, "", "default");
    SetString(kAcme, "Expand", "%SystemRoot%\\a.dll", REG_EXPAND_SZ);
    SetBinary(kAcme, "Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    const std::string big(5000, '\x42');
    SetBinary(kAcme, "Big", REG_BINARY, big);
    SetString(kAcme, "Long", std::string(3000, 'L'));

    ASSERT_TRUE(engine->CreateRegistryBackupFile());
    std::vector<std::pair<std::string, std::pair<DWORD, std::string>>> before;
    for (const char* name : {"One", "Zero", "", "Expand", "Multi", "Big", "Long"}) {
        DWORD type = 0;
        const std::string data = ReadRaw(kAcme, name, &type);
        const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
        before.push_back({name, {type, text ? Widened(data) : data}});
        std::string reason;
        ASSERT_TRUE(engine->DeleteValueWithBackup(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", name, reason)) << reason;
        EXPECT_FALSE(ValueExists(kAcme, name));
    }
    engine->CloseBackupFiles();

    const auto keys = ParseFile(engine->BackupSet().RegBackupPath());
    ASSERT_EQ(keys.size(), before.size()); // one section line per value
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].strPath, kAcme);
        ASSERT_EQ(keys[i].values.size(), 1u);
        EXPECT_EQ(keys[i].values[0].strName, before[i].first);
        EXPECT_EQ(keys[i].values[0].nType, before[i].second.first) << before[i].first;
        EXPECT_EQ(keys[i].values[0].data, before[i].second.second) << before[i].first;
    }
    EXPECT_EQ(keys[5].values[0].data, big);
}

TEST(RegistryBackupFile, ExportsAKeyTreeBeforeDeletingIt)
{
    RegistrySandbox sandbox;
    TempDir dir;
    auto engine = MakeEngine(dir);
    const std::string root = "HKEY_CLASSES_ROOT\\CLSID\\{X}";
    SetString(root, "", "Thing");
    SetString(root + "\\InprocServer32", "", "C:\\gone.dll");
    SetString(root + "\\InprocServer32", "ThreadingModel", "Both");
    CreateKey(root + "\\Empty\\Deeper");
    SetDword(root + "\\Empty\\Deeper", "n", 7);
    ASSERT_TRUE(engine->CreateRegistryBackupFile());

    std::string reason;
    ASSERT_TRUE(engine->DeleteKeyTreeWithBackup(HKEY_CLASSES_ROOT, "CLSID\\{X}", reason)) << reason;
    engine->CloseBackupFiles();
    EXPECT_FALSE(KeyExists(root));
    EXPECT_TRUE(KeyExists("HKEY_CLASSES_ROOT\\CLSID"));

    const auto keys = ParseFile(engine->BackupSet().RegBackupPath());
    using Values = std::vector<std::pair<std::string, std::string>>;
    std::map<std::string, Values> seen;
    for (const auto& key : keys) {
        seen[key.strPath];
        for (const auto& value : key.values)
            seen[key.strPath].emplace_back(value.strName, value.data);
    }
    EXPECT_EQ(seen[root], (Values{{"", Widened(Sz("Thing"))}}));
    EXPECT_EQ(seen[root + "\\InprocServer32"].size(), 2u);
    EXPECT_TRUE(seen.count(root + "\\Empty"));
    EXPECT_EQ(seen[root + "\\Empty\\Deeper"], (Values{{"n", std::string("\x07\0\0\0", 4)}}));
    // Parents come before their children, so an import recreates the tree top down.
    EXPECT_EQ(keys.front().strPath, root);
}

// A check may spell a name otherwise than the registry stores it ("InprocServer32" for
// "InProcServer32"); the backup, and so the restore, keeps the stored spelling.
TEST(RegistryBackupFile, NamesKeysAndValuesAsTheRegistryStoresThem)
{
    RegistrySandbox sandbox;
    TempDir dir;
    auto engine = MakeEngine(dir);
    const std::string server = "HKEY_CLASSES_ROOT\\CLSID\\{X}\\InProcServer32";
    SetString(server, "", "C:\\gone.dll");
    SetString(server + "\\ Blank", "ThreadingModel", "Both");
    SetString(std::string(kAcme) + "\\Sub", "MixedCase", "x");
    ASSERT_TRUE(engine->CreateRegistryBackupFile());

    std::string reason;
    ASSERT_TRUE(engine->DeleteKeyTreeWithBackup(HKEY_CLASSES_ROOT, "clsid\\{x}\\InprocServer32", reason)) << reason;
    ASSERT_TRUE(engine->DeleteValueWithBackup(HKEY_LOCAL_MACHINE, "software\\ACME\\sub", "mixedcase", reason)) << reason;
    engine->CloseBackupFiles();

    const auto keys = ParseFile(engine->BackupSet().RegBackupPath());
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].strPath, server);
    EXPECT_EQ(keys[1].strPath, server + "\\ Blank");
    EXPECT_EQ(keys[2].strPath, std::string(kAcme) + "\\Sub");
    ASSERT_EQ(keys[2].values.size(), 1u);
    EXPECT_EQ(keys[2].values[0].strName, "MixedCase");
}

TEST(RegistryBackupFile, ExportsDeepTreesWhole)
{
    RegistrySandbox sandbox;
    TempDir dir;
    auto engine = MakeEngine(dir);
    std::string path = "HKEY_CURRENT_USER\\Software\\Deep";
    for (int level = 0; level < 120; ++level)
        path += "\\k";
    SetString(path, "leaf", "bottom");
    ASSERT_TRUE(engine->CreateRegistryBackupFile());
    std::string reason;
    ASSERT_TRUE(engine->DeleteKeyTreeWithBackup(HKEY_CURRENT_USER, "Software\\Deep", reason)) << reason;
    engine->CloseBackupFiles();
    const auto keys = ParseFile(engine->BackupSet().RegBackupPath());
    ASSERT_EQ(keys.size(), 121u);
    // Named by the hive it was read from: the sandbox's place in the user's hive.
    EXPECT_EQ(keys.back().strPath, BackedUpUserKey(path.substr(strlen("HKEY_CURRENT_USER\\")), &sandbox));
    EXPECT_EQ(keys.back().values.at(0).data, Widened(Sz("bottom")));
}

TEST(RegistryBackupFile, NothingIsRemovedWithoutARecord)
{
    RegistrySandbox sandbox;
    TempDir dir;
    auto engine = MakeEngine(dir);
    SetString(kAcme, "v", "x");
    CreateKey(std::string(kAcme) + "\\Inner");
    std::string reason;
    EXPECT_FALSE(engine->DeleteValueWithBackup(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", "v", reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(engine->DeleteKeyTreeWithBackup(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme\\Inner", reason));
    EXPECT_NE(reason.find("no registry backup file"), std::string::npos) << reason;
    EXPECT_TRUE(ValueExists(kAcme, "v"));
    EXPECT_TRUE(KeyExists(std::string(kAcme) + "\\Inner"));

    engine->CreateRegistryBackupFile();
    EXPECT_FALSE(engine->DeleteKeyTreeWithBackup(HKEY_LOCAL_MACHINE, "", reason));
    EXPECT_FALSE(engine->DeleteValueWithBackup(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", "missing", reason));
    EXPECT_NE(reason.find("could not be read"), std::string::npos) << reason;
    EXPECT_TRUE(KeyExists(kAcme));
}

// A name with a line break has no notation in the file, and a file holding one is refused whole:
// such a value or tree is kept, and the records before it stay restorable.
TEST(RegistryBackupFile, NamesWithLineBreaksAreKeptAndLeaveTheFileReadable)
{
    RegistrySandbox sandbox;
    TempDir dir;
    auto engine = MakeEngine(dir);
    engine->CreateRegistryBackupFile();
    SetString(kAcme, "plain", "x");
    SetString(kAcme, "two\rlines", "x");
    SetString(std::string(kAcme) + "\\Tree", "three\nlines", "x");
    std::string reason;
    EXPECT_TRUE(engine->DeleteValueWithBackup(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", "plain", reason)) << reason;
    EXPECT_FALSE(engine->DeleteValueWithBackup(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", "two\rlines", reason));
    EXPECT_NE(reason.find("line break"), std::string::npos) << reason;
    EXPECT_FALSE(engine->DeleteKeyTreeWithBackup(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme\\Tree", reason));
    EXPECT_TRUE(ValueExists(kAcme, "two\rlines"));
    EXPECT_TRUE(ValueExists(std::string(kAcme) + "\\Tree", "three\nlines"));
    engine->CloseBackupFiles();
    const auto keys = ParseFile(engine->BackupSet().RegBackupPath());
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].values[0].strName, "plain");
}

TEST(DeleteKeyTree, RemovesDepthFirstAndReportsTheFailingCode)
{
    RegistrySandbox sandbox;
    CCleanSweep sweep;
    CreateKey("HKEY_CURRENT_USER\\T\\a\\b\\c");
    CreateKey("HKEY_CURRENT_USER\\T\\d");
    EXPECT_EQ(sweep.DeleteKeyTree(HKEY_CURRENT_USER, "T"), 1);
    EXPECT_FALSE(KeyExists("HKEY_CURRENT_USER\\T"));
    EXPECT_EQ(sweep.DeleteKeyTree(HKEY_CURRENT_USER, "T"), ERROR_FILE_NOT_FOUND);
}

TEST(BackupSetNames, StayUniqueWithinOneSecondAndKeepTheirForm)
{
    TempDir dir;
    const std::regex form("HVBak_[A-Za-z]+_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d(_\\d+)?");
    std::set<std::string> names;
    for (int i = 0; i < 3; ++i) {
        auto engine = MakeEngine(dir);
        const Result made = engine->CreateRegistryBackupFile();
        ASSERT_TRUE(made) << made.Reason();
        const Result listMade = engine->CreateFileBackupSet();
        ASSERT_TRUE(listMade) << listMade.Reason();
        const std::string name = Name(engine->BackupSet().RegBackupPath());
        EXPECT_TRUE(std::regex_match(name, form)) << name;
        EXPECT_TRUE(names.insert(name).second) << name;
        // Made in the same second, the two halves of a set share its name.
        if (Name(engine->BackupSet().FileListPath()).rfind(engine->BackupSet().Stamp(), 0) == 0) {
            EXPECT_EQ(Name(engine->BackupSet().FileListPath()), name);
        }
        EXPECT_EQ(engine->BackupSet().FileListPath(), engine->BackupSet().FileBackupFolder() + ".bak");
        EXPECT_TRUE(FileExists(engine->BackupSet().FileBackupFolder()));
    }
}

TEST(BackupSetNames, ReportWhenTheBackupFileCannotBeCreated)
{
    TempDir dir;
    auto engine = MakeEngine(dir);
    engine->UseProgramFolder(dir.Path() + "\\no\\such\\folder\\");
    const Result made = engine->CreateRegistryBackupFile();
    EXPECT_FALSE(made);
    EXPECT_NE(made.Reason().find("could not be created"), std::string::npos) << made.Reason();
}

TEST(BackupSet, ClosesItsFilesWhenItEndsAndRemovesTheHalvesNotKept)
{
    TempDir dir;
    std::string reg;
    std::string list;
    {
        CBackupSet set;
        const Result opened = set.Open(dir.Path() + "\\");
        ASSERT_TRUE(opened) << opened.Reason();
        EXPECT_TRUE(set.RegistryFileOpen());
        reg = set.RegBackupPath();
        list = set.FileListPath();
        // Open, the files are shared for reading only: nobody deletes them meanwhile.
        EXPECT_FALSE(DeleteFileA(reg.c_str()));
    }
    EXPECT_TRUE(DeleteFileA(reg.c_str()));
    EXPECT_TRUE(DeleteFileA(list.c_str()));

    CBackupSet set;
    ASSERT_TRUE(set.Open(dir.Path() + "\\"));
    set.Finish(false, true);
    EXPECT_FALSE(set.RegistryFileOpen());
    EXPECT_TRUE(FileExists(set.RegBackupPath()));
    EXPECT_FALSE(FileExists(set.FileListPath()));
    EXPECT_FALSE(FileExists(set.FileBackupFolder()));
}

TEST(MoveFileToBackup, RecordsTheLineThenMovesTheFile)
{
    TempDir dir;
    auto engine = MakeEngine(dir);
    engine->CreateRegistryBackupFile();
    engine->CreateFileBackupSet();
    engine->CloseBackupFiles();
    const std::string first = dir.WriteFile("Desktop\\Old.lnk", "one");
    const std::string second = dir.WriteFile("Start Menu\\Me, Myself\\Old.lnk", "two");

    std::string reason;
    ASSERT_TRUE(engine->MoveFileToBackup(first, reason)) << reason;
    ASSERT_TRUE(engine->MoveFileToBackup(second, reason)) << reason;
    EXPECT_FALSE(engine->MoveFileToBackup(dir / "Desktop\\Gone.lnk", reason));

    const std::string folder = engine->BackupSet().FileBackupFolder();
    EXPECT_EQ(ReadFileText(engine->BackupSet().FileListPath()),
              first + "," + folder + "\\Old.lnk\r\n" + second + "," + folder + "\\Old_2.lnk\r\n" + dir.Path() +
                  "\\Desktop\\Gone.lnk," + folder + "\\Gone.lnk\r\n");
    EXPECT_FALSE(FileExists(first));
    EXPECT_EQ(ReadFileText(folder + "\\Old.lnk"), "one");
    EXPECT_EQ(ReadFileText(folder + "\\Old_2.lnk"), "two");
}

TEST(MoveFileToBackup, RefusesAShortcutThatIsALink)
{
    TempDir dir;
    auto engine = MakeEngine(dir);
    engine->CreateRegistryBackupFile();
    ASSERT_TRUE(engine->CreateFileBackupSet());
    engine->CloseBackupFiles();
    dir.WriteFile("Elsewhere\\theirs.txt", "theirs");
    CreateDirectoryA((dir / "Desktop").c_str(), nullptr);
    // Wine shows a folder's link as a reparse point, the attribute the repair reads.
    const FolderLink link(dir / "Desktop\\Old.lnk", dir / "Elsewhere");
    if (!link.Ok())
        GTEST_SKIP() << "no folder link can be made here";

    std::string reason;
    EXPECT_FALSE(engine->MoveFileToBackup(dir / "Desktop\\Old.lnk", reason));
    EXPECT_NE(reason.find("reparse point"), std::string::npos) << reason;
    // Nothing moved, nothing recorded.
    EXPECT_EQ(ReadFileText(engine->BackupSet().FileListPath()), "");
    EXPECT_EQ(GetFileAttributesA((engine->BackupSet().FileBackupFolder() + "\\Old.lnk").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileText(dir / "Desktop\\Old.lnk\\theirs.txt"), "theirs");
}
