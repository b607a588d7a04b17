#include "scan/registry.h"

HKEY RootKeyFromName(const std::string& name)
{
    static const std::pair<const char*, HKEY> roots[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    for (const auto& [text, key] : roots)
        if (name == text)
            return key;
    return nullptr;
}

std::pair<std::string, std::string> SplitKeyPath(const std::string& path)
{
    const size_t slash = path.find('\\');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

bool OpenOrCreateKey(CRegKeyHolder& holder, HKEY root, const std::string& subkey)
{
    holder.m_strSubKey = subkey;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, holder.m_nAccess, holder.m_hKey.put()) == ERROR_SUCCESS)
        return true;
    if (holder.m_nAccess == KEY_READ)
        return false;
    DWORD disposition = 0;
    return RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, holder.m_nAccess, nullptr, holder.m_hKey.put(),
                           &disposition) == ERROR_SUCCESS;
}
