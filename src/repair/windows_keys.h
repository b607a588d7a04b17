#pragma once

#include <string>
#include <string_view>

// Registry places that a cleaner must leave alone whatever its checks conclude: the state Windows'
// app deployment and Windows Installer keep for themselves, and the keys that hold the entries of
// many programs. Key paths
// are written with the root's full name ("HKEY_LOCAL_MACHINE\..."); names are compared without
// regard to case, as the registry compares them. The same place is recognised under each of its
// names: HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE\SOFTWARE\Classes, a user's classes (HKEY_CURRENT_USER
// or HKEY_USERS\<SID> followed by Software\Classes, and HKEY_USERS\<SID>_Classes), and the
// Wow6432Node views of each.

// A programmatic identifier of a packaged app: "AppX" followed by 32 letters and digits.
bool IsAppXProgId(std::string_view name);

// The key lies in the package repository, the resource cache, a packaged app's programmatic
// identifier, its activatable or packaged COM classes, the machine's AppX deployment state, or
// Windows Installer's records (Classes\Installer, CurrentVersion\Installer, a user's
// Software\Microsoft\Installer).
bool IsPackageStateKey(const std::string& keyPath);

// The text names something in the folders Windows installs packaged apps into (Program
// Files\WindowsApps, Windows\SystemApps), written out or through an environment reference.
bool NamesPackagedAppFolder(std::string_view text);

// A finding (key path, value name, value data) about state Windows manages itself: in one of its keys,
// naming one of its folders, or pointing at a packaged app's programmatic identifier.
bool IsPackageState(const std::string& keyPath, const std::string& valueName, const std::string& data);

// The key may never be removed with its tree: a root, a hive (each key directly under
// HKEY_LOCAL_MACHINE or HKEY_USERS, and HKEY_CURRENT_USER), a key directly under a hive, a key
// that holds the entries of many programs (CLSID, Uninstall, Run, ...) or one of their parents.
bool IsProtectedKey(const std::string& keyPath);
