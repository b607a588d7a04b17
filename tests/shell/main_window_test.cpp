// Hivora.exe as a person meets it: first start with the splash, the category panel, the tabs and
// links with the version the programs carry, the keys that must do nothing, the close box, a second
// start, and a start-up run that must not open a window.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/handles.h"
#include "framework/paths.h"
#include "gui_driver.h"
#include "hivora_app.h"
#include "hivora_version.h"
#include "resources/resource.h"
#include "scan/problem.h"
#include "version_info.h"

namespace {

const HivoraApp::Settings kScannedBefore = {{"lastScan", "01-02-2026 10:11:12"}, {"runhivorastartup", "1"}};

// A visible top-level window of the process other than the main window (the splash, say).
HWND OtherWindowOf(DWORD pid, HWND main)
{
    return gui::FindProcessWindow(pid, [main](HWND wnd) { return wnd != main; });
}

// The tabs are the main window's own buttons; pages reuse their IDs for buttons of their own.
bool Pressed(HWND top, int id)
{
    HWND button = GetDlgItem(top, id);
    return button && (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

// The page that holds the visible control id.
HWND PageOf(HWND top, int id)
{
    HWND control = gui::FindControl(top, id);
    return control ? GetParent(control) : nullptr;
}

bool QuickScanShown(HWND top)
{
    return gui::FindControl(top, IDC_QUICK_SCAN, 0) != nullptr;
}

// The version the built programs carry in their version resources, which must agree with each
// other and with the project's version; empty when they do not.
std::string BuiltVersion(const std::string& folder)
{
    std::string agreed;
    for (const char* name : {"Hivora.exe", "hivora-cli.exe", "Patchwell.dll"}) {
        const FILE_VERSION version = ReadFileVersion(folder + name);
        EXPECT_TRUE(version.bFound) << name;
        EXPECT_EQ(version.strFileVersion, HIVORA_VERSION) << name;
        EXPECT_EQ(version.strProductVersion, version.strFileVersion) << name;
        EXPECT_EQ(version.strFixed, HIVORA_VERSION_QUAD) << name;
        EXPECT_EQ(version.strProduct, version.strFixed) << name;
        if (agreed.empty())
            agreed = version.strProductVersion;
        else if (agreed != version.strProductVersion)
            return {};
    }
    return agreed;
}

TEST(MainWindow, FirstRunPanelTabsKeysAndCloseBox)
{
    HivoraApp app;
    const std::string version = BuiltVersion(ProgramFolder() + "..\\..\\bin\\");
    ASSERT_FALSE(version.empty());
    const DWORD started = GetTickCount();
    ASSERT_TRUE(app.Start());

    // First run: the splash comes alone and closes by itself after four seconds.
    HWND splash = nullptr;
    ASSERT_TRUE(gui::WaitFor([&] { return (splash = OtherWindowOf(app.ProcessId(), nullptr)) != nullptr; }, 30000));
    gui::SaveScreenshot("main-splash");
    ASSERT_TRUE(gui::WaitFor([&] { return !IsWindow(splash) || !IsWindowVisible(splash); }, 30000));
    EXPECT_GE(GetTickCount() - started, 3500u);
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);

    // The first run's defaults, and the panel showing them.
    EXPECT_EQ(ReadHivoraSetting("runhivorastartup"), "1");
    for (int row = 0; row < kCategoryCount; ++row) {
        const REGPROBLEM_TYPE type = g_aScanOrder[row];
        const bool on = type != RPT_SHORTCUTS && type != RPT_DEEP_SCAN;
        EXPECT_EQ(ReadHivoraSetting(CategoryInfo(type).pszSettingKey), on ? "1" : "0") << row;
        EXPECT_EQ(gui::IsChecked(main, IDC_CATEGORY_CHECK_FIRST + row), on) << row;
    }
    EXPECT_TRUE(Pressed(main, IDC_TAB_SCANNOW));
    EXPECT_FALSE(QuickScanShown(main));
    gui::SaveScreenshot("main-scan-tab");

    // A box and a caption store their tick at once.
    ASSERT_TRUE(gui::SetChecked(main, IDC_CATEGORY_CHECK_FIRST + 0, false));
    EXPECT_TRUE(gui::WaitFor([] { return ReadHivoraSetting("comactx") == "0"; }));
    gui::ClickAt(gui::FindControl(main, IDC_CATEGORY_CHECK_FIRST + 12), 60, 8);
    EXPECT_TRUE(gui::WaitFor([] { return ReadHivoraSetting("shrtcut") == "1"; }));
    EXPECT_TRUE(gui::IsChecked(main, IDC_CATEGORY_CHECK_FIRST + 12));

    // Settings and Backup: their tab pressed, the panel with Quick Scan.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SETTINGS));
    EXPECT_TRUE(gui::WaitFor([&] { return Pressed(main, IDC_TAB_SETTINGS) && QuickScanShown(main); }));
    EXPECT_FALSE(Pressed(main, IDC_TAB_SCANNOW));
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_BACKUP));
    EXPECT_TRUE(gui::WaitFor([&] { return Pressed(main, IDC_TAB_BACKUP) && !Pressed(main, IDC_TAB_SETTINGS); }));

    // About: its page with the version the programs carry, all three tabs released.
    ASSERT_TRUE(gui::ClickButton(main, IDC_LINK_ABOUT));
    EXPECT_TRUE(gui::WaitForText(main, IDC_ABOUT_VERSION, "Ver " + version));
    EXPECT_TRUE(gui::WaitFor([&] { return !Pressed(main, IDC_TAB_BACKUP); }));
    EXPECT_TRUE(QuickScanShown(main));
    gui::SaveScreenshot("main-about");

    // Escape in a page, and the window's OK and Cancel (Enter and Escape away from a button), change
    // nothing. Enter on a button presses it, as the keyboard test walks.
    HWND about = PageOf(main, IDC_ABOUT_VERSION);
    ASSERT_NE(about, nullptr);
    for (const UINT key : {VK_ESCAPE}) {
        PostMessageA(gui::FindControl(about, IDC_PAGE_OK), WM_KEYDOWN, key, 1);
        PostMessageA(gui::FindControl(about, IDC_PAGE_OK), WM_KEYUP, key, 0xC0000001);
    }
    SendMessageA(main, WM_COMMAND, IDOK, 0);
    SendMessageA(main, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_TRUE(IsWindowVisible(about));

    // The about page's Statistics button: the statistics page, without the panel.
    ASSERT_TRUE(gui::Click(about, IDC_PAGE_STATISTICS));
    EXPECT_TRUE(gui::WaitForText(main, IDC_STAT_VERSION, version));
    EXPECT_TRUE(gui::WaitFor([&] { return !gui::FindControl(main, IDC_CATEGORY_CHECK_FIRST, 0); }));
    gui::SaveScreenshot("main-statistics");

    // Its OK: back to the Scan Now tab, panel shown again.
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_STAT_VERSION), IDC_STAT_OK));
    EXPECT_TRUE(gui::WaitFor([&] { return Pressed(main, IDC_TAB_SCANNOW) && gui::FindControl(main, IDC_CATEGORY_CHECK_FIRST, 0); }));

    // From the About page to a tab: the tab keeps its pressed look.
    ASSERT_TRUE(gui::Click(main, IDC_LINK_ABOUT));
    ASSERT_TRUE(gui::WaitForText(main, IDC_ABOUT_VERSION, "Ver " + version));
    ASSERT_TRUE(gui::Click(main, IDC_TAB_BACKUP));
    EXPECT_TRUE(gui::WaitFor([&] { return Pressed(main, IDC_TAB_BACKUP) && !gui::FindControl(main, IDC_ABOUT_VERSION, 0); }));

    EXPECT_TRUE(app.Close());
}

TEST(MainWindow, SecondStartBringsTheFirstForwardAndEnds)
{
    // A window of another program with the same title must be left alone.
    HWND decoy = CreateWindowExA(0, "STATIC", "Hivora", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(decoy, nullptr);

    HivoraApp first(kScannedBefore);
    ASSERT_TRUE(first.Start());
    HWND main = first.MainWindow();
    ASSERT_NE(main, nullptr);
    ShowWindowAsync(main, SW_HIDE);
    ASSERT_TRUE(gui::WaitFor([&] { return !IsWindowVisible(main); }));

    HivoraApp second(kScannedBefore);
    ASSERT_TRUE(second.Start("-t"));
    EXPECT_TRUE(second.WaitForExit());
    EXPECT_TRUE(gui::WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
    EXPECT_FALSE(IsWindowVisible(decoy));
    DestroyWindow(decoy);
    EXPECT_TRUE(first.Close());
}

TEST(MainWindow, StartUpSwitchWithStartUpRunsOffEndsWithoutWindowOrLog)
{
    HivoraApp app({{"lastScan", "01-02-2026 10:11:12"}, {"runhivorastartup", "0"}});
    ASSERT_TRUE(app.Start("-s"));
    EXPECT_TRUE(app.WaitForExit());
    WIN32_FIND_DATAA found{};
    const FindHandle search(FindFirstFileA((app.Folder() + "Logs\\*.log").c_str(), &found));
    EXPECT_FALSE(search) << found.cFileName;
}

TEST(MainWindow, ClosingWhileAMessageBoxIsUpEndsCleanly)
{
    HivoraApp app(kScannedBefore);
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    // The ignore list page's Remove with no row selected asks for a selection.
    ASSERT_TRUE(gui::Click(main, IDC_TAB_SETTINGS));
    ASSERT_TRUE(gui::Click(main, IDC_TAB_IGNORE));
    HWND ignorePage = PageOf(main, IDC_IGNORE_LIST);
    ASSERT_NE(ignorePage, nullptr);
    ASSERT_TRUE(gui::Click(ignorePage, IDC_IGNORE_REMOVE));
    ASSERT_TRUE(gui::WaitFor([] { return !gui::MessageBoxText("Hivora").empty(); }));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.WaitForExit(10000));
}

TEST(MainWindow, ClosingWhileTheSplashIsUpEndsCleanly)
{
    HivoraApp app({{"lastScan", "01-02-2026 10:11:12"}, {"splshscrn", "1"}});
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::WaitFor([&] { return OtherWindowOf(app.ProcessId(), main) != nullptr; }));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.WaitForExit(10000));
}

} // namespace
