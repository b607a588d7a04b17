#include "repair/backup_page.h"

#include <commctrl.h>

#include "framework/com_ptr.h"
#include "framework/format.h"
#include "framework/msgbox.h"
#include "framework/paths.h"
#include "repair/backup_sets.h"
#include "resources/resource.h"
#include "scan/scanner.h"
#include "shell/main_dlg.h"

namespace {

constexpr const char* kCautionText =
    " We recommend that you use caution when restoring the registry as it can affect the functionality  of your "
    "software. Use this feature only when you need to restore to a previous working state.\t Select the items you "
    "want to restore from the list above.";

// A reason may list many registry paths; the box names each set with the start of its reason.
constexpr size_t kReasonShown = 300;

std::string BackupFolder()
{
    return BackupFolderPath(ProgramFolder());
}

} // namespace

// A restore is never stopped: the registry editor is left to finish its import, since a set half
// imported would be worse. The close waits for it.
CBackupDlg::CBackupDlg(CHivoraDlg& main) : CDialog(IDD_BACKUP), m_main(main), m_worker(*this, true) {}

BOOL CBackupDlg::OnInitDialog()
{
    SetBackground(IDB_BACKUP_BACKGROUND);
    SetAccessibleText("Backup", "Registry backups made before each repair", ROLE_SYSTEM_PROPERTYPAGE);
    m_list.SubclassDlgItem(IDC_BACKUP_LIST, m_hWnd);
    m_list.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_ONECLICKACTIVATE | LVS_EX_FLATSB);
    m_list.InsertColumn(0, "Name", 280);
    m_list.InsertColumn(1, "Date and Time", 252);
    m_caution.SubclassDlgItem(IDC_BACKUP_CAUTION, m_hWnd);
    StyleLabel(m_caution, "Arial", 8, RGB(255, 0, 0), RGB(255, 255, 255));
    m_caution.SetCaption(kCautionText);
    m_update.Bind(m_hWnd, IDC_BACKUP_UPDATE, IDB_UPDATE, IDB_UPDATE_HOT);
    m_remove.Bind(m_hWnd, IDC_BACKUP_REMOVE, IDB_BACKUP_REMOVE, IDB_BACKUP_REMOVE_HOT);
    m_restore.Bind(m_hWnd, IDC_BACKUP_RESTORE, IDB_RESTORE, IDB_RESTORE_HOT);
    m_statistics.Bind(m_hWnd, IDC_BACKUP_STATISTICS, IDB_STATISTICS, IDB_STATISTICS_HOT);
    return TRUE;
}

bool CBackupDlg::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_BACKUP_RESTORE:
        RestoreSelectedBackups();
        return true;
    case IDC_BACKUP_REMOVE:
        RemoveSelectedBackups();
        return true;
    case IDC_BACKUP_UPDATE:
        m_main.ShowPage(PAGE_UPDATES);
        return true;
    case IDC_BACKUP_STATISTICS:
        m_main.ShowPage(PAGE_STATISTICS);
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

void CBackupDlg::OnShowWindow(bool show, UINT)
{
    // Only the page coming into view presses the Backup tab: when it is hidden, another tab's page
    // is taking its place and has pressed that tab already.
    if (show)
        m_main.SetPressedTab(IDC_TAB_BACKUP);
    RefreshBackupList();
}

void CBackupDlg::RefreshBackupList()
{
    m_list.DeleteAllItems();
    for (const BACKUP_SET_ROW& set : ListBackupSets(BackupFolder())) {
        const int row = m_list.InsertItem(m_list.GetItemCount(), set.strName);
        if (row >= 0)
            m_list.SetItemText(row, 1, set.strDateTime);
    }
}

std::vector<std::string> CBackupDlg::TickedNames(const char* noItemsText, const char* noneTickedText) const
{
    std::vector<std::string> names;
    for (const int row : m_list.GetCheckedRows())
        names.push_back(m_list.GetItemText(row, 0));
    if (names.empty()) {
        MessageBoxWithCaption(m_hWnd, m_list.GetItemCount() > 0 ? noneTickedText : noItemsText, "Error",
                              MB_OK | MB_ICONERROR);
    }
    return names;
}

void CBackupDlg::RestoreSelectedBackups()
{
    if (CPageWorker::AnyExclusiveBusy())
        return;
    std::vector<std::string> names = TickedNames(kRestoreNoItemsText, kRestoreNoneTickedText);
    if (names.empty())
        return;
    m_job = RESTORE_JOB{BackupFolder(), std::move(names), 0, {}, {}, false};
    // The registry editor may take a while over a large set: the window goes on painting meanwhile.
    if (m_worker.Start(RestoreThread, &m_job)) {
        EnableWhileRestoring(true);
        return;
    }
    // Without a worker the sets are restored here; the window waits for it.
    RestoreThread(&m_job);
    ShowRestoreOutcome();
}

void CBackupDlg::EnableWhileRestoring(bool restoring)
{
    for (int id : {IDC_BACKUP_RESTORE, IDC_BACKUP_REMOVE, IDC_BACKUP_UPDATE, IDC_BACKUP_STATISTICS})
        EnableItem(id, !restoring);
    m_main.EnableStrip(!restoring);
    // The keys come back to Restore when the restore has taken them away.
    if (!restoring && IsWindowVisible(m_hWnd) && !HoldsFocus())
        FocusItem(IDC_BACKUP_RESTORE);
}

UINT CBackupDlg::RestoreThread(void* param)
{
    auto& job = *static_cast<RESTORE_JOB*>(param);
    const ComApartment com;
    job.nRestored = RestoreBackupSets(job.strBackupFolder, job.names, &job.failures, &job.strRefusal);
    job.bFinished = true;
    return 0;
}

void CBackupDlg::OnWorkerEnd(CPageWorker&)
{
    EnableWhileRestoring(false);
    if (!CPageWorker::IsClosing())
        ShowRestoreOutcome();
}

void CBackupDlg::ShowRestoreOutcome()
{
    if (m_job.nRestored < 0) {
        AfxMessageBox(m_job.strRefusal.c_str(), MB_OK | MB_ICONERROR);
        RefreshBackupList();
        return;
    }
    // A worker that failed on the way has its error in the log.
    if (!m_job.bFinished)
        m_job.failures.push_back("the restore stopped unexpectedly; the log file has the error");
    std::string text = m_job.nRestored > 0 ? Format(kRestoredText, m_job.nRestored) : kCouldNotRestoreText;
    if (!m_job.failures.empty()) {
        text += "\n\nNot restored, kept in the list:";
        for (const std::string& failure : m_job.failures)
            text += "\n" + (failure.size() > kReasonShown ? failure.substr(0, kReasonShown) + " ..." : failure);
    }
    AfxMessageBox(text, MB_OK | (m_job.failures.empty() ? 0 : MB_ICONEXCLAMATION));
    RefreshBackupList();
}

void CBackupDlg::RemoveSelectedBackups()
{
    const std::vector<std::string> names = TickedNames(kRemoveNoItemsText, kRemoveNoneTickedText);
    if (names.empty())
        return;
    std::string kept;
    for (const std::string& name : names) {
        if (RemoveBackupSets(BackupFolder(), {name}) != 1)
            kept += "\n" + name;
    }
    RefreshBackupList();
    if (!kept.empty())
        AfxMessageBox("These backups could not be removed completely:" + kept, MB_OK | MB_ICONEXCLAMATION);
}
