#include "framework/list_ctrl.h"

#include <commctrl.h>

void CListCtrl::AddExtendedStyle(DWORD bits) const
{
    SendMessageA(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, bits, bits);
}

int CListCtrl::InsertColumn(int column, const std::string& heading, int width) const
{
    LVCOLUMNA info{};
    info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    info.pszText = const_cast<char*>(heading.c_str());
    info.cx = width;
    info.iSubItem = column;
    return static_cast<int>(SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info)));
}

int CListCtrl::InsertItem(int row, const std::string& text) const
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CListCtrl::SetItemText(int row, int column, const std::string& text) const
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    return SendMessageA(m_hWnd, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

std::string CListCtrl::GetItemText(int row, int column) const
{
    // The control answers with the length it copied; a full buffer may mean a longer text.
    for (int size = 256;; size *= 2) {
        std::string text(static_cast<size_t>(size), '\0');
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = size;
        const auto length =
            static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        if (length < size - 1 || size >= 65536) {
            text.resize(static_cast<size_t>(length < 0 ? 0 : length));
            return text;
        }
    }
}

int CListCtrl::GetItemCount() const
{
    return static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
}

bool CListCtrl::DeleteItem(int row) const
{
    return SendMessageA(m_hWnd, LVM_DELETEITEM, row, 0) != FALSE;
}

bool CListCtrl::DeleteAllItems() const
{
    return SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0) != FALSE;
}

bool CListCtrl::GetCheck(int row) const
{
    const auto state = static_cast<UINT>(SendMessageA(m_hWnd, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

std::vector<int> CListCtrl::GetCheckedRows() const
{
    std::vector<int> rows;
    for (int row = 0, count = GetItemCount(); row < count; ++row) {
        if (GetCheck(row))
            rows.push_back(row);
    }
    return rows;
}

int CListCtrl::GetNextSelected(int after) const
{
    return static_cast<int>(SendMessageA(m_hWnd, LVM_GETNEXTITEM, after, LVNI_SELECTED));
}
