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
