#include "controls/html_list.h"

#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <optional>

#include "controls/html_list_accessible.h"
#include "controls/markup.h"
#include "controls/markup_tokens.h"
#include "controls/memdc.h"
#include "framework/resource_string.h"
#include "scan/problem_texts.h"

namespace {

constexpr const char* kClassName = "HivoraHTMLListCtrl";
constexpr UINT kImageListBitmap = 135;
constexpr COLORREF kMaskColour = RGB(255, 0, 255);
constexpr COLORREF kHeaderColour = RGB(234, 239, 243);
constexpr int kWheelStep = 40;
constexpr int kLineStep = 50;
constexpr int kPageStep = 250;
// The height given to a header not yet measured: one line of the list's font.
constexpr int kHeaderEstimate = 33;

enum Image { kImageClear = 0, kImageChecked = 1, kImagePartial = 2, kImageExpanded = 3, kImageFolded = 4 };

CScanCategory* CategoryOf(const HTMLLIST_ITEM& row)
{
    return static_cast<CScanCategory*>(row.pData);
}

CRegistryProblem* ProblemOf(const HTMLLIST_ITEM& row)
{
    return static_cast<CRegistryProblem*>(row.pData);
}

int HeaderCheck(const CScanCategory& category)
{
    if (category.m_nCount == 0)
        return 0;
    return category.m_nCount == category.m_nCount2 ? 1 : 2;
}

std::string ResourceOr(UINT id, const char* fallback)
{
    std::string text = LoadResourceString(id);
    return text.empty() ? fallback : text;
}

} // namespace

CHTMLListCtrl::CHTMLListCtrl()
    : m_hHandCursor(LoadCursorA(nullptr, IDC_HAND)), m_hArrowCursor(LoadCursorA(nullptr, IDC_ARROW))
{
    LOGFONTA lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyA(lf.lfFaceName, "Tahoma");
    m_font.reset(CreateFontIndirectA(&lf));
}

CHTMLListCtrl::~CHTMLListCtrl()
{
    DeleteAllItems();
}

bool CHTMLListCtrl::Create(const RECT& rect, HWND parent)
{
    if (!RegisterClass(kClassName, CS_DBLCLKS, nullptr))
        return false;
    if (!m_images) {
        GdiBitmap strip = LoadBitmapResource(kImageListBitmap);
        m_images.reset(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 5, 0));
        if (m_images && strip)
            ImageList_AddMasked(m_images.get(), strip.get(), kMaskColour);
    }
    if (!CreateEx(0, kClassName, "HTMLListCtrl", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP, rect,
                  parent, m_nControlID))
        return false;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    m_nClientWidth = client.right;
    m_nClientHeight = client.bottom;
    UpdateScrollRange();
    return true;
}

template <typename F>
void CHTMLListCtrl::ForEachVisible(F&& visit) const
{
    for (size_t i = 0; i < m_items.size();) {
        HTMLLIST_ITEM& row = *m_items[i];
        visit(row);
        ++i;
        if (row.nType == HTMLLIST_HEADER && !row.bExpanded && row.pData)
            i += std::max(0, CategoryOf(row)->m_nCount2);
    }
}

int CHTMLListCtrl::InsertItem(void* data, const std::string& text, int kind, int height)
{
    auto row = std::make_unique<HTMLLIST_ITEM>();
    row->nItemNo = static_cast<int>(m_items.size());
    row->nType = kind;
    row->strText = text;
    row->pData = data;
    row->bHeightSpecified = height != 0;
    if (kind == HTMLLIST_HEADER && data)
        row->nCheckState = HeaderCheck(*CategoryOf(*row));
    else if (kind == HTMLLIST_PROBLEM && data)
        row->nCheckState = ProblemOf(*row)->m_bSelected ? 1 : 0;
    row->nHeight = height;
    if (height != 0) {
        row->bMeasured = 1;
    } else if (m_bInserting) {
        row->nHeight = kind == HTMLLIST_PROBLEM ? m_nEstimatedHeight : kind == HTMLLIST_HEADER ? kHeaderEstimate : 0;
    } else {
        WindowDC dc(m_hWnd);
        if (dc.get())
            Measure(dc.get(), *row);
    }
    m_map[row->nItemNo] = row.get();
    m_items.push_back(std::move(row));
    if (!m_bInserting)
        UpdateScrollRange();
    return static_cast<int>(m_items.size()) - 1;
}

void CHTMLListCtrl::BeginInsert()
{
    m_bInserting = true;
}

void CHTMLListCtrl::EndInsert()
{
    if (!m_bInserting)
        return;
    m_bInserting = false;
    UpdateScrollRange();
    Invalidate(false);
}

void CHTMLListCtrl::Measure(HDC dc, HTMLLIST_ITEM& row)
{
    row.nHeight = MeasureRow(dc, row);
    row.bMeasured = 1;
    if (row.nType == HTMLLIST_PROBLEM)
        m_nEstimatedHeight = row.nHeight;
}

bool CHTMLListCtrl::MeasureRowsInView()
{
    bool changed = false;
    std::optional<WindowDC> dc;
    // A row measured taller or shorter moves the ones below it: measure until the view holds still.
    for (bool moved = true; moved;) {
        moved = false;
        int y = -ScrollPos();
        ForEachVisible([&](HTMLLIST_ITEM& row) {
            if (!row.bMeasured && y < m_nClientHeight && y + row.nHeight >= 0) {
                if (!dc)
                    dc.emplace(m_hWnd);
                const int estimate = row.nHeight;
                if (dc->get())
                    Measure(dc->get(), row);
                row.bMeasured = 1;
                moved |= row.nHeight != estimate;
            }
            y += row.nHeight;
        });
        if (moved) {
            changed = true;
            UpdateScrollRange();
        }
    }
    return changed;
}

bool CHTMLListCtrl::DeleteItem(int index)
{
    if (index < 0 || index >= GetItemCount())
        return false;
    if (m_nSelected == index)
        m_nSelected = -1;
    else if (m_nSelected > index)
        --m_nSelected;
    m_items.erase(m_items.begin() + index);
    RebuildMap();
    UpdateScrollRange();
    Invalidate(false);
    return true;
}

void CHTMLListCtrl::DeleteAllItems()
{
    m_items.clear();
    m_map.clear();
    m_nSelected = -1;
    if (m_hWnd) {
        UpdateScrollRange();
        Invalidate(false);
    }
}

HTMLLIST_ITEM* CHTMLListCtrl::GetItem(int index) const
{
    const auto found = m_map.find(index);
    return found == m_map.end() ? nullptr : found->second;
}

RECT CHTMLListCtrl::GetItemRect(int index) const
{
    const HTMLLIST_ITEM* row = GetItem(index);
    return row ? row->rcItem : RECT{};
}

void CHTMLListCtrl::SetExtendedStyle(DWORD style)
{
    m_dwStyle = style;
    Relayout();
}

void CHTMLListCtrl::Relayout()
{
    if (!m_hWnd)
        return;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    OnSize(client.right, client.bottom);
    Invalidate(false);
}

void CHTMLListCtrl::RebuildMap()
{
    m_map.clear();
    for (size_t i = 0; i < m_items.size(); ++i) {
        m_items[i]->nItemNo = static_cast<int>(i);
        m_map[static_cast<int>(i)] = m_items[i].get();
    }
}

void CHTMLListCtrl::EnsureVisible(int index)
{
    if (HTMLLIST_ITEM* target = GetItem(index); target && !target->bMeasured) {
        WindowDC dc(m_hWnd);
        if (dc.get())
            Measure(dc.get(), *target);
        UpdateScrollRange();
    }
    int top = 0;
    int bottom = -1;
    ForEachVisible([&](const HTMLLIST_ITEM& row) {
        if (row.nItemNo == index)
            bottom = top + row.nHeight;
        else if (bottom < 0)
            top += row.nHeight;
    });
    if (bottom < 0)
        return;
    const int pos = ScrollPos();
    if (top < pos)
        SetScrollPosition(top);
    else if (bottom > pos + m_nClientHeight)
        SetScrollPosition(std::min(top, bottom - m_nClientHeight));
}

void CHTMLListCtrl::CheckCategory(int value, REGPROBLEM_TYPE category)
{
    for (auto& row : m_items) {
        if (row->nType != HTMLLIST_PROBLEM || !row->pData || ProblemOf(*row)->m_nType != category)
            continue;
        ProblemOf(*row)->m_bSelected = value;
        row->nCheckState = value;
    }
}

int CHTMLListCtrl::MeasureRow(HDC dc, const HTMLLIST_ITEM& row) const
{
    SelectScope font(dc, m_font.get());
    const bool boxes = (m_dwStyle & HTMLLIST_STYLE_CHECKBOX) != 0;
    if (row.nType == HTMLLIST_PROBLEM) {
        RECT box{50, 0, m_nClientWidth - 45 - (boxes ? 16 : 0), 0};
        RenderMarkup(row.strText.c_str(), -1, &box, DT_CALCRECT | DT_WORDBREAK, dc);
        return box.bottom - box.top + 9;
    }
    if (row.nType == HTMLLIST_HEADER) {
        RECT box{50, 0, m_nClientWidth - (boxes ? 21 : 5), 0};
        DrawTextA(dc, row.strText.c_str(), -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        return box.bottom - box.top + 20;
    }
    return 0;
}

void CHTMLListCtrl::UpdateScrollRange()
{
    m_nTotalHeight = 0;
    ForEachVisible([&](const HTMLLIST_ITEM& row) { m_nTotalHeight += row.nHeight; });
    if (!m_hWnd)
        return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMin = 0;
    si.nMax = m_nTotalHeight;
    si.nPage = static_cast<UINT>(std::max(0, m_nClientHeight));
    SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
}

int CHTMLListCtrl::ScrollLimit() const
{
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    if (!m_hWnd || !GetScrollInfo(m_hWnd, SB_VERT, &si))
        return 0;
    return std::max(0, si.nMax - static_cast<int>(si.nPage) + 1);
}

int CHTMLListCtrl::ScrollPos() const
{
    return m_hWnd ? GetScrollPos(m_hWnd, SB_VERT) : 0;
}

void CHTMLListCtrl::SetScrollPosition(int pos, bool redraw)
{
    SetScrollPos(m_hWnd, SB_VERT, std::clamp(pos, 0, ScrollLimit()), redraw);
}

void CHTMLListCtrl::UpdateBounds()
{
    int y = -ScrollPos();
    ForEachVisible([&](HTMLLIST_ITEM& row) {
        row.rcItem = {0, y, m_nClientWidth, y + row.nHeight};
        y += row.nHeight;
    });
}

void CHTMLListCtrl::Notify(UINT code, int index, void* data)
{
    NM_HTMLLISTCTRL record{};
    record.hdr.hwndFrom = m_hWnd;
    record.hdr.idFrom = m_nControlID;
    record.hdr.code = code;
    record.nItemNo = index;
    record.pszText = "";
    record.pData = data;
    SendMessageA(GetParent(m_hWnd), WM_NOTIFY, m_nControlID, reinterpret_cast<LPARAM>(&record));
}

void CHTMLListCtrl::SetSelected(int index)
{
    if (m_nSelected == index)
        return;
    m_nSelected = index;
    Invalidate(false);
}

LRESULT CHTMLListCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        OnLButtonDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONDBLCLK:
        Notify(HTMLLIST_LBUTTONDBLCLK, -1, nullptr);
        return 0;
    case WM_RBUTTONDOWN:
        Notify(HTMLLIST_RBUTTONDOWN, -1, nullptr);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam));
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        m_bHasFocus = msg == WM_SETFOCUS;
        // The keyboard starts on the first row.
        if (m_bHasFocus && m_nSelected < 0 && GetItemCount() > 0)
            m_nSelected = 0;
        if (const HTMLLIST_ITEM* row = GetItem(m_nSelected))
            InvalidateRect(m_hWnd, &row->rcItem, FALSE);
        if (m_bHasFocus)
            NotifyAccessible(EVENT_OBJECT_FOCUS, m_nSelected);
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(static_cast<UINT>(wParam));
        return 0;
    case WM_CONTEXTMENU:
        // Only the keyboard's menu key and Shift+F10 (no place given): the right button keeps
        // telling the parent only.
        if (lParam == -1)
            OfferIgnore();
        return 0;
    case WM_GETDLGCODE: {
        // Enter folds and unfolds a category instead of going to the dialog.
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        const bool enter = message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN;
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
    }
    case WM_GETOBJECT:
        return OnGetObject(wParam, lParam);
    case WM_DESTROY:
        m_font.reset();
        if (m_accessible) {
            m_accessible->Disconnect();
            m_accessible.reset();
        }
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

void CHTMLListCtrl::OnPaint()
{
    MeasureRowsInView();
    PaintDC paint(m_hWnd);
    const RECT area = paint.area();
    CMemDC dc(paint.get(), &area);
    SelectScope font(dc, m_font.get());
    UpdateBounds();
    ForEachVisible([&](HTMLLIST_ITEM& row) { DrawRow(dc, row, area); });
}

void CHTMLListCtrl::DrawRow(HDC dc, HTMLLIST_ITEM& row, const RECT& paintArea)
{
    RECT box = row.rcItem;
    RECT overlap{};
    if (!IntersectRect(&overlap, &box, &paintArea))
        return;

    if (row.nType == HTMLLIST_PROBLEM) {
        GdiBrush white(CreateSolidBrush(RGB(255, 255, 255)));
        FillRect(dc, &box, white.get());
        if (m_dwStyle & HTMLLIST_STYLE_GRIDLINES)
            DrawEdge(dc, &box, EDGE_ETCHED, BF_LEFT | BF_BOTTOM);
        SetTextColor(dc, RGB(0, 0, 0));
        RECT text{box.left + 50, box.top + (row.bHeightSpecified ? 0 : 5), box.right - 40, box.bottom};
        RenderMarkup(row.strText.c_str(), -1, &text, DT_WORDBREAK, dc);
        const std::string link = ResourceOr(IDS_IGNORE_LINK, TXT_IGNORE_LINK);
        RECT linkBox{box.right - 40, box.bottom - 15, box.right, box.bottom};
        RenderMarkup(link.c_str(), -1, &linkBox, DT_SINGLELINE, dc);
    } else if (row.nType == HTMLLIST_HEADER) {
        GdiBrush fill(CreateSolidBrush(kHeaderColour));
        FillRect(dc, &box, fill.get());
        if (m_dwStyle & HTMLLIST_STYLE_GRIDLINES)
            DrawEdge(dc, &box, EDGE_ETCHED, BF_LEFT | BF_BOTTOM);
        char compact[MAX_PATH];
        lstrcpynA(compact, row.strText.c_str(), MAX_PATH);
        PathCompactPathA(dc, compact, static_cast<UINT>(std::max(0L, box.right - (box.left + 50))));
        row.strText = compact;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        RECT text{box.left + 50, box.top + 5, box.right, box.bottom};
        DrawTextA(dc, row.strText.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        const int problems = row.pData ? CategoryOf(row)->m_nCount2 : 0;
        const std::string count =
            FormatMessageArgs(ResourceOr(IDS_ERRORS_FOUND, TXT_ERRORS_FOUND), {std::to_string(problems)});
        RECT countBox{box.right - 200, box.top + 5, box.right - 50, box.bottom + 20};
        RenderMarkup(count.c_str(), -1, &countBox, 0, dc);
    }

    const int mid = box.top + row.nHeight / 2 - 8;
    if (row.nType == HTMLLIST_HEADER)
        ImageList_Draw(m_images.get(), row.bExpanded ? kImageExpanded : kImageFolded, dc, box.left + 3, mid,
                       ILD_NORMAL);
    if (m_dwStyle & HTMLLIST_STYLE_CHECKBOX) {
        const int image = row.nCheckState == 1 ? kImageChecked : row.nCheckState == 2 ? kImagePartial : kImageClear;
        ImageList_Draw(m_images.get(), image, dc, box.left + 22, mid, ILD_NORMAL);
    }
    if (row.nItemNo == m_nSelected && m_bHasFocus)
        DrawFocusRect(dc, &box);
}

int CHTMLListCtrl::HeaderOf(int index) const
{
    for (int i = index; i >= 0; --i) {
        if (m_items[i]->nType == HTMLLIST_HEADER)
            return i;
    }
    return -1;
}

bool CHTMLListCtrl::ClickCheckBox(int index)
{
    HTMLLIST_ITEM& row = *m_items[index];
    if (row.nType == HTMLLIST_HEADER && row.pData) {
        CScanCategory& category = *CategoryOf(row);
        if (category.m_nCount > 0 && category.m_nCount == category.m_nCount2) {
            CheckCategory(0, category.m_nType);
            category.m_nCount = 0;
            row.nCheckState = 0;
        } else {
            CheckCategory(1, category.m_nType);
            category.m_nCount = category.m_nCount2;
            row.nCheckState = 1;
        }
        return true;
    }
    if (row.nType == HTMLLIST_PROBLEM && row.pData) {
        CRegistryProblem& problem = *ProblemOf(row);
        problem.m_bSelected = problem.m_bSelected ? 0 : 1;
        row.nCheckState = problem.m_bSelected;
        const int header = HeaderOf(index);
        if (header >= 0 && m_items[header]->pData) {
            CScanCategory& category = *CategoryOf(*m_items[header]);
            category.m_nCount += problem.m_bSelected ? 1 : -1;
            m_items[header]->nCheckState = HeaderCheck(category);
        }
        return true;
    }
    return false;
}

bool CHTMLListCtrl::IgnoreProblem(int index)
{
    CRegistryProblem* problem = ProblemOf(*m_items[index]);
    if (!problem)
        return false;
    Notify(HTMLLIST_IGNORE, index, problem);
    const int header = HeaderOf(index);
    DeleteItem(index);
    if (header >= 0 && m_items[header]->pData) {
        CScanCategory& category = *CategoryOf(*m_items[header]);
        if (problem->m_bSelected)
            --category.m_nCount;
        if (category.m_nCount2-- == 1)
            DeleteItem(header);
        else
            m_items[header]->nCheckState = HeaderCheck(category);
    }
    ForgetProblem(problem);
    UpdateScrollRange();
    return true;
}

void CHTMLListCtrl::OnLButtonDown(POINT point)
{
    SetFocus(m_hWnd);
    MeasureRowsInView();
    UpdateBounds();
    int hit = -1;
    ForEachVisible([&](const HTMLLIST_ITEM& row) {
        if (hit >= 0)
            return;
        if (PtInRect(&row.rcItem, point))
            hit = row.nItemNo;
        else
            SetSelected(row.nItemNo);
    });
    if (hit < 0)
        return;

    HTMLLIST_ITEM& row = *m_items[hit];
    const RECT box = row.rcItem;
    const int mid = box.top + row.nHeight / 2 - 8;
    bool changed = false;
    if (row.nType == HTMLLIST_HEADER) {
        const RECT expander{box.left + 3, mid, box.left + 18, mid + 15};
        const RECT check{box.left + 21, mid, box.left + 36, mid + 15};
        if (PtInRect(&expander, point)) {
            row.bExpanded = !row.bExpanded;
            UpdateScrollRange();
        } else if (PtInRect(&check, point)) {
            changed = ClickCheckBox(hit);
        }
    } else if (row.nType == HTMLLIST_PROBLEM) {
        const RECT check{box.left + 18, mid, box.left + 33, mid + 15};
        const RECT ignore{box.right - 40, box.bottom - 15, box.right, box.bottom};
        if (PtInRect(&check, point)) {
            changed = ClickCheckBox(hit);
        } else if (PtInRect(&ignore, point)) {
            changed = IgnoreProblem(hit);
            hit = std::min(hit, GetItemCount() - 1);
        }
    }
    m_nSelected = hit;
    Invalidate(false);
    if (changed)
        Notify(HTMLLIST_CHANGED, -1, nullptr);
}

void CHTMLListCtrl::OnMouseMove(POINT point)
{
    UpdateBounds();
    bool overLink = false;
    ForEachVisible([&](const HTMLLIST_ITEM& row) {
        const RECT& box = row.rcItem;
        const RECT ignore{box.right - 40, box.bottom - 15, box.right, box.bottom};
        if (row.nType == HTMLLIST_PROBLEM && PtInRect(&ignore, point))
            overLink = true;
    });
    SetCursor(overLink ? m_hHandCursor : m_hArrowCursor);
}

std::vector<int> CHTMLListCtrl::VisibleRows() const
{
    std::vector<int> rows;
    ForEachVisible([&](const HTMLLIST_ITEM& row) { rows.push_back(row.nItemNo); });
    return rows;
}

std::string CHTMLListCtrl::AccessibleName(int index) const
{
    const HTMLLIST_ITEM* row = GetItem(index);
    if (!row)
        return {};
    if (row->nType == HTMLLIST_HEADER) {
        const int problems = row->pData ? CategoryOf(*row)->m_nCount2 : 0;
        return row->strText + ", " +
               FormatMessageArgs(ResourceOr(IDS_ERRORS_FOUND, TXT_ERRORS_FOUND), {std::to_string(problems)});
    }
    // The words as drawn: the known tags dropped, a line break read as a blank.
    std::string name;
    bool blank = false;
    const std::string text = NormalizeSlashes(row->strText);
    for (const MarkupToken& token : TokenizeMarkup(text)) {
        if (token.kind == MarkupTokenKind::Space ||
            (token.kind == MarkupTokenKind::Tag && ParseMarkupTag(token.text).kind != MarkupTagKind::Unknown)) {
            blank = blank || token.kind == MarkupTokenKind::Space ||
                    ParseMarkupTag(token.text).kind == MarkupTagKind::LineBreak ||
                    ParseMarkupTag(token.text).kind == MarkupTagKind::Paragraph;
            continue;
        }
        if (token.kind == MarkupTokenKind::Tag && token.text.size() > 1 && token.text[1] == '/')
            continue;
        if (blank && !name.empty())
            name += ' ';
        blank = false;
        name += token.text;
    }
    return name;
}

void CHTMLListCtrl::DoDefaultAction(int index)
{
    HTMLLIST_ITEM* row = GetItem(index);
    if (!row)
        return;
    if (row->nType == HTMLLIST_HEADER) {
        SetFolded(index, row->bExpanded != 0);
    } else if (ClickCheckBox(index)) {
        Invalidate(false);
        NotifyAccessible(EVENT_OBJECT_STATECHANGE, index);
        Notify(HTMLLIST_CHANGED, -1, nullptr);
    }
}

LRESULT CHTMLListCtrl::OnGetObject(WPARAM wParam, LPARAM lParam)
{
    if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT))
        return Default(WM_GETOBJECT, wParam, lParam);
    if (!m_accessible) {
        // The system's object for the window answers for the list itself (parent, place, state).
        IAccessible* standard = nullptr;
        if (FAILED(CreateStdAccessibleObject(m_hWnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard))))
            return 0;
        m_accessible = ComPtr<CHTMLListAccessible>(new CHTMLListAccessible(*this, standard));
    }
    return LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(m_accessible.get()));
}

void CHTMLListCtrl::NotifyAccessible(DWORD event, int index) const
{
    if (!m_hWnd)
        return;
    long child = CHILDID_SELF;
    if (index >= 0) {
        const std::vector<int> rows = VisibleRows();
        const auto at = std::find(rows.begin(), rows.end(), index);
        if (at == rows.end())
            return;
        child = static_cast<long>(at - rows.begin()) + 1;
    }
    NotifyWinEvent(event, m_hWnd, OBJID_CLIENT, child);
}

void CHTMLListCtrl::SetFolded(int index, bool folded)
{
    HTMLLIST_ITEM* row = GetItem(index);
    if (!row || row->nType != HTMLLIST_HEADER || row->bExpanded == !folded)
        return;
    row->bExpanded = !folded;
    UpdateScrollRange();
    Invalidate(false);
    NotifyAccessible(EVENT_OBJECT_STATECHANGE, index);
    // The rows shown under it came or went.
    NotifyAccessible(EVENT_OBJECT_REORDER, -1);
}

void CHTMLListCtrl::OnKeyDown(UINT key)
{
    // The keys move between the rows that are shown, so the selection never hides in a folded group.
    std::vector<int> visible;
    ForEachVisible([&](const HTMLLIST_ITEM& row) { visible.push_back(row.nItemNo); });
    if (visible.empty())
        return;
    const auto current = std::find(visible.begin(), visible.end(), m_nSelected);
    const HTMLLIST_ITEM* row = current == visible.end() ? nullptr : GetItem(m_nSelected);
    const bool header = row && row->nType == HTMLLIST_HEADER;
    // A page: as many rows as the list shows at once, at least one.
    const auto pageRows = [&] {
        int rows = 0;
        for (int height = 0, i = 0; i < static_cast<int>(visible.size()); ++i) {
            height += GetItem(visible[i])->nHeight;
            if (height > m_nClientHeight)
                break;
            ++rows;
        }
        return std::max(rows, 1);
    };
    const int at = current == visible.end() ? -1 : static_cast<int>(current - visible.begin());
    const int last = static_cast<int>(visible.size()) - 1;
    int target = at;
    switch (key) {
    case VK_UP:
        target = at < 0 ? 0 : std::max(at - 1, 0);
        break;
    case VK_DOWN:
        target = at < 0 ? last : std::min(at + 1, last);
        break;
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = last;
        break;
    case VK_PRIOR:
        target = std::max((at < 0 ? 0 : at) - pageRows(), 0);
        break;
    case VK_NEXT:
        target = std::min((at < 0 ? 0 : at) + pageRows(), last);
        break;
    case VK_RIGHT:
    case VK_ADD:
    case VK_OEM_PLUS:
        // A folded category unfolds; an unfolded one leads on to its first problem.
        if (header && !row->bExpanded)
            SetFolded(m_nSelected, false);
        else if (header && key == VK_RIGHT)
            target = std::min(at + 1, last);
        break;
    case VK_LEFT:
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
        // An unfolded category folds; a problem leads back to its category.
        if (header)
            SetFolded(m_nSelected, true);
        else if (row && key == VK_LEFT)
            target = static_cast<int>(std::find(visible.begin(), visible.end(), HeaderOf(m_nSelected)) - visible.begin());
        break;
    case VK_RETURN:
        if (header)
            SetFolded(m_nSelected, row->bExpanded != 0);
        break;
    case VK_SPACE:
        if (row && ClickCheckBox(m_nSelected)) {
            Invalidate(false);
            NotifyAccessible(EVENT_OBJECT_STATECHANGE, m_nSelected);
            Notify(HTMLLIST_CHANGED, -1, nullptr);
        }
        return;
    default:
        return;
    }
    if (target >= 0 && target <= last && visible[target] != m_nSelected)
        Select(visible[target]);
}

void CHTMLListCtrl::Select(int index)
{
    m_nSelected = index;
    EnsureVisible(index);
    Invalidate(false);
    NotifyAccessible(EVENT_OBJECT_SELECTION, index);
    if (m_bHasFocus)
        NotifyAccessible(EVENT_OBJECT_FOCUS, index);
}

void CHTMLListCtrl::OfferIgnore()
{
    HTMLLIST_ITEM* row = GetItem(m_nSelected);
    if (!row || row->nType != HTMLLIST_PROBLEM)
        return;
    // The menu opens at the selected row's Ignore link.
    EnsureVisible(m_nSelected);
    UpdateBounds();
    POINT screen{row->rcItem.right - 40, row->rcItem.bottom - 15};
    ClientToScreen(m_hWnd, &screen);
    MenuHandle menu(CreatePopupMenu());
    if (!menu || !AppendMenuA(menu.get(), MF_STRING, 1, "&Ignore"))
        return;
    const BOOL chosen = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN,
                                       screen.x, screen.y, 0, m_hWnd, nullptr);
    const int ignored = m_nSelected;
    if (chosen != 1 || !IgnoreProblem(ignored))
        return;
    NotifyAccessible(EVENT_OBJECT_REORDER, -1);
    // The row that took the ignored one's place (or the last row shown) carries the keys on, so that
    // the next key does not start from nowhere.
    const std::vector<int> visible = VisibleRows();
    if (!visible.empty()) {
        const auto next = std::lower_bound(visible.begin(), visible.end(), ignored);
        Select(next != visible.end() ? *next : visible.back());
    }
    Invalidate(false);
    Notify(HTMLLIST_CHANGED, -1, nullptr);
}

void CHTMLListCtrl::OnMouseWheel(int delta)
{
    const int pos = ScrollPos();
    if (delta < 0)
        SetScrollPosition(std::min(pos + kWheelStep, ScrollLimit()));
    else if (delta > 0)
        SetScrollPosition(pos <= kWheelStep ? 0 : pos - kWheelStep);
    Invalidate(false);
}

void CHTMLListCtrl::OnVScroll(int code)
{
    const int pos = ScrollPos();
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_TRACKPOS;
    GetScrollInfo(m_hWnd, SB_VERT, &si);
    switch (code) {
    case SB_LINEUP:
        SetScrollPosition(pos - kLineStep);
        break;
    case SB_LINEDOWN:
        SetScrollPosition(pos + kLineStep);
        break;
    case SB_PAGEUP:
        SetScrollPosition(pos - kPageStep);
        break;
    case SB_PAGEDOWN:
        SetScrollPosition(pos + kPageStep);
        break;
    case SB_THUMBTRACK:
        SetScrollPosition(si.nTrackPos, false);
        break;
    case SB_THUMBPOSITION:
        SetScrollPosition(si.nTrackPos, true);
        break;
    default:
        return;
    }
    Invalidate(false);
}

void CHTMLListCtrl::OnSize(int width, int height)
{
    m_nClientWidth = width;
    m_nClientHeight = height;
    RebuildMap();
    // Rows not measured yet keep waiting until they come into view.
    WindowDC dc(m_hWnd);
    for (auto& row : m_items) {
        if (!row->bHeightSpecified && row->bMeasured && dc.get())
            row->nHeight = MeasureRow(dc.get(), *row);
    }
    UpdateScrollRange();
}
