#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/thread.h"
#include "repair/clean_sweep.h"
#include "repair/repair.h"
#include "repair/restore_point.h"
#include "scan/problem.h"

// Messages the scan worker sends to its notification window, all but WM_SCAN_PROBLEM with wParam 0.
constexpr UINT WM_SCAN_DONE_REPAIRED = 0x62C;    // lParam 0
constexpr UINT WM_SCAN_DONE = 0x62D;             // lParam 0
constexpr UINT WM_SCAN_PATH = 0x62E;             // lParam: const char* place being read
// Problems come several to a message: wParam their count (1 or more), lParam an array of that many
// CRegistryProblem*, valid while the message is handled; the problems stay in g_arrProblems.
constexpr UINT WM_SCAN_PROBLEM = 0x62F;
constexpr UINT WM_SCAN_CATEGORY_BEGIN = 0x630;   // lParam: REGPROBLEM_TYPE
constexpr UINT WM_SCAN_CATEGORY_END = 0x631;     // lParam: REGPROBLEM_TYPE
constexpr UINT WM_SCAN_CATEGORY_SKIPPED = 0x632; // lParam: REGPROBLEM_TYPE

class CClassIndex;

// The scan engine: one per scan; the repair that may follow runs on the same object.
class CRegistryScanner : public CCleanSweep {
public:
    CRegistryScanner();
    ~CRegistryScanner() override;

    void SetCategorySelection(const uint8_t flags[kCategoryCount]);
    bool IsCategorySelected(REGPROBLEM_TYPE type) const { return m_abCategorySelected[type] != 0; }
    // Starts the worker; false when the thread could not be started or WrongBuildRefusal() refuses.
    bool StartScan(HWND window);
    // The start of a repair as the results page's repair button does it, without its message boxes.
    // selected is the number of problems the page has ticked. With the setting "rstrpont" on, the
    // worker asks for a restore point before its first removal.
    REPAIR_START StartRepair(HWND notify, int selected);
    // Where the scan's and the repair's messages go, for checks run without a worker (RunCheck).
    void SendNotificationsTo(HWND window) { m_hNotifyWnd = window; }

    // The worker, while or after it runs; null when none was started.
    const CWinThread* Worker() const { return m_pThread.get(); }
    bool WorkerStarted() const { return m_bRunning != 0; }
    // Waits until the worker has ended, meanwhile dispatching the calling thread's messages, so that
    // the worker's SendMessageA calls to a window of this thread are answered. A WM_QUIT that
    // arrives meanwhile is posted again afterwards. Returns at once when no worker was started.
    void WaitForScanEnd() const;
    // Ending the program or closing the page during a scan or repair: asks the worker to stop
    // (ending a pause) and waits for it as WaitForScanEnd does. The worker's last messages (the
    // skipped categories and WM_SCAN_DONE) are handled before this returns; afterwards the
    // notification window may go.
    void StopScanAndWait();
    // RequestStop was called: the worker ends at its next item.
    bool IsStopRequested() const { return m_bStopRequested != 0; }

    // Counted by the worker, read by the window's thread while it runs.
    int32_t Found(REGPROBLEM_TYPE type) const { return m_anFound[type]; }
    int32_t TotalFound() const { return m_nTotalFound; }
    // Problems the last repair removed, by category and in all.
    const int32_t (&FixedCounts() const)[kCategoryCount] { return m_anFixed; }
    int32_t TotalFixed() const { return m_nTotalFixed; }

    // Whether the repair takes the problem: ticked, of a known kind and of a category scanned.
    bool WillRepair(const CRegistryProblem& problem) const;
    // Removes every problem of g_arrProblems that WillRepair takes into one new backup set, on the
    // calling thread; first, when asked for (AskForRestorePointFirst), makes a restore point and,
    // when none could be made, asks the notification window (WM_REPAIR_ASK_RESTORE_POINT) whether
    // to go on. Without a window it goes on. What was gone already is logged and counted neither
    // fixed nor failed. False when the repair may not run here, the backup set could not be made
    // (RepairError says why) or the user cancelled (RepairCancelled): then nothing is removed.
    bool RunRepair();
    void AskForRestorePointFirst(bool ask) { m_bRestorePointFirst = ask; }
    // What the last repair came to: the restore point asked for first, the user's refusal to go on
    // without one, one outcome per problem taken, and why it removed nothing when it did not.
    const RESTORE_POINT_OUTCOME& RestorePoint() const { return m_restorePoint; }
    bool RepairCancelled() const { return m_bRepairCancelled; }
    const std::vector<REPAIR_OUTCOME>& RepairOutcomes() const { return m_arrRepairOutcomes; }
    const std::string& RepairError() const { return m_strRepairError; }

    // The scan worker's entry: param is the CRegistryScanner.
    static UINT ScanThreadProc(void* param);

    // Filters, stores, counts, logs and announces one finding (or keeps it, while its category's
    // findings are kept for later: KeepFindings); takes ownership of it.
    bool ReportProblem(std::unique_ptr<CRegistryProblem> problem);
    void RequestStop();

    // The scan's bookkeeping, done on the thread of the window that follows the scan (the second
    // scan page, hivora-cli's session) as the worker's messages arrive: the log lines of a category's
    // begin and end, the user's stop (the worker ends at its next item), and the finished state's
    // statistics, where this scan's found counts replace the last one's.
    void LogCategoryBegin(REGPROBLEM_TYPE type) const;
    void LogCategoryEnd(REGPROBLEM_TYPE type) const;
    void StopByUser();
    void StoreFoundCounts() const;

    // Called by the checks after each item: waits while the scan is paused, then tells whether
    // the walk must end.
    bool StopRequested();
    // Announces the place a check is about to read (WM_SCAN_PATH). Only places that are due for
    // display are sent (ScanPathDue); the page shows every one it receives.
    void SendPath(const char* text);
    void SendPath(const std::string& text) { SendPath(text.c_str()); }
    // Sends one of the scan messages to the notification window, after the problems not yet
    // announced.
    LRESULT Notify(UINT message, LPARAM lParam);

    // Cooperative pause (the Stop button's confirmation): the worker waits at its next item, or
    // before its next category, until Resume or RequestStop.
    void Pause();
    void Resume();

    // Runs the check of one category on the calling thread (the worker's step for each category).
    virtual void RunCheck(REGPROBLEM_TYPE type);

    // Checks that share one walk of a tree: the first category runs it, the later ones' findings
    // are kept, in parts (one per tree, in the later check's own order), until their own turn.
    // From KeepFindings on, ReportProblem keeps type's findings in part; EndKeeping ends that, the
    // findings counting (complete) only when the walk ended as it should.
    void KeepFindings(REGPROBLEM_TYPE type, size_t part);
    void EndKeeping(REGPROBLEM_TYPE type, bool complete);
    // When type's findings were kept by a complete walk: reports them in their order (announcing
    // each key as the place being read, ending at Stop) and returns true; else false.
    bool ReportKept(REGPROBLEM_TYPE type);
    // What the shared walk read of the machine's classes, for the class checks after the one that
    // ran it (class_index.h); null when no walk read them for this selection.
    const CClassIndex* ClassIndex() const { return m_classIndex.get(); }
    void KeepClassIndex(std::unique_ptr<const CClassIndex> index);

private:
    struct KEPT {
        bool keeping = false;
        bool complete = false;
        size_t part = 0;
        std::vector<std::vector<std::unique_ptr<CRegistryProblem>>> parts;
    };
    // The repair worker: RepairAndNotify.
    static UINT RepairThreadProc(void* param);
    // Stores the notification window, marks the worker started and not asked to stop, and starts
    // proc(this) on a new thread; false when it could not be started.
    bool StartWorker(ThreadProc proc, HWND window);
    // Sends WM_SCAN_PROBLEM for the problems reported since the last one.
    void AnnounceProblems();
    // RunRepair, then WM_SCAN_DONE_REPAIRED to the notification window, and only then, when the
    // repair ran, g_arrProblems emptied: the window still sees the problems while it handles the
    // message.
    void RepairAndNotify();
    // The repair's steps: the restore point asked for first (false when the user, told that none
    // could be made, chose not to go on), and the removal of one problem, logged and counted (false
    // when the repair must stop there: a backup write failed).
    bool RestorePointFirst();
    bool RepairProblem(const CRegistryProblem& problem, int (&fixed)[kCategoryCount]);

    std::atomic<int32_t> m_bStopRequested{0};
    std::unique_ptr<CWinThread> m_pThread;
    HWND m_hNotifyWnd = nullptr;
    // Counted by the worker, read by the window's thread while it runs.
    std::atomic<int32_t> m_anFound[kCategoryCount] = {};
    int32_t m_anFixed[kCategoryCount] = {};
    std::atomic<int32_t> m_nTotalFound = 0;
    int32_t m_nTotalFixed = 0;
    uint8_t m_bRunning = 0;
    uint8_t m_abCategorySelected[kCategoryCount] = {};
    // Whether the repair asks for a restore point before its first removal, and what that came to.
    bool m_bRestorePointFirst = false;
    RESTORE_POINT_OUTCOME m_restorePoint;
    // The user chose not to repair without a restore point: nothing was removed.
    bool m_bRepairCancelled = false;
    // The last repair run: one entry per problem taken, and why it stopped if it removed nothing.
    std::vector<REPAIR_OUTCOME> m_arrRepairOutcomes;
    std::string m_strRepairError;
    KEPT m_kept[kCategoryCount];
    std::unique_ptr<const CClassIndex> m_classIndex;
    std::vector<CRegistryProblem*> m_unannounced;
    DWORD m_dwUnannouncedSince = 0; // when the first of them was reported
    std::unordered_map<std::string, bool> m_reportableKeys; // key path -> accessible and not volatile, this scan
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseChanged;
    bool m_bPaused = false;
};

// Why this program may not scan, repair or restore here, or null when it may: the 32-bit build on
// 64-bit Windows sees only the 32-bit half of the registry and a redirected file system, so what it
// found there would not be real and what it restored would land in the 32-bit half. build32 and
// wow64 describe the program and the system.
const char* WrongBuildRefusal(bool build32, bool wow64);
// The same for the running program (IsWow64Process).
const char* WrongBuildRefusal();

// The engine of the current scan.
extern std::unique_ptr<CRegistryScanner> g_pScanner;

// Runs the check of one category on the calling thread.
void RunCategoryCheck(CRegistryScanner& engine, REGPROBLEM_TYPE type);

// The page shows a place at most once per 101 ms (by GetTickCount), the time of the last one shown
// surviving from scan to scan. True when a place sent now would be shown; it then counts as shown.
bool ScanPathDue();
