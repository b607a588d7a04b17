#include "scan/scan_step2.h"

#include "framework/format.h"
#include "framework/msgbox.h"
#include "framework/paths.h"
#include "repair/repair.h"
#include "repair/results_page.h"
#include "resources/resource.h"
#include "scan/scan_user.h"
#include "scan/scanner.h"
#include "shell/main_dlg.h"
#include "shell/settings.h"
#include "shell/statistics.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kFoundRed = RGB(0xC3, 0x0A, 0x0A);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr UINT_PTR kRefreshTimer = 1;
// Counts are redrawn at most this often: a scan reports thousands of problems a second.
constexpr DWORD kRefreshPeriod = 50;

void SetText(CLabel& label, const std::string& text)
{
    if (label.GetSafeHwnd() && GetWindowTextLengthA(label.GetSafeHwnd()) == 0 && text.empty())
        return;
    label.SetCaption(text);
}

bool IsValidType(LPARAM type)
{
    return type >= 0 && type < kCategoryCount;
}

} // namespace

CScanStep2Dlg::CScanStep2Dlg(CHivoraDlg& main) : CDialog(IDD_SCANSTEP2), m_main(main), m_worker(*this, true)
{
    // Closing stops the scan at its next item; its last messages arrive while the close waits.
    m_worker.SetCloseRule([] {
        if (g_pScanner)
            g_pScanner->RequestStop();
    });
}

BOOL CScanStep2Dlg::OnInitDialog()
{
    SetBackground(IDB_SCANSTEP2_BACKGROUND);
    SetAccessibleText("Scanning", "", ROLE_SYSTEM_PROPERTYPAGE);
    for (int type = 0; type < kCategoryCount; ++type) {
        m_names[type].SubclassDlgItem(IDC_SCAN_NAME_FIRST + type, m_hWnd);
        StyleLabel(m_names[type], "Arial", 8, kBlack, kWhite);
        m_names[type].SetCaption(CategoryInfo(static_cast<REGPROBLEM_TYPE>(type)).pszPanelName);
        m_counts[type].SubclassDlgItem(IDC_SCAN_COUNT_FIRST + type, m_hWnd);
        StyleLabel(m_counts[type], "Arial", 8, kBlack, kWhite);
    }
    const struct {
        CLabel& label;
        int id;
        bool bold;
        COLORREF colour;
    } texts[] = {
        {m_caption, IDC_SCAN_CAPTION, true, kBlack},     {m_path, IDC_SCAN_PATH, false, kBlack},
        {m_current, IDC_SCAN_CURRENT, true, kBlack},     {m_total, IDC_SCAN_TOTAL, true, kFoundRed},
        {m_result, IDC_SCAN_RESULT, true, kFoundRed},    {m_resultCount, IDC_SCAN_RESULT_COUNT, true, kFoundRed},
        {m_message, IDC_SCAN_MESSAGE, false, kBlack},
    };
    for (const auto& text : texts) {
        text.label.SubclassDlgItem(text.id, m_hWnd);
        StyleLabel(text.label, "Arial", 8, text.colour, kWhite);
        text.label.SetBold(text.bold);
    }
    m_animation.SubclassDlgItem(IDC_SCAN_ANIMATION, m_hWnd);
    m_animation.Load(ProgramFolder() + "progress-General.gif");
    m_progress.SubclassDlgItem(IDC_SCAN_PROGRESS, m_hWnd);
    m_progress.Load(ProgramFolder() + "progress-bar.gif");
    m_animation.Show(false);
    m_progress.Show(false);

    m_stop.Bind(m_hWnd, IDC_SCAN_STOP, IDB_STOP, IDB_STOP_HOT);
    m_next.Bind(m_hWnd, IDC_SCAN_NEXT, IDB_NEXT, IDB_NEXT_HOT);
    m_back.Bind(m_hWnd, IDC_SCAN_BACK, IDB_BACK, IDB_BACK_HOT);
    m_next.Show(false);
    m_back.Show(false);
    return TRUE;
}

void CScanStep2Dlg::OnShowWindow(bool show, UINT)
{
    if (!show)
        return;
    m_main.SetPressedTab(IDC_TAB_SCANNOW);
    SetText(m_result, "");
    SetText(m_resultCount, "");
    SetText(m_message, "");
    m_back.Show(false);
    m_current.Show(true);
    m_path.Show(true);
    m_total.Show(true);
    m_stop.Show(true);
    SetText(m_caption, "Scanning Path:");
    // Shown again after a scan rather than for a new one.
    if (m_main.GetScanStage() != 1)
        ShowFinishedState();
    m_main.ProgressShown();
}

void CScanStep2Dlg::BeginScan(const CRegistryScanner& engine)
{
    m_nTotal = 0;
    m_bAskingStop = false;
    m_bDone = false;
    m_bRepaired = false;
    SetText(m_total, "0 item(s) found");
    SetText(m_path, "");
    SetText(m_current, "");
    // Whose settings are scanned, when they are not the signed-in user's; the result replaces it.
    SetText(m_message, ScanUserNotice());
    for (int type = 0; type < kCategoryCount; ++type) {
        m_anCounts[type] = 0;
        m_abCountChanged[type] = false;
        SetCategoryColour(type, kBlack);
        SetText(m_counts[type], "");
    }
    m_bTotalChanged = false;
    m_stop.Show(true);
    m_next.Show(false);
    m_back.Show(false);
    if (engine.Worker())
        m_worker.Watch(*engine.Worker());
}

void CScanStep2Dlg::SetCategoryColour(int type, COLORREF colour)
{
    if (m_names[type].GetForeColour() != colour)
        m_names[type].SetForeColour(colour);
    if (m_counts[type].GetForeColour() != colour)
        m_counts[type].SetForeColour(colour);
}

void CScanStep2Dlg::OnProblem(REGPROBLEM_TYPE type)
{
    ++m_nTotal;
    ++m_anCounts[type];
    m_abCountChanged[type] = true;
    m_bTotalChanged = true;
    // The first finding of a category is shown at once; the rest at the next refresh.
    if (m_anCounts[type] == 1 || GetTickCount() - m_dwLastRefresh >= kRefreshPeriod) {
        RefreshCounts();
    } else if (!m_bRefreshTimer) {
        m_bRefreshTimer = SetTimer(m_hWnd, kRefreshTimer, kRefreshPeriod, nullptr) != 0;
    }
}

void CScanStep2Dlg::RefreshCounts()
{
    for (int type = 0; type < kCategoryCount; ++type) {
        if (!m_abCountChanged[type])
            continue;
        m_abCountChanged[type] = false;
        SetCategoryColour(type, kFoundRed);
        SetText(m_counts[type], Format("%lld", static_cast<long long>(m_anCounts[type])));
    }
    if (m_bTotalChanged) {
        m_bTotalChanged = false;
        SetText(m_total, Format("%lld Critical Error(s) found", static_cast<long long>(m_nTotal)));
    }
    m_dwLastRefresh = GetTickCount();
}

void CScanStep2Dlg::OnTimer(UINT_PTR id)
{
    if (id != kRefreshTimer)
        return;
    KillTimer(m_hWnd, kRefreshTimer);
    m_bRefreshTimer = false;
    RefreshCounts();
}

bool CScanStep2Dlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SCAN_PATH:
        if (lParam)
            SetText(m_path, reinterpret_cast<const char*>(lParam));
        return true;
    case WM_SCAN_PROBLEM: {
        const auto* problems = reinterpret_cast<const CRegistryProblem* const*>(lParam);
        for (WPARAM i = 0; problems && i < wParam; ++i)
            if (problems[i] && IsValidType(problems[i]->m_nType))
                OnProblem(problems[i]->m_nType);
        return true;
    }
    case WM_SCAN_CATEGORY_BEGIN:
        if (!IsValidType(lParam))
            return true;
        RefreshCounts();
        m_animation.Show(true);
        m_progress.Show(true);
        m_animation.Draw();
        m_progress.Draw();
        SetText(m_current, CategoryInfo(static_cast<REGPROBLEM_TYPE>(lParam)).pszLogName);
        SetText(m_counts[lParam], "0");
        if (g_pScanner)
            g_pScanner->LogCategoryBegin(static_cast<REGPROBLEM_TYPE>(lParam));
        return true;
    case WM_SCAN_CATEGORY_END:
        if (!IsValidType(lParam))
            return true;
        RefreshCounts();
        if (g_pScanner)
            g_pScanner->LogCategoryEnd(static_cast<REGPROBLEM_TYPE>(lParam));
        return true;
    case WM_SCAN_CATEGORY_SKIPPED:
        if (IsValidType(lParam))
            SetText(m_counts[lParam], "--");
        return true;
    case WM_SCAN_DONE:
        // The finished state follows when the worker has ended (OnWorkerEnd).
        m_bDone = true;
        return true;
    case WM_SCAN_DONE_REPAIRED:
        // The scan repaired everything it found on its own thread: its counts are this repair's.
        if (g_pScanner)
            RecordRepairStatistics(g_pScanner->FixedCounts());
        m_bRepaired = true;
        return true;
    default:
        return false;
    }
}

void CScanStep2Dlg::OnWorkerEnd(CPageWorker&)
{
    if (CPageWorker::IsClosing()) {
        m_animation.Stop();
        m_progress.Stop();
        return;
    }
    ShowFinishedState();
    if (m_bRepaired) {
        if (g_pScanner && !g_pScanner->RepairError().empty())
            AfxMessageBox(RepairErrorMessage(*g_pScanner), MB_OK | MB_ICONERROR);
    } else if (m_bDone && m_nTotal >= 1 && ReadSettingInt("autorpar") != 0) {
        Next();
    }
}

void CScanStep2Dlg::ShowFinishedState()
{
    if (m_bRefreshTimer) {
        KillTimer(m_hWnd, kRefreshTimer);
        m_bRefreshTimer = false;
    }
    RefreshCounts();
    m_current.Show(false);
    m_path.Show(false);
    m_total.Show(false);
    m_stop.Show(false);
    SetText(m_caption, m_main.IsScanRunning() ? "Scanning Completed !" : "Scanning cancelled by the user !");
    const long long total = m_nTotal;
    SetText(m_result, Format("%lld Critical Error(s) found", total));
    SetText(m_resultCount, Format("%lld Critical Error(s)", total));
    m_main.EnableStrip(true);

    if (g_pScanner)
        g_pScanner->StoreFoundCounts();

    if (total == 0) {
        SetText(m_resultCount, "0  Critical Error(s)");
        SetText(m_message, "Hivora has found\t\t\t    on your computer.\nClick Back to scan some other items");
        m_next.Show(false);
        m_back.Show(true);
    } else {
        SetText(m_message, total <= 100 ? "Hivora has found\t\t\t  on your computer.\nClick Next to fix error(s)"
                                        : "Hivora has found\t\t\t     on your computer.\nClick Next to fix error(s)");
        m_next.Show(true);
        m_back.Show(true);
    }
    const bool ended = !m_worker.IsBusy();
    m_next.Enable(ended);
    m_back.Enable(ended);
    // The keys go on to Next (or Back when nothing was found) once the scan has ended.
    if (ended && IsWindowVisible(m_hWnd))
        FocusItem(total == 0 ? IDC_SCAN_BACK : IDC_SCAN_NEXT);
    m_animation.Stop();
    m_progress.Stop();
    m_animation.Show(false);
    m_progress.Show(false);
}

void CScanStep2Dlg::Stop()
{
    // Only while the worker runs: the finished state hides the button.
    if (!g_pScanner || !m_worker.IsBusy() || m_bAskingStop)
        return;
    g_pScanner->Pause();
    m_bAskingStop = true;
    // No blank after the stop: deliberate, the question is known so.
    const int answer = AfxMessageBox("Scan in progress.Would you like to stop the scan?", MB_YESNO);
    m_bAskingStop = false;
    if (answer == IDYES) {
        g_pScanner->StopByUser();
        m_main.ScanStopped();
        ShowFinishedState();
    }
    g_pScanner->Resume();
}

void CScanStep2Dlg::Next()
{
    // The results page and its repair work on the problems the worker is still adding.
    if (m_worker.IsBusy())
        return;
    m_main.ShowPage(PAGE_RESULTS);
    if (ReadSettingInt("autorpar") == 0)
        return;
    if (auto* results = dynamic_cast<CScanResultsDlg*>(m_main.GetPage(PAGE_RESULTS)))
        results->StartRepair();
}

bool CScanStep2Dlg::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_SCAN_STOP:
        Stop();
        return true;
    case IDC_SCAN_NEXT:
        Next();
        return true;
    case IDC_SCAN_BACK:
        // A new scan from the first page would replace the engine the worker still runs on.
        if (m_worker.IsBusy())
            return true;
        m_main.ShowPage(PAGE_SCANSTEP1);
        m_next.Show(false);
        m_main.BackToStep1();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

void CScanStep2Dlg::OnClose()
{
    m_animation.Stop();
    m_progress.Stop();
}

INT_PTR CScanStep2Dlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // After Stop, the worker may still be finishing its item.
    if (msg == WM_SETCURSOR && m_worker.IsBusy() && !m_main.IsScanRunning()) {
        SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
        SetMsgResult(TRUE);
        return TRUE;
    }
    return CDialog::DialogProc(msg, wParam, lParam);
}
