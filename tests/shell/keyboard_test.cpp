// The whole road by keyboard alone, as a person who uses no mouse walks it in the real Hivora.exe:
// start, choose a category, scan, the results, repair, the backup page up to Restore, the
// settings and the schedule, with the focus asserted at every step. Key strokes go in through the
// system's input (SendInput), so the dialog manager sees them as it sees a person's.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/format.h"
#include "framework/handles.h"
#include "gui_driver.h"
#include "hivora_app.h"
#include "resources/resource.h"
#include "scan/problem.h"

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int kListId = 54321;
constexpr int kSeeded = 3;

std::string SeedName(int i)
{
    return Format("HivoraKeyboardTest%d", i);
}

// Start-up entries naming programs that do not exist; removed at the end.
class SeededRun {
public:
    SeededRun()
    {
        Clear();
        for (int i = 0; i < kSeeded; ++i) {
            const std::string data = Format("C:\\HivoraKeyboardMissing\\app%d.exe", i);
            RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, SeedName(i).c_str(), REG_SZ, data.c_str(),
                            static_cast<DWORD>(data.size() + 1));
        }
    }
    ~SeededRun() { Clear(); }
    static int Count()
    {
        int count = 0;
        for (int i = 0; i < kSeeded; ++i)
            count += RegGetValueA(HKEY_CURRENT_USER, kRunKey, SeedName(i).c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                                  nullptr) == ERROR_SUCCESS;
        return count;
    }

private:
    static void Clear()
    {
        for (int i = 0; i < kSeeded; ++i)
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, SeedName(i).c_str());
    }
};

// Scanned before (no splash), no update check, no restore point; no category ticked yet.
HivoraApp::Settings NothingTicked()
{
    HivoraApp::Settings settings = {{"lastScan", "01-02-2026 10:11:12"}, {"autoupdts", "0"}, {"rstrpont", "0"}};
    for (int type = 0; type < kCategoryCount; ++type)
        settings.emplace_back(CategoryInfo(static_cast<REGPROBLEM_TYPE>(type)).pszSettingKey, "0");
    return settings;
}

int PanelRow(REGPROBLEM_TYPE type)
{
    for (int row = 0; row < kCategoryCount; ++row)
        if (g_aScanOrder[row] == type)
            return row;
    return -1;
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

// Tabs forward until the visible control id has the focus, passing only usable controls.
::testing::AssertionResult TabTo(HWND main, int id)
{
    std::string passed;
    for (int step = 0; step < 60; ++step) {
        passed.append(1, ' ').append(std::to_string(GetDlgCtrlID(gui::Focus(main))));
        HWND target = gui::FindControl(main, id, 0);
        if (target && gui::Focus(main) == target)
            return ::testing::AssertionSuccess();
        const ::testing::AssertionResult moved = Tab(main);
        if (!moved)
            return moved;
    }
    return ::testing::AssertionFailure() << "control " << id << " is no tab stop; passed" << passed;
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

TEST(Keyboard, TheWholeRoadWithoutAMouse)
{
    SeededRun run;
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
    EXPECT_TRUE(gui::WaitFor([] { return SeededRun::Count() == 0; }));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::FindControl(main, IDC_STAT_OK, 0) != nullptr && FocusUsable(main); }));

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
    ASSERT_TRUE(TabTo(main, IDC_BACKUP_RESTORE));
    gui::SaveScreenshot("keyboard-restore-focus", main);

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

} // namespace
