#include "framework/page_worker.h"

#include <algorithm>
#include <vector>

#include "framework/dialog.h"

namespace {

constexpr int kHoldFree = 0;
constexpr int kHoldHeld = 1;
constexpr int kHoldLeft = 2;

// Every page worker of the program and the program's close, which they all take part in. Made,
// used and changed on the window's thread only; the closing flag is read by any thread.
struct WORKER_SET {
    std::vector<CPageWorker*> all;
    std::atomic<bool> bClosing{false};
    DWORD dwCloseStart = 0;
    bool bLeftBehind = false;
};

WORKER_SET& Workers()
{
    static WORKER_SET workers;
    return workers;
}

thread_local int t_nModalDepth = 0;
// The hold state of the page worker running on this thread (threads that Start started).
thread_local std::shared_ptr<std::atomic<int>> t_pHold;

struct START {
    ThreadProc proc;
    void* param;
    std::shared_ptr<std::atomic<int>> hold;
};

UINT RunStarted(void* arg)
{
    const std::unique_ptr<START> start(static_cast<START*>(arg));
    t_pHold = start->hold;
    return start->proc(start->param);
}

} // namespace

CPageWorker::CPageWorker(CDialog& page, bool exclusive) : m_page(page), m_bExclusive(exclusive)
{
    Workers().all.push_back(this);
}

CPageWorker::~CPageWorker()
{
    m_wait.reset();
    // A thread of the page's own works on the page's data. The close path has waited for it
    // already, or left it behind to end with the process; this is the last resort.
    if (m_bBusy && m_bOwnThread && m_hThread)
        WaitForSingleObject(m_hThread.get(), INFINITE);
    auto& all = Workers().all;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void CPageWorker::SetCloseRule(std::function<void()> stop, DWORD limit)
{
    m_stop = std::move(stop);
    m_dwCloseLimit = limit;
}

bool CPageWorker::Start(ThreadProc proc, void* param)
{
    if (m_bBusy)
        return false;
    auto hold = std::make_shared<std::atomic<int>>(kHoldFree);
    auto* start = new START{proc, param, hold};
    std::unique_ptr<CWinThread> thread = AfxBeginThread(RunStarted, start);
    if (!thread) {
        delete start;
        return false;
    }
    m_pHold = std::move(hold);
    return Begin(std::move(thread->m_hThread), true);
}

bool CPageWorker::Watch(const CWinThread& thread)
{
    HANDLE copy = nullptr;
    if (m_bBusy || !thread.m_hThread ||
        !DuplicateHandle(GetCurrentProcess(), thread.m_hThread.get(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0))
        return false;
    m_pHold = std::make_shared<std::atomic<int>>(kHoldFree);
    return Begin(KernelHandle(copy), false);
}

bool CPageWorker::Begin(KernelHandle thread, bool own)
{
    m_wait.reset();
    m_hThread = std::move(thread);
    m_bOwnThread = own;
    m_hPage = m_page.GetSafeHwnd();
    ++m_nRun;
    m_bBusy = true;
    m_bEndHeld = false;
    if (!RegisterWaitForSingleObject(m_wait.put(), m_hThread.get(), ThreadEnded, this, INFINITE,
                                     WT_EXECUTEONLYONCE)) {
        // Without the system's wait, the end is found by waiting for it here.
        WaitDispatchingMessages(m_hThread.get());
        PostMessageA(m_hPage, WM_PAGE_WORKER_ENDED, m_nRun, reinterpret_cast<LPARAM>(this));
    }
    return true;
}

void CALLBACK CPageWorker::ThreadEnded(void* context, BOOLEAN)
{
    const auto* self = static_cast<const CPageWorker*>(context);
    PostMessageA(self->m_hPage, WM_PAGE_WORKER_ENDED, self->m_nRun, reinterpret_cast<LPARAM>(self));
}

void CPageWorker::OnEndMessage(WPARAM run, LPARAM worker)
{
    const auto& all = Workers().all;
    const auto found = std::find(all.begin(), all.end(), reinterpret_cast<CPageWorker*>(worker));
    if (found != all.end() && (*found)->m_nRun == run)
        (*found)->Deliver();
}

void CPageWorker::Deliver()
{
    if (!m_bBusy)
        return;
    if (t_nModalDepth > 0 && !Workers().bClosing) {
        m_bEndHeld = true;
        return;
    }
    Finish();
}

void CPageWorker::Finish()
{
    m_bBusy = false;
    m_bEndHeld = false;
    m_wait.reset();
    m_page.OnWorkerEnd(*this);
}

void CPageWorker::ReleaseHeldEnds()
{
    for (CPageWorker* worker : Workers().all) {
        if (worker->m_bBusy && worker->m_bEndHeld) {
            worker->m_bEndHeld = false;
            PostMessageA(worker->m_hPage, WM_PAGE_WORKER_ENDED, worker->m_nRun, reinterpret_cast<LPARAM>(worker));
        }
    }
}

bool CPageWorker::HoldToEnd()
{
    if (!t_pHold)
        return true;
    int expected = kHoldFree;
    return t_pHold->compare_exchange_strong(expected, kHoldHeld) || expected == kHoldHeld;
}

bool CPageWorker::AnyExclusiveBusy()
{
    const auto& all = Workers().all;
    return std::any_of(all.begin(), all.end(), [](const CPageWorker* w) { return w->m_bExclusive && w->m_bBusy; });
}

void CPageWorker::BeginClosing()
{
    WORKER_SET& workers = Workers();
    if (workers.bClosing)
        return;
    workers.bClosing = true;
    workers.dwCloseStart = GetTickCount();
    for (CPageWorker* worker : workers.all) {
        if (worker->m_bBusy && worker->m_stop)
            worker->m_stop();
    }
}

bool CPageWorker::IsClosing()
{
    return Workers().bClosing;
}

void CPageWorker::WaitForAll()
{
    // Ends handled meanwhile may not add or remove workers, but a copy costs nothing.
    const std::vector<CPageWorker*> all = Workers().all;
    for (CPageWorker* worker : all)
        worker->WaitForClose();
}

bool CPageWorker::AnyLeftBehind()
{
    return Workers().bLeftBehind;
}

void CPageWorker::WaitForClose()
{
    if (!m_bBusy)
        return;
    DWORD wait = INFINITE;
    if (m_dwCloseLimit != INFINITE) {
        const DWORD spent = GetTickCount() - Workers().dwCloseStart;
        wait = spent >= m_dwCloseLimit ? 0 : m_dwCloseLimit - spent;
    }
    // The end may be handled while this dispatches; the thread handle stays open until a new start.
    if (!WaitDispatchingMessages(m_hThread.get(), wait)) {
        int expected = kHoldFree;
        if (m_pHold->compare_exchange_strong(expected, kHoldLeft)) {
            m_bBusy = false;
            m_wait.reset();
            Workers().bLeftBehind = true;
            return;
        }
        WaitDispatchingMessages(m_hThread.get());
    }
    if (m_bBusy)
        Finish();
}

CModalScope::CModalScope()
{
    ++t_nModalDepth;
}

CModalScope::~CModalScope()
{
    if (--t_nModalDepth == 0)
        CPageWorker::ReleaseHeldEnds();
}
