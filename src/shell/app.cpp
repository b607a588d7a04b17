#include "shell/app.h"

#include <windows.h>
#include <commctrl.h>

#include "framework/com_ptr.h"
#include "framework/error.h"
#include "framework/handles.h"
#include "framework/paths.h"
#include "framework/product_name.h"
#include "repair/restore_point.h"
#include "shell/logfile.h"
#include "shell/main_dlg.h"
#include "shell/settings.h"
#include "shell/splash.h"
#include "shell/startup_log.h"

namespace {

// The first instance's main window: titled like it and marked as this program's.
HWND FindFirstInstance()
{
    HWND found = nullptr;
    for (HWND wnd = FindWindowExA(nullptr, nullptr, nullptr, HV_PRODUCT_NAME); wnd;
         wnd = FindWindowExA(nullptr, wnd, nullptr, HV_PRODUCT_NAME)) {
        if (GetPropA(wnd, kMainWindowProp)) {
            found = wnd;
            break;
        }
    }
    return found;
}

void WriteFirstRunDefaults()
{
    WriteSettingInt("runhivorastartup", 1);
    static const struct {
        const char* key;
        int value;
    } defaults[] = {
        {"comactx", 1}, {"uninsta", 1}, {"fonts", 1},   {"shardll", 1}, {"apppath", 1},
        {"helpfil", 1}, {"winstrt", 1}, {"fileref", 1}, {"shrtcut", 0}, {"emptkey", 1},
        {"fileass", 1}, {"sundapp", 1}, {"clskeys", 1}, {"typelib", 1}, {"deepscn", 0},
    };
    for (const auto& setting : defaults)
        WriteSettingInt(setting.key, setting.value);
    // The settings page shows the restore point ticked from the start: the repair does as it shows.
    if (ReadSettingString("rstrpont").empty())
        WriteSettingInt("rstrpont", 1);
}

} // namespace

bool CHivoraApp::InitInstance(const std::string& commandLine)
{
    StartProcessLog(ProgramFolder());

    KernelHandle mutex(CreateMutexA(nullptr, TRUE, HV_PRODUCT_NAME));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND first = FindFirstInstance()) {
            ShowWindow(first, IsIconic(first) ? SW_RESTORE : SW_SHOW);
            SetForegroundWindow(first);
        }
        return false;
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const ComApartment com;
    // Before any other COM call, which would settle the process's COM security for good.
    if (const HRESULT hr = InitializeComSecurity(); FAILED(hr))
        LogMessage("COM security could not be set (" + HresultText(hr) + "): a restore point may fail", LOG_WARN);
    CDialog::UseDesignLayout(true);

    CHivoraDlg dialog;
    const std::string lastScan = ReadSettingString("lastScan");
    const bool switched = commandLine.find("-t") != std::string::npos || commandLine.find("-s") != std::string::npos;
    if (switched && !lastScan.empty() && ReadSettingInt("runhivorastartup") == 0)
        return false;
    if (lastScan.empty()) {
        if (ReadSettingInt("splshscrn") == 0) {
            CSplashscrdlg splash;
            splash.DoModal(nullptr);
        }
        WriteFirstRunDefaults();
    }
    dialog.DoModal(nullptr);
    AfxSetMainWnd(nullptr);
    return false;
}
