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

// Whether only SYSTEM and the Administrators (and TrustedInstaller) may change the file or folder
// open in handle (opened with READ_CONTROL): its owner and DACL as the system keeps them, judged by
// OnlyAdministratorsCanChange (folder_writers.h). False, with the reason, otherwise. Under Wine,
// which keeps no descriptors (it makes one up from the Unix permissions, owned by the user), there
// is nothing to judge and the answer is true.
bool IsAdministratorsOnly(HANDLE handle, std::string& why);

// The same for a folder by its path; a folder that is a link (a reparse point) is refused too.
bool IsAdministratorsOnlyFolder(const std::string& folder, std::string& why);
