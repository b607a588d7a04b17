// What a screen reader hears in the real Hivora.exe, read through MSAA (oleacc) as a reader reads
// it from its own process: the names of the buttons and boxes, the lists' names, and the results
// list's own IAccessible with its rows, their roles, states and default actions.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "framework/com_ptr.h"
#include "framework/format.h"
#include "framework/wide_text.h"
#include "gui_driver.h"
#include "hivora_app.h"
#include "scope_guard.h"
#include "resources/resource.h"
#include "scan/problem.h"
#include "shell/statistics.h"
#include "seeded_run.h"

namespace {

constexpr int kListId = 54321;
constexpr int kSeeded = 2;

ComPtr<IAccessible> ObjectOf(HWND wnd)
{
    ComPtr<IAccessible> object;
    if (FAILED(AccessibleObjectFromWindow(wnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), object.put())))
        return {};
    return object;
}

VARIANT Child(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

// One text property of the object or its child, or the fallback when it has none.
std::string Text(IAccessible* object, long id, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*),
                 const char* fallback)
{
    BSTR text = nullptr;
    if (!object || (object->*get)(Child(id), &text) != S_OK || !text)
        return fallback;
    const std::string narrow = Narrow(text);
    SysFreeString(text);
    return narrow;
}

std::string Name(IAccessible* object, long id = CHILDID_SELF)
{
    return Text(object, id, &IAccessible::get_accName, "<no name>");
}

std::string Description(IAccessible* object, long id = CHILDID_SELF)
{
    return Text(object, id, &IAccessible::get_accDescription, "<no description>");
}

std::string DefaultAction(IAccessible* object, long id)
{
    BSTR action = nullptr;
    if (object->get_accDefaultAction(Child(id), &action) != S_OK || !action)
        return "<none>";
    const std::string text = Narrow(action);
    SysFreeString(action);
    return text;
}

long Role(IAccessible* object, long id)
{
    VARIANT role;
    VariantInit(&role);
    return object->get_accRole(Child(id), &role) == S_OK && role.vt == VT_I4 ? role.lVal : -1;
}

long State(IAccessible* object, long id)
{
    VARIANT state;
    VariantInit(&state);
    return object->get_accState(Child(id), &state) == S_OK && state.vt == VT_I4 ? state.lVal : -1;
}

long ChildCount(IAccessible* object)
{
    long count = -1;
    object->get_accChildCount(&count);
    return count;
}

// The name a reader gives the visible control id of the main window.
std::string NameOf(HWND main, int id)
{
    HWND control = gui::FindControl(main, id);
    return control ? Name(ObjectOf(control).get()) : "<missing>";
}

std::string DescriptionOf(HWND main, int id)
{
    HWND control = gui::FindControl(main, id);
    return control ? Description(ObjectOf(control).get()) : "<missing>";
}

// The page that shows the control with this ID (page buttons share their IDs with the tab strip's).
HWND PageOf(HWND main, int uniqueId)
{
    HWND control = gui::FindControl(main, uniqueId);
    return control ? GetParent(control) : nullptr;
}

// What a reader hears of the page that shows the control: "heading | text", and that it is a page
// whose controls are still its children.
std::string PageHeard(HWND main, int uniqueId)
{
    ComPtr<IAccessible> page = ObjectOf(PageOf(main, uniqueId));
    if (!page)
        return "<no page>";
    if (Role(page.get(), CHILDID_SELF) != ROLE_SYSTEM_PROPERTYPAGE || ChildCount(page.get()) < 1)
        return "<no property page with children>";
    return Name(page.get()) + " | " + Description(page.get());
}

// The list's events as a reader hears them, from the program's own process: event, child id.
std::vector<std::pair<DWORD, long>> g_events;
HWND g_hEventList = nullptr;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND wnd, LONG object, LONG child, DWORD, DWORD)
{
    if (wnd == g_hEventList && object == OBJID_CLIENT)
        g_events.emplace_back(event, child);
}

// Waits for condition, handing the events their messages meanwhile.
bool WaitPumping(const std::function<bool()>& condition, DWORD timeout = 10000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (condition())
            return true;
        if (GetTickCount() - start > timeout)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

// Waits for the event about the child (CHILDID_SELF: the list) since the events were last cleared.
bool Heard(DWORD event, long child)
{
    return WaitPumping([&] {
        return std::find(g_events.begin(), g_events.end(), std::make_pair(event, child)) != g_events.end();
    });
}

// The child the reader finds focused, or -1.
long FocusedChild(IAccessible* list)
{
    VARIANT focus;
    VariantInit(&focus);
    return list->get_accFocus(&focus) == S_OK && focus.vt == VT_I4 ? focus.lVal : -1;
}

// One key stroke to the list; then the focused child must be expected.
::testing::AssertionResult Press(IAccessible* list, UINT key, long expected, UINT modifiers = 0)
{
    g_events.clear();
    gui::Type(key, modifiers);
    if (!WaitPumping([&] { return FocusedChild(list) == expected; }))
        return ::testing::AssertionFailure() << "key " << key << ": focus on child " << FocusedChild(list) << ", not "
                                             << expected;
    return ::testing::AssertionSuccess();
}

// The popup menu of the program's process, or null.
HWND PopupMenu(DWORD pid)
{
    return gui::FindProcessWindow(pid, [](HWND wnd) {
        char name[16] = {};
        return GetClassNameA(wnd, name, sizeof name) && lstrcmpA(name, "#32768") == 0;
    });
}

// Settings that scan the start-up entries alone, with no update check and no restore point.
HivoraApp::Settings StartUpItemsOnly()
{
    HivoraApp::Settings settings = {{"lastScan", "01-02-2026 10:11:12"}, {"autoupdts", "0"}, {"rstrpont", "0"}};
    for (int type = 0; type < kCategoryCount; ++type) {
        const auto category = static_cast<REGPROBLEM_TYPE>(type);
        settings.emplace_back(CategoryInfo(category).pszSettingKey, category == RPT_STARTUP ? "1" : "0");
    }
    return settings;
}

TEST(ScreenReader, NamesAndTheResultsListRows)
{
    SeededRun run("HivoraReaderTest");
    run.Add(kSeeded);
    HivoraApp app(StartUpItemsOnly());
    const ComApartment com;
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);

    // Buttons drawn from bitmaps and the category boxes say their captions (the access key's "&"
    // is no part of the name).
    EXPECT_EQ(NameOf(main, IDC_TAB_SCANNOW), "Scan Now");
    EXPECT_EQ(NameOf(main, IDC_TAB_SETTINGS), "Settings");
    EXPECT_EQ(NameOf(main, IDC_TAB_BACKUP), "Backup");
    EXPECT_EQ(NameOf(main, IDC_LINK_HELP), "Help");
    EXPECT_EQ(NameOf(main, IDC_LINK_ABOUT), "About");
    EXPECT_EQ(NameOf(main, IDC_SCAN_SELECTED), "Scan Selected Areas");
    EXPECT_EQ(NameOf(main, IDC_SCAN_STANDARD), "Standard Scan");
    EXPECT_EQ(NameOf(main, IDC_SCAN_FULL), "Full Scan");
    HWND first = GetParent(gui::FindControl(main, IDC_SCAN_SELECTED));
    EXPECT_EQ(Name(ObjectOf(GetDlgItem(first, IDC_PAGE_UPDATE)).get()), "Update");
    EXPECT_EQ(Name(ObjectOf(GetDlgItem(first, IDC_PAGE_STATISTICS)).get()), "Statistics");
    for (int row = 0; row < kCategoryCount; ++row) {
        std::string caption = CategoryInfo(g_aScanOrder[row]).pszPanelName;
        // Wine's reader drops the wrong ampersand of a caption with "&&"; Windows gives "Sound & App Events".
        if (caption.find("&&") != std::string::npos)
            continue;
        for (size_t at = caption.find("&&"); at != std::string::npos; at = caption.find("&&", at + 1))
            caption.erase(at, 1);
        // A reader may trim the leading blank of " Windows Startup Items".
        const std::string name = NameOf(main, IDC_CATEGORY_CHECK_FIRST + row);
        EXPECT_TRUE(name == caption || " " + name == caption) << row << ": " << name;
    }
    gui::SaveScreenshot("reader-start", main);

    // What the pictures say: the page's heading and instruction, the words beside each scan button,
    // the panel's heading and the window's tagline.
    EXPECT_EQ(PageHeard(main, IDC_SCAN_SELECTED), "Scan Now | Choose how thoroughly Hivora looks through the registry.");
    EXPECT_EQ(DescriptionOf(main, IDC_SCAN_SELECTED), "Only the areas ticked on the left.");
    EXPECT_EQ(DescriptionOf(main, IDC_SCAN_STANDARD), "The recommended areas, for every day.");
    EXPECT_EQ(DescriptionOf(main, IDC_SCAN_FULL), "Every area, with the deep scan.");
    EXPECT_EQ(NameOf(main, IDC_SCAN_FULL), "Full Scan");
    ComPtr<IAccessible> panel = ObjectOf(PageOf(main, IDC_CATEGORY_CHECK_FIRST));
    EXPECT_EQ(Name(panel.get()), "Scan Areas");
    EXPECT_EQ(Role(panel.get(), CHILDID_SELF), ROLE_SYSTEM_GROUPING);
    EXPECT_GE(ChildCount(panel.get()), kCategoryCount);
    ComPtr<IAccessible> window = ObjectOf(main);
    EXPECT_EQ(Name(window.get()), "Hivora");
    EXPECT_EQ(Description(window.get()), "Registry Cleaner");

    // The settings' boxes and the backup list.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SETTINGS));
    EXPECT_EQ(NameOf(main, IDC_OPTION_CHECK_FIRST + 4), "Automatically repair items after scanning");
    EXPECT_EQ(NameOf(main, IDC_OPTION_CHECK_FIRST + 7), "Log Scanning Results");
    EXPECT_EQ(NameOf(main, IDC_OPEN_LOG_FOLDER), "Open Log Folder");
    EXPECT_EQ(PageHeard(main, IDC_OPEN_LOG_FOLDER), "Settings | General Settings");
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_OPEN_LOG_FOLDER), IDC_TAB_IGNORE));
    EXPECT_EQ(NameOf(main, IDC_IGNORE_LIST), "Ignored items");
    EXPECT_EQ(PageHeard(main, IDC_IGNORE_LIST), "Settings | Ignore List");
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_IGNORE_LIST), IDC_TAB_SCHEDULE));
    EXPECT_EQ(PageHeard(main, IDC_MANAGE_SCHEDULE), "Settings | Scheduling");
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_BACKUP));
    EXPECT_EQ(NameOf(main, IDC_BACKUP_LIST), "Backup sets");
    EXPECT_EQ(Name(ObjectOf(GetDlgItem(PageOf(main, IDC_BACKUP_LIST), IDC_BACKUP_RESTORE)).get()), "Restore");
    EXPECT_EQ(PageHeard(main, IDC_BACKUP_LIST), "Backup | Registry backups made before each repair");

    // The updates, statistics and about pages; the statistics values carry the captions and column
    // headings printed beside and above them.
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_BACKUP_LIST), IDC_BACKUP_UPDATE));
    EXPECT_EQ(PageHeard(main, IDC_UPDATES_STATUS), "Updates | Keep Hivora up to date");
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_UPDATES_STATUS), IDC_UPDATES_STATISTICS));
    EXPECT_EQ(PageHeard(main, IDC_STAT_FOUND_TOTAL), "Statistics | <no description>");
    for (const auto& [id, description] : std::initializer_list<std::pair<int, const char*>>{
             {IDC_STAT_ROW_CAPTION_FIRST, "Category"},
             {IDC_STAT_ROW_FOUND_FIRST + 3, "Error(s)"},
             {IDC_STAT_ROW_CLEANED_FIRST + 7, "Cleaned"},
             {IDC_STAT_ROW_IGNORED_FIRST + 14, "Ignored"},
             {IDC_STAT_DATE, "Last Scan Review, Date and Time"},
             {IDC_STAT_TIME, "Last Scan Review, Date and Time"},
             {IDC_STAT_VERSION, "Product Summary, Version"},
             {IDC_STAT_UPDATED, "Product Summary, Last Updated"}}) {
        EXPECT_EQ(DescriptionOf(main, id), description) << id;
        // The value itself stays what the label shows.
        EXPECT_EQ(NameOf(main, id), gui::Text(gui::FindControl(main, id))) << id;
    }
    EXPECT_EQ(NameOf(main, IDC_STAT_ROW_CAPTION_FIRST), g_aStatisticsRows[0].pszCaption);
    ASSERT_TRUE(gui::ClickButton(main, IDC_LINK_ABOUT));
    EXPECT_EQ(PageHeard(main, IDC_ABOUT_VERSION), "About | Hivora finds registry entries that point to things that are gone.");

    // A scan of the start-up items, then the results list as its own IAccessible says it.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SCANNOW));
    ASSERT_TRUE(gui::Click(GetParent(gui::FindControl(main, IDC_SCAN_SELECTED)), IDC_SCAN_SELECTED));
    HWND next = gui::FindControl(main, IDC_SCAN_NEXT, 600000);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(Name(ObjectOf(next).get()), "Next");
    EXPECT_EQ(PageHeard(main, IDC_SCAN_NEXT), "Scanning | <no description>");
    ASSERT_TRUE(gui::Click(GetParent(next), IDC_SCAN_NEXT));
    HWND list = gui::FindControl(main, kListId);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(PageHeard(main, kListId), "Scan Results | Tick the problems to repair. Click a category to unfold it.");
    ComPtr<IAccessible> rows = ObjectOf(list);
    ASSERT_TRUE(rows);
    EXPECT_EQ(Name(rows.get()), "Scan results");
    EXPECT_EQ(Role(rows.get(), CHILDID_SELF), ROLE_SYSTEM_OUTLINE);

    // One folded category: its name with the count, an outline item, ticked, to be expanded.
    ASSERT_EQ(ChildCount(rows.get()), 1);
    const std::string header = Name(rows.get(), 1);
    std::string title = CategoryInfo(RPT_STARTUP).pszResultsName;
    for (size_t at = title.find("&&"); at != std::string::npos; at = title.find("&&", at + 1))
        title.erase(at, 1);
    EXPECT_EQ(header.rfind(title + ", ", 0), 0u) << header;
    EXPECT_NE(header.find(" Error(s) found"), std::string::npos) << header;
    EXPECT_EQ(Role(rows.get(), 1), ROLE_SYSTEM_OUTLINEITEM);
    EXPECT_EQ(State(rows.get(), 1) & (STATE_SYSTEM_COLLAPSED | STATE_SYSTEM_CHECKED),
              STATE_SYSTEM_COLLAPSED | STATE_SYSTEM_CHECKED);
    EXPECT_EQ(DefaultAction(rows.get(), 1), "Expand");

    // Its default action unfolds it: the problems become children, check buttons named by their
    // text without markup.
    ASSERT_EQ(rows->accDoDefaultAction(Child(1)), S_OK);
    const long count = ChildCount(rows.get());
    ASSERT_GE(count, 1 + kSeeded);
    EXPECT_TRUE(State(rows.get(), 1) & STATE_SYSTEM_EXPANDED);
    EXPECT_EQ(DefaultAction(rows.get(), 1), "Collapse");
    int seen = 0;
    for (long id = 2; id <= count; ++id) {
        const std::string name = Name(rows.get(), id);
        EXPECT_EQ(name.find('<'), std::string::npos) << name;
        seen += name.find("HivoraReaderTest") != std::string::npos;
        EXPECT_EQ(Role(rows.get(), id), ROLE_SYSTEM_CHECKBUTTON);
    }
    EXPECT_EQ(seen, kSeeded);

    // A problem's default action unticks it (the category is then partly ticked) and ticks it again.
    EXPECT_TRUE(State(rows.get(), 2) & STATE_SYSTEM_CHECKED);
    EXPECT_EQ(DefaultAction(rows.get(), 2), "Uncheck");
    ASSERT_EQ(rows->accDoDefaultAction(Child(2)), S_OK);
    EXPECT_FALSE(State(rows.get(), 2) & STATE_SYSTEM_CHECKED);
    EXPECT_TRUE(State(rows.get(), 1) & STATE_SYSTEM_MIXED);
    ASSERT_EQ(rows->accDoDefaultAction(Child(2)), S_OK);
    EXPECT_TRUE(State(rows.get(), 2) & STATE_SYSTEM_CHECKED);

    // Selecting a row with the focus: the reader finds it focused and selected.
    ASSERT_EQ(rows->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, Child(3)), S_OK);
    EXPECT_EQ(State(rows.get(), 3) & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED),
              STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED);
    VARIANT focus;
    VariantInit(&focus);
    ASSERT_EQ(rows->get_accFocus(&focus), S_OK);
    EXPECT_EQ(focus.vt, VT_I4);
    EXPECT_EQ(focus.lVal, 3);
    gui::SaveScreenshot("reader-results-selected", main);
    EXPECT_TRUE(app.Close());
}

// The results list by keyboard, heard through the reader's interfaces and events: the category
// unfolds and folds with Right and Left, + and -; Home, End and Page Down move the focus among the
// rows shown; Space ticks and unticks a problem; Shift+F10 offers to ignore it.
TEST(ScreenReader, ResultsListKeysStatesAndEvents)
{
    constexpr int kProblems = 3;
    SeededRun run("HivoraListKeysTest");
    run.Add(kProblems);
    HivoraApp app(StartUpItemsOnly());
    const ComApartment com;
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_SCAN_SELECTED), IDC_SCAN_SELECTED));
    HWND next = gui::FindControl(main, IDC_SCAN_NEXT, 600000);
    ASSERT_NE(next, nullptr);
    ASSERT_TRUE(gui::Click(GetParent(next), IDC_SCAN_NEXT));
    HWND list = gui::FindControl(main, kListId);
    ASSERT_NE(list, nullptr);
    ComPtr<IAccessible> rows = ObjectOf(list);
    ASSERT_TRUE(rows);
    ASSERT_EQ(ChildCount(rows.get()), 1);

    g_hEventList = list;
    g_events.clear();
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_STATECHANGE, nullptr, RecordEvent,
                                               app.ProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    const ScopeGuard unhook([&] { UnhookWinEvent(hook); });

    // The list takes the keys with its first row, the category, selected and focused.
    ASSERT_TRUE(gui::Activate(main));
    ASSERT_EQ(rows->accSelect(SELFLAG_TAKEFOCUS, Child(1)), S_OK);
    ASSERT_TRUE(WaitPumping([&] { return gui::Focus(main) == list && FocusedChild(rows.get()) == 1; }));
    EXPECT_TRUE(Heard(EVENT_OBJECT_FOCUS, 1));
    EXPECT_EQ(State(rows.get(), 1) & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED | STATE_SYSTEM_COLLAPSED),
              STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED | STATE_SYSTEM_COLLAPSED);

    // Right and + unfold, Left and - fold: the problems come and go as children, and each change is
    // told (the category's state, the list's rows).
    for (const auto& [unfold, fold] : std::initializer_list<std::pair<UINT, UINT>>{{VK_RIGHT, VK_LEFT}, {VK_ADD, VK_SUBTRACT}}) {
        ASSERT_TRUE(Press(rows.get(), unfold, 1)) << unfold;
        EXPECT_TRUE(WaitPumping([&] { return ChildCount(rows.get()) == 1 + kProblems; })) << unfold;
        EXPECT_TRUE(State(rows.get(), 1) & STATE_SYSTEM_EXPANDED) << unfold;
        EXPECT_TRUE(Heard(EVENT_OBJECT_STATECHANGE, 1)) << unfold;
        EXPECT_TRUE(Heard(EVENT_OBJECT_REORDER, CHILDID_SELF)) << unfold;
        ASSERT_TRUE(Press(rows.get(), fold, 1)) << fold;
        EXPECT_TRUE(WaitPumping([&] { return ChildCount(rows.get()) == 1; })) << fold;
        EXPECT_TRUE(State(rows.get(), 1) & STATE_SYSTEM_COLLAPSED) << fold;
        EXPECT_TRUE(Heard(EVENT_OBJECT_STATECHANGE, 1)) << fold;
    }
    ASSERT_TRUE(Press(rows.get(), VK_RIGHT, 1));
    ASSERT_TRUE(WaitPumping([&] { return ChildCount(rows.get()) == 1 + kProblems; }));
    gui::SaveScreenshot("reader-list-unfolded", main);

    // End, Home, Page Down (the whole group fits on one page), and Left back to the category: the
    // focus and the selection move, and the reader is told.
    ASSERT_TRUE(Press(rows.get(), VK_END, 1 + kProblems));
    EXPECT_TRUE(Heard(EVENT_OBJECT_FOCUS, 1 + kProblems));
    EXPECT_TRUE(Heard(EVENT_OBJECT_SELECTION, 1 + kProblems));
    EXPECT_TRUE(State(rows.get(), 1 + kProblems) & STATE_SYSTEM_SELECTED);
    EXPECT_FALSE(State(rows.get(), 1) & STATE_SYSTEM_SELECTED);
    ASSERT_TRUE(Press(rows.get(), VK_HOME, 1));
    EXPECT_TRUE(Heard(EVENT_OBJECT_FOCUS, 1));
    ASSERT_TRUE(Press(rows.get(), VK_NEXT, 1 + kProblems));
    EXPECT_TRUE(Heard(EVENT_OBJECT_FOCUS, 1 + kProblems));
    ASSERT_TRUE(Press(rows.get(), VK_LEFT, 1));
    ASSERT_TRUE(Press(rows.get(), VK_DOWN, 2));

    // Space unticks the problem (the category is then partly ticked) and ticks it again.
    const std::string problem = Name(rows.get(), 2);
    ASSERT_TRUE(State(rows.get(), 2) & STATE_SYSTEM_CHECKED);
    ASSERT_TRUE(Press(rows.get(), VK_SPACE, 2));
    EXPECT_TRUE(WaitPumping([&] { return !(State(rows.get(), 2) & STATE_SYSTEM_CHECKED); }));
    EXPECT_TRUE(State(rows.get(), 1) & STATE_SYSTEM_MIXED);
    EXPECT_EQ(DefaultAction(rows.get(), 2), "Check");
    EXPECT_TRUE(Heard(EVENT_OBJECT_STATECHANGE, 2));
    gui::SaveScreenshot("reader-list-unticked", main);
    ASSERT_TRUE(Press(rows.get(), VK_SPACE, 2));
    EXPECT_TRUE(WaitPumping([&] { return (State(rows.get(), 2) & STATE_SYSTEM_CHECKED) != 0; }));
    EXPECT_TRUE(State(rows.get(), 1) & STATE_SYSTEM_CHECKED);

    // Shift+F10 offers Ignore in a menu at the row: Escape leaves everything as it was, the menu's
    // access key ignores the problem, which leaves the list and goes into the ignore list.
    g_events.clear();
    gui::Type(VK_F10, MOD_SHIFT);
    ASSERT_TRUE(gui::WaitFor([&] { return PopupMenu(app.ProcessId()) != nullptr; })) << "no menu";
    gui::SaveScreenshot("reader-list-ignore-menu", main);
    gui::Type(VK_ESCAPE);
    ASSERT_TRUE(gui::WaitFor([&] { return PopupMenu(app.ProcessId()) == nullptr; }));
    EXPECT_EQ(ChildCount(rows.get()), 1 + kProblems);
    EXPECT_EQ(Name(rows.get(), 2), problem);
    EXPECT_EQ(FocusedChild(rows.get()), 2);
    gui::Type(VK_F10, MOD_SHIFT);
    ASSERT_TRUE(gui::WaitFor([&] { return PopupMenu(app.ProcessId()) != nullptr; })) << "no menu";
    gui::Type('I');
    EXPECT_TRUE(WaitPumping([&] { return ChildCount(rows.get()) == kProblems; }));
    for (long id = 2; id <= ChildCount(rows.get()); ++id)
        EXPECT_NE(Name(rows.get(), id), problem) << id;
    EXPECT_TRUE(Heard(EVENT_OBJECT_REORDER, CHILDID_SELF));
    const size_t seed = problem.find("HivoraListKeysTest");
    ASSERT_NE(seed, std::string::npos) << problem;
    const std::string ignored = problem.substr(seed, run.Name(0).size());
    EXPECT_NE(ReadFileText(app.Folder() + "ignorelist.dat").find(ignored), std::string::npos) << ignored;
    // The problem that took its place has the keys.
    EXPECT_TRUE(WaitPumping([&] { return FocusedChild(rows.get()) == 2; })) << FocusedChild(rows.get());
    EXPECT_TRUE(Heard(EVENT_OBJECT_FOCUS, 2));
    EXPECT_EQ(gui::Focus(main), list);
    EXPECT_TRUE(app.Close());
}

} // namespace
