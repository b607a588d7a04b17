#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "repair/exclusion_list.h"
#include "repair/ignore_list.h"
#include "repair/windows_keys.h"

namespace {

const std::string kAppX = "AppXq0fevzme2pys62n3e0fbqa7peapykr8v";

// Every name a classes root is seen under, with and without its Wow6432Node view.
const std::vector<std::string> kClassesRoots = {
    "HKEY_CLASSES_ROOT",
    "HKEY_CLASSES_ROOT\\Wow6432Node",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Classes",
    "HKEY_CURRENT_USER\\Software\\Classes",
    "HKEY_CURRENT_USER\\Software\\Classes\\Wow6432Node",
    "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software\\Classes",
    "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software\\Wow6432Node\\Classes",
    "HKEY_USERS\\S-1-5-21-1-2-3-1001_Classes",
    "HKEY_USERS\\S-1-5-21-1-2-3-1001_Classes\\Wow6432Node",
};

TEST(PackageState, AppXProgIdsAreAppXAndThirtyTwoLettersAndDigits)
{
    EXPECT_TRUE(IsAppXProgId(kAppX));
    EXPECT_TRUE(IsAppXProgId("appx43HNXTBYYPS62JHE9SQPDZXN1790ZETC"));
    EXPECT_FALSE(IsAppXProgId(kAppX.substr(0, 35)));
    EXPECT_FALSE(IsAppXProgId(kAppX + "0"));
    EXPECT_FALSE(IsAppXProgId("AppX" + std::string(31, 'a') + "-"));
    EXPECT_FALSE(IsAppXProgId("ApqX" + std::string(32, 'a')));
}

TEST(PackageState, TreesAreKnownUnderEveryClassesRootInAnyCase)
{
    const std::vector<std::string> trees = {
        "Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Repository\\Packages\\"
        "Microsoft.Photos_2021.1_x64__8wekyb3d8bbwe",
        "local settings\\SOFTWARE\\microsoft\\windows\\currentversion\\appmodel",
        "Local Settings\\MrtCache\\C:%5CProgram Files%5CWindowsApps%5Cx%5Cresources.pri\\1d6\\e3b0",
        "ActivatableClasses\\Package\\Microsoft.Photos_8wekyb3d8bbwe",
        "PackagedCom\\ClassIndex\\{01234567-89AB-CDEF-0123-456789ABCDEF}",
        kAppX,
        kAppX + "\\Shell\\open\\command",
        "APPX" + kAppX.substr(4) + "\\DefaultIcon",
    };
    for (const std::string& root : kClassesRoots)
        for (const std::string& tree : trees)
            EXPECT_TRUE(IsPackageStateKey(root + "\\" + tree)) << root << "\\" << tree;
    EXPECT_TRUE(IsPackageStateKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\"
                                  "AppxAllUserStore\\Applications"));
    EXPECT_TRUE(IsPackageStateKey("HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\APPX"));

    for (const char* elsewhere : {
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Local Settings\\MrtCache",
             "HKEY_CLASSES_ROOT\\CLSID\\{1}\\ActivatableClasses",
             "HKEY_CLASSES_ROOT\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModelX",
             "HKEY_CLASSES_ROOT\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppContainer",
             "HKEY_CLASSES_ROOT\\AppXq0fevzme2pys62n3e0fbqa7peapykr8\\DefaultIcon",
             "HKEY_CLASSES_ROOT\\CLSID\\AppXq0fevzme2pys62n3e0fbqa7peapykr8v",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\Classes\\PackagedCom",
             "HKEY_USERS\\S-1-5-21-1-2-3-1001\\PackagedCom",
             "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
         })
        EXPECT_FALSE(IsPackageStateKey(elsewhere)) << elsewhere;
}

// Windows Installer's records of the products it installed: repair, patching and uninstall read them.
TEST(PackageState, WindowsInstallerRecordsAreKnownUnderEachOfTheirNames)
{
    for (const std::string& root : kClassesRoots)
        for (const char* tree : {"Installer", "Installer\\Products\\1F2E3D4C5B6A79881F2E3D4C5B6A7988\\SourceList",
                                 "INSTALLER\\Features\\x", "Installer\\Patches", "Installer\\UpgradeCodes\\x",
                                 "Installer\\Components\\x", "Installer\\Dependencies\\x"})
            EXPECT_TRUE(IsPackageStateKey(root + "\\" + tree)) << root << "\\" << tree;
    for (const char* software : {"HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node"})
        for (const char* tree : {
                 "Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\7A1B\\",
                 "Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-21-1-2-3-1001\\Products\\x",
                 "Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Patches\\x",
                 "microsoft\\windows\\currentversion\\installer\\Folders",
                 "Microsoft\\Windows\\CurrentVersion\\Installer\\Managed\\S-1-5-21-1-2-3-1001\\Installer\\Products",
                 "Microsoft\\Windows\\CurrentVersion\\Installer",
             })
            EXPECT_TRUE(IsPackageStateKey(std::string(software) + "\\" + tree)) << software << "\\" << tree;
    for (const char* user : {"HKEY_CURRENT_USER\\Software", "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software"})
        for (const char* tree : {"Microsoft\\Installer\\Products\\x", "Microsoft\\Installer\\Features",
                                 "Microsoft\\Installer\\UpgradeCodes\\x"})
            EXPECT_TRUE(IsPackageStateKey(std::string(user) + "\\" + tree)) << user << "\\" << tree;

    for (const char* elsewhere : {
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Installer",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\InstallerX",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{1}",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\msiserver",
             "HKEY_CLASSES_ROOT\\CLSID\\{1}\\Installer",
             "HKEY_CURRENT_USER\\Software\\Vendor\\Microsoft\\Installer",
         })
        EXPECT_FALSE(IsPackageStateKey(elsewhere)) << elsewhere;
}

TEST(PackageState, FilesOfPackagedAppsAreKnownByTheirFolders)
{
    for (const char* text : {
             "C:\\Program Files\\WindowsApps\\Microsoft.Photos_2021.1_x64__8wekyb3d8bbwe\\Photos.exe",
             "\"c:\\PROGRAM FILES\\windowsapps\\x\\app.exe\" -ServerName:App",
             "D:\\Program Files\\WindowsApps",
             "%ProgramFiles%\\WindowsApps\\x\\app.exe",
             "@{C:\\Program Files\\WindowsApps\\x\\resources.pri? ms-resource:///Files/logo.png}",
             "C:\\Windows\\SystemApps\\Microsoft.Windows.Search_cw5n1h2txyewy\\SearchApp.exe",
             "%SystemRoot%\\SystemApps\\x\\y.dll",
             "C:\\PROGRA~1\\WindowsApps\\x\\y.exe",
         })
        EXPECT_TRUE(NamesPackagedAppFolder(text)) << text;
    for (const char* text : {
             "C:\\Program Files\\WindowsAppsBackup\\x.exe",
             "C:\\Program Files\\Vendor\\WindowsApps\\x.exe",
             "C:\\Windows\\SystemApps2\\x.exe",
             "C:\\MyWindows\\SystemApps\\x.exe",
             "C:\\Windows\\System32\\LaunchWinApp.exe",
             "",
         })
        EXPECT_FALSE(NamesPackagedAppFolder(text)) << text;
}

TEST(PackageState, IsNeverReportedWhateverTheCheckFound)
{
    ClearIgnoreList();
    const auto suppressed = [](const char* key, const char* name, const std::string& data) {
        return IsProblemSuppressed(CRegistryProblem(key, name, data, RPT_DEEP_SCAN, 0));
    };
    EXPECT_TRUE(suppressed("HKEY_USERS\\S-1-5-21-1-2-3-1001_Classes\\Local Settings\\Software\\Microsoft\\Windows\\"
                           "CurrentVersion\\AppModel\\Repository\\Packages\\P",
                           "PackageRootFolder", "C:\\hv-missing\\P"));
    EXPECT_TRUE(suppressed("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", "Tile",
                           "C:\\Program Files\\WindowsApps\\P\\tile.png"));
    EXPECT_TRUE(suppressed("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                           "C:\\Windows\\SystemApps\\P\\x.dll", ""));
    // A file association names the packaged app's identifier, not a file.
    EXPECT_TRUE(IsProblemSuppressed(CRegistryProblem("HKEY_CLASSES_ROOT\\.hvpkg", "(Default)", kAppX, RPT_FILE_ASSOC, 0)));
    EXPECT_FALSE(suppressed("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", "Tool", "C:\\hv-missing\\tool.exe"));
}

TEST(ProtectedKeys, RootsHivesAndKeysDirectlyUnderAHive)
{
    for (const char* key : {
             "HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT\\", "HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE\\SOFTWARE",
             "HKEY_LOCAL_MACHINE\\SYSTEM", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", "HKEY_LOCAL_MACHINE\\SYSTEM\\Setup",
             "HKEY_USERS", "HKEY_USERS\\", "HKEY_USERS\\.DEFAULT", "HKEY_USERS\\S-1-5-21-1-2-3-1001",
             "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software", "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Printers",
             "HKEY_USERS\\S-1-5-21-1-2-3-1001_Classes", "HKEY_USERS\\S-1-5-21-1-2-3-1001_Classes\\.txt",
             "HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER\\AppEvents",
             "HKEY_CURRENT_CONFIG\\Software", "hkey_users\\s-1-5-18\\", "HKEY_USERS\\\\S-1-5-18\\\\Software\\",
             "HKEY_DYN_DATA\\Anything\\Deeper\\Still", "",
         })
        EXPECT_TRUE(IsProtectedKey(key)) << key;
}

TEST(ProtectedKeys, ContainersTheirWow6432NodeFormsAndTheKeysAboveThem)
{
    std::vector<std::string> keys;
    for (const std::string& root : kClassesRoots)
        for (const char* container : {"CLSID", "appid", "TypeLib", "Interface", "Installer"})
            keys.push_back(root + "\\" + container);
    for (const char* software : {
             "HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node", "HKEY_CURRENT_USER\\Software",
             "HKEY_CURRENT_USER\\Software\\Wow6432Node", "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software",
             "HKEY_USERS\\.DEFAULT\\Software\\Wow6432Node",
         })
        for (const char* container : {
                 "Microsoft\\Windows\\CurrentVersion\\Uninstall", "Microsoft\\Windows\\CurrentVersion\\Run",
                 "Microsoft\\Windows\\CurrentVersion\\RUNONCE", "Microsoft\\Windows\\CurrentVersion\\App Paths",
                 "Microsoft\\Windows\\CurrentVersion\\SharedDLLs", "Microsoft\\Windows\\CurrentVersion\\Explorer",
                 "Microsoft\\Windows\\CurrentVersion\\Installer", "Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                 "Microsoft\\Windows\\Help", "Microsoft\\Windows\\HTML Help", "Microsoft\\Windows\\CurrentVersion",
                 "Microsoft\\Windows NT", "Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
             })
            keys.push_back(std::string(software) + "\\" + container);
    keys.push_back("HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps");
    keys.push_back("HKEY_USERS\\S-1-5-21-1-2-3-1001\\AppEvents\\Schemes");
    for (const std::string& key : keys)
        EXPECT_TRUE(IsProtectedKey(key)) << key;
}

TEST(ProtectedKeys, EntriesBelowContainersMayGo)
{
    for (const char* key : {
             "HKEY_CLASSES_ROOT\\CLSID\\{1}",
             "HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32",
             "HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{1}",
             "HKEY_CLASSES_ROOT\\.hvx",
             "HKEY_CLASSES_ROOT\\hvx.file",
             "HKEY_CLASSES_ROOT\\TypeLib\\{1}\\1.0",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1}",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product",
             "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start "
             "Menu\\Programs\\Old",
             "HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\HvApp",
             "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software\\Vendor",
             "HKEY_USERS\\S-1-5-21-1-2-3-1001_Classes\\CLSID\\{1}",
             "HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
         })
        EXPECT_FALSE(IsProtectedKey(key)) << key;
}

} // namespace
