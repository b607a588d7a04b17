#include "scan/walk.h"

#include <cstring>
#include <vector>

#include "framework/wide_text.h"
#include "scan/registry.h"

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
                  const BYTE* wideData, DWORD wideDataLen, BYTE* data, DWORD* dataLen)
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
        if (wideDataLen % 2 != 0 || !ExactAnsi(reinterpret_cast<const wchar_t*>(wideData), wideDataLen / 2, ansi))
            return ERROR_NO_UNICODE_TRANSLATION;
    } else {
        ansi.assign(reinterpret_cast<const char*>(wideData), wideDataLen);
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

// The wide data buffer's size for an ANSI buffer of ansiBytes: a string never takes more than two
// bytes for each ANSI byte, terminator included.
size_t WideDataBytes(DWORD ansiBytes)
{
    return 2 * static_cast<size_t>(ansiBytes) + 2;
}

std::vector<BYTE>& WideDataBuffer(DWORD ansiBytes)
{
    thread_local std::vector<BYTE> buffer;
    const size_t wanted = WideDataBytes(ansiBytes);
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
    return ToAnsiAnswer(wide, length, name, &nameChars, REG_NONE, nullptr, 0, nullptr, nullptr);
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
    return ToAnsiAnswer(wideName.data(), wideNameLen, name, nameLen, valueType, wideData.data(), wideDataLen, data,
                        dataLen);
}

LONG AnswerEnumValue(const WIDE_VALUE& value, char* name, DWORD* nameLen, DWORD* type, BYTE* data, DWORD* dataLen)
{
    // The wide call, given the buffer EnumValue gives it, refuses larger data before anything else.
    if (value.rc != ERROR_SUCCESS)
        return value.rc;
    if (value.dataBytes > WideDataBytes(*dataLen))
        return ERROR_MORE_DATA;
    if (type)
        *type = value.type;
    return ToAnsiAnswer(value.name, value.nameLength, name, nameLen, value.type, value.data, value.dataBytes, data,
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
    return ToAnsiAnswer(nullptr, 0, nullptr, nullptr, valueType, wideData.data(), wideDataLen, data, dataLen);
}

bool KeyIsMissing(HKEY parent, const char* subkey)
{
    RegKey key;
    return RegOpenKeyExA(parent, subkey, 0, KEY_READ, key.put()) == ERROR_FILE_NOT_FOUND;
}

LONG QueryKeyInformation(HKEY key, int infoClass, void* info, ULONG size, ULONG* length)
{
    using NT_QUERY_KEY = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    // ntdll is in every process: nothing is loaded.
    static const NT_QUERY_KEY query = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll ? reinterpret_cast<NT_QUERY_KEY>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryKey")))
                     : nullptr;
    }();
    constexpr LONG kStatusNotImplemented = static_cast<LONG>(0xC0000002);
    return query ? query(key, infoClass, info, size, length) : kStatusNotImplemented;
}

namespace {

// KeyFlagsInformation of NtQueryKey's KEY_INFORMATION_CLASS (wdm.h; "reserved for system use"):
// three ULONGs on Windows 8 and later, the key's own flags second, bit 0 set for a volatile key.
constexpr int kKeyFlagsInformation = 5;
constexpr ULONG kKeyFlagVolatile = 0x1;
struct KEY_FLAGS_INFO {
    ULONG wow64Flags;
    ULONG keyFlags;
    ULONG controlFlags;
};

KEY_VOLATILITY QueryKeyFlags(HKEY key)
{
    KEY_FLAGS_INFO info = {};
    ULONG length = 0;
    if (QueryKeyInformation(key, kKeyFlagsInformation, &info, sizeof info, &length) != 0 || length != sizeof info)
        return KEY_VOLATILITY::KV_UNKNOWN;
    return (info.keyFlags & kKeyFlagVolatile) ? KEY_VOLATILITY::KV_VOLATILE : KEY_VOLATILITY::KV_NOT_VOLATILE;
}

// The layout of an information class reserved for the system is believed only when it gives the known
// answers: the hardware hive is volatile, the software hive is not. Asked once per process.
bool KeyFlagsAreKnown()
{
    static const bool known = [] {
        const RegKey hardware = OpenKey(HKEY_LOCAL_MACHINE, "HARDWARE", KEY_QUERY_VALUE);
        const RegKey software = OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE", KEY_QUERY_VALUE);
        return hardware && software && QueryKeyFlags(hardware.get()) == KEY_VOLATILITY::KV_VOLATILE &&
               QueryKeyFlags(software.get()) == KEY_VOLATILITY::KV_NOT_VOLATILE;
    }();
    return known;
}

} // namespace

KEY_VOLATILITY ReadKeyVolatility(HKEY key)
{
    return KeyFlagsAreKnown() ? QueryKeyFlags(key) : KEY_VOLATILITY::KV_UNKNOWN;
}

bool IsVolatileKey(HKEY key, const std::string& keyPath)
{
    return IsVolatileKeyAt(ReadKeyVolatility(key), keyPath);
}

bool IsVolatileKey(const std::string& keyPath)
{
    const auto [rootName, subkey] = SplitKeyPath(keyPath);
    const HKEY root = RootKeyFromName(rootName);
    const RegKey key = root ? OpenKey(root, subkey.c_str(), KEY_QUERY_VALUE) : RegKey();
    return IsVolatileKeyAt(key ? ReadKeyVolatility(key.get()) : KEY_VOLATILITY::KV_UNKNOWN, keyPath);
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
