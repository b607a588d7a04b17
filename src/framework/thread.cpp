#include "framework/thread.h"

#include <process.h>

namespace {

struct Start {
    ThreadProc proc;
    void* param;
};

unsigned __stdcall Entry(void* arg)
{
    const Start start = *static_cast<Start*>(arg);
    delete static_cast<Start*>(arg);
    try {
        return start.proc(start.param);
    } catch (...) {
        return 1;
    }
}

} // namespace

bool CWinThread::Wait(DWORD milliseconds) const
{
    return WaitForSingleObject(m_hThread.get(), milliseconds) == WAIT_OBJECT_0;
}

std::unique_ptr<CWinThread> AfxBeginThread(ThreadProc proc, void* param)
{
    auto thread = std::make_unique<CWinThread>();
    auto* start = new Start{proc, param};
    unsigned id = 0;
    const uintptr_t h = _beginthreadex(nullptr, 0, Entry, start, 0, &id);
    if (h == 0) {
        delete start;
        return nullptr;
    }
    thread->m_hThread.reset(reinterpret_cast<HANDLE>(h));
    thread->m_nThreadID = id;
    return thread;
}
