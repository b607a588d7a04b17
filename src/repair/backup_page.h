#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/label.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "framework/list_ctrl.h"
#include "framework/page_worker.h"

class CHivoraDlg;

// The Backup tab: the backup sets the repairs left, with Restore and Remove over the ticked rows.
class CBackupDlg : public CDialog {
public:
    explicit CBackupDlg(CHivoraDlg& main);

    // Lists the sets of the backup folder again, one row per set name.
    void RefreshBackupList();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnShowWindow(bool show, UINT status) override;
    void OnWorkerEnd(CPageWorker& worker) override;

private:
    // What the restore worker works on; the page reads the results once the worker has ended.
    struct RESTORE_JOB {
        std::string strBackupFolder;
        std::vector<std::string> names;
        int nRestored = 0;
        std::vector<std::string> failures;
        std::string strRefusal;  // why nothing was restored, when nRestored is -1
        bool bFinished = false;
    };

    void RestoreSelectedBackups();
    void RemoveSelectedBackups();
    // The page's buttons and the main window's strip, all but the list while a restore runs.
    void EnableWhileRestoring(bool restoring);
    void ShowRestoreOutcome();
    // The names of the ticked rows; none (after the matching error box) when nothing is ticked.
    std::vector<std::string> TickedNames(const char* noItemsText, const char* noneTickedText) const;
    static UINT RestoreThread(void* param);

    CHivoraDlg& m_main;
    CListCtrl m_list;
    CLabel m_caution;
    CXPButton m_update;
    CXPButton m_remove;
    CXPButton m_restore;
    CXPButton m_statistics;
    RESTORE_JOB m_job;
    // Declared after the job it works on, so that it goes first.
    CPageWorker m_worker;
};
