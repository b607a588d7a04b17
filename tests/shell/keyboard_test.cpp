// The whole road by keyboard alone, as a person who uses no mouse walks it in the real Hivora.exe:
// start, choose a category, scan, the results, repair, the backup page and its Restore, the
// settings and the schedule, with the focus asserted at every step; and the access keys of every
// page. Key strokes go in through the system's input (SendInput), so the dialog manager sees them as
// it sees a person's.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/format.h"
#include "framework/handles.h"
#include "gui_driver.h"
#include "hivora_app.h"
#include "resources/resource.h"
#include "scan/problem.h"
#include "seeded_run.h"

namespace {

constexpr int kListId = 54321;
constexpr int kSeeded = 3;

// Scanned before (no splash), no update check, no restore point; no category ticked yet.
HivoraApp::Settings NothingTicked()
{
    HivoraApp::Settings settings = {{"lastScan", "01-02-2026 10:11:12"}, {"autoupdts", "0"}, {"rstrpont", "0"}};
    for (int type = 0; type < kCategoryCount; ++type)
        settings.emplace_back(CategoryInfo(static_cast<REGPROBLEM_TYPE>(type)).pszSettingKey, "0");
    return settings;
}

// The focus lies on a control a person can see and use.
bool FocusUsable(HWND main)
{
    HWND focus = gui::Focus(main);
    return focus && IsWindowVisible(focus) && IsWindowEnabled(focus);
}

// One Tab (or Shift+Tab), waiting for the focus to move; it must land on a usable control.
::testing::AssertionResult Tab(HWND main, bool back = false)
{
    HWND before = gui::Focus(main);
    gui::Type(VK_TAB, back ? MOD_SHIFT : 0);
    if (!gui::WaitFor([&] { return gui::Focus(main) != before; }, 5000))
        return ::testing::AssertionFailure() << "Tab did not move the focus";
    if (!FocusUsable(main))
        return ::testing::AssertionFailure() << "Tab landed on a hidden or disabled control, id "
                                             << GetDlgCtrlID(gui::Focus(main));
    return ::testing::AssertionSuccess();
}

// Tabs forward until the control has the focus, passing only usable controls.
::testing::AssertionResult TabTo(HWND main, const std::function<HWND()>& target)
{
    std::string passed;
    for (int step = 0; step < 60; ++step) {
        passed.append(1, ' ').append(std::to_string(GetDlgCtrlID(gui::Focus(main))));
        HWND control = target();
        if (control && gui::Focus(main) == control)
            return ::testing::AssertionSuccess();
        const ::testing::AssertionResult moved = Tab(main);
        if (!moved)
            return moved;
    }
    return ::testing::AssertionFailure() << "control " << GetDlgCtrlID(target()) << " is no tab stop; passed" << passed;
}

// The same for the visible control id: the main window's own, else a page's (see gui::FindControl).
::testing::AssertionResult TabTo(HWND main, int id)
{
    return TabTo(main, [&] { return gui::FindControl(main, id, 0); });
}

// Answers the program's message box (caption "Hivora", or "Error") with Enter, its default
// button; its caption and text.
std::string AnswerWithEnter()
{
    std::string text;
    std::string caption;
    const bool shown = gui::WaitFor(
        [&] {
            for (const char* name : {"Hivora", "Error"}) {
                if (!(text = gui::MessageBoxText(name)).empty()) {
                    caption = name;
                    return true;
                }
            }
            return false;
        },
        120000);
    if (!shown)
        return "<no message box>";
    gui::Type(VK_RETURN);
    if (!gui::WaitFor([&] { return gui::MessageBoxText(caption).empty(); }))
        return "<the box stayed open>";
    return caption + ": " + text;
}

bool Checked(HWND control)
{
    return SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The access key of a control's text: the letter after a single '&', in capitals; 0 for none.
char AccessKey(const std::string& text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(toupper(static_cast<unsigned char>(text[i + 1])));
    }
    return 0;
}

// The controls whose access keys the dialog manager answers, walked as it walks them: buttons and
// texts, entering only windows that are visible and enabled (a hidden page, a disabled panel and
// what they hold are out of reach).
void CollectAccessKeys(HWND parent, std::map<char, std::vector<std::string>>& keys)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
        if ((style & (WS_VISIBLE | WS_DISABLED)) != WS_VISIBLE)
            continue;
        const LRESULT code = SendMessageA(child, WM_GETDLGCODE, 0, 0);
        const bool literal = (code & DLGC_STATIC) && (style & SS_NOPREFIX);
        if ((code & (DLGC_BUTTON | DLGC_STATIC)) && !literal) {
            const std::string text = gui::Text(child);
            if (const char key = AccessKey(text))
                keys[key].push_back(Format("%d \"%s\"", GetDlgCtrlID(child), text.c_str()));
        }
        CollectAccessKeys(child, keys);
    }
}

// No two controls within reach share an access key, and at least atLeast controls have one.
::testing::AssertionResult AccessKeysUnique(HWND main, size_t atLeast)
{
    std::map<char, std::vector<std::string>> keys;
    CollectAccessKeys(main, keys);
    size_t count = 0;
    std::string shared;
    for (const auto& [key, controls] : keys) {
        count += controls.size();
        if (controls.size() < 2)
            continue;
        shared += Format(" %c:", key);
        for (const std::string& control : controls)
            shared += " " + control;
    }
    if (!shared.empty())
        return ::testing::AssertionFailure() << "shared access keys:" << shared;
    if (count < atLeast)
        return ::testing::AssertionFailure() << "only " << count << " access keys found";
    return ::testing::AssertionSuccess();
}

// The page that holds the control with this ID (page buttons share their IDs with the tab strip's).
HWND PageOf(HWND main, int uniqueId)
{
    HWND control = gui::FindControl(main, uniqueId);
    return control ? GetParent(control) : nullptr;
}

TEST(Keyboard, TheWholeRoadWithoutAMouse)
{
    SeededRun run("HivoraKeyboardTest");
    run.Add(kSeeded);
    HivoraApp app(NothingTicked());
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::Activate(main));
    ASSERT_TRUE(gui::WaitFor([&] { return FocusUsable(main); })) << "no usable control has the focus at start";
    gui::SaveScreenshot("keyboard-start", main);

    // Choose the category: its access key ticks it and puts the focus on it; Space unticks and
    // ticks it again; every tick is stored at once.
    const int startup = IDC_CATEGORY_CHECK_FIRST + PanelRow(RPT_STARTUP);
    gui::Type('W', MOD_ALT);
    ASSERT_TRUE(gui::WaitForFocus(main, startup));
    HWND box = gui::FindControl(main, startup);
    EXPECT_TRUE(gui::WaitFor([&] { return Checked(box) && ReadHivoraSetting("winstrt") == "1"; }));
    gui::Type(VK_SPACE);
    EXPECT_TRUE(gui::WaitFor([&] { return !Checked(box) && ReadHivoraSetting("winstrt") == "0"; }));
    gui::Type(VK_SPACE);
    EXPECT_TRUE(gui::WaitFor([&] { return Checked(box) && ReadHivoraSetting("winstrt") == "1"; }));
    gui::SaveScreenshot("keyboard-category-focus", main);

    // Scan: Tab to Scan Selected Areas, Enter. The focus goes to Stop, then to Next at the end.
    ASSERT_TRUE(TabTo(main, IDC_SCAN_SELECTED));
    gui::SaveScreenshot("keyboard-scan-button-focus", main);
    gui::Type(VK_RETURN);
    ASSERT_TRUE(gui::WaitFor([&] { return gui::FindControl(main, IDC_SCAN_CAPTION, 0) != nullptr; }));
    EXPECT_TRUE(gui::WaitFor([&] {
        HWND focus = gui::Focus(main);
        return focus && (focus == gui::FindControl(main, IDC_SCAN_STOP, 0) ||
                         focus == gui::FindControl(main, IDC_SCAN_NEXT, 0));
    })) << "the focus is neither on Stop nor on Next while scanning";
    ASSERT_TRUE(gui::WaitForFocus(main, IDC_SCAN_NEXT, 600000));
    EXPECT_EQ(gui::Text(gui::FindControl(main, IDC_SCAN_CAPTION)), "Scanning Completed !");
    gui::SaveScreenshot("keyboard-next-focus", main);

    // Next by Enter: the results page takes the focus (its first tab stop); Tab reaches the list.
    gui::Type(VK_RETURN);
    ASSERT_TRUE(gui::WaitFor([&] { return gui::FindControl(main, kListId, 0) != nullptr; }));
    ASSERT_TRUE(gui::WaitFor([&] { return FocusUsable(main); }));
    ASSERT_TRUE(TabTo(main, kListId));
    gui::SaveScreenshot("keyboard-results-list-focus", main);

    // Repair by keyboard: Tab on to Repair, Enter; the closing message answered with Enter shows the
    // statistics page with the focus on it.
    ASSERT_TRUE(TabTo(main, IDC_RESULTS_REPAIR));
    gui::Type(VK_RETURN);
    const std::string closing = AnswerWithEnter();
    EXPECT_NE(closing.find("Successfully fixed"), std::string::npos) << closing;
    EXPECT_TRUE(gui::WaitFor([&] { return run.Count() == 0; }));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::FindControl(main, IDC_STAT_FOUND_TOTAL, 0) != nullptr && FocusUsable(main); }));

    // The Backup tab by its access key (which presses it and leaves the focus on it); Tab leads into
    // the page's list of sets, where the new set is ticked with Space, and on to Restore.
    gui::Type('B', MOD_ALT);
    ASSERT_TRUE(gui::WaitForFocus(main, IDC_TAB_BACKUP)) << "focus on " << GetDlgCtrlID(gui::Focus(main));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::FindControl(main, IDC_BACKUP_LIST, 0) != nullptr; }));
    ASSERT_TRUE(TabTo(main, IDC_BACKUP_LIST));
    HWND sets = gui::FindControl(main, IDC_BACKUP_LIST);
    ASSERT_TRUE(gui::WaitFor([&] { return gui::ListCount(sets) == 1; }));
    gui::Type(VK_DOWN);
    gui::Type(VK_SPACE);
    ASSERT_TRUE(gui::WaitFor([&] { return gui::ListChecked(sets, 0); }));
    gui::SaveScreenshot("keyboard-backup-list-focus", main);
    // Restore's id is also the Settings tab's: it is found on the backup page.
    HWND restore = GetDlgItem(GetParent(sets), IDC_BACKUP_RESTORE);
    ASSERT_TRUE(TabTo(main, [&] { return restore; }));
    gui::SaveScreenshot("keyboard-restore-focus", main);

    // Restore by Enter: the entries come back, the set leaves the list, and once the outcome is
    // answered with Enter the keys are on Restore again.
    gui::Type(VK_RETURN);
    const std::string outcome = AnswerWithEnter();
    EXPECT_NE(outcome.find("successfully restored"), std::string::npos) << outcome;
    EXPECT_TRUE(gui::WaitFor([&] { return run.Count() == kSeeded; }));
    EXPECT_TRUE(gui::WaitFor([&] { return gui::ListCount(sets) == 0; }));
    EXPECT_TRUE(gui::WaitFor([&] { return gui::Focus(main) == restore; })) << "focus on " << GetDlgCtrlID(gui::Focus(main));
    EXPECT_TRUE(FocusUsable(main));
    gui::SaveScreenshot("keyboard-restored-focus", main);

    // Settings by its access key, then Tab into the General page. Its Scheduling sub-tab by Enter:
    // the schedule page takes the focus that went with the General page, and a whole round of Tab
    // and Shift+Tab never enters the hidden General page.
    gui::Type('T', MOD_ALT);
    ASSERT_TRUE(gui::WaitForFocus(main, IDC_TAB_SETTINGS));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::FindControl(main, IDC_OPEN_LOG_FOLDER, 0) != nullptr; }));
    HWND general = GetParent(gui::FindControl(main, IDC_OPEN_LOG_FOLDER));
    ASSERT_TRUE(TabTo(main, IDC_TAB_SCHEDULE));
    gui::Type(VK_RETURN);
    ASSERT_TRUE(gui::WaitForFocus(main, IDC_TAB_GENERAL));
    ASSERT_FALSE(IsWindowVisible(general));
    for (int step = 0; step < 30; ++step) {
        ASSERT_TRUE(Tab(main, step >= 15)) << step;
        EXPECT_FALSE(IsChild(general, gui::Focus(main))) << "step " << step << " entered the hidden page";
    }
    ASSERT_TRUE(TabTo(main, IDC_MANAGE_SCHEDULE));
    gui::SaveScreenshot("keyboard-schedule-focus", main);

    // The General Settings sub-tab by Enter brings the boxes back; Space on one stores it.
    ASSERT_TRUE(TabTo(main, IDC_TAB_GENERAL));
    gui::Type(VK_RETURN);
    ASSERT_TRUE(gui::WaitForFocus(main, IDC_TAB_IGNORE));
    ASSERT_TRUE(TabTo(main, IDC_OPTION_CHECK_FIRST + 3));
    gui::Type(VK_SPACE);
    EXPECT_TRUE(gui::WaitFor([] { return ReadHivoraSetting("shutdown") == "1"; }));
    gui::Type(VK_SPACE);
    EXPECT_TRUE(gui::WaitFor([] { return ReadHivoraSetting("shutdown") == "0"; }));
    gui::SaveScreenshot("keyboard-option-focus", main);

    // Enter on a check box is no button press: the window ignores its OK and stays.
    gui::Type(VK_RETURN);
    gui::Type(VK_ESCAPE);
    EXPECT_TRUE(gui::WaitForFocus(main, IDC_OPTION_CHECK_FIRST + 3));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(ReadHivoraSetting("shutdown"), "0");
    EXPECT_TRUE(app.Close());
}

TEST(Keyboard, NoTwoControlsWithinReachShareAnAccessKey)
{
    SeededRun run("HivoraAccessKeyTest");
    run.Add(1);
    HivoraApp::Settings settings = NothingTicked();
    settings.emplace_back("winstrt", "1");
    HivoraApp app(settings);
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);

    // The start page with the panel (Quick Scan hidden), the tabs and the links.
    ASSERT_TRUE(gui::FindControl(main, IDC_SCAN_SELECTED));
    EXPECT_TRUE(AccessKeysUnique(main, 19)) << "scan step 1";

    // The settings pages, with the panel and its Quick Scan.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SETTINGS));
    ASSERT_TRUE(gui::FindControl(main, IDC_OPEN_LOG_FOLDER));
    EXPECT_TRUE(AccessKeysUnique(main, 24)) << "general settings";
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_OPEN_LOG_FOLDER), IDC_TAB_IGNORE));
    ASSERT_TRUE(gui::FindControl(main, IDC_IGNORE_LIST));
    EXPECT_TRUE(AccessKeysUnique(main, 21)) << "ignore list";
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_IGNORE_LIST), IDC_TAB_SCHEDULE));
    ASSERT_TRUE(gui::FindControl(main, IDC_MANAGE_SCHEDULE));
    EXPECT_TRUE(AccessKeysUnique(main, 21)) << "schedule";

    // The backup page, and the updates and statistics pages reached from it.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_BACKUP));
    ASSERT_TRUE(gui::FindControl(main, IDC_BACKUP_LIST));
    EXPECT_TRUE(AccessKeysUnique(main, 19)) << "backup";
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_BACKUP_LIST), IDC_BACKUP_UPDATE));
    ASSERT_TRUE(gui::FindControl(main, IDC_UPDATES_STATUS));
    EXPECT_TRUE(AccessKeysUnique(main, 18)) << "updates";
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_UPDATES_STATUS), IDC_UPDATES_STATISTICS));
    ASSERT_TRUE(gui::FindControl(main, IDC_STAT_FOUND_TOTAL));
    EXPECT_TRUE(AccessKeysUnique(main, 9)) << "statistics";
    ASSERT_TRUE(gui::ClickButton(main, IDC_LINK_ABOUT));
    ASSERT_TRUE(gui::FindControl(main, IDC_ABOUT_VERSION));
    EXPECT_TRUE(AccessKeysUnique(main, 18)) << "about";

    // A scan: the finished progress page with the panel disabled, then the results page.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SCANNOW));
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_SCAN_SELECTED), IDC_SCAN_SELECTED));
    HWND next = gui::FindControl(main, IDC_SCAN_NEXT, 600000);
    ASSERT_NE(next, nullptr);
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(gui::FindControl(main, IDC_TAB_SCANNOW, 0)) != FALSE; }));
    EXPECT_TRUE(AccessKeysUnique(main, 7)) << "scan step 2";
    ASSERT_TRUE(gui::Click(GetParent(next), IDC_SCAN_NEXT));
    ASSERT_TRUE(gui::FindControl(main, kListId));
    EXPECT_TRUE(AccessKeysUnique(main, 9)) << "results";
    EXPECT_TRUE(app.Close());
}

} // namespace
