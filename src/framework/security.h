#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

// Security of the folders the program makes for itself. Hivora runs with administrator rights, so
// what it later reads from its folders (backups it imports, logs, the updater's downloads) must be
// out of reach of other users: the folders get a protected DACL (nothing inherited from a parent
// that lets users write) in which only SYSTEM and the Administrators may change anything.

enum FOLDER_ACCESS {
    FA_ADMINS_ONLY,        // SYSTEM and Administrators full control, nobody else anything
    FA_USERS_READ_EXECUTE, // the same, and Users read and execute (as in Program Files)
};

struct LocalTraits {
    using Type = PSECURITY_DESCRIPTOR;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { LocalFree(h); }
};
using SecurityDescriptor = UniqueHandle<LocalTraits>;

// The descriptor of such a folder; its entries are inherited by everything made inside. Empty when
// the system cannot build it.
SecurityDescriptor BuildFolderSecurity(FOLDER_ACCESS access);

// CreateDirectoryA with that descriptor: false (GetLastError tells why) when the folder was not
// made, also when something of that name exists already. Existing folders are never changed.
bool CreateProtectedFolder(const std::string& path, FOLDER_ACCESS access);
