#pragma once

// Whether a registry key is volatile (kept in memory only, gone at restart): a restore could not make
// it again as it was, so it is never reported or removed. Windows tells it by the key's own flags;
// where the system does not (Wine answers the flags query with STATUS_INVALID_PARAMETER), the places
// where Windows keeps volatile keys decide. Never by trying to create a key: a scan writes nothing.
// Pure logic: the system's answer comes in as a value.

#include <string>

// What the key's flags say (NtQueryKey with KeyFlagsInformation).
enum class KEY_VOLATILITY { KV_VOLATILE, KV_NOT_VOLATILE, KV_UNKNOWN };

// keyPath (a root name such as "HKEY_LOCAL_MACHINE", a backslash, the subkey path) is one of the
// places where Windows keeps volatile keys, or lies below one: keys below a volatile key are
// volatile themselves. Names compare without regard to ASCII letter case.
bool IsVolatileKeyPlace(const std::string& keyPath);

// The decision: the flags where the system gave them, else the places.
bool IsVolatileKeyAt(KEY_VOLATILITY flags, const std::string& keyPath);
