#pragma once

#include <string>

// The program's settings: REG_SZ values of HKEY_LOCAL_MACHINE\SOFTWARE\Hivora, numbers as decimal
// text. Every access opens the key, reads or writes one value and closes it; failures are silent
// (reads give 0 or the empty text).
int ReadSettingInt(const char* name);
void WriteSettingInt(const char* name, int value);
std::string ReadSettingString(const char* name);
void WriteSettingString(const char* name, const std::string& text);

// The leading decimal number of text as atoi reads it, clamped to the int range.
int ParseLeadingInt(const char* text);
