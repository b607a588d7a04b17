#include "shell/schedule_page.h"

#include <string>
#include <vector>

#include "framework/paths.h"
#include "resources/resource.h"
#include "scan/problem_texts.h"
#include "shell/main_dlg.h"
#include "shell/scan_task.h"

namespace {

// The task's working directory: the program folder without its trailing backslash.
std::string TaskFolder()
{
    std::string folder = ProgramFolder();
    if (!folder.empty())
        folder.pop_back();
    return folder;
}

} // namespace

CSSettings::CSSettings(CHivoraDlg& main) : CDialog(IDD_SCHEDULE_SETTINGS), m_main(main) {}

BOOL CSSettings::OnInitDialog()
{
    SetBackground(IDB_SCHEDULE_BACKGROUND);
    m_tabGeneral.SubclassDlgItem(IDC_TAB_GENERAL, m_hWnd);
    m_tabGeneral.SetBitmaps(IDB_TAB_GENERAL, IDB_TAB_GENERAL_HOT, IDB_TAB_GENERAL);
    m_tabIgnore.SubclassDlgItem(IDC_TAB_IGNORE, m_hWnd);
    m_tabIgnore.SetBitmaps(IDB_TAB_IGNORE, IDB_TAB_IGNORE_HOT, IDB_TAB_IGNORE);
    m_update.SubclassDlgItem(IDC_SETTINGS_UPDATE, m_hWnd);
    m_update.SetBitmaps(IDB_UPDATE, IDB_UPDATE_HOT, IDB_UPDATE);
    m_statistics.SubclassDlgItem(IDC_PAGE_STATISTICS, m_hWnd);
    m_statistics.SetBitmaps(IDB_STATISTICS, IDB_STATISTICS_HOT, IDB_STATISTICS);
    m_manage.SubclassDlgItem(IDC_MANAGE_SCHEDULE, m_hWnd);
    m_manage.SetBitmaps(IDB_MANAGE_SCHEDULE, IDB_MANAGE_SCHEDULE_HOT, IDB_MANAGE_SCHEDULE);
    m_ok.SubclassDlgItem(IDC_PAGE_OK, m_hWnd);
    m_ok.SetBitmaps(IDB_OK, IDB_OK_HOT, IDB_OK);
    m_label.SubclassDlgItem(IDC_SCHEDULE_LABEL, m_hWnd);
    StyleLabel(m_label, "Arial", 10, RGB(0, 0, 0), RGB(255, 255, 255));
    m_label.SetCaption(HV_PRODUCT_NAME " is scheduled to run at:");

    EnsureDefaultScanTask(HV_PRODUCT_NAME, kScanTaskComment, TaskFolder());
    FillList();
    return TRUE;
}

void CSSettings::FillList() const
{
    const HWND list = GetDlgItem(IDC_SCHEDULE_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    std::vector<std::string> lines;
    if (!ListScanTriggers(HV_PRODUCT_NAME, lines))
        lines.assign(1, "System scan schedule is not active");
    for (const std::string& line : lines)
        SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(line.c_str()));
}

bool CSSettings::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_TAB_GENERAL:
        m_main.ShowPage(PAGE_GENERAL);
        return true;
    case IDC_TAB_IGNORE:
        m_main.ShowPage(PAGE_IGNORE);
        return true;
    case IDC_SETTINGS_UPDATE:
        m_main.ShowPage(PAGE_UPDATES);
        return true;
    case IDC_PAGE_STATISTICS:
        m_main.ShowPage(PAGE_STATISTICS);
        return true;
    case IDC_MANAGE_SCHEDULE:
        ManageScanSchedule(HV_PRODUCT_NAME, kScanTaskComment, TaskFolder(), GetAncestor(m_hWnd, GA_ROOT));
        FillList();
        return true;
    case IDC_PAGE_OK:
        m_main.HideAllPages();
        m_main.ShowScanTab();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}
