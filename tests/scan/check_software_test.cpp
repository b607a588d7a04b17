#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "path_recorder.h"
#include "problems.h"
#include "sandbox.h"
#include "scan/check_support.h"
#include "scan/checks.h"
#include "scan/scanner.h"
#include "scope_guard.h"
#include "tempdir.h"

namespace {

const std::string kUninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kFonts = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::string kSharedDlls = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kAppPaths = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kHelp = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HELP";
const std::string kHtmlHelp = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HTML Help";
const std::string kUserShellFolders =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::string kShellFolders =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The text in double quotes (built by appending: g++ 12 warns falsely on "\"" + s + "\"").
std::string Quoted(const std::string& text)
{
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

class SoftwareChecks : public testing::Test {
protected:
    void SetUp() override { g_arrProblems.clear(); }
    void TearDown() override { g_arrProblems.clear(); }

    RegistrySandbox m_sandbox;
    TempDir m_dir;
    CRegistryScanner m_engine;
};

TEST_F(SoftwareChecks, UninstallEntriesNameTheirProgram)
{
    const std::string gone = Quoted(m_dir / "hvapp\\unins000.exe") + " /SILENT";
    SetString(kUninstall + "\\HvGone", "UninstallString", gone);
    SetString(kUninstall + "\\HvPresent", "UninstallString",
              Quoted(m_dir.WriteFile("hvkept\\unins000.exe")) + " /SILENT");
    SetString(kUninstall + "\\HvInstaller", "UninstallString",
              "MsiExec.exe /X{11111111-2222-3333-4444-555555555555}");
    SetString(kUninstall + "\\HvScript", "UninstallString", "RunDll32 " + m_dir / "hvnone.dll" + ",Remove");
    // Not one of the accepted spellings, so the file is tested; the report step drops it anyway.
    SetString(kUninstall + "\\HvLoud", "UninstallString",
              m_dir / "MSIEXEC.EXE" + " /X{11111111-2222-3333-4444-555555555555}");
    SetString(kUninstall + "\\HvNoCommand", "DisplayName", "Nothing to run");

    PathRecorder recorder;
    m_engine.SendNotificationsTo(recorder.Window());
    CheckUninstall(m_engine);

    const std::vector<Found> expected = {{kUninstall, "HvGone", gone, RPT_UNINSTALL}};
    EXPECT_EQ(Problems(), expected);
    EXPECT_EQ(m_engine.Found(RPT_UNINSTALL), 1);
    EXPECT_EQ(recorder.First(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HvGone");
}

TEST_F(SoftwareChecks, FontsAreLookedUpInTheShellFontFolders)
{
    const std::string userFolder = m_dir / "hvuserfonts";
    const std::string shellFolder = m_dir / "hvshellfonts";
    m_dir.WriteFile("hvuserfonts\\hvone.ttf");
    m_dir.WriteFile("hvshellfonts\\hvtwo.ttf");
    const std::string elsewhere = m_dir.WriteFile("hvelsewhere\\hvfull.ttf");
    SetString(kUserShellFolders, "Fonts", userFolder);
    SetString(kShellFolders, "Fonts", shellFolder);
    SetString(kFonts, "Hv One (TrueType)", "hvone.ttf");
    SetString(kFonts, "Hv Two (TrueType)", "hvtwo.ttf");
    SetString(kFonts, "Hv Three (TrueType)", "hvthree.ttf");
    // File names are compared without case, and the search takes wildcards.
    SetString(kFonts, "Hv Upper (TrueType)", "HVONE.TTF");
    SetString(kFonts, "Hv Wild (TrueType)", "hvtw?.ttf");
    SetString(kFonts, "Hv Wilder (TrueType)", "hvx*.ttf");
    // A font registered with its full path (as Wine and installers register fonts kept
    // elsewhere) is looked for there.
    SetString(kFonts, "Hv Full (TrueType)", elsewhere);
    SetString(kFonts, "Hv Full Gone (TrueType)", m_dir / "hvelsewhere\\hvgone.ttf");
    // Wine registers its own fonts, and Windows some paths, by their native names.
    SetString(kFonts, "Hv Native (TrueType)", "\\??\\" + elsewhere);
    SetString(kFonts, "Hv Native Gone (TrueType)", "\\??\\" + (m_dir / "hvelsewhere\\hvgone2.ttf"));

    CheckFonts(m_engine);

    const std::vector<Found> expected = {
        {kFonts, "Hv Full Gone (TrueType)", m_dir / "hvelsewhere\\hvgone.ttf", RPT_FONTS},
        {kFonts, "Hv Native Gone (TrueType)", "\\??\\" + (m_dir / "hvelsewhere\\hvgone2.ttf"), RPT_FONTS},
        {kFonts, "Hv Three (TrueType)", "hvthree.ttf", RPT_FONTS},
        {kFonts, "Hv Wilder (TrueType)", "hvx*.ttf", RPT_FONTS},
    };
    EXPECT_EQ(Problems(), expected);
}

// A profile may have no Fonts value at all (a fresh one, an account used only to approve
// elevation): fonts registered by name are looked for where Windows keeps them.
TEST_F(SoftwareChecks, FontsAreLookedForInTheSystemFontsFolder)
{
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    const std::string name = "hvfont" + std::to_string(GetCurrentProcessId());
    const std::string installed = std::string(windows) + "\\Fonts\\" + name + ".ttf";
    const ScopeGuard removeFont([&] { DeleteFileA(installed.c_str()); });
    CloseHandle(CreateFileA(installed.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_NE(GetFileAttributesA(installed.c_str()), INVALID_FILE_ATTRIBUTES);
    SetString(kFonts, "Hv Installed (TrueType)", name + ".TTF");
    SetString(kFonts, "Hv Stale (TrueType)", name + "gone.ttf");

    CheckFonts(m_engine);
    EXPECT_EQ(Problems(), (std::vector<Found>{{kFonts, "Hv Stale (TrueType)", name + "gone.ttf", RPT_FONTS}}));

    // Where no fonts folder can be found, no font can be told missing.
    g_arrProblems.clear();
    CheckFontsIn(m_engine, "");
    EXPECT_EQ(Problems(), std::vector<Found>{});

    m_dir.WriteFile("hvsystem\\" + name + "gone.ttf");
    CheckFontsIn(m_engine, m_dir / "hvsystem");
    EXPECT_EQ(Problems(), (std::vector<Found>{{kFonts, "Hv Installed (TrueType)", name + ".TTF", RPT_FONTS}}));
}

TEST_F(SoftwareChecks, EmptyReferencesAreNoFindings)
{
    // Installer-managed products often leave the uninstall command empty.
    SetString(kUninstall + "\\HvEmpty", "UninstallString", "");
    SetString(kUninstall + "\\HvQuotes", "UninstallString", "\"\"");
    SetString(kAppPaths + "\\hvempty.exe", "", "");
    SetDword(kSharedDlls, "", 1);
    SetString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "HvEmpty", "");
    SetString("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "HvEmpty", "");

    CheckUninstall(m_engine);
    CheckAppPaths(m_engine);
    CheckSharedDlls(m_engine);
    CheckStartup(m_engine);

    EXPECT_EQ(Problems(), std::vector<Found>{});
}

TEST_F(SoftwareChecks, FontFolderIsUsedUnexpanded)
{
    m_dir.WriteFile("hvfonts\\hvone.ttf");
    SetEnvironmentVariableA("HV_TEST_FONTS", (m_dir / "hvfonts").c_str());
    SetString(kUserShellFolders, "Fonts", "%HV_TEST_FONTS%", REG_EXPAND_SZ);
    SetString(kFonts, "Hv One (TrueType)", "hvone.ttf");

    CheckFonts(m_engine);
    SetEnvironmentVariableA("HV_TEST_FONTS", nullptr);

    const std::vector<Found> expected = {{kFonts, "Hv One (TrueType)", "hvone.ttf", RPT_FONTS}};
    EXPECT_EQ(Problems(), expected);
}

TEST_F(SoftwareChecks, OverLongValueEndsTheFontWalk)
{
    SetString(kShellFolders, "Fonts", m_dir.Path());
    SetString(kFonts, "A Long One", std::string(1100, 'a'));
    SetString(kFonts, "Z Missing", "hvmissing.ttf");

    CheckFonts(m_engine);

    EXPECT_TRUE(g_arrProblems.empty());
}

TEST_F(SoftwareChecks, SharedDllsAreTestedAsNamed)
{
    const std::string searchFolder = m_dir / "hvsearch";
    m_dir.WriteFile("hvsearch\\hvonpath.dll");
    char oldPath[32767];
    const DWORD oldLen = GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
    ASSERT_GT(oldLen, 0u);
    ASSERT_LT(oldLen, sizeof oldPath);
    SetEnvironmentVariableA("PATH", (searchFolder + ";" + oldPath).c_str());

    const std::string present = m_dir.WriteFile("hvshared.dll");
    const std::string gone = m_dir / "hvgone.dll";
    SetDword(kSharedDlls, present, 1);
    SetDword(kSharedDlls, gone, 2);
    SetDword(kSharedDlls, "hvonpath.dll", 1);
    // The name is tested as it stands, quotes and arguments included. No file can have a quoted
    // name, but the system says so as "invalid name", not "not found": it cannot be checked.
    SetDword(kSharedDlls, Quoted(present), 1);

    PathRecorder recorder;
    m_engine.SendNotificationsTo(recorder.Window());
    CheckSharedDlls(m_engine);
    SetEnvironmentVariableA("PATH", oldPath);

    const std::vector<Found> expected = {{kSharedDlls, gone, "", RPT_SHARED_DLLS}};
    std::vector<Found> found = Problems();
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.valueName < b.valueName; });
    EXPECT_EQ(found, expected);
    EXPECT_EQ(recorder.First(), Quoted(present));
}

TEST_F(SoftwareChecks, AppPathsReportTheDefaultValueAsRead)
{
    const std::string gone = Quoted(m_dir / "hvgone.exe");
    SetString(kAppPaths + "\\hvgone.exe", "", gone);
    SetString(kAppPaths + "\\hvthere.exe", "", m_dir.WriteFile("hvthere.exe"));
    SetString(kAppPaths + "\\hvnodefault.exe", "Path", m_dir.Path());

    CheckAppPaths(m_engine);

    const std::vector<Found> expected = {{kAppPaths, "hvgone.exe", gone, RPT_APP_PATHS}};
    EXPECT_EQ(Problems(), expected);
}

// A drive letter no drive has now: a USB stick that is not plugged in, a share mapped by another logon.
std::string AbsentDrive()
{
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Z'; letter >= 'D'; --letter)
        if (!(drives & (1u << (letter - 'A'))))
            return std::string(1, letter) + ":";
    return {};
}

// What cannot be checked is no finding: a share, a drive that is not there now. A file that is
// truly missing from the fixed system drive beside them still is.
TEST_F(SoftwareChecks, FilesThatCannotBeCheckedAreNeverReported)
{
    const std::string absent = AbsentDrive();
    ASSERT_FALSE(absent.empty());
    const std::string share = "\\\\hivora-nowhere.invalid\\apps";
    const std::string gone = m_dir / "hvgone.exe";
    SetString(kAppPaths + "\\hvshare.exe", "", share + "\\hvshare.exe");
    SetString(kAppPaths + "\\hvusb.exe", "", absent + "\\PortableApps\\hvusb.exe");
    SetString(kAppPaths + "\\hvthere.exe", "", m_dir.WriteFile("hvthere.exe"));
    SetString(kAppPaths + "\\hvgone.exe", "", gone);
    SetString(kUninstall + "\\HvShare", "UninstallString", Quoted(share + "\\unins000.exe") + " /SILENT");
    SetString(kUninstall + "\\HvUsb", "UninstallString", absent + "\\App\\unins000.exe /SILENT");
    SetDword(kSharedDlls, share + "\\hvshared.dll", 1);
    SetDword(kSharedDlls, absent + "\\hvshared.dll", 1);
    SetString(kHelp, "hvshare.hlp", share);
    SetString(kHelp, "hvusb.hlp", absent + "\\Help");

    CheckUninstall(m_engine);
    CheckSharedDlls(m_engine);
    CheckAppPaths(m_engine);
    CheckHelpFiles(m_engine);

    const std::vector<Found> expected = {{kAppPaths, "hvgone.exe", gone, RPT_APP_PATHS}};
    EXPECT_EQ(Problems(), expected);
}

TEST_F(SoftwareChecks, HelpFilesJoinFolderAndName)
{
    const std::string folder = m_dir.Path();
    m_dir.WriteFile("hvplain.hlp");
    SetString(kHelp, "hvplain.hlp", folder);
    SetString(kHelp, "hvgone.hlp", folder);
    SetString(kHtmlHelp, "hvgone.chm", folder + "\\");

    CheckHelpFiles(m_engine);

    const std::vector<Found> expected = {
        {kHelp, "hvgone.hlp", folder, RPT_HELP_FILES},
        {kHtmlHelp, "hvgone.chm", folder + "\\", RPT_HELP_FILES},
    };
    EXPECT_EQ(Problems(), expected);
}

TEST_F(SoftwareChecks, HelpFolderEndingInABackslashGetsNoSecond)
{
    SetString(kHelp, "hvslash.hlp", m_dir.Path() + "\\");

    PathRecorder recorder;
    m_engine.SendNotificationsTo(recorder.Window());
    CheckHelpFiles(m_engine);

    EXPECT_EQ(recorder.First(), m_dir / "hvslash.hlp");
}

TEST_F(SoftwareChecks, HtmlHelpIsWalkedWithoutTheHelpKey)
{
    SetString(kHtmlHelp, "hvgone.chm", m_dir.Path());

    CheckHelpFiles(m_engine);

    const std::vector<Found> expected = {{kHtmlHelp, "hvgone.chm", m_dir.Path(), RPT_HELP_FILES}};
    EXPECT_EQ(Problems(), expected);
}

TEST_F(SoftwareChecks, StopEndsEachWalkBeforeItsFirstItem)
{
    SetString(kUninstall + "\\HvGone", "UninstallString", m_dir / "hvgone.exe");
    SetString(kShellFolders, "Fonts", m_dir.Path());
    SetString(kFonts, "Hv Gone", "hvgone.ttf");
    SetDword(kSharedDlls, m_dir / "hvgone.dll", 1);
    SetString(kAppPaths + "\\hvgone.exe", "", m_dir / "hvgone.exe");
    SetString(kHelp, "hvgone.hlp", m_dir.Path());
    SetString(kHtmlHelp, "hvgone.chm", m_dir.Path());

    m_engine.RequestStop();
    CheckUninstall(m_engine);
    CheckFonts(m_engine);
    CheckSharedDlls(m_engine);
    CheckAppPaths(m_engine);
    CheckHelpFiles(m_engine);

    EXPECT_TRUE(g_arrProblems.empty());
}

TEST_F(SoftwareChecks, MissingKeysReportNothing)
{
    CheckUninstall(m_engine);
    CheckFonts(m_engine);
    CheckSharedDlls(m_engine);
    CheckAppPaths(m_engine);
    CheckHelpFiles(m_engine);

    EXPECT_TRUE(g_arrProblems.empty());
}

} // namespace
