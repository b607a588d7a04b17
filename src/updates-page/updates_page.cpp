#include "updates-page/updates_page.h"

#include "framework/paths.h"
#include "framework/product_name.h"
#include "resources/resource.h"
#include "shell/main_dlg.h"

namespace {

const char kIdleText[] = "Check for availability of update from Hivora Server";
// How long closing waits for a check that cannot be stopped inside Patchwell (a slow server, say).
// An installation that has begun is waited for to its end.
constexpr DWORD kCloseWait = 3000;

} // namespace

CUpdates::CUpdates(CHivoraDlg& main) : CDialog(IDD_UPDATES), m_main(main), m_worker(*this, false)
{
    m_worker.SetCloseRule(
        [this] {
            if (m_pFlow)
                m_pFlow->Silence();
        },
        kCloseWait);
}

BOOL CUpdates::OnInitDialog()
{
    SetBackground(IDB_UPDATES_BACKGROUND);
    SetAccessibleText("Updates", "Keep " HV_PRODUCT_NAME " up to date", ROLE_SYSTEM_PROPERTYPAGE);
    m_status.SubclassDlgItem(IDC_UPDATES_STATUS, m_hWnd);
    StyleLabel(m_status, "Arial", 8, RGB(0, 0, 0), RGB(255, 255, 255));
    m_status.SetCaption(kIdleText);
    m_check.Bind(m_hWnd, IDC_UPDATES_CHECK, IDB_CHECK_UPDATES, IDB_CHECK_UPDATES_HOT);
    m_ok.Bind(m_hWnd, IDC_UPDATES_OK, IDB_OK, IDB_OK_HOT);
    m_statistics.Bind(m_hWnd, IDC_UPDATES_STATISTICS, IDB_STATISTICS, IDB_STATISTICS_HOT);
    // Without the animation file the picture stays empty, without a message.
    m_animation.SubclassDlgItem(IDC_UPDATES_ANIMATION, m_hWnd);
    if (m_animation.Load(ProgramFolder() + "update animation.gif"))
        m_animation.Draw();
    return TRUE;
}

bool CUpdates::StartCheck()
{
    // Patchwell runs one check at a time in a process.
    if (CPageWorker::IsClosing())
        return false;
    auto flow = std::make_shared<CUpdateFlow>(m_hWnd);
    if (!flow->Start(m_worker))
        return false;
    m_pFlow = std::move(flow);
    m_lines.Clear();
    m_status.SetCaption("");
    m_check.Enable(false);
    return true;
}

void CUpdates::OnWorkerEnd(CPageWorker&)
{
    m_check.Enable(true);
}

bool CUpdates::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_UPDATES_CHECK:
        StartCheck();
        return true;
    case IDC_UPDATES_OK:
        m_main.ShowPage(PAGE_SCANSTEP1);
        return true;
    case IDC_UPDATES_STATISTICS:
        m_main.ShowPage(PAGE_STATISTICS);
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

void CUpdates::OnShowWindow(bool show, UINT)
{
    // Only when shown: a tab that hides the page has already given itself the pressed look.
    if (!show)
        return;
    m_main.SetPressedTab(0);
    CLeftCategoryDlg& panel = m_main.GetCategoryPanel();
    panel.Enable(true);
    panel.Show(true);
}

bool CUpdates::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_START_UPDATE_CHECK:
        StartCheck();
        return true;
    case WM_UPDATE_STATUS_LINE:
        m_lines.Set(static_cast<int>(wParam), reinterpret_cast<const char*>(lParam));
        m_status.SetCaption(m_lines.Text());
        return true;
    default:
        return CDialog::OnMessage(msg, wParam, lParam);
    }
}
