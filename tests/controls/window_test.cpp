// The controls in windows of this process: the GIF picture's timing and disposal, the skinned
// button's faces, the label's caption rule and the markup renderer's drawing.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "controls/label.h"
#include "controls/markup.h"
#include "controls/picture_ex.h"
#include "controls/xp_button.h"
#include "framework/com_ptr.h"
#include "framework/dialog.h"
#include "gallery_ids.h"
#include "gif_builder.h"
#include "resources/resource.h"
#include "scan/problem.h"
#include "scan/problem_texts.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

void Pump(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    } while (GetTickCount() - start < milliseconds);
}

class CTestHost : public CDialog {
public:
    CTestHost() : CDialog(IDD_TEST_HOST) {}
};

class WindowTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_host.Create(nullptr)); }

    HGLOBAL Block(const std::vector<uint8_t>& data)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, data.size());
        std::memcpy(GlobalLock(block), data.data(), data.size());
        GlobalUnlock(block);
        m_blocks.push_back(block);
        return block;
    }
    void TearDown() override
    {
        for (HGLOBAL block : m_blocks)
            GlobalFree(block);
    }

    COLORREF Pixel(const CPictureEx& picture, int x, int y) { return GetPixel(picture.GetSurface(), x, y); }

    // Waits until the animation shows frame n; false after the timeout.
    static bool WaitForFrame(const CPictureEx& picture, int n, DWORD timeout = 3000)
    {
        const DWORD start = GetTickCount();
        while (picture.GetCurrentFrame() != n) {
            if (GetTickCount() - start > timeout)
                return false;
            Pump(1);
        }
        return true;
    }

    // The average time a frame stays, over three whole rounds of the animation.
    static double AverageFrameTime(const CPictureEx& picture)
    {
        const int frames = static_cast<int>(picture.GetFrameCount());
        EXPECT_TRUE(WaitForFrame(picture, 0));
        EXPECT_TRUE(WaitForFrame(picture, 1));
        LARGE_INTEGER frequency, begin, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&begin);
        for (int round = 0; round < 3; ++round) {
            EXPECT_TRUE(WaitForFrame(picture, 0));
            EXPECT_TRUE(WaitForFrame(picture, 1));
        }
        QueryPerformanceCounter(&end);
        return (end.QuadPart - begin.QuadPart) * 1000.0 / frequency.QuadPart / (3 * frames);
    }

    ComApartment m_com;
    CTestHost m_host;
    std::vector<HGLOBAL> m_blocks;
};

TEST_F(WindowTest, SingleFrameGifIsShownStill)
{
    CPictureEx picture;
    ASSERT_TRUE(picture.SubclassDlgItem(IDC_HOST_STATIC, m_host.GetSafeHwnd()));
    const auto gif = GifBuilder(10, 6).Frame(1, 50, 0).Finish();
    ASSERT_TRUE(picture.Load(Block(gif), static_cast<DWORD>(gif.size())));
    EXPECT_TRUE(picture.IsGIF());
    EXPECT_EQ(picture.GetFrameCount(), 0u);
    EXPECT_TRUE(picture.Draw());
    EXPECT_FALSE(picture.IsPlaying());
    EXPECT_EQ(Pixel(picture, 5, 3), kRed);
    RECT box{};
    GetClientRect(picture.GetSafeHwnd(), &box);
    EXPECT_EQ(box.right, 10);  // the control takes the picture's size
    EXPECT_EQ(box.bottom, 6);
}

TEST_F(WindowTest, NothingLoadedFromBadData)
{
    CPictureEx picture;
    ASSERT_TRUE(picture.SubclassDlgItem(IDC_HOST_STATIC, m_host.GetSafeHwnd()));
    const std::vector<uint8_t> header = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'};
    EXPECT_FALSE(picture.Load(Block(header), static_cast<DWORD>(header.size())));
    EXPECT_FALSE(picture.Draw());
    EXPECT_FALSE(picture.Load("C:\\no such folder\\none.gif"));
    EXPECT_EQ(picture.GetSurface(), nullptr);
}

TEST_F(WindowTest, ShortDelaysShowForAHundredMilliseconds)
{
    CPictureEx slow;
    ASSERT_TRUE(slow.SubclassDlgItem(IDC_HOST_STATIC, m_host.GetSafeHwnd()));
    const auto zeros = GifBuilder(4, 4).Frame(1, 0, 1).Frame(2, 4, 1).Frame(3, 0, 1).Frame(1, 2, 1).Finish();
    ASSERT_TRUE(slow.Load(Block(zeros), static_cast<DWORD>(zeros.size())));
    EXPECT_FALSE(slow.Draw());
    EXPECT_TRUE(slow.IsPlaying());
    const double slowFrame = AverageFrameTime(slow);
    slow.Stop();
    EXPECT_FALSE(slow.IsPlaying());

    CPictureEx fast;
    ASSERT_TRUE(fast.SubclassDlgItem(IDC_HOST_LABEL, m_host.GetSafeHwnd()));
    const auto fives = GifBuilder(4, 4).Frame(1, 5, 1).Frame(2, 5, 1).Frame(3, 5, 1).Frame(1, 5, 1).Finish();
    ASSERT_TRUE(fast.Load(Block(fives), static_cast<DWORD>(fives.size())));
    fast.Draw();
    const double fastFrame = AverageFrameTime(fast);

    EXPECT_GE(slowFrame, 95.0);
    EXPECT_GE(fastFrame, 45.0);
    EXPECT_LT(fastFrame, 90.0) << "a delay of 5 hundredths is shown for 50 ms";
}

TEST_F(WindowTest, DisposalMethods)
{
    CPictureEx picture;
    ASSERT_TRUE(picture.SubclassDlgItem(IDC_HOST_STATIC, m_host.GetSafeHwnd()));
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    // Frame 0 red everywhere, restored to the background (2); frame 1 green in the top left
    // corner, restored to what lay under it (3); frame 2 blue in the bottom right corner (1).
    const auto gif = GifBuilder(8, 8)
                         .Frame(1, 40, 2)
                         .Frame(2, 40, 3, 0, 0, 4, 4)
                         .Frame(3, 40, 1, 4, 4, 4, 4)
                         .Frame(1, 40, 1, 0, 0, 2, 2)
                         .Finish();
    ASSERT_TRUE(picture.Load(Block(gif), static_cast<DWORD>(gif.size())));
    ASSERT_EQ(picture.GetFrameCount(), 4u);
    picture.Draw();

    ASSERT_TRUE(WaitForFrame(picture, 0));
    Pump(100);
    EXPECT_EQ(Pixel(picture, 6, 6), kRed);
    ASSERT_TRUE(WaitForFrame(picture, 1));
    Pump(100);
    EXPECT_EQ(Pixel(picture, 1, 1), kGreen);
    EXPECT_EQ(Pixel(picture, 6, 6), background);  // frame 0 was cleared
    ASSERT_TRUE(WaitForFrame(picture, 2));
    Pump(100);
    EXPECT_EQ(Pixel(picture, 1, 1), background);  // what lay under frame 1
    EXPECT_EQ(Pixel(picture, 6, 6), kBlue);
    ASSERT_TRUE(WaitForFrame(picture, 3));
    Pump(100);
    EXPECT_EQ(Pixel(picture, 6, 6), kBlue);  // left in place (1)
    EXPECT_EQ(Pixel(picture, 1, 1), kRed);
    picture.Unload();
    EXPECT_EQ(picture.GetFrameCount(), 0u);
    EXPECT_FALSE(picture.IsPlaying());
}

TEST_F(WindowTest, TruncatedGifPlaysItsCompleteFrames)
{
    CPictureEx picture;
    ASSERT_TRUE(picture.SubclassDlgItem(IDC_HOST_STATIC, m_host.GetSafeHwnd()));
    auto gif = GifBuilder(6, 6).Frame(1, 5, 1).Frame(2, 5, 1).Frame(3, 5, 1).Finish();
    gif.resize(gif.size() - 6);
    ASSERT_TRUE(picture.Load(Block(gif), static_cast<DWORD>(gif.size())));
    EXPECT_EQ(picture.GetFrameCount(), 2u);
    EXPECT_FALSE(picture.Draw());
    ASSERT_TRUE(WaitForFrame(picture, 1));
    Pump(20);
    EXPECT_EQ(Pixel(picture, 3, 3), kGreen);
    ASSERT_TRUE(WaitForFrame(picture, 0));
    DestroyWindow(picture.GetSafeHwnd());  // destroying the control stops the animation
    EXPECT_FALSE(picture.IsPlaying());
}

// The face a button draws for an item state, read back from a white surface.
COLORREF DrawnFace(HWND button, UINT state)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 30);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 100, 30};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = button;
    item.hDC = dc;
    item.rcItem = all;
    item.itemState = state;
    SendMessageA(button, WM_REFLECT_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    const COLORREF colour = GetPixel(dc, 50, 2);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return colour;
}

TEST_F(WindowTest, ButtonDrawsItsThreeFaces)
{
    CXPButton button;
    ASSERT_TRUE(button.SubclassDlgItem(IDC_HOST_BUTTON, m_host.GetSafeHwnd()));
    EXPECT_EQ(GetWindowLongPtrA(button.GetSafeHwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(DrawnFace(button.GetSafeHwnd(), 0), RGB(255, 255, 255)) << "no bitmaps: nothing drawn";

    ASSERT_TRUE(button.SetBitmaps(IDB_REPAIR, IDB_REPAIR_HOT, IDB_BACK));
    const COLORREF normal = DrawnFace(button.GetSafeHwnd(), 0);
    const COLORREF hot = DrawnFace(button.GetSafeHwnd(), ODS_FOCUS);
    const COLORREF pressed = DrawnFace(button.GetSafeHwnd(), ODS_SELECTED);
    EXPECT_NE(normal, RGB(255, 255, 255));
    EXPECT_NE(normal, hot);
    EXPECT_NE(normal, pressed);
    EXPECT_EQ(DrawnFace(button.GetSafeHwnd(), ODS_DEFAULT), pressed);
    EXPECT_FALSE(button.SetBitmaps(IDB_REPAIR, 9999, IDB_REPAIR));
    EXPECT_EQ(DrawnFace(button.GetSafeHwnd(), 0), RGB(255, 255, 255));
}

TEST_F(WindowTest, LabelCaptionNeedsItsWindow)
{
    CLabel label;
    label.SetCaption("too early");
    ASSERT_TRUE(label.SubclassDlgItem(IDC_HOST_LABEL, m_host.GetSafeHwnd()));
    char text[64] = {};
    GetWindowTextA(label.GetSafeHwnd(), text, sizeof text);
    EXPECT_STREQ(text, "Label");
    label.SetCaption("Now").SetBold(true).SetPointSize(10);
    GetWindowTextA(label.GetSafeHwnd(), text, sizeof text);
    EXPECT_STREQ(text, "Now");
    EXPECT_EQ(label.GetLogFont().lfWeight, FW_BOLD);
    EXPECT_LT(label.GetLogFont().lfHeight, 0);
    StyleLabel(label, "Arial", 8, RGB(1, 2, 3), RGB(255, 255, 255));
    EXPECT_STREQ(label.GetLogFont().lfFaceName, "Arial");
    EXPECT_EQ(label.GetForeColour(), RGB(1, 2, 3));
    EXPECT_TRUE(GetWindowLongPtrA(label.GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
}

class MarkupTest : public testing::Test {
protected:
    MarkupTest()
    {
        HDC screen = GetDC(nullptr);
        m_dc = CreateCompatibleDC(screen);
        m_bitmap = CreateCompatibleBitmap(screen, 400, 200);
        ReleaseDC(nullptr, screen);
        m_old = SelectObject(m_dc, m_bitmap);
        m_font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0,
                             "Tahoma");
        m_oldFont = SelectObject(m_dc, m_font);
        Clear();
    }
    ~MarkupTest() override
    {
        SelectObject(m_dc, m_oldFont);
        SelectObject(m_dc, m_old);
        DeleteObject(m_font);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    void Clear()
    {
        RECT all{0, 0, 400, 200};
        FillRect(m_dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetTextColor(m_dc, RGB(0, 0, 0));
    }
    RECT Measure(const char* text, LONG width = 300, UINT format = DT_WORDBREAK)
    {
        RECT box{10, 10, 10 + width, 10};
        RenderMarkup(text, -1, &box, format | DT_CALCRECT, m_dc);
        return box;
    }
    // Counts pixels of a colour in a band of rows.
    int Count(COLORREF colour, int top = 0, int bottom = 200)
    {
        int n = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < 400; ++x)
                n += GetPixel(m_dc, x, y) == colour;
        }
        return n;
    }

    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    HFONT m_font;
    HGDIOBJ m_oldFont;
};

TEST_F(MarkupTest, BreaksLinesAndMeasures)
{
    const RECT one = Measure("Key: value");
    const RECT two = Measure("Key:<br>value");
    const int line = one.bottom - one.top;
    EXPECT_GT(line, 8);
    EXPECT_EQ(two.bottom - two.top, 2 * line);
    EXPECT_LT(two.right - two.left, one.right - one.left);
    RECT box{10, 10, 310, 10};
    EXPECT_EQ(RenderMarkup("a<br>b<br>c", -1, &box, DT_CALCRECT, m_dc), 2 * line);
    EXPECT_EQ(Measure("a<p>b").bottom - 10, line * 3 / 2 + line);
    EXPECT_EQ(Measure("<p>a").bottom - 10, line);  // no paragraph space at the very start
    EXPECT_EQ(Measure("a<br>b", 300, DT_SINGLELINE).bottom - 10, line);
    // Word break wraps at the box; a single word wider than the box stays on one line.
    EXPECT_GT(Measure("alpha beta gamma delta epsilon", 60).bottom - 10, line);
    const RECT wide = Measure("HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft", 40);
    EXPECT_EQ(wide.bottom - 10, line);
    EXPECT_GT(wide.right - wide.left, 40);
}

TEST_F(MarkupTest, StyleTagsChangeTheLook)
{
    EXPECT_GT(Measure("<b>Registry</b>").right, Measure("Registry").right);
    EXPECT_EQ(Measure("<b>Registry</b> x").right, Measure("<strong>Registry</strong> x").right);
    EXPECT_EQ(Measure("<B>Registry</B>").right, Measure("<b>Registry</b>").right);
    EXPECT_LT(Measure("<sub>Registry</sub>").right, Measure("Registry").right);
    EXPECT_LT(Measure("<sup>Registry</sup>").right, Measure("Registry").right);
    // An unknown opening tag is text; an unknown closing tag is dropped.
    EXPECT_GT(Measure("<span>x").right, Measure("x").right);
    EXPECT_EQ(Measure("</span>x").right, Measure("x").right);
    // White space after a break is skipped.
    EXPECT_EQ(Measure("a<br>   b").right, Measure("a<br>b").right);
}

TEST_F(MarkupTest, FontColoursStackAndPlainFontChangesNothing)
{
    RECT box{0, 0, 400, 40};
    RenderMarkup("<font color=#ff0000>red</font> black", -1, &box, 0, m_dc);
    EXPECT_GT(Count(RGB(255, 0, 0)), 10);
    EXPECT_GT(Count(RGB(0, 0, 0)), 10);
    Clear();
    // The Ignore link: "<font>" without a colour keeps the blue to its end.
    RECT link{0, 0, 400, 40};
    RenderMarkup("<font color=#0000ff><u>Ignore</u><font> after", -1, &link, 0, m_dc);
    EXPECT_GT(Count(RGB(0, 0, 255)), 10);
    EXPECT_EQ(Count(RGB(0, 0, 0)), 0);
    Clear();
    // Closing more than was opened goes back to the first colour.
    RECT nested{0, 0, 400, 40};
    RenderMarkup("<font color=#00ff00>a<font color=#ff0000>b</font></font></font>c", -1, &nested, 0, m_dc);
    EXPECT_GT(Count(RGB(0, 255, 0)), 3);
    EXPECT_GT(Count(RGB(255, 0, 0)), 3);
    EXPECT_GT(Count(RGB(0, 0, 0)), 3);
}

TEST_F(MarkupTest, BackslashesAreDrawnAsSingleSlashes)
{
    EXPECT_EQ(Measure("HKEY_CLASSES_ROOT\\CLSID\\\\x").right, Measure("HKEY_CLASSES_ROOT/CLSID/x").right);
    EXPECT_EQ(Measure("a//b").right, Measure("a/b").right);
    EXPECT_EQ(RenderMarkup(nullptr, -1, nullptr, 0, m_dc), 0);
    EXPECT_EQ(RenderMarkup("x", -1, nullptr, 0, nullptr), 0);
}

} // namespace

namespace {

INT_PTR CALLBACK PlainProc(HWND, UINT msg, WPARAM, LPARAM)
{
    return msg == WM_INITDIALOG;
}

TEST(Resources, EveryTemplateAndBitmapLoads)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    const struct {
        UINT id;
        int control;
    } templates[] = {
        {IDD_ABOUTBOX, IDC_ABOUT_VERSION},     {IDD_HIVORA_DIALOG, IDC_TAB_BACKUP},
        {IDD_SCANSTEP1, IDC_SCAN_FULL},        {IDD_SCANSTEP2, IDC_SCAN_COUNT_FIRST + 14},
        {IDD_RESULTS, IDC_RESULTS_REPAIR},     {IDD_CATEGORY_PANEL, IDC_CATEGORY_CHECK_FIRST + 14},
        {IDD_GENERAL_SETTINGS, IDC_OPEN_LOG_FOLDER}, {IDD_IGNORE_SETTINGS, IDC_IGNORE_LIST},
        {IDD_BACKUP, IDC_BACKUP_CAUTION},      {IDD_UPDATES, IDC_UPDATES_ANIMATION},
        {IDD_STATISTICS, IDC_STAT_ROW_IGNORED_FIRST + 14}, {IDD_SCHEDULE_SETTINGS, IDC_SCHEDULE_LIST},
        {IDD_SPLASH, 0},
    };
    HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP, 0, 0, 900, 700, nullptr, nullptr, nullptr, nullptr);
    for (const auto& t : templates) {
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(t.id), parent, PlainProc, 0);
        ASSERT_NE(dialog, nullptr) << t.id;
        if (t.control) {
            EXPECT_NE(GetDlgItem(dialog, t.control), nullptr) << t.id;
        }
        // Every button and check box is named by its caption, so that a screen reader says it. A
        // button has one access key ("&&" is a plain ampersand); a box has at most one: there are
        // more controls within reach than letters, and the keys of those within reach at the same
        // time differ (the keyboard test checks that on every page).
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            char className[16] = {};
            GetClassNameA(child, className, sizeof className);
            if (lstrcmpiA(className, "Button") != 0 || (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
                continue;
            char text[128] = {};
            GetWindowTextA(child, text, sizeof text);
            int keys = 0;
            for (const char* c = text; *c; ++c) {
                if (*c == '&' && c[1] == '&')
                    ++c;
                else if (*c == '&' && c[1] != ' ' && c[1] != 0)
                    ++keys;
            }
            const LONG type = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
            const bool box = type == BS_AUTOCHECKBOX || type == BS_CHECKBOX;
            EXPECT_NE(text[0], 0) << t.id << " control " << GetDlgCtrlID(child);
            EXPECT_EQ(keys, box ? std::min(keys, 1) : 1) << t.id << " control " << GetDlgCtrlID(child) << " \"" << text << "\"";
        }
        // The category boxes show the panel's captions (whose "&&" stays a plain ampersand).
        for (int row = 0; t.id == IDD_CATEGORY_PANEL && row < kCategoryCount; ++row) {
            char text[64] = {};
            GetDlgItemTextA(dialog, IDC_CATEGORY_CHECK_FIRST + row, text, sizeof text);
            std::string shown;
            for (size_t i = 0; text[i]; ++i) {
                const bool pair = text[i] == '&' && text[i + 1] == '&';
                if (text[i] != '&' || pair)
                    shown += pair ? std::string("&&") : std::string(1, text[i]);
                i += pair ? 1 : 0;
            }
            EXPECT_EQ(shown, CategoryInfo(g_aScanOrder[row]).pszPanelName) << row;
        }
        DestroyWindow(dialog);
    }
    DestroyWindow(parent);

    // Every bitmap named by the header: 135-153, 155-200, 209-212, 215, 217 and 218.
    for (UINT id = IDB_HTMLLIST_IMAGES; id <= IDB_CHECK_UPDATES_HOT; ++id) {
        const bool unused = id == 154 || (id > 200 && id < 209) || id == 213 || id == 214 || id == 216;
        EXPECT_EQ(static_cast<bool>(LoadBitmapResource(id)), !unused) << id;
    }
    GdiBitmap strip = LoadBitmapResource(IDB_HTMLLIST_IMAGES);
    BITMAP info{};
    GetObjectA(strip.get(), sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 80);  // five 16x16 images
    EXPECT_EQ(info.bmHeight, 16);
    char text[256] = {};
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), IDS_IGNORE_LINK, text, sizeof text), 0);
    EXPECT_STREQ(text, "<font color=#0000ff><u>Ignore</u><font>");
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 125, text, sizeof text), 0);
    EXPECT_STREQ(text, TXT_DESC_HELP_FILE);
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 134, text, sizeof text), 0);
    EXPECT_STREQ(text, "S");
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)), nullptr);
}

} // namespace
