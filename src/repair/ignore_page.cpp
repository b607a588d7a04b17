#include "repair/ignore_page.h"

#include <commctrl.h>

#include <string>

#include "framework/msgbox.h"
#include "repair/ignore_list.h"
#include "resources/resource.h"
#include "shell/logfile.h"
#include "shell/main_dlg.h"

CISettingsDlg::CISettingsDlg(CHivoraDlg& main) : CDialog(IDD_IGNORE_SETTINGS), m_main(main) {}

BOOL CISettingsDlg::OnInitDialog()
{
    SetBackground(IDB_IGNORE_BACKGROUND);
    // The picture shows this page's own sub-tab as the current one.
    SetAccessibleText("Settings", "Ignore List", ROLE_SYSTEM_PROPERTYPAGE);
    m_list.SubclassDlgItem(IDC_IGNORE_LIST, m_hWnd);
    m_list.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);
    m_list.InsertColumn(0, "Category", 100);
    m_list.InsertColumn(1, "Registry Key", 428);
    m_remove.Bind(m_hWnd, IDC_IGNORE_REMOVE, IDB_IGNORE_REMOVE, IDB_IGNORE_REMOVE_HOT);
    m_buttons.Attach(m_hWnd);
    return TRUE;
}

bool CISettingsDlg::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    if (id == IDC_IGNORE_REMOVE) {
        RemoveSelected();
        return true;
    }
    return CSettingsButtons::OnCommand(m_main, id) || CDialog::OnCommand(id, code, control);
}

void CISettingsDlg::OnShowWindow(bool, UINT)
{
    FillList();
}

void CISettingsDlg::FillList() const
{
    m_list.DeleteAllItems();
    // Each entry goes on top of the ones before it: row r holds entry (count - 1 - r).
    for (size_t i = 0; i < g_arrIgnoreKeys.size(); ++i) {
        // A type that is no category (a hand-edited file) shows as its number.
        const int type = i < g_arrIgnoreTypes.size() ? static_cast<int>(g_arrIgnoreTypes[i]) : 0;
        const std::string category = type >= 0 && type < kCategoryCount
                                         ? CategoryInfo(static_cast<REGPROBLEM_TYPE>(type)).pszLogName
                                         : std::to_string(type);
        if (m_list.InsertItem(0, category) == 0)
            m_list.SetItemText(0, 1, g_arrIgnoreKeys[i]);
    }
}

void CISettingsDlg::RemoveSelected() const
{
    const size_t count = g_arrIgnoreKeys.size();
    std::vector<size_t> entries;
    for (int row = m_list.GetNextSelected(); row >= 0; row = m_list.GetNextSelected(row)) {
        if (static_cast<size_t>(row) < count)
            entries.push_back(count - 1 - static_cast<size_t>(row));
    }
    if (entries.empty()) {
        AfxMessageBox("Please select at least one item.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!RemoveFromIgnoreList(entries))
        LogMessage("Could not save the ignore list " + IgnoreListPath());
    FillList();
}
