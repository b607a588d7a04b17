#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/label.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "framework/list_ctrl.h"
#include "framework/thread.h"

class CHivoraDlg;

// Sent by the restore worker to the page when its sets are done (wParam and lParam 0).
constexpr UINT WM_BACKUP_RESTORED = WM_APP + 0x110;

// The Backup tab: the backup sets the repairs left, with Restore and Remove over the ticked rows.
class CBackupDlg : public CDialog {
public:
    explicit CBackupDlg(CHivoraDlg& main);
    ~CBackupDlg() override;

    // Lists the sets of the backup folder again, one row per set name.
    void RefreshBackupList();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnShowWindow(bool show, UINT status) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnClose() override;

private:
    // What the restore worker works on; the page reads the results once the worker reports.
    struct RESTORE_JOB {
        std::string strBackupFolder;
        std::vector<std::string> names;
        int nRestored = 0;
        std::vector<std::string> failures;
        HWND hPage = nullptr;
    };

    void RestoreSelectedBackups();
    void RemoveSelectedBackups();
    void OnRestoreDone();
    // The names of the ticked rows; none (after the matching error box) when nothing is ticked.
    std::vector<std::string> TickedNames(const char* noItemsText, const char* noneTickedText) const;
    void WaitForRestore();
    static UINT RestoreThread(void* param);

    CHivoraDlg& m_main;
    CListCtrl m_list;
    CLabel m_caution;
    CXPButton m_update;
    CXPButton m_remove;
    CXPButton m_restore;
    CXPButton m_statistics;
    RESTORE_JOB m_job;
    std::unique_ptr<CWinThread> m_restoreThread;
    bool m_bRestoring = false;
    bool m_bClosing = false;
};
