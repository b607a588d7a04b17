#include "scan/volatile_places.h"

#include <string_view>
#include <vector>

#include "framework/ascii.h"

namespace {

// Where Windows keeps volatile keys, each the key and its whole tree; "*" stands for any one name
// (a user's SID, a control set, a service, a device).
const char* const kVolatilePlaces[] = {
    // Built anew at every start from what the hardware reports: the whole hive.
    "HKEY_LOCAL_MACHINE\\HARDWARE",
    // The logon session's environment and Explorer's session state.
    "HKEY_CURRENT_USER\\Volatile Environment",
    "HKEY_USERS\\*\\Volatile Environment",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SessionInfo",
    "HKEY_USERS\\*\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SessionInfo",
    // Pending restarts of servicing and Windows Update.
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\VolatileUserMgrKey",
    // Plug and Play's run-time state: the devices a service drives, a device's control state.
    "HKEY_LOCAL_MACHINE\\SYSTEM\\*\\Services\\*\\Enum",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\*\\Enum\\*\\*\\*\\Control",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\*\\Control\\DeviceClasses\\*\\*\\Control",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\*\\Control\\DeviceClasses\\*\\*\\#\\Control",
    // Wine, which gives no key flags, keeps its session's system parameters and its font cache in
    // volatile keys too; Windows has no such keys.
    "HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters",
    "HKEY_USERS\\*\\Software\\Wine\\Temporary System Parameters",
    "HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Cache",
    "HKEY_USERS\\*\\Software\\Wine\\Fonts\\Cache",
};

std::vector<std::string_view> Names(std::string_view path)
{
    std::vector<std::string_view> names;
    for (size_t from = 0;;) {
        const size_t slash = path.find('\\', from);
        names.push_back(path.substr(from, slash == std::string_view::npos ? std::string_view::npos : slash - from));
        if (slash == std::string_view::npos)
            return names;
        from = slash + 1;
    }
}

} // namespace

bool IsVolatileKeyPlace(const std::string& keyPath)
{
    const std::vector<std::string_view> names = Names(keyPath);
    for (const char* place : kVolatilePlaces) {
        const std::vector<std::string_view> pattern = Names(place);
        if (names.size() < pattern.size())
            continue;
        bool matches = true;
        for (size_t i = 0; i < pattern.size() && matches; ++i)
            matches = pattern[i] == "*" ? !names[i].empty() : EqualsAsciiNoCase(names[i], pattern[i]);
        if (matches)
            return true;
    }
    return false;
}

bool IsVolatileKeyAt(KEY_VOLATILITY flags, const std::string& keyPath)
{
    if (flags != KEY_VOLATILITY::KV_UNKNOWN)
        return flags == KEY_VOLATILITY::KV_VOLATILE;
    return IsVolatileKeyPlace(keyPath);
}
