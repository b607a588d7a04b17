#include <windows.h>

#include "shell/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    // Libraries loaded later come from the program's folder and the system's, never the current folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    CHivoraApp app;
    app.InitInstance(commandLine ? commandLine : "");
    return 0;
}
