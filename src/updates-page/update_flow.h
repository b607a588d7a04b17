#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

class CPageWorker;

// Status line numbers: the program, the definitions database, a general line; kLatestSoftwareBox
// asks for the box that tells the program is up to date.
enum UPDATE_LINE { kLineSoftware = 1, kLineDatabase = 2, kLineGeneral = 3, kLatestSoftwareBox = 6 };

// The address of the update list: "http://" + the server of the setting "updatesrv" (host or
// host:port; the product's own server when empty) + "/updates/updates.asp".
std::string UpdateListUrl();

// The main program's side of one update check: its run through Patchwell on a page's worker, and
// the callbacks that turn its events into status lines, questions and message boxes. The worker
// holds a share of it: a check the closing program leaves behind may outlive the page.
class CUpdateFlow : public std::enable_shared_from_this<CUpdateFlow> {
public:
    // page receives the status lines.
    explicit CUpdateFlow(HWND page) : m_hPage(page) {}

    // Runs the check on worker; false when it could not be started.
    bool Start(CPageWorker& worker);
    // From now on the check asks nothing, shows no box and fetches nothing more: the window is
    // closing.
    void Silence() { m_bSilenced = true; }

private:
    static UINT Run(void* param);
    // Patchwell's callbacks; they run on the worker and reach the check running there.
    static bool StatusProc(int code, const char* text);
    static bool ConfirmProc(const char* name, const char* version);

    bool OnStatus(int code, const char* text);
    bool OnConfirm(const char* name, const char* version);
    // Hands one status text to the page; kLatestSoftwareBox shows "Latest software already
    // installed" instead (the text is not shown).
    void ShowStatus(int line, const std::string& text) const;
    // A message box of the check, asked by the window's thread, which also decides whether the
    // window is closing: no box opens once closing has begun.
    int Ask(const char* text, UINT type) const;

    const HWND m_hPage;
    // Set by the window's thread when the program closes; read by the worker too.
    std::atomic<bool> m_bSilenced{false};
    // The program version the server offers, for the download text.
    std::string m_strNewSoftwareVersion;
    // The check that the worker of this thread runs.
    static thread_local CUpdateFlow* s_pRunning;
};

// Sent by the worker with a status line: wParam the line, lParam the text (const char*).
constexpr UINT WM_UPDATE_STATUS_LINE = WM_APP + 0x102;
