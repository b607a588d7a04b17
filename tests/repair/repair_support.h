#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/format.h"
#include "repair/reg_file.h"
#include "sandbox.h"
#include "scan/scan_user.h"
#include "scan/scanner.h"
#include "shell/logfile.h"
#include "tempdir.h"

// A scan engine whose backup sets go to a temporary program folder.
inline std::unique_ptr<CRegistryScanner> MakeEngine(const TempDir& folder)
{
    auto engine = std::make_unique<CRegistryScanner>();
    engine->UseProgramFolder(folder.Path() + "\\");
    const std::vector<uint8_t> all(kCategoryCount, 1);
    engine->SetCategorySelection(all.data());
    return engine;
}

// Routes the log into a file of its own for the test's lifetime.
class LogCapture {
public:
    explicit LogCapture(const TempDir& folder) : m_log(folder / "test.log") { g_pLog = &m_log; }
    ~LogCapture() { g_pLog = nullptr; }
    std::string Text() const { return ReadFileText(m_log.m_strPath); }

private:
    CLogFile m_log;
};

inline std::vector<REG_FILE_KEY> ParseFile(const std::string& path)
{
    std::vector<REG_FILE_KEY> keys;
    std::string error;
    if (!ParseRegFile(ReadFileText(path), keys, error))
        ADD_FAILURE() << path << ": " << error;
    return keys;
}

inline std::string Sz(const std::string& text)
{
    return std::string(text.c_str(), text.size() + 1);
}

// UTF-16LE bytes of the units (the form of the wide registry calls), with a terminator unless told
// otherwise.
inline std::string Wide(const std::u16string& units, bool terminated = true)
{
    std::string bytes;
    for (char16_t c : units) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return terminated ? bytes.append(2, '\0') : bytes;
}

// Each byte as the UTF-16 unit of the same number: ASCII (or Latin-1) bytes in the wide form.
inline std::string Widened(const std::string& bytes)
{
    return Wide(std::u16string(bytes.begin(), bytes.end()), false);
}

inline bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A key under the real HKEY_CURRENT_USER: the registry editor, a separate process, sees no sandbox.
class RealKey {
public:
    RealKey() : m_sub(Format("Software\\HivoraRestoreTest\\%lu-%lu", GetCurrentProcessId(), GetTickCount()))
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, m_sub.c_str());
    }
    ~RealKey() { RegDeleteTreeA(HKEY_CURRENT_USER, m_sub.c_str()); }
    std::string Path() const { return "HKEY_CURRENT_USER\\" + m_sub; }
    const std::string& Sub() const { return m_sub; }

private:
    std::string m_sub;
};

// How a backup names a key of HKEY_CURRENT_USER: by the hive it was read from, the process user's
// (in a sandbox, the sandbox's place in that hive).
inline std::string BackedUpUserKey(const std::string& subkey, const RegistrySandbox* sandbox = nullptr)
{
    std::string hive = "HKEY_USERS\\" + ProcessUserSid();
    if (sandbox)
        hive += "\\" + sandbox->ScratchPath() + "\\HKCU";
    return hive + "\\" + subkey;
}
