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
};

using ThreadProc = UINT (*)(void* param);

// Starts proc(param) on a new thread at normal priority with the default stack, running at once.
// An exception leaving proc ends the thread with exit code 1 instead of crossing the entry point.
// Null when the thread could not be started.
std::unique_ptr<CWinThread> AfxBeginThread(ThreadProc proc, void* param);
