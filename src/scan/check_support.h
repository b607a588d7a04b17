#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <unordered_map>

#include "scan/path_rules.h"
#include "scan/registry.h"

class CRegistryScanner;

// The existence test of the drive-path walks (file path references, deep scan): the search path,
// a wildcard, or the command-line test of CommandLineTargetExists. Registries repeat the same
// paths, and the same leading words of paths ("C:\Program"), many times, so the answers to whole
// texts and to single file tests are kept for the one walk that owns the cache; each is the one
// the uncached test gives.
class CDrivePathCache {
public:
    bool IsPresent(const std::string& text)
    {
        const auto known = m_known.find(text);
        if (known != m_known.end())
            return known->second;
        const bool present =
            FoundOnSearchPath(text) || text.find('*') != std::string::npos || CommandLineTargetExists(text);
        m_known.emplace(text, present);
        return present;
    }

private:
    bool CommandLineTargetExists(const std::string& text)
    {
        if (text.find('?') != std::string::npos)
            return true;
        for (const std::string& candidate : CommandLineCandidates(text))
            if (FileExists(candidate) || FileExists(candidate + ".exe"))
                return true;
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

    std::unordered_map<std::string, bool> m_known;
    std::unordered_map<std::string, bool> m_exists;
};

// The shortcut walk of the profile folder, from folder (no trailing backslash).
void CheckShortcutsUnder(CRegistryScanner& engine, const std::string& folder);
