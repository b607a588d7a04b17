#include <windows.h>

#include "shell/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    CHivoraApp app;
    app.InitInstance(commandLine ? commandLine : "");
    return 0;
}
