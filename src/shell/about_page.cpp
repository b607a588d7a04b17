#include "shell/about_page.h"

#include "framework/product_name.h"
#include "resources/resource.h"
#include "shell/main_dlg.h"
#include "shell/product.h"

CaboutDlg::CaboutDlg(CHivoraDlg& main) : CDialog(IDD_ABOUTBOX), m_main(main) {}

BOOL CaboutDlg::OnInitDialog()
{
    SetBackground(IDB_ABOUT_BACKGROUND);
    SetAccessibleText("About", HV_PRODUCT_NAME " finds registry entries that point to things that are gone.",
                      ROLE_SYSTEM_PROPERTYPAGE);
    m_version.SubclassDlgItem(IDC_ABOUT_VERSION, m_hWnd);
    StyleLabel(m_version, "Arial", 9, RGB(0, 0, 0), RGB(255, 255, 255));
    m_version.SetBold(true).SetCaption(std::string("Ver ") + kProductVersion);
    m_ok.Bind(m_hWnd, IDC_PAGE_OK, IDB_OK, IDB_OK_HOT);
    m_update.Bind(m_hWnd, IDC_PAGE_UPDATE, IDB_UPDATE, IDB_UPDATE_HOT);
    m_statistics.Bind(m_hWnd, IDC_PAGE_STATISTICS, IDB_STATISTICS, IDB_STATISTICS_HOT);
    return TRUE;
}

bool CaboutDlg::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_PAGE_OK:
        m_main.HideAllPages();
        m_main.ShowScanTab();
        return true;
    case IDC_PAGE_UPDATE:
        m_main.ShowPage(PAGE_UPDATES);
        return true;
    case IDC_PAGE_STATISTICS:
        m_main.ShowPage(PAGE_STATISTICS);
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

void CaboutDlg::OnShowWindow(bool, UINT)
{
    m_main.SetPressedTab(0);
}
