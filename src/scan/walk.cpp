#include "scan/walk.h"

#include <cstring>
#include <vector>

#include "framework/wide_text.h"

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
