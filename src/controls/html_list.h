#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/com_ptr.h"
#include "framework/gdi.h"
#include "framework/window.h"
#include "scan/problem.h"

enum HTMLLIST_KIND : int32_t { HTMLLIST_PROBLEM = 1, HTMLLIST_HEADER = 2 };

// One row of the list.
struct HTMLLIST_ITEM {
    int32_t nItemNo = -1;
    int32_t nHeight = 0;
    int32_t nType = 0;           // HTMLLIST_KIND
    std::string strText;         // markup for problems, plain text for headers
    void* pData = nullptr;       // CScanCategory (header) or CRegistryProblem (problem); not owned
    RECT rcItem{};               // where the row was drawn last
    int32_t nCheckState = 0;     // 0 clear, 1 checked, 2 partly checked
    int32_t bHeightSpecified = 0;
    int32_t bExpanded = 0;
    int32_t bMeasured = 0;       // nHeight was measured (or given), not estimated
};

// The record of the list's WM_NOTIFY messages.
struct NM_HTMLLISTCTRL {
    NMHDR hdr;
    int32_t nItemNo;
    const char* pszText;
    void* pData;
    LPARAM lReserved;
};

enum HTMLLIST_NOTIFY : UINT {
    HTMLLIST_CHANGED = 1,
    HTMLLIST_RBUTTONDOWN = 3,
    HTMLLIST_LBUTTONDBLCLK = 4,
    HTMLLIST_IGNORE = 5,
};

enum HTMLLIST_STYLE : DWORD { HTMLLIST_STYLE_CHECKBOX = 1, HTMLLIST_STYLE_GRIDLINES = 2 };

constexpr UINT HTMLLIST_CONTROL_ID = 54321;

// The results list: folding category headers with three-state check boxes and problem rows whose
// text is markup, each with a check box and an "Ignore" link.
class CHTMLListAccessible;

class CHTMLListCtrl : public CWindow {
public:
    CHTMLListCtrl();
    ~CHTMLListCtrl() override;

    bool Create(const RECT& rect, HWND parent);

    int InsertItem(void* data, const std::string& text, int kind, int height = 0);
    // Many rows at once: between the two calls InsertItem only appends, giving the rows an estimated
    // height; EndInsert sets the scroll range once. Each row is measured when it first comes into
    // view, so tens of thousands of rows cost only what is shown.
    void BeginInsert();
    void EndInsert();
    bool DeleteItem(int index);
    void DeleteAllItems();
    HTMLLIST_ITEM* GetItem(int index) const;
    void EnsureVisible(int index);
    void CheckCategory(int value, REGPROBLEM_TYPE category);

    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    int GetSelectedItem() const { return m_nSelected; }
    RECT GetItemRect(int index) const;
    DWORD GetExtendedStyle() const { return m_dwStyle; }
    void SetExtendedStyle(DWORD style);
    // Lays the rows out again for the current size and repaints.
    void Relayout();

    // What a screen reader reads (through the list's IAccessible): the rows shown, in order.
    std::vector<int> VisibleRows() const;
    // The row's name: a category with its count, or a problem's text without its markup.
    std::string AccessibleName(int index) const;
    // Moves the selection to the row (and the focus mark, when the list has the focus).
    void Select(int index);
    // The default action of a row: a category folds or unfolds, a problem is ticked or unticked.
    void DoDefaultAction(int index);
    bool HasFocus() const { return m_bHasFocus; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct ImageListTraits {
        using Type = HIMAGELIST;
        static Type Empty() { return nullptr; }
        static void Close(Type h) { ImageList_Destroy(h); }
    };
    using ImageList = UniqueHandle<ImageListTraits>;

    void OnPaint();
    void OnLButtonDown(POINT point);
    void OnKeyDown(UINT key);
    void SetFolded(int index, bool folded);
    // Shift+F10 or the menu key on a problem: a menu offering Ignore.
    void OfferIgnore();
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
    // Tells screen readers about a change of the row (or of the whole list, for -1).
    void NotifyAccessible(DWORD event, int index) const;
    void OnMouseWheel(int delta);
    void OnVScroll(int code);
    void OnMouseMove(POINT point);
    void OnSize(int width, int height);

    template <typename F>
    void ForEachVisible(F&& visit) const;
    void UpdateBounds();
    int MeasureRow(HDC dc, const HTMLLIST_ITEM& row) const;
    void Measure(HDC dc, HTMLLIST_ITEM& row);
    // Measures the rows in view that still have an estimated height; true when a height changed.
    bool MeasureRowsInView();
    void DrawRow(HDC dc, HTMLLIST_ITEM& row, const RECT& paintArea);
    void RebuildMap();
    void UpdateScrollRange();
    int ScrollLimit() const;
    int ScrollPos() const;
    void SetScrollPosition(int pos, bool redraw = true);
    void SetSelected(int index);
    bool ClickCheckBox(int index);
    bool IgnoreProblem(int index);
    int HeaderOf(int index) const;
    void Notify(UINT code, int index, void* data);

    std::vector<std::unique_ptr<HTMLLIST_ITEM>> m_items;
    std::map<int, HTMLLIST_ITEM*> m_map;
    int m_nTotalHeight = 0;
    int m_nClientWidth = 0;
    int m_nClientHeight = 0;
    UINT m_nControlID = HTMLLIST_CONTROL_ID;
    GdiFont m_font;
    HCURSOR m_hHandCursor;
    HCURSOR m_hArrowCursor;
    int m_nSelected = -1;
    bool m_bHasFocus = false;
    DWORD m_dwStyle = HTMLLIST_STYLE_CHECKBOX;
    bool m_bInserting = false;
    // The height given to a problem row not yet measured: the last one measured.
    int m_nEstimatedHeight = 48;
    ImageList m_images;
    // The list's IAccessible, made when a screen reader first asks; cut off when the window goes.
    ComPtr<CHTMLListAccessible> m_accessible;
};
