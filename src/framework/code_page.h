#pragma once

#include <string>

// Text in the system's ANSI code page to UTF-16 code units, stored as little-endian byte pairs.
std::string AnsiToUtf16(const std::string& text);

// Little-endian UTF-16 byte pairs to the ANSI code page; a trailing odd byte is ignored.
std::string Utf16ToAnsi(const std::string& bytes);
