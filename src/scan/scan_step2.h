#pragma once

#include <cstdint>

#include "controls/label.h"
#include "controls/picture_ex.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "framework/page_worker.h"
#include "scan/problem.h"

class CHivoraDlg;
class CRegistryScanner;

// Scan Now, second step: the scan worker's notification window. Shows the place being read, the
// count per category and in all, offers Stop while the scan runs, and Next and Back when it ends.
class CScanStep2Dlg : public CDialog {
public:
    explicit CScanStep2Dlg(CHivoraDlg& main);

    // Resets the display for a new scan (no counts, black names, Stop shown, Next and Back hidden)
    // and follows the engine's worker, which has just started.
    void BeginScan(const CRegistryScanner& engine);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnShowWindow(bool show, UINT status) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    void OnWorkerEnd(CPageWorker& worker) override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnProblem(REGPROBLEM_TYPE type);
    // Next and Back are offered once the worker has ended: until then it may still be adding
    // problems (a slow item after Stop).
    void ShowFinishedState();
    void Stop();
    void Next();
    // Shows the counts that changed since they were last drawn.
    void RefreshCounts();
    void SetCategoryColour(int type, COLORREF colour);

    CHivoraDlg& m_main;
    int64_t m_nTotal = 0;
    int64_t m_anCounts[kCategoryCount] = {};
    bool m_abCountChanged[kCategoryCount] = {};
    bool m_bTotalChanged = false;
    DWORD m_dwLastRefresh = 0;
    bool m_bRefreshTimer = false;
    CPageWorker m_worker;
    bool m_bAskingStop = false;
    // What the worker said at its end: the scan is done, or done and repaired on the worker.
    bool m_bDone = false;
    bool m_bRepaired = false;

    CLabel m_names[kCategoryCount];
    CLabel m_counts[kCategoryCount];
    CLabel m_path;
    CLabel m_total;
    CLabel m_current;
    CLabel m_caption;
    CLabel m_result;
    CLabel m_resultCount;
    CLabel m_message;
    CPictureEx m_animation;
    CPictureEx m_progress;
    CXPButton m_stop;
    CXPButton m_next;
    CXPButton m_back;
};
