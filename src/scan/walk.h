#pragma once

// Registry walks and reads with the fixed buffer sizes the checks use. A name or value that does not
// fit its buffer is never partly read: the call fails and the caller skips the item or ends the walk.

#include <windows.h>

#include <string>

#include "framework/handles.h"
#include "scan/volatile_places.h"

// Subkey name buffers, in characters, terminator included.
constexpr DWORD kShortNameChars = 299;
constexpr DWORD kLongNameChars = 1024;

// Value data limits, in bytes, as handed to the registry.
constexpr DWORD kShortDataBytes = 1023;
constexpr DWORD kDataBytes = 1024;

// Access used by the checks unless a walk says otherwise.
constexpr REGSAM kCheckAccess = KEY_READ | KEY_WRITE;

// The option the tree walks (file path references, empty keys, deep scan) open subkeys with. A
// symbolic link is opened as itself, with no subkeys, instead of being followed: the key it names
// is one the walk meets under its own name (SOFTWARE\Wow6432Node\Classes names
// SOFTWARE\Classes\Wow6432Node, HKEY_USERS\<SID>\Software\Classes names HKEY_USERS\<SID>_Classes),
// so each value is met, and reported, once and under one name.
constexpr DWORD kWalkOpenOptions = REG_OPTION_OPEN_LINK;

// The key opened below parent; empty when it cannot be opened.
RegKey OpenKey(HKEY parent, const char* subkey, REGSAM access = kCheckAccess);

// RegEnumKeyA, RegEnumValueA and RegQueryValueExA as the checks use them, with the same sizes and
// limits in ANSI terms, but read through the wide calls: a name or string data that the ANSI code
// page cannot hold exactly gives ERROR_NO_UNICODE_TRANSLATION instead of a text with question
// marks or look-alike letters. The checks pass such an item over, so that no finding ever rests on
// a lossy conversion (a path that exists must not look missing), and every problem's key, value
// name and data name the registry's item exactly. data and dataLen may be null.
LONG EnumKeyName(HKEY key, DWORD index, char* name, DWORD nameChars);
LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD* type, BYTE* data, DWORD* dataLen);
LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* dataLen);

// One value as RegEnumValueW read it into a buffer large enough for every reader of a shared walk:
// rc is its answer (ERROR_SUCCESS, or ERROR_MORE_DATA for a value that outgrew even that buffer).
struct WIDE_VALUE {
    LONG rc = ERROR_SUCCESS;
    const wchar_t* name = nullptr;
    DWORD nameLength = 0; // characters, without terminator
    DWORD type = REG_NONE;
    const BYTE* data = nullptr;
    DWORD dataBytes = 0;
};

// What EnumValue, called with these buffers, answers for that value: the same result, the same
// refusals (a buffer too small for the data as the wide call reads it, a name or text the code page
// cannot hold), so that a reader fed by a shared walk decides exactly as if it had read the value
// itself. data and dataLen are never null here.
LONG AnswerEnumValue(const WIDE_VALUE& value, char* name, DWORD* nameLen, DWORD* type, BYTE* data, DWORD* dataLen);

// Whether subkey exists below parent, asked with read access only: a key that refuses the access
// (system-owned keys refuse writing, some refuse reading) still exists. Only a key the registry
// says is not there counts as missing.
bool KeyIsMissing(HKEY parent, const char* subkey);

// NtQueryKey, the system's own information about an open key (KEY_INFORMATION_CLASS, wdm.h): 0
// (STATUS_SUCCESS) when answered, else the status, STATUS_NOT_IMPLEMENTED where the call is missing.
LONG QueryKeyInformation(HKEY key, int infoClass, void* info, ULONG size, ULONG* length);

// A volatile key lives in memory only: no backup can make it again as it was, so it is never
// reported or removed (volatile_places.h). Asked without writing anything: the key's flags, read with
// NtQueryKey where the system gives them, else the places where Windows keeps volatile keys.
// keyPath is the key's path with its root name; key needs KEY_QUERY_VALUE access.
KEY_VOLATILITY ReadKeyVolatility(HKEY key);
bool IsVolatileKey(HKEY key, const std::string& keyPath);
// The same for a key path; a key that cannot be opened to ask is decided by its place.
bool IsVolatileKey(const std::string& keyPath);

// Reads the value name (empty: the default value) as text, the registry given at most dataBytes
// bytes (up to kDataBytes). False when the value is missing, larger, or not held exactly by the
// ANSI code page; out is then unchanged.
bool ReadValueText(HKEY key, const char* name, DWORD dataBytes, std::string& out);

// Enumerates subkey names with EnumKeyName into a buffer of nameChars characters (up to
// kLongNameChars), from index 0 until a call fails; names the code page cannot hold are passed
// over. visit(const char* name) returns false to stop.
template <typename Visit>
void WalkSubkeys(HKEY key, DWORD nameChars, Visit&& visit)
{
    char name[kLongNameChars];
    if (nameChars > sizeof name)
        nameChars = sizeof name;
    for (DWORD index = 0;; ++index) {
        const LONG rc = EnumKeyName(key, index, name, nameChars);
        if (rc == ERROR_NO_UNICODE_TRANSLATION)
            continue;
        if (rc != ERROR_SUCCESS || !visit(static_cast<const char*>(name)))
            return;
    }
}

// Enumerates values with EnumValue, name and data in kLongNameChars / kDataBytes buffers, from
// index 0 until a call fails (so an over-long name or data ends the walk); values the code page
// cannot hold are passed over. The data is handed on as text up to its first zero byte.
// visit(const char* name, const char* data) returns false to stop.
template <typename Visit>
void WalkValues(HKEY key, Visit&& visit)
{
    char name[kLongNameChars];
    char data[kDataBytes + 1];
    for (DWORD index = 0;; ++index) {
        DWORD nameLen = kLongNameChars;
        DWORD dataLen = kDataBytes;
        const LONG rc = EnumValue(key, index, name, &nameLen, nullptr, reinterpret_cast<BYTE*>(data), &dataLen);
        if (rc == ERROR_NO_UNICODE_TRANSLATION)
            continue;
        if (rc != ERROR_SUCCESS)
            return;
        data[dataLen < kDataBytes ? dataLen : kDataBytes] = '\0';
        if (!visit(static_cast<const char*>(name), static_cast<const char*>(data)))
            return;
    }
}
