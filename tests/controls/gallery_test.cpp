// Drives the control gallery in its own process, as a person would, and checks what the list,
// the labels and the message box helper do.
#include <gtest/gtest.h>

// GCC 12 warns falsely about overlapping copies inside std::string when it inlines these tests.
#pragma GCC diagnostic ignored "-Wrestrict"

#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "controls/html_list.h"
#include "framework/handles.h"
#include "framework/paths.h"
#include "gallery_ids.h"
#include "gui_driver.h"

namespace {

struct ROW {
    int index, type, top, bottom, check, expanded, selected;
    bool visible;
};

struct CATEGORY {
    int type, selected, problems;
};

struct STATE {
    int rows = 0, sel = 0, scroll = 0, max = 0, page = 0, owned = 0;
    std::string notes, labels;
    std::vector<CATEGORY> cats;
    std::vector<ROW> items;

    const CATEGORY& Cat(int type) const
    {
        for (const CATEGORY& c : cats) {
            if (c.type == type)
                return c;
        }
        static const CATEGORY none{-1, -1, -1};
        return none;
    }
    int Visible() const
    {
        int n = 0;
        for (const ROW& r : items)
            n += r.visible;
        return n;
    }
};

// The value of "name=value" in the status text (fields are separated by blanks).
std::string Field(const std::string& status, const std::string& name)
{
    std::string spaced(1, ' ');
    spaced += status;
    std::string key(1, ' ');
    key += name;
    key += '=';
    const size_t at = spaced.find(key);
    if (at == std::string::npos)
        return {};
    const size_t start = at + key.size();
    const size_t end = spaced.find(' ', start);
    return spaced.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class GalleryTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string command = "\"" + ProgramFolder() + "control_gallery.exe\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        m_process.reset(pi.hProcess);
        CloseHandle(pi.hThread);
        m_gallery = gui::WaitForWindow(GALLERY_TITLE, 30000);
        ASSERT_NE(m_gallery, nullptr);
        m_list = GetDlgItem(m_gallery, HTMLLIST_CONTROL_ID);
        ASSERT_NE(m_list, nullptr);
        RECT client{};
        GetClientRect(m_list, &client);
        m_width = client.right;
    }

    void TearDown() override
    {
        if (m_gallery)
            PostMessageA(m_gallery, WM_CLOSE, 0, 0);
        if (m_process && WaitForSingleObject(m_process.get(), 10000) != WAIT_OBJECT_0)
            TerminateProcess(m_process.get(), 1);
    }

    STATE Read() const
    {
        SendMessageA(m_gallery, WM_GALLERY_REFRESH, 0, 0);
        const std::string status = gui::Text(GetDlgItem(m_gallery, IDC_GAL_STATUS));
        STATE s;
        s.rows = std::stoi(Field(status, "rows"));
        s.sel = std::stoi(Field(status, "sel"));
        s.scroll = std::stoi(Field(status, "scroll"));
        s.max = std::stoi(Field(status, "max"));
        s.page = std::stoi(Field(status, "page"));
        s.owned = std::stoi(Field(status, "owned"));
        s.notes = Field(status, "notes");
        s.labels = Field(status, "labels");
        std::istringstream cats(Field(status, "cats"));
        for (std::string part; std::getline(cats, part, ';');) {
            CATEGORY c{};
            if (std::sscanf(part.c_str(), "%d:%d:%d", &c.type, &c.selected, &c.problems) == 3)
                s.cats.push_back(c);
        }
        std::istringstream items(Field(status, "items"));
        for (std::string part; std::getline(items, part, ';');) {
            ROW r{};
            if (std::sscanf(part.c_str(), "%d:%d:%d:%d:%d:%d:%d", &r.index, &r.type, &r.top, &r.bottom, &r.check,
                            &r.expanded, &r.selected) == 7)
                s.items.push_back(r);
        }
        // Folded headers hide their category's problem rows.
        int hidden = 0;
        size_t cat = 0;
        for (ROW& r : s.items) {
            if (r.type == HTMLLIST_HEADER) {
                r.visible = true;
                hidden = r.expanded ? 0 : s.cats[cat].problems;
                ++cat;
            } else {
                r.visible = hidden == 0;
                if (hidden > 0)
                    --hidden;
            }
        }
        return s;
    }

    int Mid(const ROW& r) const { return r.top + (r.bottom - r.top) / 2 - 8; }
    void ClickExpander(const ROW& r) const { gui::ClickAt(m_list, 10, Mid(r) + 7); }
    void ClickCheck(const ROW& r) const { gui::ClickAt(m_list, r.type == HTMLLIST_HEADER ? 28 : 25, Mid(r) + 7); }
    void ClickIgnore(const ROW& r) const { gui::ClickAt(m_list, m_width - 20, r.bottom - 7); }
    // The header row of a category type, by position (the gallery lists COM, uninstall, fonts, shared DLLs).
    static int HeaderIndex(const STATE& s, int n)
    {
        for (const ROW& r : s.items) {
            if (r.type == HTMLLIST_HEADER && n-- == 0)
                return r.index;
        }
        return -1;
    }

    KernelHandle m_process;
    HWND m_gallery = nullptr;
    HWND m_list = nullptr;
    int m_width = 0;
};

constexpr int kCom = 0, kUninstall = 1, kFonts = 2, kSharedDlls = 3;

TEST_F(GalleryTest, StartsFoldedWithThreeStateHeaders)
{
    const STATE s = Read();
    EXPECT_EQ(s.rows, 10);
    EXPECT_EQ(s.Visible(), 4);
    EXPECT_EQ(s.owned, 6);
    EXPECT_EQ(s.items[HeaderIndex(s, 0)].check, 1);  // all three selected
    EXPECT_EQ(s.items[HeaderIndex(s, 1)].check, 2);  // one of two
    EXPECT_EQ(s.items[HeaderIndex(s, 2)].check, 0);  // no problems
    EXPECT_EQ(s.items[HeaderIndex(s, 3)].check, 0);  // none of one
    EXPECT_EQ(s.Cat(kCom).problems, 3);
    EXPECT_EQ(s.Cat(kUninstall).selected, 1);
}

TEST_F(GalleryTest, HeadersFoldAndUnfold)
{
    STATE s = Read();
    const int folded = s.max;
    ClickExpander(s.items[HeaderIndex(s, 0)]);
    s = Read();
    EXPECT_EQ(s.items[HeaderIndex(s, 0)].expanded, 1);
    EXPECT_EQ(s.Visible(), 7);
    EXPECT_GT(s.max, folded);
    for (int i = 1; i <= 3; ++i)
        EXPECT_GT(s.items[i].top, s.items[i - 1].top);
    EXPECT_EQ(s.items[4].top, s.items[3].bottom);  // the next header follows the last problem
    ClickExpander(s.items[HeaderIndex(s, 0)]);
    s = Read();
    EXPECT_EQ(s.items[HeaderIndex(s, 0)].expanded, 0);
    EXPECT_EQ(s.Visible(), 4);
    EXPECT_EQ(s.max, folded);
}

TEST_F(GalleryTest, HeaderCheckBoxSelectsAllOrNone)
{
    STATE s = Read();
    ClickCheck(s.items[HeaderIndex(s, 1)]);  // partly checked: select all
    s = Read();
    EXPECT_EQ(s.items[HeaderIndex(s, 1)].check, 1);
    EXPECT_EQ(s.Cat(kUninstall).selected, 2);
    for (const ROW& r : s.items) {
        if (r.index > HeaderIndex(s, 1) && r.index < HeaderIndex(s, 2)) {
            EXPECT_EQ(r.selected, 1);
        }
    }
    EXPECT_EQ(s.notes, "1,");
    ClickCheck(s.items[HeaderIndex(s, 1)]);  // all: clear all
    s = Read();
    EXPECT_EQ(s.items[HeaderIndex(s, 1)].check, 0);
    EXPECT_EQ(s.Cat(kUninstall).selected, 0);
    EXPECT_EQ(s.items[HeaderIndex(s, 1) + 1].selected, 0);
    // A category without problems: the header becomes checked with a count of 0.
    ClickCheck(s.items[HeaderIndex(s, 2)]);
    s = Read();
    EXPECT_EQ(s.items[HeaderIndex(s, 2)].check, 1);
    EXPECT_EQ(s.Cat(kFonts).selected, 0);
}

TEST_F(GalleryTest, ProblemCheckBoxesUpdateTheCounts)
{
    STATE s = Read();
    ClickExpander(s.items[HeaderIndex(s, 0)]);
    s = Read();
    ClickCheck(s.items[2]);
    s = Read();
    EXPECT_EQ(s.items[2].selected, 0);
    EXPECT_EQ(s.items[2].check, 0);
    EXPECT_EQ(s.Cat(kCom).selected, 2);
    EXPECT_EQ(s.items[0].check, 2);
    ClickCheck(s.items[1]);
    ClickCheck(s.items[3]);
    s = Read();
    EXPECT_EQ(s.Cat(kCom).selected, 0);
    EXPECT_EQ(s.items[0].check, 0);
    ClickCheck(s.items[2]);
    s = Read();
    EXPECT_EQ(s.Cat(kCom).selected, 1);
    EXPECT_EQ(s.items[0].check, 2);
    EXPECT_EQ(s.notes, "1,1,1,1,");
    EXPECT_EQ(s.sel, 2);
}

TEST_F(GalleryTest, IgnoreNotifiesFirstThenRemovesTheRowAndTheLastHeader)
{
    STATE s = Read();
    const int header = HeaderIndex(s, 3);
    ClickExpander(s.items[header]);
    s = Read();
    ASSERT_EQ(s.Visible(), 5);
    ClickIgnore(s.items[header + 1]);
    s = Read();
    // Code 5 arrived while the row and its problem were still there, then code 1.
    char expected[64];
    std::snprintf(expected, sizeof expected, "5(row=%d,rows=10,owned=6,type=3),1,", header + 1);
    EXPECT_EQ(s.notes, expected);
    EXPECT_EQ(s.rows, 8);
    EXPECT_EQ(s.owned, 5);
    EXPECT_EQ(HeaderIndex(s, 3), -1);
    EXPECT_EQ(s.Cat(kSharedDlls).problems, 0);

    // Ignoring one of two keeps the header and its counts right.
    ClickExpander(s.items[HeaderIndex(s, 1)]);
    s = Read();
    const int uninstall = HeaderIndex(s, 1);
    ClickIgnore(s.items[uninstall + 1]);  // the selected one
    s = Read();
    EXPECT_EQ(s.rows, 7);
    EXPECT_EQ(s.owned, 4);
    EXPECT_EQ(s.Cat(kUninstall).problems, 1);
    EXPECT_EQ(s.Cat(kUninstall).selected, 0);
    EXPECT_EQ(s.items[uninstall].check, 0);
}

TEST_F(GalleryTest, ArrowKeysMoveTheSelection)
{
    STATE s = Read();
    EXPECT_EQ(s.sel, -1);
    gui::KeyPress(m_list, VK_DOWN);
    s = Read();
    EXPECT_EQ(s.sel, HeaderIndex(s, 3));  // no selection: the last row
    gui::KeyPress(m_list, VK_DOWN);
    EXPECT_EQ(Read().sel, HeaderIndex(s, 3));  // stays at the last
    gui::KeyPress(m_list, VK_UP);
    EXPECT_EQ(Read().sel, HeaderIndex(s, 2));
    for (int i = 0; i < 6; ++i)
        gui::KeyPress(m_list, VK_UP);
    EXPECT_EQ(Read().sel, 0);
    ClickExpander(s.items[0]);
    gui::KeyPress(m_list, VK_DOWN);
    EXPECT_EQ(Read().sel, 1);  // into the unfolded group
}

TEST_F(GalleryTest, WheelScrollsFortyPixelsWithinTheRange)
{
    // A short list, so that the unfolded rows need scrolling; resizing lays the rows out again.
    RECT box{};
    GetWindowRect(m_list, &box);
    SetWindowPos(m_list, nullptr, 0, 0, box.right - box.left, 200, SWP_NOMOVE | SWP_NOZORDER);
    STATE s = Read();
    EXPECT_LT(s.page, 200u);
    for (int n = 3; n >= 0; --n)
        ClickExpander(s.items[HeaderIndex(s, n)]);
    s = Read();
    const int limit = s.max - s.page + 1;
    ASSERT_GT(limit, 80) << "the unfolded list must be taller than the control";
    gui::Wheel(m_list, -120);
    EXPECT_EQ(Read().scroll, 40);
    gui::Wheel(m_list, -120);
    EXPECT_EQ(Read().scroll, 80);
    gui::Wheel(m_list, 120);
    EXPECT_EQ(Read().scroll, 40);
    gui::Wheel(m_list, 120);
    EXPECT_EQ(Read().scroll, 0);
    gui::Wheel(m_list, 120);
    EXPECT_EQ(Read().scroll, 0);
    for (int i = 0; i < 50; ++i)
        gui::Wheel(m_list, -120);
    s = Read();
    EXPECT_EQ(s.scroll, limit);
    EXPECT_EQ(s.items[0].top, -limit);  // rows are drawn at their place minus the scroll position
}

// The last notification code in a list like "8201,8202,".
std::string Last(const std::string& notes)
{
    const size_t end = notes.size() - 1;
    const size_t start = notes.rfind(',', end - 1);
    return notes.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
}

TEST_F(GalleryTest, LabelNotifiesEnterLeaveAndClick)
{
    HWND label = GetDlgItem(m_gallery, IDC_GAL_LABEL_NOTIFY);
    ASSERT_NE(label, nullptr);
    gui::MoveTo(label, 5, 5);
    std::string notes = Read().labels;
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.substr(0, 5), "8201,");
    EXPECT_EQ(Last(notes), "8201");
    // The system's own mouse messages for the pointer moves may arrive later: wait for them to settle.
    gui::MoveTo(label, -20, -20);
    EXPECT_TRUE(gui::WaitFor([&] { return Last(Read().labels) == "8202"; }, 5000)) << Read().labels;
    gui::MoveTo(label, 5, 5);
    EXPECT_TRUE(gui::WaitFor([&] { return Last(Read().labels) == "8201"; }, 5000)) << Read().labels;
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    notes = Read().labels;
    EXPECT_EQ(Last(notes), "8200");
    EXPECT_EQ(notes.find("8200"), notes.size() - 5) << "one click, one notification: " << notes;
}

TEST_F(GalleryTest, MessageBoxHasTheProgramCaption)
{
    ASSERT_TRUE(gui::ClickButton(m_gallery, IDC_GAL_MESSAGE));
    std::string text;
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDYES, &text));
    EXPECT_EQ(text, "The gallery asks: is everything legible?");
    const DWORD start = GetTickCount();
    while (Read().notes != "yes," && GetTickCount() - start < 5000)
        Sleep(50);
    EXPECT_EQ(Read().notes, "yes,");
}

} // namespace
