#pragma once

// Registry walks and reads with the fixed buffer sizes the checks use, plus a file-existence cache
// for one check run. A name or value that does not fit its buffer is never partly read: the call
// fails and the caller skips the item or ends the walk.

#include <windows.h>

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "framework/handles.h"

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

// Whether subkey exists below parent, asked with read access only: a key that refuses the access
// (system-owned keys refuse writing, some refuse reading) still exists. Only a key the registry
// says is not there counts as missing.
bool KeyIsMissing(HKEY parent, const char* subkey);

// A volatile key lives in memory only: no backup can make it again as it was, so it is never
// reported or removed. Keys below a volatile key are volatile themselves. key must be open with
// KEY_CREATE_SUB_KEY access: the registry tells a volatile key by refusing it a non-volatile
// subkey, so a probe subkey is created and at once deleted again where the key is not volatile.
bool IsVolatileKey(HKEY key);
// The same for root\subkey; false when the key cannot be opened to ask.
bool IsVolatileKey(HKEY root, const std::string& subkey);

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

// Remembers file tests for the length of one check run, where many entries name the same file.
// Each answer is the one the uncached call gives.
class CFileTestCache {
public:
    // PathFindOnPathA(path, NULL): a bare name found in the current folder, the system folders or PATH.
    bool FoundOnSearchPath(const std::string& path);
    // PathFileExistsA(path).
    bool FileExists(const std::string& path);
    // FileReferenceExists(path): the search path, then the path itself.
    bool ReferenceExists(const std::string& path) { return FoundOnSearchPath(path) || FileExists(path); }

private:
    struct Tests {
        signed char onSearchPath = -1; // -1: not asked yet
        signed char exists = -1;
    };
    std::unordered_map<std::string, Tests> m_tests;
};

// Answers whether folder\name exists (as GetFileAttributesA, or FindFirstFileA without wildcards,
// would) from one listing of the folder, for folders asked about more than once in a check run.
// It answers only where the listing gives exactly the file system's answer: every name in the
// folder plain ASCII (compared without case, as the file system does), and the asked name free of
// wildcards, stream and folder parts, short-name marks, device names and trailing dots or blanks,
// with the whole path shorter than MAX_PATH. Otherwise the caller asks the file system.
class CFolderListings {
public:
    enum Answer { kUnknown = -1, kMissing = 0, kPresent = 1 };
    Answer Lookup(const std::string& folder, const char* name);

private:
    struct Listing {
        int asked = 0;
        int state = 0; // 0: not listed yet, 1: listed, -1: cannot be used
        std::unordered_set<std::string> upperNames;
    };
    static bool IsPlainName(const char* name);
    static bool List(const std::string& folder, Listing& listing);

    std::unordered_map<std::string, Listing> m_folders;
    std::string m_key;
};
