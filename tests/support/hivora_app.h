#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/handles.h"
#include "tempdir.h"

// The real Hivora.exe, run as a person runs it, from a program folder of its own (a fresh temporary
// folder holding copies of the program files), so that its logs, backups and ignore list are the
// test's. It still uses the prefix's registry: its settings key is reset when the object is made.
class HivoraApp {
public:
    using Settings = std::vector<std::pair<std::string, std::string>>;

    // Which program is copied: the real one, or the test build of it that takes itself for the
    // 32-bit build on 64-bit Windows (and so refuses to scan, repair or restore).
    enum class Build { kReal, kWow64 };

    // Removes HKLM\SOFTWARE\Hivora, then writes settings (name, REG_SZ text) into it.
    explicit HivoraApp(const Settings& settings = {}, Build build = Build::kReal);
    ~HivoraApp();
    HivoraApp(const HivoraApp&) = delete;
    HivoraApp& operator=(const HivoraApp&) = delete;

    // Starts the program with the arguments; false when it could not be started.
    bool Start(const std::string& args = "");
    // The visible main window "Hivora" of this process, waiting up to timeout; null when none.
    HWND MainWindow(DWORD timeout = 30000) const;
    // Waits for the process to end; true when it did within timeout.
    bool WaitForExit(DWORD timeout = 30000) const;
    // Closes the main window with its close box and waits for the process; terminates it if it
    // has not ended in time. True when it ended by itself.
    bool Close(DWORD timeout = 30000);
    DWORD ProcessId() const { return m_nProcessId; }

    // The program folder, with its trailing backslash.
    std::string Folder() const { return m_dir.Path() + "\\"; }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    KernelHandle m_process;
    DWORD m_nProcessId = 0;
};

// The settings key's value, as the program stored it; empty when missing.
std::string ReadHivoraSetting(const std::string& name);
void WriteHivoraSetting(const std::string& name, const std::string& value);
// Removes the whole settings key.
void ResetHivoraSettings();
