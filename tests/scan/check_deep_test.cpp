#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "framework/handles.h"
#include "problems.h"
#include "sandbox.h"
#include "scan/checks.h"
#include "scan/scanner.h"
#include "scope_guard.h"
#include "tempdir.h"

namespace {

const std::string kSoftware = "HKEY_LOCAL_MACHINE\\SOFTWARE";

class DeepScan : public testing::Test {
protected:
    DeepScan() { g_arrProblems.clear(); }
    ~DeepScan() override { g_arrProblems.clear(); }

    // "key|value name|data" of every problem reported, sorted: the registry decides the walk order.
    static std::vector<std::string> Found()
    {
        std::vector<std::string> found = ProblemLines(RPT_DEEP_SCAN);
        std::sort(found.begin(), found.end());
        return found;
    }

    RegistrySandbox sandbox;
    TempDir temp;
    CRegistryScanner engine;
};

TEST_F(DeepScan, StringValuesNamingMissingFilesAreReportedInBothTrees)
{
    const std::string tool = temp.WriteFile("Tools\\tool.exe");
    const std::string gone = "C:\\hivora-missing\\tool.exe";
    SetString(kSoftware + "\\HvDeep\\Level1\\Level2", "Tool", gone + " -switch");
    SetString(kSoftware + "\\HvDeep\\Level1\\Level2", "Present", "\"" + tool + "\" -switch");
    SetString(kSoftware + "\\HvDeep\\Level1", "", gone);
    SetString(kSoftware + "\\HvDeep\\Level1", "Expandable", gone, REG_EXPAND_SZ);
    SetString(kSoftware + "\\HvDeep\\Level1", "Multi", gone, REG_MULTI_SZ);
    SetString(kSoftware, "Top", gone);
    SetString("HKEY_USERS\\S-1-5-21\\Software\\Vendor", "Recent", gone);
    // A value of the top key has no key path that could be opened for its repair.
    SetString("HKEY_USERS\\", "Root", gone);
    SetString("HKEY_LOCAL_MACHINE\\SYSTEM\\HvDeep", "Outside", gone);
    SetString("HKEY_LOCAL_MACHINE\\", "Outside", gone);

    CheckDeepScan(engine);

    EXPECT_EQ(Found(), (std::vector<std::string>{
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\HvDeep\\Level1\\Level2|Tool|" + gone + " -switch",
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\HvDeep\\Level1||" + gone,
                           "HKEY_LOCAL_MACHINE\\SOFTWARE|Top|" + gone,
                           "HKEY_USERS\\S-1-5-21\\Software\\Vendor|Recent|" + gone,
                       }));
}

// Windows Installer's records of its products, and the registry key paths of components, are
// never findings; a stale value beside them still is.
TEST_F(DeepScan, WindowsInstallerRecordsAreNeverFindings)
{
    const std::string gone = "C:\\hivora-missing\\tool.exe";
    const std::string component = "Components\\7A1B3C5D7E9F1A2B3C4D5E6F7A8B9C0D";
    const std::string product = "1F2E3D4C5B6A79881F2E3D4C5B6A7988";
    const std::string installer = kSoftware + "\\Microsoft\\Windows\\CurrentVersion\\Installer";
    SetString(installer + "\\UserData\\S-1-5-18\\" + component, product, gone);
    SetString(installer + "\\UserData\\S-1-5-18\\Products\\" + product + "\\InstallProperties", "LocalPackage",
              "C:\\Windows\\Installer\\hvgone.msi");
    SetString(kSoftware + "\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\" +
                  component,
              product, gone);
    SetString(kSoftware + "\\Classes\\Installer\\Products\\" + product + "\\SourceList", "LastUsedSource",
              "n;1;C:\\hivora-missing\\");
    SetString(kSoftware + "\\Classes\\Installer\\Products\\" + product, "ProductIcon",
              "C:\\Windows\\Installer\\{1}\\hvgone.exe");
    SetString("HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software\\Microsoft\\Installer\\Products\\" + product,
              "ProductIcon", gone);
    SetString("HKEY_USERS\\S-1-5-21-1-2-3-1001_Classes\\Installer\\Products\\" + product, "ProductIcon", gone);
    // Component key paths that name registry keys and values, anywhere they are written.
    SetString(kSoftware + "\\HvVendor", "KeyPath", "02:\\SOFTWARE\\HvVendor\\Key\\");
    SetString(kSoftware + "\\HvVendor", "ValuePath", "22:\\SOFTWARE\\HvVendor Name\\Key\\Value");
    SetString(kSoftware + "\\HvVendor", "UserPath", "01:\\Software\\HvVendor\\Settings\\");
    SetString(kSoftware + "\\HvVendor", "Stale", gone);

    CheckDeepScan(engine);

    EXPECT_EQ(Found(), std::vector<std::string>{kSoftware + "\\HvVendor|Stale|" + gone});
}

TEST_F(DeepScan, OnlyTextsWithADrivePathAfterTheFirstCharacterAreTested)
{
    const std::string dll = temp.WriteFile("Web\\pages.dll");
    const std::string key = kSoftware + "\\HvDeep\\Values";
    SetString(key, "Leading", ":\\hivora-missing\\a.exe");
    SetString(key, "Wildcard", "C:\\hivora-missing\\*.log");
    SetString(key, "Question", "C:\\hivora-missing\\file?.txt");
    SetString(key, "Resource", "res://" + dll + "\\page.htm");
    SetString(key, "GoneResource", "res://C:\\hivora-missing\\gone.dll\\page.htm");
    SetString(key, "Mention", "see C:\\hivora-missing\\readme.txt");
    // Native names, as Windows writes some paths: tested on the path they name.
    SetString(key, "Native", "\\??\\" + dll);
    SetString(key, "NativeGone", "\\??\\C:\\hivora-missing\\driver.sys");

    CheckDeepScan(engine);

    // The text from its start is the command line tested, so a leading word keeps the file unfound.
    EXPECT_EQ(Found(), (std::vector<std::string>{
                           key + "|GoneResource|C:\\hivora-missing\\gone.dll\\page.htm",
                           key + "|Mention|see C:\\hivora-missing\\readme.txt",
                           key + "|NativeGone|\\??\\C:\\hivora-missing\\driver.sys",
                       }));
}

// The form of LocalizedString, DisplayName and many more values: "@" then the file and a resource.
TEST_F(DeepScan, IndirectStringsNameTheirFileAfterTheAt)
{
    const std::string dll = temp.WriteFile("System\\hvshell.dll");
    const std::string key = kSoftware + "\\HvDeep\\Strings";
    SetString(key, "LocalizedString", "@" + dll + ",-20");
    SetString(key, "Gone", "@C:\\hivora-missing\\gone.dll,-5");
    SetString(key, "DoubleAt", "@@" + dll + ",-20");

    CheckDeepScan(engine);

    EXPECT_EQ(Found(), (std::vector<std::string>{
                           key + "|DoubleAt|@@" + dll + ",-20",
                           key + "|Gone|@C:\\hivora-missing\\gone.dll,-5",
                       }));
}

// What lives in memory only could not be given back by a restore. The volatile key is made where
// Windows keeps one (a logon's environment): Windows tells it by the key's flags, and where the system
// gives no flags (Wine), the place tells it.
TEST_F(DeepScan, ValuesOfVolatileKeysAreNeverReported)
{
    CreateKey("HKEY_USERS\\S-1-5-18\\Software\\HvDeep");
    RegKey parent;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "S-1-5-18", 0, KEY_ALL_ACCESS, parent.put()), ERROR_SUCCESS);
    RegKey key;
    ASSERT_EQ(RegCreateKeyExA(parent.get(), "Volatile Environment", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    SetString("HKEY_USERS\\S-1-5-18\\Volatile Environment", "Tool", "C:\\hivora-missing\\tool.exe");
    SetString("HKEY_USERS\\S-1-5-18\\Software\\HvDeep", "Tool", "C:\\hivora-missing\\tool.exe");

    CheckDeepScan(engine);

    EXPECT_EQ(Found(),
              std::vector<std::string>{"HKEY_USERS\\S-1-5-18\\Software\\HvDeep|Tool|C:\\hivora-missing\\tool.exe"});
}

// A 32-bit program's registration names the system folder and the program folders as that program
// sees them: C:\windows\system32 is SysWOW64 to it, %ProgramFiles% the "(x86)" folder.
TEST_F(DeepScan, ThirtyTwoBitRegistrationsAreTestedAsTheirProgramsSeeThem)
{
    char windows[MAX_PATH];
    char wow64[MAX_PATH];
    char x86[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    ASSERT_GT(GetSystemWow64DirectoryA(wow64, MAX_PATH), 0u);
    ASSERT_GT(ExpandEnvironmentStringsA("%ProgramFiles(x86)%", x86, MAX_PATH), 0u);
    const std::string name = "hvwow" + std::to_string(GetCurrentProcessId());
    const std::string only32 = std::string(wow64) + "\\" + name + ".dll";
    const std::string folder32 = std::string(x86) + "\\" + name;
    ASSERT_TRUE(CreateDirectoryA(folder32.c_str(), nullptr));
    const std::string program32 = folder32 + "\\app.exe";
    const ScopeGuard removeFiles([&] {
        DeleteFileA(only32.c_str());
        DeleteFileA(program32.c_str());
        RemoveDirectoryA(folder32.c_str());
    });
    for (const std::string& file : {only32, program32})
        CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_NE(GetFileAttributesA(only32.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string system32 = std::string(windows) + "\\system32\\" + name + ".dll";
    const std::string programFiles = "\"%ProgramFiles%\\" + name + "\\app.exe\" /run";
    for (const std::string& vendor : {kSoftware + "\\Wow6432Node\\HvVendor", kSoftware + "\\HvVendor"}) {
        SetString(vendor, "Server", system32 + ",-1");
        // The file path walk looks at keys with one or two subkeys and expands a leading reference.
        SetString(vendor + "\\Settings", "Program", programFiles, REG_EXPAND_SZ);
        CreateKey(vendor + "\\Settings\\Sub");
    }

    CheckDeepScan(engine);
    const std::vector<std::string> deep = Found();
    g_arrProblems.clear();
    CheckFilePaths(engine);
    std::vector<std::string> paths = ProblemLines(RPT_FILE_PATHS);

    char expanded[MAX_PATH];
    ExpandEnvironmentStringsA(("%ProgramFiles%\\" + name + "\\app.exe").c_str(), expanded, MAX_PATH);
    EXPECT_EQ(deep, std::vector<std::string>{kSoftware + "\\HvVendor|Server|" + system32 + ",-1"});
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{kSoftware + "\\HvVendor\\Settings|Program|" + expanded,
                                               kSoftware + "\\HvVendor|Server|" + system32 + ",-1"}));
}

TEST_F(DeepScan, DeepTreesAndLongNamesAreWalkedWhole)
{
    std::string deep = kSoftware + "\\HvDeep";
    for (int level = 0; level < 120; ++level)
        deep += "\\k";
    const std::string longName(200, 'n');
    SetString(deep, "Bottom", "C:\\hivora-missing\\bottom.exe");
    SetString(kSoftware + "\\HvDeep\\" + longName, "Long", "C:\\hivora-missing\\long.exe");

    CheckDeepScan(engine);

    EXPECT_EQ(Found(), (std::vector<std::string>{
                           deep + "|Bottom|C:\\hivora-missing\\bottom.exe",
                           kSoftware + "\\HvDeep\\" + longName + "|Long|C:\\hivora-missing\\long.exe",
                       }));
}

TEST_F(DeepScan, LongValuesAreReadWhole)
{
    const std::string padding(3000, 'x');
    SetString(kSoftware + "\\HvDeep", "Long", "C:\\hivora-missing\\tool.exe " + padding);

    CheckDeepScan(engine);

    EXPECT_EQ(Found(), std::vector<std::string>{kSoftware + "\\HvDeep|Long|C:\\hivora-missing\\tool.exe " + padding});
}

// SOFTWARE\Wow6432Node\Classes is a link to SOFTWARE\Classes\Wow6432Node, a user's Software\Classes
// one to the hive HKEY_USERS\<SID>_Classes. The tree walks meet what lies behind each link once,
// under its own name.
TEST_F(DeepScan, TreeWalksMeetWhatALinkNamesOnceUnderItsOwnName)
{
    const std::string gone = "C:\\hivora-missing\\x86.dll";
    const std::string classes32 = kSoftware + "\\Classes\\Wow6432Node";
    SetString(classes32 + "\\CLSID\\{W}", "LocalPath", gone);
    SetString(classes32 + "\\CLSID\\{W}\\InprocServer32", "", gone);
    CreateKey(kSoftware + "\\Wow6432Node");
    CreateLink(kSoftware + "\\Wow6432Node\\Classes", classes32);
    const std::string user = "HKEY_USERS\\S-1-5-21-9";
    SetString(user + "_Classes\\HvThing", "Icon", gone);
    CreateKey(user + "_Classes\\HvThing\\Hollow");
    SetDword(user + "\\Software", "Flag", 1);
    CreateLink(user + "\\Software\\Classes", user + "_Classes");
    ASSERT_TRUE(KeyExists(kSoftware + "\\Wow6432Node\\Classes\\CLSID\\{W}\\InprocServer32"));

    CheckDeepScan(engine);
    CheckFilePaths(engine);
    CheckEmptyKeys(engine);

    // The fixture's Found() hides the type of that name.
    using Problem = ::Found;
    std::vector<Problem> found = Problems();
    std::sort(found.begin(), found.end(), [](const Problem& a, const Problem& b) {
        return std::tie(a.type, a.key, a.valueName) < std::tie(b.type, b.key, b.valueName);
    });
    EXPECT_EQ(found, (std::vector<Problem>{
                         {classes32 + "\\CLSID\\{W}", "LocalPath", gone, RPT_FILE_PATHS},
                         {user + "_Classes\\HvThing", "Icon", gone, RPT_FILE_PATHS},
                         {user + "_Classes\\HvThing\\Hollow", "(Default)", "", RPT_EMPTY_KEYS},
                         {classes32 + "\\CLSID\\{W}", "LocalPath", gone, RPT_DEEP_SCAN},
                         {classes32 + "\\CLSID\\{W}\\InprocServer32", "", gone, RPT_DEEP_SCAN},
                         {user + "_Classes\\HvThing", "Icon", gone, RPT_DEEP_SCAN},
                     }));
}

TEST_F(DeepScan, StopEndsTheWalk)
{
    SetString(kSoftware + "\\HvDeep\\Inner", "Tool", "C:\\hivora-missing\\tool.exe");
    engine.RequestStop();

    CheckDeepScan(engine);

    EXPECT_TRUE(Found().empty());
}

} // namespace
