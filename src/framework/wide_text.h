#pragma once

// Conversions between the program's ANSI texts and the UTF-16 of the wide Windows calls.

#include <windows.h>

#include <string>

// ANSI text of the system's code page as UTF-16; exact for any text ExactAnsi gave.
std::wstring Widen(const std::string& ansi);

// The ANSI form of length UTF-16 units, when the code page holds them exactly: converting the
// result back gives the same units. False, out unchanged, when a character would be lost or
// replaced by a look-alike.
bool ExactAnsi(const wchar_t* text, size_t length, std::string& out);

// The ANSI form of wide text to show it: a character the code page lacks becomes the system's
// look-alike or its default character.
std::string Narrow(const std::wstring& text);

// The ANSI form of wide text in which every character the code page lacks is a question mark, never
// a look-alike, so that a path holding one is never taken for another file's path.
std::string NarrowMarkingLoss(const wchar_t* text, size_t length);

// Wide text to and from UTF-8, without loss (see framework/utf16.h).
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
