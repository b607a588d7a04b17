// The host's stand-in for the system code page: ISO 8859-1, where every byte is the code unit of
// the same number. Code units beyond it become '?', as the system's default character.
#include "framework/code_page.h"

std::string AnsiToUtf16(const std::string& text)
{
    std::string bytes;
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string Utf16ToAnsi(const std::string& bytes)
{
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += bytes[i + 1] == '\0' ? bytes[i] : '?';
    return text;
}
