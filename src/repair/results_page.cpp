#include "repair/results_page.h"

#include <numeric>

#include "framework/format.h"
#include "framework/msgbox.h"
#include "framework/resource_string.h"
#include "repair/ignore_list.h"
#include "repair/repair.h"
#include "resources/resource.h"
#include "scan/problem_texts.h"
#include "scan/scanner.h"
#include "shell/logfile.h"
#include "shell/main_dlg.h"
#include "shell/settings.h"
#include "shell/statistics.h"

namespace {

constexpr RECT kListRect{45, 80, 733, 355};

// The header text: the category's string resource, "&&" shown as one ampersand.
std::string CategoryTitle(REGPROBLEM_TYPE type)
{
    std::string name = LoadResourceString(IDS_CATEGORY_FIRST + type);
    if (name.empty())
        name = CategoryInfo(type).pszResultsName;
    for (size_t at = name.find("&&"); at != std::string::npos; at = name.find("&&", at + 1))
        name.erase(at, 1);
    return name;
}

std::string ProblemRowText(const CRegistryProblem& problem)
{
    std::string text = DescribeProblem(problem);
    const auto extra = static_cast<int32_t>(problem.m_nExtra);
    if (problem.m_nExtra > 0)
        text = Format("<br><font color=\"#A52A2A\"><b>( %d additional items found under this key)</b></font><br>",
                      extra) +
               text;
    return text.empty() ? "No Errors Found" : text;
}

std::string ClosingMessage(const CScanResultsDlg::REPAIR_TALLY& tally, const std::string& stopped)
{
    std::string text = Format(kRepairDoneText, tally.nFixed);
    if (!stopped.empty())
        text += "\n\n" + stopped;
    const int notReached = tally.nTicked - tally.nFixed - tally.nAlreadyGone - tally.nFailed;
    if (tally.nFixed == tally.nTicked)
        return text;
    text += Format("\n\nOf the %d item(s) ticked:\n%d fixed", tally.nTicked, tally.nFixed);
    if (tally.nAlreadyGone > 0)
        text += Format("\n%d already gone (removed with an entry above)", tally.nAlreadyGone);
    if (tally.nFailed > 0)
        text += Format("\n%d could not be fixed (left unchanged)", tally.nFailed);
    if (notReached > 0)
        text += Format("\n%d not reached (the repair stopped first)", notReached);
    if (tally.nFailed > 0 || notReached > 0)
        text += "\nThe log file lists each item.";
    return text;
}

} // namespace

CScanResultsDlg::CScanResultsDlg(CHivoraDlg& main) : CDialog(IDD_RESULTS), m_main(main), m_worker(*this, true)
{
    // Closing ends the repair after the item in hand, its backup set complete.
    m_worker.SetCloseRule([] {
        if (g_pScanner)
            g_pScanner->RequestStop();
    });
}

BOOL CScanResultsDlg::OnInitDialog()
{
    SetBackground(IDB_RESULTS_BACKGROUND);
    SetAccessibleText("Scan Results", "Tick the problems to repair. Click a category to unfold it.",
                      ROLE_SYSTEM_PROPERTYPAGE);
    if (m_list.Create(kListRect, m_hWnd))
        m_list.SetExtendedStyle(HTMLLIST_STYLE_CHECKBOX | HTMLLIST_STYLE_GRIDLINES);
    m_repair.Bind(m_hWnd, IDC_RESULTS_REPAIR, IDB_REPAIR, IDB_REPAIR_HOT);
    m_back.Bind(m_hWnd, IDC_RESULTS_BACK, IDB_BACK, IDB_BACK_HOT);
    m_update.Bind(m_hWnd, IDC_RESULTS_UPDATE, IDB_UPDATE, IDB_UPDATE_HOT);
    m_statistics.Bind(m_hWnd, IDC_RESULTS_STATISTICS, IDB_STATISTICS, IDB_STATISTICS_HOT);
    return TRUE;
}

void CScanResultsDlg::OnShowWindow(bool show, UINT)
{
    // Each showing starts from the default ticks. While the repair worker reads the problems
    // nothing touches them: the list is rebuilt when the repair has ended.
    if (!show) {
        ClearResults();
        // The panel this page covered comes back whole, its transparent captions included.
        RedrawWindow(m_main.GetCategoryPanel().GetSafeHwnd(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    } else if (m_worker.IsBusy()) {
        m_main.SetPressedTab(IDC_TAB_SCANNOW);
        m_main.ResultsShown();
    } else {
        RebuildResults();
    }
}

void CScanResultsDlg::ClearResults()
{
    m_list.DeleteAllItems();
    m_categories.clear();
}

void CScanResultsDlg::RebuildResults()
{
    m_main.SetPressedTab(IDC_TAB_SCANNOW);
    m_main.ResultsShown();
    ClearResults();

    // A problem of a category without a header is never repaired: the user cannot see it.
    std::vector<CRegistryProblem*> byType[kCategoryCount];
    for (const auto& problem : g_arrProblems) {
        problem->m_bSelected = 0;
        if (problem->m_nType >= 0 && problem->m_nType < kCategoryCount)
            byType[problem->m_nType].push_back(problem.get());
    }
    for (int type = 0; type < kCategoryCount; ++type) {
        const auto category = static_cast<REGPROBLEM_TYPE>(type);
        if (ReadSettingInt(CategoryInfo(category).pszSettingKey) != 1)
            continue;
        auto row = std::make_unique<CScanCategory>();
        row->m_strName = CategoryTitle(category);
        row->m_nType = category;
        for (CRegistryProblem* problem : byType[type]) {
            problem->m_bSelected = IsRepairedByDefault(category) ? 1 : 0;
            row->m_nCount += problem->m_bSelected;
            row->m_nCount2 += 1 + static_cast<int32_t>(problem->m_nExtra);
        }
        m_categories.push_back(std::move(row));
    }
    m_list.BeginInsert();
    for (const auto& category : m_categories) {
        m_list.InsertItem(category.get(), category->m_strName, HTMLLIST_HEADER);
        for (CRegistryProblem* problem : byType[category->m_nType])
            m_list.InsertItem(problem, ProblemRowText(*problem), HTMLLIST_PROBLEM);
    }
    m_list.EndInsert();
}

int CScanResultsDlg::SelectedCount() const
{
    return std::accumulate(m_categories.begin(), m_categories.end(), 0,
                           [](int sum, const auto& category) { return sum + category->m_nCount; });
}

void CScanResultsDlg::EnableWhileRepairing(bool repairing)
{
    m_list.Enable(!repairing);
    for (int id : {IDC_RESULTS_REPAIR, IDC_RESULTS_BACK, IDC_RESULTS_UPDATE, IDC_RESULTS_STATISTICS})
        EnableItem(id, !repairing);
    // No new scan may replace the engine the worker runs on.
    m_main.EnableStrip(!repairing);
    // The keys come back to Repair when the repair has taken them away.
    if (!repairing && IsWindowVisible(m_hWnd) && !HoldsFocus())
        FocusItem(IDC_RESULTS_REPAIR);
}

void CScanResultsDlg::StartRepair()
{
    // Nothing may change the problems while a worker adds to them or removes them.
    if (!g_pScanner || CPageWorker::AnyExclusiveBusy())
        return;
    const bool hadProblems = !g_arrProblems.empty();
    const int ticked = SelectedCount();
    const REPAIR_START start = g_pScanner->StartRepair(m_hWnd, ticked);
    if (start.bNothingSelected) {
        AfxMessageBox(kRepairNothingSelectedText, MB_OK);
        return;
    }
    if (start.bStarted) {
        m_nTicked = ticked;
        m_bReported = false;
        m_worker.Watch(*g_pScanner->Worker());
        EnableWhileRepairing(true);
    }
    if (start.bStarted)
        return;
    if (hadProblems)
        AfxMessageBox("The repair could not be started. Nothing was changed.", MB_OK | MB_ICONERROR);
    else
        ShowRepairOutcome(REPAIR_TALLY{});
}

void CScanResultsDlg::OnWorkerEnd(CPageWorker&)
{
    EnableWhileRepairing(false);
    if (!g_pScanner)
        return;
    // A worker that failed on the way did not tell its end: what it fixed still counts.
    if (!m_bReported)
        RecordRepairStatistics(g_pScanner->FixedCounts());
    if (CPageWorker::IsClosing())
        return;
    if (g_pScanner->RepairCancelled()) {
        // The user chose to keep everything as it was: the problems are still there, ticked anew.
        if (IsWindowVisible(m_hWnd))
            RebuildResults();
        return;
    }
    if (!g_pScanner->RepairError().empty()) {
        // Nothing was removed: the problems are still there.
        if (IsWindowVisible(m_hWnd))
            RebuildResults();
        AfxMessageBox(RepairErrorMessage(*g_pScanner), MB_OK | MB_ICONERROR);
        return;
    }
    REPAIR_TALLY tally;
    tally.nTicked = m_nTicked;
    for (const REPAIR_OUTCOME& outcome : g_pScanner->RepairOutcomes()) {
        tally.nFixed += outcome.bFixed;
        tally.nAlreadyGone += outcome.bAlreadyRemoved;
        tally.nFailed += !outcome.bFixed && !outcome.bAlreadyRemoved;
    }
    if (IsWindowVisible(m_hWnd))
        RebuildResults();
    ShowRepairOutcome(tally);
}

void CScanResultsDlg::ShowRepairOutcome(const REPAIR_TALLY& tally)
{
    const bool complete = tally.nFixed + tally.nAlreadyGone == tally.nTicked;
    const std::string stopped = g_pScanner && tally.nTicked > 0 ? RepairStopMessage(*g_pScanner) : std::string();
    const int answer = AfxMessageBox(ClosingMessage(tally, stopped), MB_OK | (complete ? 0 : MB_ICONWARNING));
    if (CPageWorker::IsClosing())
        return;
    if (answer == IDOK)
        m_main.ShowPage(PAGE_STATISTICS);
    m_main.BackToStep1();
    if (ReadSettingInt("shutdown") != 0)
        m_main.CloseProgram(IDOK);
}

bool CScanResultsDlg::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_RESULTS_REPAIR:
        StartRepair();
        return true;
    case IDC_RESULTS_BACK:
        m_main.ShowPage(PAGE_SCANSTEP2);
        m_main.GetCategoryPanel().Show(true);
        return true;
    case IDC_RESULTS_UPDATE:
        m_main.ShowPage(PAGE_UPDATES);
        return true;
    case IDC_RESULTS_STATISTICS:
        m_main.ShowPage(PAGE_STATISTICS);
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

bool CScanResultsDlg::OnNotify(NMHDR* header, LRESULT& result)
{
    if (header->idFrom != HTMLLIST_CONTROL_ID || header->code != HTMLLIST_IGNORE)
        return CDialog::OnNotify(header, result);
    const auto* record = reinterpret_cast<const NM_HTMLLISTCTRL*>(header);
    if (const auto* problem = static_cast<const CRegistryProblem*>(record->pData))
        IgnoreProblem(*problem);
    result = 0;
    return true;
}

bool CScanResultsDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam)
{
    if (msg == WM_REPAIR_ASK_RESTORE_POINT) {
        // The worker waits for the answer before it removes anything.
        const int answer = CPageWorker::IsClosing()
                               ? IDCANCEL
                               : AfxMessageBox(reinterpret_cast<const char*>(lParam), MB_OKCANCEL | MB_ICONWARNING);
        SetMsgResult(answer);
        return true;
    }
    if (msg != WM_SCAN_DONE_REPAIRED)
        return false;
    // The worker waits meanwhile: its counts hold still. The rest follows its end (OnWorkerEnd).
    if (g_pScanner)
        RecordRepairStatistics(g_pScanner->FixedCounts());
    m_bReported = true;
    return true;
}

INT_PTR CScanResultsDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SETCURSOR && m_worker.IsBusy()) {
        SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
        SetMsgResult(TRUE);
        return TRUE;
    }
    return CDialog::DialogProc(msg, wParam, lParam);
}
