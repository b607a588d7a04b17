#include "shell/schedule_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "framework/gdi.h"
#include "framework/paths.h"
#include "resources/resource.h"
#include "framework/product_name.h"
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
    // The picture shows this page's own sub-tab as the current one.
    SetAccessibleText("Settings", "Scheduling", ROLE_SYSTEM_PROPERTYPAGE);
    m_buttons.Attach(m_hWnd);
    m_manage.Bind(m_hWnd, IDC_MANAGE_SCHEDULE, IDB_MANAGE_SCHEDULE, IDB_MANAGE_SCHEDULE_HOT);
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
    // A line wider than the list (a repetition with an end date, say) scrolls into view.
    const WindowDC dc(list);
    const SelectScope font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const std::string& line : lines) {
        SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(line.c_str()));
        SIZE size{};
        if (dc.get() && GetTextExtentPoint32A(dc.get(), line.c_str(), static_cast<int>(line.size()), &size))
            widest = std::max(widest, size.cx);
    }
    SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
}

bool CSSettings::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    if (id == IDC_MANAGE_SCHEDULE) {
        ManageScanSchedule(HV_PRODUCT_NAME, kScanTaskComment, TaskFolder(), GetAncestor(m_hWnd, GA_ROOT));
        FillList();
        return true;
    }
    return CSettingsButtons::OnCommand(m_main, id) || CDialog::OnCommand(id, code, control);
}
