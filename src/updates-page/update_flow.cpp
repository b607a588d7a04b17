#include "updates-page/update_flow.h"

#include <mbstring.h>

#include <atomic>

#include "framework/dialog.h"
#include "framework/msgbox.h"
#include "framework/page_worker.h"
#include "shell/product.h"
#include "shell/settings.h"
#include "updater/patchwell.h"

namespace {

// The window of the running check's page; one check runs at a time.
std::atomic<HWND> g_hUpdateWindow{nullptr};
// Set by the window's thread when the program closes; read by the worker too.
std::atomic<bool> g_bSilenced{false};
// The program version the server offers, for the download text.
std::string g_strNewSoftwareVersion;

bool IsName(const char* name, const char* wanted)
{
    return name && lstrcmpiA(name, wanted) == 0;
}

// Versions compare as texts (so 2.1.10 comes before 2.1.4), without regard to case.
bool IsOlder(const std::string& installed, const char* offered)
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(installed.c_str()),
                    reinterpret_cast<const unsigned char*>(offered ? offered : "")) < 0;
}

// A message box of the running check, asked by the window's thread, which also decides whether
// the window is closing: no box opens once closing has begun.
int Ask(const char* text, UINT type)
{
    return static_cast<int>(RunOnWindowThread(g_hUpdateWindow, [&]() -> LRESULT {
        return g_bSilenced ? 0 : AfxMessageBox(text, type);
    }));
}

} // namespace

std::string UpdateListUrl()
{
    std::string server = ReadSettingString("updatesrv");
    if (server.empty())
        server = kProductHost;
    return "http://" + server + "/updates/updates.asp";
}

void SilenceUpdateCheck()
{
    g_bSilenced = true;
}

void ShowUpdateStatus(int line, const std::string& text)
{
    if (line == kLatestSoftwareBox) {
        Ask("Latest software already installed", MB_ICONINFORMATION);
        return;
    }
    const HWND page = g_hUpdateWindow;
    if (page && IsWindow(page))
        SendMessageA(page, WM_UPDATE_STATUS_LINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text.c_str()));
}

bool OnUpdateStatus(int code, const char* text)
{
    switch (code) {
    case AuConnecting:
        ShowUpdateStatus(kLineDatabase, "Connecting to update server....");
        break;
    case AuConnected:
        ShowUpdateStatus(kLineSoftware, "Connected to server");
        break;
    case AuDownloading:
        if (IsName(text, "software")) {
            ShowUpdateStatus(kLineSoftware, "Downloading new software version " + g_strNewSoftwareVersion + " ....");
        } else if (IsName(text, "database")) {
            ShowUpdateStatus(kLineDatabase, "");
        }
        break;
    case AuProductDone:
        if (IsName(text, "software")) {
            ShowUpdateStatus(kLineSoftware, "Software updates completed ....");
            ShowUpdateStatus(kLineGeneral, " ");
        } else if (IsName(text, "database")) {
            ShowUpdateStatus(kLineDatabase, "Database updates completed ....");
            ShowUpdateStatus(kLineGeneral, " ");
        }
        break;
    case AuReadyToInstall:
        // From here the installation runs in this process: the close waits for it to the end. A
        // check the closing program has left behind installs nothing: it waits for the process's end.
        if (!CPageWorker::HoldToEnd()) {
            for (;;)
                Sleep(INFINITE);
        }
        Ask("New downloaded updates are ready to be installed.\n[Note: This may restart application.]",
            MB_ICONINFORMATION);
        break;
    case AuError: {
        const std::string error = text ? text : "";
        ShowUpdateStatus(kLineSoftware, error);
        ShowUpdateStatus(kLineDatabase, error);
        ShowUpdateStatus(kLineGeneral, "");
        break;
    }
    case AuFinished:
        ShowUpdateStatus(kLineGeneral, "");
        break;
    default:
        break;
    }
    return true;
}

bool OnUpdateConfirm(const char* name, const char* version)
{
    if (!name && !version) {
        ShowUpdateStatus(kLineDatabase, "Checking for new database updates...");
        ShowUpdateStatus(kLineSoftware, "Checking for new software updates...");
        return true;
    }
    const std::string offered = version ? version : "";
    // The program is closing: nothing more is fetched.
    if (g_bSilenced)
        return false;
    if (IsName(name, "database")) {
        if (IsOlder(ReadSettingString("database"), offered.c_str())) {
            ShowUpdateStatus(kLineDatabase, "New database definitions found.");
            // Stored before the download: a failed download is not offered again.
            WriteSettingString("database", offered);
            return true;
        }
        ShowUpdateStatus(kLineDatabase, "Latest database definitions already installed.");
        ShowUpdateStatus(kLineGeneral, "Latest database definitions already installed.");
        return false;
    }
    if (IsName(name, "software")) {
        if (IsOlder(kProductVersion, offered.c_str())) {
            if (!offered.empty())
                g_strNewSoftwareVersion = offered;
            if (Ask("New software updates found.\nDo you want to download and install?", MB_YESNO | MB_ICONQUESTION) ==
                IDYES) {
                ShowUpdateStatus(kLineSoftware, "Downloading software updates..");
                return true;
            }
            ShowUpdateStatus(kLineSoftware, "New software update cancelled by user.");
            return false;
        }
        ShowUpdateStatus(kLineSoftware, "You are already running latest version of Hivora.");
        ShowUpdateStatus(kLatestSoftwareBox, "You are already running latest version of Hivora.");
        return false;
    }
    return false;
}

UINT UpdateCheckThread(void* param)
{
    const HWND page = static_cast<HWND>(param);
    g_hUpdateWindow = page;
    const std::string url = UpdateListUrl();
    AuCheckForUpdates(url.c_str(), OnUpdateConfirm, OnUpdateStatus);
    return 1;
}
