#include "shell/category_panel.h"

#include "resources/resource.h"
#include "shell/main_dlg.h"
#include "shell/settings.h"

CLeftCategoryDlg::CLeftCategoryDlg(CHivoraDlg& main) : CDialog(IDD_CATEGORY_PANEL), m_main(main) {}

BOOL CLeftCategoryDlg::OnInitDialog()
{
    SetBackground(IDB_PANEL_BACKGROUND);
    SetAccessibleText("Scan Areas", "", ROLE_SYSTEM_GROUPING);
    // Each box carries its caption (with an access key) in one window: one name, one focus mark,
    // and the caption clicks the box.
    m_captionFont = CreatePointFont("Arial", 8);
    for (int row = 0; row < kCategoryCount; ++row)
        SendMessageA(GetDlgItem(IDC_CATEGORY_CHECK_FIRST + row), WM_SETFONT,
                     reinterpret_cast<WPARAM>(m_captionFont.get()), FALSE);
    m_quickScan.Bind(m_hWnd, IDC_QUICK_SCAN, IDB_QUICK_SCAN, IDB_QUICK_SCAN_HOT);
    ShowQuickScan(false);
    return TRUE;
}

void CLeftCategoryDlg::GetSelection(uint8_t flags[kCategoryCount]) const
{
    for (int row = 0; row < kCategoryCount; ++row)
        flags[g_aScanOrder[row]] = IsItemChecked(IDC_CATEGORY_CHECK_FIRST + row) ? 1 : 0;
}

void CLeftCategoryDlg::SetChecked(REGPROBLEM_TYPE type, bool checked) const
{
    for (int row = 0; row < kCategoryCount; ++row) {
        if (g_aScanOrder[row] == type)
            CheckItem(IDC_CATEGORY_CHECK_FIRST + row, checked);
    }
}

void CLeftCategoryDlg::ShowQuickScan(bool show) const
{
    ShowItem(IDC_QUICK_SCAN, show);
}

void CLeftCategoryDlg::EnableQuickScan(bool enable) const
{
    EnableItem(IDC_QUICK_SCAN, enable);
}

void CLeftCategoryDlg::Store(int row) const
{
    WriteSettingInt(CategoryInfo(g_aScanOrder[row]).pszSettingKey,
                    IsItemChecked(IDC_CATEGORY_CHECK_FIRST + row) ? 1 : 0);
}

bool CLeftCategoryDlg::OnCommand(int id, int code, HWND control)
{
    if (id == IDC_QUICK_SCAN) {
        m_main.QuickScan();
        return true;
    }
    const int row = id - IDC_CATEGORY_CHECK_FIRST;
    if (row >= 0 && row < kCategoryCount && code == BN_CLICKED) {
        Store(row);
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

void CLeftCategoryDlg::OnShowWindow(bool, UINT)
{
    // A stored 1 ticks its box; a 0 leaves the box as the user left it.
    for (int row = 0; row < kCategoryCount; ++row) {
        if (ReadSettingInt(CategoryInfo(g_aScanOrder[row]).pszSettingKey) != 0)
            CheckItem(IDC_CATEGORY_CHECK_FIRST + row, true);
    }
}
