#include <windows.h>

#include "framework/page_worker.h"
#include "shell/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    // Libraries loaded later come from the program's folder and the system's, never the current folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    // No "insert a disk" or "cannot find the file" box may stop a scan that asks about a drive without
    // its medium: the error comes back to the call instead (SetErrorMode documentation).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    CHivoraApp app;
    app.InitInstance(commandLine ? commandLine : "");
    // A worker the close left behind (an update check stuck on the network) ends with the process
    // here, before anything it may still use is torn down.
    if (CPageWorker::AnyLeftBehind())
        ExitProcess(0);
    return 0;
}
