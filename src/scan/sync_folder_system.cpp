#include <windows.h>

#include "framework/handles.h"
#include "framework/wide_text.h"
#include "scan/sync_folder.h"

std::vector<std::string> ReadSyncRoots()
{
    // Each provider's registration: SyncRootManager\<id>\UserSyncRoots, one value per user (named
    // by the user's SID) holding the sync root's folder.
    std::vector<std::string> roots;
    RegKey manager;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SyncRootManager", 0,
                      KEY_READ, manager.put()) != ERROR_SUCCESS)
        return roots;
    char id[256];
    for (DWORD i = 0;; ++i) {
        DWORD idLength = sizeof id;
        if (RegEnumKeyExA(manager.get(), i, id, &idLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        RegKey users;
        if (RegOpenKeyExA(manager.get(), (std::string(id, idLength) + "\\UserSyncRoots").c_str(), 0, KEY_READ,
                          users.put()) != ERROR_SUCCESS)
            continue;
        for (DWORD j = 0;; ++j) {
            char name[256];
            char data[MAX_PATH * 2];
            DWORD nameLength = sizeof name;
            DWORD dataLength = sizeof data - 1;
            DWORD type = 0;
            const LONG rc = RegEnumValueA(users.get(), j, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataLength);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
                continue;
            data[dataLength] = '\0';
            if (data[0] != '\0')
                roots.emplace_back(data);
        }
    }
    return roots;
}

bool IsUnderCloudFilesSyncRoot(const std::string& folder)
{
    // CfGetSyncRootInfoByPath with CF_SYNC_ROOT_INFO_BASIC (its sync root's file identifier)
    // succeeds only for a place inside a registered sync root (learn.microsoft.com,
    // "CfGetSyncRootInfoByPath").
    using GetSyncRootInfo = HRESULT(WINAPI*)(LPCWSTR, int, void*, DWORD, DWORD*);
    static const Library library(LoadLibraryExA("cldapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    static const GetSyncRootInfo getInfo =
        library ? reinterpret_cast<GetSyncRootInfo>(
                      reinterpret_cast<void*>(GetProcAddress(library.get(), "CfGetSyncRootInfoByPath")))
                : nullptr;
    if (!getInfo)
        return false;
    alignas(8) BYTE info[64] = {};
    DWORD length = 0;
    const HRESULT hr = getInfo(Widen(folder).c_str(), 0, info, sizeof info, &length);
    return SUCCEEDED(hr) || hr == HRESULT_FROM_WIN32(ERROR_MORE_DATA);
}
