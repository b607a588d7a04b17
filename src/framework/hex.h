#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The value of one hexadecimal digit, either case; -1 for any other character.
constexpr int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Appends the two lowercase hexadecimal digits of a byte.
inline void AppendHex(std::string& text, uint8_t byte)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
}

// Lowercase hexadecimal digits of the bytes.
inline std::string HexText(const uint8_t* data, size_t size)
{
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i)
        AppendHex(text, data[i]);
    return text;
}
