#pragma once

#include <cstdint>

#include "controls/label.h"
#include "controls/picture_ex.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "scan/problem.h"

class CHivoraDlg;

// Scan Now, second step: the scan worker's notification window. Shows the place being read, the
// count per category and in all, offers Stop while the scan runs, and Next and Back when it ends.
class CScanStep2Dlg : public CDialog {
public:
    explicit CScanStep2Dlg(CHivoraDlg& main);

    // Resets the display for a new scan: no counts, black names, Stop shown, Next and Back hidden.
    void BeginScan();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnShowWindow(bool show, UINT status) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;

private:
    void OnProblem(REGPROBLEM_TYPE type);
    void OnScanDone();
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
    // The Stop question is open: the scan's end waits for its answer.
    bool m_bAskingStop = false;
    bool m_bDonePending = false;
    // The main window is closing: the scan's end switches no page and starts no repair.
    bool m_bClosing = false;

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
