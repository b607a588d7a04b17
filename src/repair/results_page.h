#pragma once

#include <memory>
#include <vector>

#include "controls/html_list.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "framework/page_worker.h"
#include "scan/problem.h"

class CHivoraDlg;

// The results of the last scan: one folding group per scanned category in the HTML list, the
// problems to repair ticked, Ignore per problem, and Repair.
class CScanResultsDlg : public CDialog {
public:
    explicit CScanResultsDlg(CHivoraDlg& main);

    // What became of the items ticked for a repair.
    struct REPAIR_TALLY {
        int nTicked = 0;
        int nFixed = 0;
        int nAlreadyGone = 0;
        int nFailed = 0;
    };

    // The Repair button: removes the ticked problems on a worker; the closing message, the
    // statistics page and "shutdown" follow when the worker has ended.
    void StartRepair();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnShowWindow(bool show, UINT status) override;
    void OnWorkerEnd(CPageWorker& worker) override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void RebuildResults();
    // Frees the rows and categories without touching the problems.
    void ClearResults();
    int SelectedCount() const;
    // The page's controls while the worker runs: nothing may change the problems meanwhile.
    void EnableWhileRepairing(bool repairing);
    // The closing message, accounting for every ticked item; then the statistics page, scan stage 1
    // and "shutdown".
    void ShowRepairOutcome(const REPAIR_TALLY& tally);

    CHivoraDlg& m_main;
    CHTMLListCtrl m_list;
    std::vector<std::unique_ptr<CScanCategory>> m_categories;
    CXPButton m_repair;
    CXPButton m_back;
    CXPButton m_update;
    CXPButton m_statistics;
    CPageWorker m_worker;
    // The items ticked when the repair started, and whether the worker told its end.
    int m_nTicked = 0;
    bool m_bReported = false;
};
