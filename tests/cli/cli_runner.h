#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/paths.h"
#include "tempdir.h"

// hivora-cli copied into a folder of its own, so that its Backup folder and ignore list are the
// test's; it still reads and writes the real registry of the prefix.
class CliCopy {
public:
    explicit CliCopy(const TempDir& dir) : m_exe(dir / "hivora-cli.exe")
    {
        const std::string built = ProgramFolder() + "..\\..\\bin\\hivora-cli.exe";
        m_ok = CopyFileA(built.c_str(), m_exe.c_str(), FALSE) != FALSE;
    }
    bool Ok() const { return m_ok; }

    // Runs the copy with args; returns its exit status, and its output in out and err.
    DWORD Run(const std::string& args, std::string& out, std::string& err) const
    {
        const std::string outPath = m_exe + ".out";
        const std::string errPath = m_exe + ".err";
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE hOut = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        HANDLE hErr = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = hOut;
        si.hStdError = hErr;
        PROCESS_INFORMATION pi{};
        std::string command = "\"" + m_exe + "\" " + args;
        DWORD code = 999;
        if (CreateProcessA(m_exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            WaitForSingleObject(pi.hProcess, INFINITE);
            GetExitCodeProcess(pi.hProcess, &code);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        CloseHandle(hOut);
        CloseHandle(hErr);
        out = Normalize(ReadFileText(outPath));
        err = Normalize(ReadFileText(errPath));
        return code;
    }

private:
    static std::string Normalize(std::string text)
    {
        std::string plain;
        for (char c : text)
            if (c != '\r')
                plain += c;
        return plain;
    }

    std::string m_exe;
    bool m_ok = false;
};
