#pragma once

#include <windows.h>

#include <string>

// The main program's side of an update check: the worker that runs one check through Patchwell,
// and the callbacks that turn its events into status lines, questions and message boxes.

// Status line numbers: the program, the definitions database, a general line; kLatestSoftwareBox
// asks for the box that tells the program is up to date.
enum UPDATE_LINE { kLineSoftware = 1, kLineDatabase = 2, kLineGeneral = 3, kLatestSoftwareBox = 6 };

// The address of the update list: "http://" + the server of the setting "updatesrv" (host or
// host:port; the product's own server when empty) + "/updates/updates.asp".
std::string UpdateListUrl();

// The worker of one check. param is the updates page's window: it receives the status lines.
// Returns 1.
UINT UpdateCheckThread(void* param);

// Patchwell's callbacks; they run on the worker.
bool OnUpdateStatus(int code, const char* text);
bool OnUpdateConfirm(const char* name, const char* version);

// Hands one status text to the updates page; kLatestSoftwareBox shows "Latest software already
// installed" instead (the text is not shown).
void ShowUpdateStatus(int line, const std::string& text);

// From now on the running check asks nothing, shows no box and fetches nothing more: the window
// is closing.
void SilenceUpdateCheck();

// Sent by the worker with a status line: wParam the line, lParam the text (const char*).
constexpr UINT WM_UPDATE_STATUS_LINE = WM_APP + 0x102;
