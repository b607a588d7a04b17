#include "framework/thread.h"

#include <process.h>

#include "framework/fault.h"

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
        ReportCaughtFault("worker thread");
        return 1;
    }
}

} // namespace

bool CWinThread::Wait(DWORD milliseconds) const
{
    return WaitForSingleObject(m_hThread.get(), milliseconds) == WAIT_OBJECT_0;
}

bool CWinThread::WaitDispatching(DWORD milliseconds) const
{
    return WaitDispatchingMessages(m_hThread.get(), milliseconds);
}

bool WaitDispatchingMessages(HANDLE handle, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    bool quit = false;
    WPARAM quitCode = 0;
    bool signalled = false;
    for (;;) {
        DWORD wait = INFINITE;
        if (milliseconds != INFINITE) {
            const DWORD spent = GetTickCount() - start;
            wait = spent >= milliseconds ? 0 : milliseconds - spent;
        }
        const DWORD rc = MsgWaitForMultipleObjectsEx(1, &handle, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (rc == WAIT_OBJECT_0) {
            signalled = true;
            break;
        }
        if (rc != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
    return signalled;
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
