// What a screen reader hears in the real Hivora.exe, read through MSAA (oleacc) as a reader reads
// it from its own process: the names of the buttons and boxes, the lists' names, and the results
// list's own IAccessible with its rows, their roles, states and default actions.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <string>

#include "framework/com_ptr.h"
#include "framework/format.h"
#include "framework/wide_text.h"
#include "gui_driver.h"
#include "hivora_app.h"
#include "resources/resource.h"
#include "scan/problem.h"

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int kListId = 54321;
constexpr int kSeeded = 2;

std::string SeedName(int i)
{
    return Format("HivoraReaderTest%d", i);
}

class SeededRun {
public:
    SeededRun()
    {
        for (int i = 0; i < kSeeded; ++i) {
            const std::string data = Format("C:\\HivoraReaderMissing\\tool%d.exe", i);
            RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, SeedName(i).c_str(), REG_SZ, data.c_str(),
                            static_cast<DWORD>(data.size() + 1));
        }
    }
    ~SeededRun()
    {
        for (int i = 0; i < kSeeded; ++i)
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, SeedName(i).c_str());
    }
};

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

std::string Name(IAccessible* object, long id = CHILDID_SELF)
{
    BSTR name = nullptr;
    if (!object || object->get_accName(Child(id), &name) != S_OK || !name)
        return "<no name>";
    const std::string text = Narrow(name);
    SysFreeString(name);
    return text;
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

TEST(ScreenReader, NamesAndTheResultsListRows)
{
    SeededRun run;
    HivoraApp::Settings settings = {{"lastScan", "01-02-2026 10:11:12"}, {"autoupdts", "0"}, {"rstrpont", "0"}};
    for (int type = 0; type < kCategoryCount; ++type) {
        const auto category = static_cast<REGPROBLEM_TYPE>(type);
        settings.emplace_back(CategoryInfo(category).pszSettingKey, category == RPT_STARTUP ? "1" : "0");
    }
    HivoraApp app(settings);
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

    // The settings' boxes and the backup list.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SETTINGS));
    EXPECT_EQ(NameOf(main, IDC_OPTION_CHECK_FIRST + 4), "Automatically repair items after scanning");
    EXPECT_EQ(NameOf(main, IDC_OPTION_CHECK_FIRST + 7), "Log Scanning Results");
    EXPECT_EQ(NameOf(main, IDC_OPEN_LOG_FOLDER), "Open Log Folder");
    ASSERT_TRUE(gui::Click(GetParent(gui::FindControl(main, IDC_OPEN_LOG_FOLDER)), IDC_TAB_IGNORE));
    EXPECT_EQ(NameOf(main, IDC_IGNORE_LIST), "Ignored items");
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_BACKUP));
    EXPECT_EQ(NameOf(main, IDC_BACKUP_LIST), "Backup sets");
    EXPECT_EQ(Name(ObjectOf(GetDlgItem(GetParent(gui::FindControl(main, IDC_BACKUP_LIST)), IDC_BACKUP_RESTORE)).get()),
              "Restore");

    // A scan of the start-up items, then the results list as its own IAccessible says it.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SCANNOW));
    ASSERT_TRUE(gui::Click(GetParent(gui::FindControl(main, IDC_SCAN_SELECTED)), IDC_SCAN_SELECTED));
    HWND next = gui::FindControl(main, IDC_SCAN_NEXT, 600000);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(Name(ObjectOf(next).get()), "Next");
    ASSERT_TRUE(gui::Click(GetParent(next), IDC_SCAN_NEXT));
    HWND list = gui::FindControl(main, kListId);
    ASSERT_NE(list, nullptr);
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

} // namespace
