#include "scan/walk.h"

#include <shlwapi.h>

#include <cstring>
#include <vector>

#include "framework/ascii.h"
#include "framework/wide_text.h"
#include "scan/check_support.h"

RegKey OpenKey(HKEY parent, const char* subkey, REGSAM access)
{
    RegKey key;
    if (RegOpenKeyExA(parent, subkey, 0, access, key.put()) != ERROR_SUCCESS)
        key.release();
    return key;
}

namespace {

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Hands on what a wide call read (name and data in wideData) as the ANSI call would give it.
LONG ToAnsiAnswer(const wchar_t* wideName, size_t wideNameLength, char* name, DWORD* nameLen, DWORD type,
                  const std::vector<BYTE>& wideData, DWORD wideDataLen, BYTE* data, DWORD* dataLen)
{
    if (name) {
        std::string ansi;
        if (!ExactAnsi(wideName, wideNameLength, ansi))
            return ERROR_NO_UNICODE_TRANSLATION;
        if (ansi.size() + 1 > *nameLen)
            return ERROR_MORE_DATA;
        memcpy(name, ansi.c_str(), ansi.size() + 1);
        *nameLen = static_cast<DWORD>(ansi.size());
    }
    if (!dataLen)
        return ERROR_SUCCESS;
    std::string ansi;
    if (IsStringType(type)) {
        if (wideDataLen % 2 != 0 ||
            !ExactAnsi(reinterpret_cast<const wchar_t*>(wideData.data()), wideDataLen / 2, ansi))
            return ERROR_NO_UNICODE_TRANSLATION;
    } else {
        ansi.assign(reinterpret_cast<const char*>(wideData.data()), wideDataLen);
    }
    const DWORD room = *dataLen;
    *dataLen = static_cast<DWORD>(ansi.size());
    if (!data)
        return ERROR_SUCCESS;
    if (ansi.size() > room)
        return ERROR_MORE_DATA;
    memcpy(data, ansi.data(), ansi.size());
    return ERROR_SUCCESS;
}

// The wide data buffer for an ANSI buffer of ansiBytes: a string never takes more than two bytes
// for each ANSI byte, terminator included.
std::vector<BYTE>& WideDataBuffer(DWORD ansiBytes)
{
    thread_local std::vector<BYTE> buffer;
    const size_t wanted = 2 * static_cast<size_t>(ansiBytes) + 2;
    if (buffer.size() < wanted)
        buffer.resize(wanted);
    return buffer;
}

} // namespace

LONG EnumKeyName(HKEY key, DWORD index, char* name, DWORD nameChars)
{
    wchar_t wide[256];
    DWORD length = 256;
    const LONG rc = RegEnumKeyExW(key, index, wide, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    return ToAnsiAnswer(wide, length, name, &nameChars, REG_NONE, {}, 0, nullptr, nullptr);
}

LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD* type, BYTE* data, DWORD* dataLen)
{
    // Value names are at most 16383 characters.
    thread_local std::vector<wchar_t> wideName(16384);
    DWORD wideNameLen = static_cast<DWORD>(wideName.size());
    DWORD valueType = REG_NONE;
    std::vector<BYTE>& wideData = WideDataBuffer(dataLen ? *dataLen : 0);
    DWORD wideDataLen = static_cast<DWORD>(wideData.size());
    LONG rc = RegEnumValueW(key, index, wideName.data(), &wideNameLen, nullptr, &valueType,
                            dataLen ? wideData.data() : nullptr, dataLen ? &wideDataLen : nullptr);
    if (rc == ERROR_MORE_DATA && dataLen && !data) {
        // Only the size was asked for: read it all to tell the ANSI size.
        wideData.resize(wideDataLen);
        rc = RegEnumValueW(key, index, wideName.data(), &wideNameLen, nullptr, &valueType, wideData.data(),
                           &wideDataLen);
    }
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type)
        *type = valueType;
    return ToAnsiAnswer(wideName.data(), wideNameLen, name, nameLen, valueType, wideData, wideDataLen, data,
                        dataLen);
}

LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* dataLen)
{
    std::vector<BYTE>& wideData = WideDataBuffer(dataLen ? *dataLen : 0);
    DWORD wideDataLen = static_cast<DWORD>(wideData.size());
    DWORD valueType = REG_NONE;
    const LONG rc = RegQueryValueExW(key, Widen(name ? name : "").c_str(), nullptr, &valueType,
                                     dataLen ? wideData.data() : nullptr, dataLen ? &wideDataLen : nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type)
        *type = valueType;
    return ToAnsiAnswer(nullptr, 0, nullptr, nullptr, valueType, wideData, wideDataLen, data, dataLen);
}

bool KeyIsMissing(HKEY parent, const char* subkey)
{
    RegKey key;
    return RegOpenKeyExA(parent, subkey, 0, KEY_READ, key.put()) == ERROR_FILE_NOT_FOUND;
}

bool IsVolatileKey(HKEY key)
{
    char probe[64];
    wsprintfA(probe, "Hivora volatility probe %lu-%lu", GetCurrentProcessId(), GetCurrentThreadId());
    RegKey created;
    DWORD disposition = 0;
    const LONG rc = RegCreateKeyExA(key, probe, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                                    created.put(), &disposition);
    if (rc == ERROR_CHILD_MUST_BE_VOLATILE)
        return true;
    if (rc == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY) {
        created.reset();
        RegDeleteKeyA(key, probe);
    }
    return false;
}

bool IsVolatileKey(HKEY root, const std::string& subkey)
{
    const RegKey key = OpenKey(root, subkey.c_str(), KEY_CREATE_SUB_KEY);
    return key && IsVolatileKey(key.get());
}

bool ReadValueText(HKEY key, const char* name, DWORD dataBytes, std::string& out)
{
    // One byte more than the registry may fill, for the terminator a stored string may lack.
    char data[kDataBytes + 1];
    if (dataBytes > kDataBytes)
        dataBytes = kDataBytes;
    DWORD len = dataBytes;
    if (QueryValue(key, name, nullptr, reinterpret_cast<BYTE*>(data), &len) != ERROR_SUCCESS)
        return false;
    data[len < dataBytes ? len : dataBytes] = '\0';
    out.assign(data);
    return true;
}

bool CFileTestCache::FoundOnSearchPath(const std::string& path)
{
    Tests& tests = m_tests[path];
    if (tests.onSearchPath < 0)
        tests.onSearchPath = ::FoundOnSearchPath(path);
    return tests.onSearchPath != 0;
}

bool CFileTestCache::FileExists(const std::string& path)
{
    Tests& tests = m_tests[path];
    if (tests.exists < 0)
        tests.exists = !path.empty() && PathFileExistsA(path.c_str());
    return tests.exists != 0;
}

bool CFolderListings::IsPlainName(const char* name)
{
    const size_t len = strlen(name);
    if (len == 0 || strchr(". ", name[len - 1]))
        return false;
    for (const char* p = name; *p; ++p)
        if (*p < 0x20 || *p > 0x7E || strchr("*?<>\"|:\\/~", *p))
            return false;
    const std::string base = UpperAscii(std::string(name, strcspn(name, ".")));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (base == device)
            return false;
    const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                          base[3] >= '0' && base[3] <= '9';
    return !numbered;
}

bool CFolderListings::List(const std::string& folder, Listing& listing)
{
    const std::string pattern = folder + "\\*";
    const std::wstring widePattern = Widen(pattern);
    WIN32_FIND_DATAW entry;
    const FindHandle search(FindFirstFileW(widePattern.c_str(), &entry));
    if (!search)
        return false;
    std::string name;
    do {
        name.clear();
        for (const wchar_t* p = entry.cFileName; *p; ++p) {
            if (*p < 0x20 || *p > 0x7E)
                return false;
            name.push_back(static_cast<char>(*p));
        }
        listing.upperNames.insert(UpperAscii(std::move(name)));
    } while (FindNextFileW(search.get(), &entry));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

CFolderListings::Answer CFolderListings::Lookup(const std::string& folder, const char* name)
{
    if (folder.size() + 1 + strlen(name) >= MAX_PATH || !IsPlainName(name))
        return kUnknown;
    Listing& listing = m_folders[folder];
    // A folder asked about once is cheaper to ask the file system about directly.
    if (listing.state == 0 && ++listing.asked >= 2) {
        listing.state = List(folder, listing) ? 1 : -1;
        if (listing.state < 0)
            listing.upperNames = {};
    }
    if (listing.state <= 0)
        return kUnknown;
    m_key.assign(name);
    m_key = UpperAscii(std::move(m_key));
    return listing.upperNames.count(m_key) ? kPresent : kMissing;
}
