#pragma once

#include <windows.h>

#include <memory>

#include "framework/handles.h"

// A started worker thread: its handle and id. Destroying it does not stop the thread.
struct CWinThread {
    KernelHandle m_hThread;
    DWORD m_nThreadID = 0;

    // Waits for the thread to end; true when it has ended within the time given.
    bool Wait(DWORD milliseconds = INFINITE) const;
    // The same wait for a thread that owns windows: meanwhile dispatches the calling thread's
    // messages, so that the worker's SendMessageA calls to its windows are answered.
    bool WaitDispatching(DWORD milliseconds = INFINITE) const;
};

// Waits for handle to be signalled while dispatching the calling thread's messages. A WM_QUIT that
// arrives meanwhile is posted again afterwards. True when signalled within the time given.
bool WaitDispatchingMessages(HANDLE handle, DWORD milliseconds = INFINITE);

using ThreadProc = UINT (*)(void* param);

// Starts proc(param) on a new thread at normal priority with the default stack, running at once.
// An exception leaving proc is reported (framework/fault.h) and ends the thread with exit code 1
// instead of crossing the entry point.
// Null when the thread could not be started.
std::unique_ptr<CWinThread> AfxBeginThread(ThreadProc proc, void* param);
