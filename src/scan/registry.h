#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "framework/handles.h"

// One open registry key: the access it asks for, the handle once opened, and its subkey path.
class CRegKeyHolder {
public:
    explicit CRegKeyHolder(REGSAM access = KEY_ALL_ACCESS) : m_nAccess(access) {}

    REGSAM m_nAccess;
    RegKey m_hKey;
    std::string m_strSubKey;
};

// The handle of one of the five root names; nullptr for any other text (compared case-sensitively).
HKEY RootKeyFromName(const std::string& name);

// (root name, subkey) split at the first backslash; a path without one has an empty root name.
std::pair<std::string, std::string> SplitKeyPath(const std::string& path);

// Opens root\subkey with the holder's access; unless that access is exactly KEY_READ, a key that
// cannot be opened is created. False when neither worked.
bool OpenOrCreateKey(CRegKeyHolder& holder, HKEY root, const std::string& subkey);

// The path a file reference names: quotes and arguments dropped, environment references expanded.
// text is left cut as the path was before expansion. Empty when the expansion does not fit the
// engine's path buffer.
std::string NormalizeFilePath(std::string& text);

// PathFindOnPath: the name is found in the current folder, the system folders or the PATH
// folders. True, without a search, for an empty name and for a path that IsUntestablePath.
bool FoundOnSearchPath(const std::string& name);

// The file exists on the search path or at the path itself. An empty path names no file and
// counts as present.
bool FileReferenceExists(const std::string& path);

// The looser test for a value that holds a whole command line.
bool CommandLineTargetExists(const std::string& text);

// ExpandEnvironmentStrings into a buffer of the engine's path size; empty when it does not fit.
// Where a variable's value is outside the ANSI code page, the lost characters are question marks,
// so that the path is never tested (IsUntestablePath).
std::string ExpandEnvironment(const std::string& text);
