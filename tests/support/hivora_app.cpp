#include "hivora_app.h"

#include "framework/paths.h"
#include "gui_driver.h"

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\Hivora";

} // namespace

void ResetHivoraSettings()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
}

std::string ReadHivoraSetting(const std::string& name)
{
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKey, name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return {};
    return buffer;
}

void WriteHivoraSetting(const std::string& name, const std::string& value)
{
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKey, name.c_str(), REG_SZ, value.c_str(),
                    static_cast<DWORD>(value.size() + 1));
}

HivoraApp::HivoraApp(const Settings& settings, Build build)
{
    const std::string built = ProgramFolder() + "..\\..\\bin\\";
    for (const char* file : {"Hivora.exe", "Patchwell.dll", "progress-General.gif", "progress-bar.gif",
                             "update animation.gif"})
        CopyFileA((built + file).c_str(), (m_dir / file).c_str(), FALSE);
    if (build == Build::kWow64)
        CopyFileA((ProgramFolder() + "HivoraWow64.exe").c_str(), (m_dir / "Hivora.exe").c_str(), FALSE);
    ResetHivoraSettings();
    for (const auto& [name, value] : settings)
        WriteHivoraSetting(name, value);
}

HivoraApp::~HivoraApp()
{
    if (m_process && !WaitForExit(0))
        Close();
}

bool HivoraApp::Start(const std::string& args)
{
    const std::string exe = m_dir / "Hivora.exe";
    std::string command = "\"" + exe + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, m_dir.Path().c_str(), &si,
                        &pi))
        return false;
    m_process.reset(pi.hProcess);
    CloseHandle(pi.hThread);
    m_nProcessId = pi.dwProcessId;
    return true;
}

HWND HivoraApp::MainWindow(DWORD timeout) const
{
    HWND found = nullptr;
    gui::WaitFor(
        [&] {
            found = gui::FindProcessWindow(m_nProcessId, [](HWND wnd) {
                return gui::Text(wnd) == "Hivora" && GetPropA(wnd, "HivoraMainWindow") != nullptr;
            });
            return found != nullptr;
        },
        timeout);
    return found;
}

bool HivoraApp::WaitForExit(DWORD timeout) const
{
    return m_process && WaitForSingleObject(m_process.get(), timeout) == WAIT_OBJECT_0;
}

bool HivoraApp::Close(DWORD timeout)
{
    if (!m_process)
        return true;
    if (HWND main = MainWindow(0))
        PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForExit(timeout))
        return true;
    TerminateProcess(m_process.get(), 1);
    WaitForExit(5000);
    return false;
}
