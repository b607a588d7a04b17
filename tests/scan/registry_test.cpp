#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include "framework/handles.h"
#include "sandbox.h"
#include "scan/file_presence.h"
#include "scan/path_rules.h"
#include "scan/problem.h"
#include "scan/registry.h"
#include "scan/scanner.h"
#include "tempdir.h"

TEST(ExtractCommandTarget, TakesTheTargetOfRegsvr32AndFolder)
{
    EXPECT_EQ(ExtractCommandTarget("regsvr32 /u \"C:\\Program Files\\App\\x.dll\""), "C:\\Program Files\\App\\x.dll");
    EXPECT_EQ(ExtractCommandTarget("Folder:\"C:\\Data\\Old\""), "C:\\Data\\Old");
    // The characters of the word are stripped, not the word: a name made of them goes too.
    EXPECT_EQ(ExtractCommandTarget("regsvr32serv.dll"), ".dll");
    EXPECT_EQ(ExtractCommandTarget("regsvr32 C:\\x.dll"), " C:\\x.dll");
    EXPECT_EQ(ExtractCommandTarget("\"C:\\App\\run.exe\" -x"), "\"C:\\App\\run.exe\" -x");
    EXPECT_EQ(ExtractCommandTarget(""), "");
}

TEST(ExtractCommandTarget, NeverExceedsThePathBuffer)
{
    const std::string longText(3000, 'a');
    EXPECT_EQ(ExtractCommandTarget(longText).size(), kPathBuffer - 1);
    EXPECT_EQ(ExtractCommandTarget("Folder:" + longText).size(), kPathBuffer - 1);
}

TEST(NormalizeFilePath, DropsQuotesAndArgumentsAndExpands)
{
    char windir[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableA("SystemRoot", windir, sizeof windir), 0u);

    std::string text = "\"%SystemRoot%\\system32\\shell32.dll\",-4";
    EXPECT_EQ(NormalizeFilePath(text), std::string(windir) + "\\system32\\shell32.dll");
    EXPECT_EQ(text, "%SystemRoot%\\system32\\shell32.dll");

    std::string doubled = "C:\\Tools\\a.dll.exe /run";
    EXPECT_EQ(NormalizeFilePath(doubled), "C:\\Tools\\a.dll");

    std::string mixedCase = "C:\\Tools\\Setup.ExE /q";
    EXPECT_EQ(NormalizeFilePath(mixedCase), "C:\\Tools\\Setup.ExE");

    std::string plain = "%SystemRoot%\\fonts\\arial.ttf";
    EXPECT_EQ(NormalizeFilePath(plain), std::string(windir) + "\\fonts\\arial.ttf");
}

TEST(NormalizeFilePath, AnExpansionLongerThanTheBufferGivesNothing)
{
    SetEnvironmentVariableA("HIVORA_LONG", std::string(2000, 'x').c_str());
    std::string text = "%HIVORA_LONG%\\a.dll";
    EXPECT_EQ(NormalizeFilePath(text), "");
    SetEnvironmentVariableA("HIVORA_LONG", nullptr);
}

TEST(CommandLineCandidates, GrowAtEachBlankUpToTheEnd)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(CommandLineCandidates("C:\\Program Files\\App\\app.exe -x"),
              (V{"C:\\Program", "C:\\Program Files\\App\\app.exe", "C:\\Program Files\\App\\app.exe -x"}));
    // The quote ends the text; the leading quote is not part of any candidate.
    EXPECT_EQ(CommandLineCandidates("\"C:\\My App\\a.exe\" /s"), (V{"C:\\My", "C:\\My App\\a.exe"}));
    // A resource index after the program is dropped, and so is everything after a comma or semicolon.
    EXPECT_EQ(CommandLineCandidates("C:\\x\\a.exe\\2"), V{"C:\\x\\a.exe"});
    EXPECT_EQ(CommandLineCandidates("C:\\x\\b.dll,Entry arg"), V{"C:\\x\\b.dll"});
    EXPECT_EQ(CommandLineCandidates("C:\\x\\c.exe;more"), V{"C:\\x\\c.exe"});
    EXPECT_TRUE(CommandLineCandidates("").empty());
}

TEST(CommandLineTargetExists, TestsRealFiles)
{
    TempDir dir;
    const std::string app = dir.WriteFile("My App\\app.exe");
    EXPECT_TRUE(CommandLineTargetExists(app + " -x"));
    EXPECT_TRUE(CommandLineTargetExists("\"" + app + "\" /s"));
    EXPECT_TRUE(CommandLineTargetExists(dir / "My App\\app -x")); // ".exe" is tried as well
    EXPECT_TRUE(CommandLineTargetExists(app + "\\3"));
    EXPECT_FALSE(CommandLineTargetExists(dir / "My App\\gone.exe -x"));
    EXPECT_TRUE(CommandLineTargetExists(dir / "gone.exe ?"));
    EXPECT_FALSE(CommandLineTargetExists(""));
}

TEST(NtPaths, AreTestedAsThePathTheyName)
{
    EXPECT_EQ(Win32PathFromNtPath("\\??\\C:\\Windows\\a.sys"), "C:\\Windows\\a.sys");
    EXPECT_EQ(Win32PathFromNtPath("\"\\??\\C:\\a b\\x.exe\" /s"), "\"C:\\a b\\x.exe\" /s");
    EXPECT_EQ(Win32PathFromNtPath("\\??\\unc\\server\\share\\x.dll"), "\\\\server\\share\\x.dll");
    EXPECT_EQ(Win32PathFromNtPath("\\??\\unix\\usr\\x.ttf"), "\\\\?\\unix\\usr\\x.ttf");
    EXPECT_EQ(Win32PathFromNtPath("C:\\??\\x"), "C:\\??\\x");
    EXPECT_EQ(Win32PathFromNtPath("\\??"), "\\??");

    TempDir dir;
    const std::string app = dir.WriteFile("App\\app.exe");
    std::string quoted = "\"\\??\\" + app + "\" -x";
    EXPECT_EQ(NormalizeFilePath(quoted), app);
    EXPECT_TRUE(CommandLineTargetExists("\\??\\" + app + " -x"));
    EXPECT_FALSE(CommandLineTargetExists("\\??\\" + (dir / "App\\gone.exe") + " -x"));
}

TEST(FileReferenceExists, FindsFilesOnThePathAndByFullPath)
{
    TempDir dir;
    EXPECT_TRUE(FileReferenceExists("notepad.exe"));
    EXPECT_TRUE(FileReferenceExists(dir.WriteFile("a.dll")));
    EXPECT_FALSE(FileReferenceExists(dir / "b.dll"));
    // An entry that names no file is no finding.
    EXPECT_TRUE(FileReferenceExists(""));
}

TEST(FilePresence, FolderListingsGiveTheFileSystemsAnswers)
{
    TempDir dir;
    dir.WriteFile("hvone.ttf");
    CFilePresence files;
    // The second file asked about in a folder has the folder listed; the listing answers alike.
    EXPECT_TRUE(files.Exists(dir / "hvone.ttf"));
    EXPECT_TRUE(files.Exists(dir / "HVONE.ttf"));
    EXPECT_FALSE(files.Exists(dir / "hvtwo.ttf"));
    EXPECT_TRUE(files.Matches(dir.Path(), "Hvone.TTF"));
    EXPECT_FALSE(files.Matches(dir.Path(), "hvtwo.ttf"));
    // Names a listing cannot answer for exactly are asked of the file system.
    for (const char* name : {"hvone.ttf.", "hvone.ttf ", "HVONE~1.TTF", "sub\\hvone.ttf", "nul.ttf", "COM1",
                             "hvone.ttf:stream", ""}) {
        const std::string path = dir / name;
        EXPECT_EQ(files.Exists(path), PathFileExistsA(path.c_str()) != FALSE) << name;
    }
    EXPECT_TRUE(files.Matches(dir.Path(), "hv*.ttf"));
    EXPECT_FALSE(files.Matches(dir.Path(), "zz*.ttf"));
    EXPECT_TRUE(files.Exists(dir / "hv?.ttf")); // untestable: counts as present
    EXPECT_FALSE(files.Exists(dir / "hvmissing\\hvone.ttf"));
    EXPECT_FALSE(files.Exists(dir / "hvmissing\\hvtwo.ttf"));

    // A folder holding a name outside plain ASCII, which may match in ways a plain comparison cannot
    // follow, is never answered for by its listing.
    TempDir wide;
    const std::wstring widePath = std::wstring(wide.Path().begin(), wide.Path().end()) + L"\\hv\u0131.ttf";
    const FileHandle file(CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file);
    for (const char* name : {"hvone.ttf", "hvi.ttf", "HVI.TTF"}) {
        const std::string path = wide / name;
        EXPECT_EQ(files.Exists(path), PathFileExistsA(path.c_str()) != FALSE) << name;
    }
}

TEST(Wow64View, PathsOfThirtyTwoBitRegistrationsAreSeenAsTheirProgramsSeeThem)
{
    EXPECT_TRUE(IsWow64KeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node"));
    EXPECT_TRUE(IsWow64KeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\Vendor"));
    EXPECT_FALSE(IsWow64KeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Nodes\\Vendor"));
    EXPECT_FALSE(IsWow64KeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor"));

    EXPECT_EQ(X86FolderReferences("\"%programfiles%\\A\\a.exe\" %CommonProgramFiles%\\b %ProgramW6432%"),
              "\"%programfiles(x86)%\\A\\a.exe\" %CommonProgramFiles(x86)%\\b %ProgramW6432%");

    const std::string windows = "C:\\Windows";
    EXPECT_EQ(Path32BitView("c:\\windows\\SYSTEM32\\x.dll", windows), "C:\\Windows\\SysWOW64\\x.dll");
    EXPECT_EQ(Path32BitView("C:\\Windows\\System32", windows), "C:\\Windows\\SysWOW64");
    EXPECT_EQ(Path32BitView("C:\\Windows\\Sysnative\\x.dll", windows), "C:\\Windows\\System32\\x.dll");
    // Folders the file system does not redirect, and everything outside the system folder.
    for (const char* same : {"C:\\Windows\\System32\\drivers\\etc\\hosts", "C:\\Windows\\System32\\spool\\x",
                             "C:\\Windows\\System32\\catroot2", "C:\\Windows\\System32x\\a.dll",
                             "C:\\Windows\\a.dll", "D:\\Windows\\System32\\a.dll", "C:\\Program Files\\a.exe"})
        EXPECT_EQ(Path32BitView(same, windows), same);
    EXPECT_EQ(Path32BitView("C:\\Windows\\System32\\drivers\\x.sys", windows + "\\"),
              "C:\\Windows\\SysWOW64\\drivers\\x.sys");

    // Only the 32-bit build on 64-bit Windows is refused, with a message that names the right build.
    ASSERT_NE(WrongBuildRefusal(true, true), nullptr);
    EXPECT_NE(std::string(WrongBuildRefusal(true, true)).find("64-bit build"), std::string::npos);
    EXPECT_EQ(WrongBuildRefusal(true, false), nullptr);
    EXPECT_EQ(WrongBuildRefusal(false, true), nullptr);
    EXPECT_EQ(WrongBuildRefusal(), nullptr);
}

// Windows Installer's key paths of components kept in the registry (MsiGetComponentPath).
TEST(InstallerKeyPaths, AreNeverTakenForFilePaths)
{
    for (const char* text : {"00:\\CLSID\\{1}\\", "01:\\Software\\Vendor\\Value", "02:\\SOFTWARE\\Vendor\\Key\\",
                             "03:\\S-1-5-18\\Software\\", "04:\\x", "20:\\x", "21:\\x", "22:\\SOFTWARE\\Vendor\\Key\\",
                             "23:\\x", "24:\\x"}) {
        EXPECT_TRUE(IsInstallerKeyPath(text)) << text;
        EXPECT_TRUE(IsUntestablePath(text)) << text;
    }
    for (const char* text : {"C:\\x", "05:\\x", "10:\\x", "12:\\x", "32:\\x", "2:\\x", "02:x", "02:/x", "02:",
                             "a02:\\x", "\\\\?\\C:\\x", ""})
        EXPECT_FALSE(IsInstallerKeyPath(text)) << text;
    EXPECT_FALSE(IsUntestablePath("C:\\Windows\\notepad.exe"));

    // Every file test takes it as no file: nothing to report.
    EXPECT_TRUE(FileReferenceExists("02:\\SOFTWARE\\Vendor\\Key\\"));
    EXPECT_TRUE(CommandLineTargetExists("22:\\SOFTWARE\\Vendor Name\\Key\\Value"));
    CFilePresence files;
    EXPECT_TRUE(files.DrivePathPresent("22:\\SOFTWARE\\Vendor Name\\Key\\", true));
    EXPECT_TRUE(files.Exists("01:\\Software\\Vendor\\Value"));
    EXPECT_FALSE(files.DrivePathPresent("C:\\hivora-missing\\tool.exe", false));
}

TEST(RestoreNameTail, AddsTheRestOfACutName)
{
    EXPECT_EQ(RestoreNameTail("C:\\A\\b.dllX", "b.dll", "C:\\A\\b.dll"), "C:\\A\\b.dllX");
    EXPECT_EQ(RestoreNameTail("C:\\A\\b.dll.bak /s", "C:\\A\\b.dll", "C:\\A\\b.dll"), "C:\\A\\b.dll.bak");
    EXPECT_EQ(RestoreNameTail("\"C:\\A\\b.dll.1\"", "C:\\A\\b.dll", "C:\\A\\b.dll"), "C:\\A\\b.dll.1");
    EXPECT_EQ(RestoreNameTail("C:\\A\\b.dll /s", "C:\\A\\b.dll", "C:\\A\\b.dll"), "C:\\A\\b.dll");
    EXPECT_EQ(RestoreNameTail("\"C:\\A\\b.dll\"", "C:\\A\\b.dll", "C:\\A\\b.dll"), "C:\\A\\b.dll");
    EXPECT_EQ(RestoreNameTail("C:\\A\\b.dll", "C:\\A\\b.dll", "C:\\A\\b.dll"), "C:\\A\\b.dll");
    // A tail that is not in the raw text leaves the normalised path as it is.
    EXPECT_EQ(RestoreNameTail("C:\\A\\b.dll", "C:\\Z\\q.dll", "C:\\Z\\q.dll"), "C:\\Z\\q.dll");
}

TEST(SplitKeyPath, SplitsAtTheFirstBackslash)
{
    EXPECT_EQ(SplitKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\A"), std::make_pair(std::string("HKEY_LOCAL_MACHINE"),
                                                                             std::string("SOFTWARE\\A")));
    EXPECT_EQ(SplitKeyPath("HKEY_LOCAL_MACHINE"), std::make_pair(std::string(), std::string("HKEY_LOCAL_MACHINE")));
    EXPECT_EQ(RootKeyFromName("HKEY_USERS"), HKEY_USERS);
    EXPECT_EQ(RootKeyFromName("HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(RootKeyFromName("hkey_users"), nullptr);
    EXPECT_EQ(RootKeyFromName("HKEY_DYN_DATA"), nullptr);
}

TEST(OpenOrCreateKey, ReadAccessNeverCreates)
{
    RegistrySandbox sandbox;
    CRegKeyHolder reader(KEY_READ);
    EXPECT_FALSE(OpenOrCreateKey(reader, HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing"));
    EXPECT_FALSE(KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing"));
    EXPECT_EQ(reader.m_strSubKey, "SOFTWARE\\Missing");

    CRegKeyHolder writer(KEY_ALL_ACCESS);
    EXPECT_TRUE(OpenOrCreateKey(writer, HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing"));
    EXPECT_TRUE(writer.m_hKey);
    EXPECT_TRUE(KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing"));

    SetString("HKEY_CURRENT_USER\\Software\\There", "v", "d");
    CRegKeyHolder existing(KEY_READ);
    EXPECT_TRUE(OpenOrCreateKey(existing, HKEY_CURRENT_USER, "Software\\There"));
}

TEST(IsKeyReportable, FollowsTheRootNameRules)
{
    RegistrySandbox sandbox;
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\App", "v", "d");
    EXPECT_TRUE(CRegistryProblem("HKEY_LOCAL_MACHINE\\SOFTWARE\\App", "v", "d", RPT_APP_PATHS, 0).IsKeyReportable());
    EXPECT_FALSE(CRegistryProblem("hkey_local_machine\\SOFTWARE\\App", "v", "d", RPT_APP_PATHS, 0).IsKeyReportable());
    EXPECT_FALSE(CRegistryProblem("HKEY_LOCAL_MACHINE", "v", "d", RPT_APP_PATHS, 0).IsKeyReportable());
    EXPECT_TRUE(CRegistryProblem("C:\\Users\\x\\Start Menu", "a.lnk", "C:\\gone.exe", RPT_SHORTCUTS, 0)
                    .IsKeyReportable());
}
