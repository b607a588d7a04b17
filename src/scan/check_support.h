#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <unordered_map>

#include "scan/path_rules.h"
#include "scan/registry.h"

class CRegistryScanner;

// The 64-bit build walks the 32-bit programs' registrations below Wow6432Node as well; the
// 32-bit build is never run where they exist (it refuses 64-bit Windows).
constexpr bool kWalksWow64Registrations = sizeof(void*) == 8;

// The existence test of the drive-path walks (file path references, deep scan): the search path,
// a wildcard, or the command-line test of CommandLineTargetExists. For a 32-bit program's
// registration (view32) a file also counts as present where the 32-bit program finds it under
// the path (Path32BitView). Registries repeat the same paths, and the same leading words of paths
// ("C:\Program"), many times, so the answers to whole texts and to single file tests are kept for
// the one walk that owns the cache; each is the one the uncached test gives.
class CDrivePathCache {
public:
    CDrivePathCache()
    {
        char folder[MAX_PATH];
        const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            m_windowsFolder = folder;
    }

    bool IsPresent(const std::string& data, bool view32 = false)
    {
        const std::string text = Win32PathFromNtPath(data);
        auto& known = m_known[view32];
        const auto found = known.find(text);
        if (found != known.end())
            return found->second;
        const bool present = FoundOnSearchPath(text) || text.find('*') != std::string::npos ||
                             CommandLineTargetExists(text, view32);
        known.emplace(text, present);
        return present;
    }

private:
    bool CommandLineTargetExists(const std::string& text, bool view32)
    {
        if (text.find('?') != std::string::npos)
            return true;
        for (const std::string& candidate : CommandLineCandidates(text)) {
            if (FileExists(candidate) || FileExists(candidate + ".exe"))
                return true;
            if (view32) {
                const std::string seen = Path32BitView(candidate, m_windowsFolder);
                if (seen != candidate && (FileExists(seen) || FileExists(seen + ".exe")))
                    return true;
            }
        }
        return false;
    }

    bool FileExists(const std::string& path)
    {
        const auto known = m_exists.find(path);
        if (known != m_exists.end())
            return known->second;
        const bool exists = PathFileExistsA(path.c_str()) != FALSE;
        m_exists.emplace(path, exists);
        return exists;
    }

    std::string m_windowsFolder;
    std::unordered_map<std::string, bool> m_known[2];
    std::unordered_map<std::string, bool> m_exists;
};

// The shortcut walk of the profile folder, from folder (no trailing backslash).
void CheckShortcutsUnder(CRegistryScanner& engine, const std::string& folder);
