#pragma once

#include <windows.h>

// Status events of an update check; the numbers are the interface.
enum AU_STATUS {
    AuConnected = 1,
    AuDownloading = 2,
    AuProductDone = 3,
    AuDownloadFailed = 4,
    AuConnecting = 7,
    AuReadyToInstall = 8,
    AuError = 10,
    AuFinished = 11,
};

// text is null for events that carry none; the result is ignored.
typedef bool (*AuStatusProc)(int code, const char* text);
// Called with (null, null) when the list has arrived, then per product; true downloads it.
typedef bool (*AuConfirmProc)(const char* name, const char* version);

extern "C" {
// One whole update pass on the calling thread. May end the calling process (exit code 0) when a
// product must be installed after the program has ended.
void AuCheckForUpdates(const char* url, AuConfirmProc confirm, AuStatusProc status);

// Installs what a check downloaded; rundll32's entry signature. The command line names the check's
// update folder, which lies beside Patchwell.dll (the check starts rundll32 with it). Returns 1
// after a run, 0 when no install list can be read there or the list names another folder.
int CALLBACK InstallUpdates(HWND window, HINSTANCE instance, LPSTR commandLine, int show);
}
