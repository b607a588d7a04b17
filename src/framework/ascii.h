#pragma once

// Letter case of ASCII letters only, for texts compared as the file system and the registry compare
// plain names, and for markers and tags of the program's own formats. Every other byte, the bytes of
// double-byte characters among them, stays as it is. Also the blanks and tabs around a text. Pure
// code: no windows.h.

#include <string>
#include <string_view>

constexpr char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string LowerAscii(std::string text)
{
    for (char& c : text)
        c = LowerAscii(c);
    return text;
}

inline std::string UpperAscii(std::string text)
{
    for (char& c : text)
        c = UpperAscii(c);
    return text;
}

// a and b are the same text but for the case of ASCII letters.
constexpr bool EqualsAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

// text begins with prefix but for the case of ASCII letters.
constexpr bool StartsWithAsciiNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsAsciiNoCase(text.substr(0, prefix.size()), prefix);
}

// text without the blanks and tabs at its start.
inline std::string TrimLeft(std::string_view text)
{
    const size_t start = text.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

// text without the blanks and tabs at its end.
inline std::string TrimRight(std::string_view text)
{
    const size_t end = text.find_last_not_of(" \t");
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

// text without the blanks and tabs around it.
inline std::string Trim(std::string_view text)
{
    return TrimRight(TrimLeft(text));
}
