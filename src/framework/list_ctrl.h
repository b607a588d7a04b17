#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/window.h"

// A report-view list control of a dialog (SysListView32), taken over with SubclassDlgItem: thin
// calls for its columns, rows, check boxes and selection. Rows and columns count from 0.
class CListCtrl : public CWindow {
public:
    // Adds the LVS_EX_* bits to the control's extended styles.
    void AddExtendedStyle(DWORD bits) const;
    // The column's index, or -1.
    int InsertColumn(int column, const std::string& heading, int width) const;
    // Inserts a row before row (0 at the top); the new row's index, or -1.
    int InsertItem(int row, const std::string& text) const;
    bool SetItemText(int row, int column, const std::string& text) const;
    std::string GetItemText(int row, int column) const;
    int GetItemCount() const;
    bool DeleteItem(int row) const;
    bool DeleteAllItems() const;
    bool GetCheck(int row) const;
    // The rows whose box is ticked, top first.
    std::vector<int> GetCheckedRows() const;
    // The first selected row after row (-1: from the top); -1 when there is none.
    int GetNextSelected(int after = -1) const;
};
