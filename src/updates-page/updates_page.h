#pragma once

#include <memory>

#include "controls/label.h"
#include "controls/picture_ex.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "framework/page_worker.h"
#include "updates-page/status_lines.h"
#include "updates-page/update_flow.h"

class CHivoraDlg;

// The Updates page: starts an update check (by its button, or when the main window asks at start)
// and shows the check's status lines on one label.
class CUpdates : public CDialog {
public:
    explicit CUpdates(CHivoraDlg& main);

    // Starts a check unless one is running; false when none was started.
    bool StartCheck();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnShowWindow(bool show, UINT status) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnWorkerEnd(CPageWorker& worker) override;

private:
    CHivoraDlg& m_main;
    CLabel m_status;
    CXPButton m_check;
    CXPButton m_ok;
    CXPButton m_statistics;
    CPictureEx m_animation;
    CStatusLines m_lines;
    CPageWorker m_worker;
    // The last check started; the close silences it while it runs.
    std::shared_ptr<CUpdateFlow> m_pFlow;
};
