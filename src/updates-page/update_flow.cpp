#include "updates-page/update_flow.h"

#include <mbstring.h>

#include "framework/dialog.h"
#include "framework/msgbox.h"
#include "framework/page_worker.h"
#include "shell/product.h"
#include "shell/settings.h"
#include "updater/patchwell.h"

namespace {

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

} // namespace

thread_local CUpdateFlow* CUpdateFlow::s_pRunning = nullptr;

std::string UpdateListUrl()
{
    std::string server = ReadSettingString("updatesrv");
    if (server.empty())
        server = kProductHost;
    return "http://" + server + "/updates/updates.asp";
}

bool CUpdateFlow::Start(CPageWorker& worker)
{
    auto share = std::make_unique<std::shared_ptr<CUpdateFlow>>(shared_from_this());
    if (!worker.Start(Run, share.get()))
        return false;
    // The thread owns its share from here.
    static_cast<void>(share.release());
    return true;
}

UINT CUpdateFlow::Run(void* param)
{
    const std::unique_ptr<std::shared_ptr<CUpdateFlow>> share(static_cast<std::shared_ptr<CUpdateFlow>*>(param));
    s_pRunning = share->get();
    const std::string url = UpdateListUrl();
    AuCheckForUpdates(url.c_str(), ConfirmProc, StatusProc);
    s_pRunning = nullptr;
    return 1;
}

bool CUpdateFlow::StatusProc(int code, const char* text)
{
    return s_pRunning ? s_pRunning->OnStatus(code, text) : true;
}

bool CUpdateFlow::ConfirmProc(const char* name, const char* version)
{
    return s_pRunning && s_pRunning->OnConfirm(name, version);
}

int CUpdateFlow::Ask(const char* text, UINT type) const
{
    return static_cast<int>(RunOnWindowThread(m_hPage, [&]() -> LRESULT {
        return m_bSilenced ? 0 : AfxMessageBox(text, type);
    }));
}

void CUpdateFlow::ShowStatus(int line, const std::string& text) const
{
    if (line == kLatestSoftwareBox) {
        Ask("Latest software already installed", MB_ICONINFORMATION);
        return;
    }
    if (m_hPage && IsWindow(m_hPage))
        SendMessageA(m_hPage, WM_UPDATE_STATUS_LINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text.c_str()));
}

bool CUpdateFlow::OnStatus(int code, const char* text)
{
    switch (code) {
    case AuConnecting:
        ShowStatus(kLineDatabase, "Connecting to update server....");
        break;
    case AuConnected:
        ShowStatus(kLineSoftware, "Connected to server");
        break;
    case AuDownloading:
        if (IsName(text, "software")) {
            ShowStatus(kLineSoftware, "Downloading new software version " + m_strNewSoftwareVersion + " ....");
        } else if (IsName(text, "database")) {
            ShowStatus(kLineDatabase, "");
        }
        break;
    case AuProductDone:
        if (IsName(text, "software")) {
            ShowStatus(kLineSoftware, "Software updates completed ....");
            ShowStatus(kLineGeneral, " ");
        } else if (IsName(text, "database")) {
            ShowStatus(kLineDatabase, "Database updates completed ....");
            ShowStatus(kLineGeneral, " ");
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
        ShowStatus(kLineSoftware, error);
        ShowStatus(kLineDatabase, error);
        ShowStatus(kLineGeneral, "");
        break;
    }
    case AuFinished:
        ShowStatus(kLineGeneral, "");
        break;
    default:
        break;
    }
    return true;
}

bool CUpdateFlow::OnConfirm(const char* name, const char* version)
{
    if (!name && !version) {
        ShowStatus(kLineDatabase, "Checking for new database updates...");
        ShowStatus(kLineSoftware, "Checking for new software updates...");
        return true;
    }
    const std::string offered = version ? version : "";
    // The program is closing: nothing more is fetched.
    if (m_bSilenced)
        return false;
    if (IsName(name, "database")) {
        if (IsOlder(ReadSettingString("database"), offered.c_str())) {
            ShowStatus(kLineDatabase, "New database definitions found.");
            // Stored before the download: a failed download is not offered again.
            WriteSettingString("database", offered);
            return true;
        }
        ShowStatus(kLineDatabase, "Latest database definitions already installed.");
        ShowStatus(kLineGeneral, "Latest database definitions already installed.");
        return false;
    }
    if (IsName(name, "software")) {
        if (IsOlder(kProductVersion, offered.c_str())) {
            if (!offered.empty())
                m_strNewSoftwareVersion = offered;
            if (Ask("New software updates found.\nDo you want to download and install?", MB_YESNO | MB_ICONQUESTION) ==
                IDYES) {
                ShowStatus(kLineSoftware, "Downloading software updates..");
                return true;
            }
            ShowStatus(kLineSoftware, "New software update cancelled by user.");
            return false;
        }
        ShowStatus(kLineSoftware, "You are already running latest version of Hivora.");
        ShowStatus(kLatestSoftwareBox, "You are already running latest version of Hivora.");
        return false;
    }
    return false;
}
