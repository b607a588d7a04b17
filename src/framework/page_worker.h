#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "framework/handles.h"
#include "framework/thread.h"

class CDialog;

// The worker thread of a page and the states around it, the same for every page that runs one.
//
// - Start runs a procedure on a new thread; Watch takes on a thread started elsewhere (the scan
//   engine starts its own). Either makes the worker busy.
// - Once the thread has ended, however it ended (an exception included), the page's OnWorkerEnd
//   runs on the window's thread and the worker is idle again. While a message box or another modal
//   dialog of the window's thread is open, the end waits until the last of them has closed, so that
//   the page never opens a box over a question still being answered.
// - The program's close path (BeginClosing, then WaitForAll) asks every busy worker to stop and
//   waits for it while messages are dispatched. A worker with a time limit is left behind when the
//   limit passes, unless it holds on (HoldToEnd); the process then ends without waiting for it.
// All of it but HoldToEnd is for the window's thread only.
class CPageWorker {
public:
    // An exclusive worker changes what other work relies on (the registry, the problem list, the
    // backup sets): while one is busy, no other work may start (AnyExclusiveBusy).
    CPageWorker(CDialog& page, bool exclusive);
    ~CPageWorker();
    CPageWorker(const CPageWorker&) = delete;
    CPageWorker& operator=(const CPageWorker&) = delete;

    // How the close path ends this worker early (empty: it is only waited for), and how long it
    // waits for the end, counted from the start of the close (INFINITE: however long it takes).
    void SetCloseRule(std::function<void()> stop, DWORD limit = INFINITE);

    // False when the worker is busy or no thread could be started.
    bool Start(ThreadProc proc, void* param);
    // False when the worker is busy or the thread cannot be waited for.
    bool Watch(const CWinThread& thread);
    // Started or watched, and its end not handled yet.
    bool IsBusy() const { return m_bBusy; }

    // Called on a worker's own thread (one that Start started): from here on the close path waits
    // for this worker's end without a limit. False when it has been left behind already: it must
    // then not begin what it wanted to finish. Other threads get true.
    static bool HoldToEnd();

    static bool AnyExclusiveBusy();

    // The close path. BeginClosing asks every busy worker to stop; from then on IsClosing is true
    // (message boxes answer IDCANCEL without showing). WaitForAll waits for each worker as its rule
    // says, dispatching messages, and runs the ends that are due, with IsClosing still true.
    static void BeginClosing();
    static bool IsClosing();
    static void WaitForAll();
    // A worker was left behind: the process must end without waiting for it (ExitProcess).
    static bool AnyLeftBehind();

    // The framework's own message that carries an end to the page (wParam the run, lParam the worker).
    static void OnEndMessage(WPARAM run, LPARAM worker);
    // Called by CModalScope when the last modal window has closed: the ends held back meanwhile
    // are posted again.
    static void ReleaseHeldEnds();

private:
    bool Begin(KernelHandle thread, bool own);
    void Deliver();
    void Finish();
    void WaitForClose();
    static void CALLBACK ThreadEnded(void* context, BOOLEAN timedOut);

    CDialog& m_page;
    const bool m_bExclusive;
    std::function<void()> m_stop;
    DWORD m_dwCloseLimit = INFINITE;
    bool m_bBusy = false;
    bool m_bEndHeld = false;
    // Which start an end message belongs to: one that arrives after a newer start is stale.
    WPARAM m_nRun = 0;
    HWND m_hPage = nullptr;
    // Kept after the end until the next start, so that a close wait may still be using it.
    KernelHandle m_hThread;
    bool m_bOwnThread = false;
    WaitRegistration m_wait;
    // Free, held to its end, or left behind; shared with the thread, which may outlive the object.
    std::shared_ptr<std::atomic<int>> m_pHold;
};

// Marks the window's thread as showing a modal window (a message box, a modal dialog) for the
// scope's lifetime: worker ends wait meanwhile.
class CModalScope {
public:
    CModalScope();
    ~CModalScope();
    CModalScope(const CModalScope&) = delete;
    CModalScope& operator=(const CModalScope&) = delete;
};

constexpr UINT WM_PAGE_WORKER_ENDED = WM_APP + 0x3F1;
