#include "shell/settings.h"

#include <windows.h>

#include <climits>

#include "framework/handles.h"
#include "framework/product_name.h"

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\" HV_PRODUCT_NAME;

RegKey OpenSettings(REGSAM access)
{
    RegKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, access, nullptr, key.put(),
                        &disposition) != ERROR_SUCCESS)
        key.reset();
    return key;
}

// Reads a REG_SZ value into a buffer of size bytes; the text stops at the data's end even when
// it was stored without a terminator. Empty when the value is missing or larger than the buffer.
std::string QueryText(const char* name, DWORD size)
{
    const RegKey key = OpenSettings(KEY_READ);
    if (!key)
        return {};
    std::string buf(size, '\0');
    DWORD type = 0;
    DWORD len = size;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &len) !=
        ERROR_SUCCESS)
        return {};
    buf.resize(len);
    const size_t nul = buf.find('\0');
    if (nul != std::string::npos)
        buf.resize(nul);
    return buf;
}

void SetText(const char* name, const char* data, DWORD bytes)
{
    const RegKey key = OpenSettings(KEY_WRITE);
    if (key)
        RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
}

} // namespace

int ParseLeadingInt(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);
}

int ReadSettingInt(const char* name)
{
    return ParseLeadingInt(QueryText(name, 200).c_str());
}

void WriteSettingInt(const char* name, int value)
{
    const std::string text = std::to_string(value);
    SetText(name, text.c_str(), static_cast<DWORD>(text.size()));
}

std::string ReadSettingString(const char* name)
{
    return QueryText(name, 1024);
}

void WriteSettingString(const char* name, const std::string& text)
{
    SetText(name, text.c_str(), static_cast<DWORD>(text.size() + 1));
}
