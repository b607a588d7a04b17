#pragma once

#include <cstdio>
#include <string>

#include "framework/format.h"

// hivora-cli's output. The program's texts are ANSI; written byte for byte, a console (which shows
// its OEM code page) and PowerShell garble every character beyond ASCII. So text for a console is
// written as UTF-16 (WriteConsoleW), and text for a pipe or a file as UTF-8 without a byte order
// mark, the TSV reports alike. stream is stdout or stderr.
void WriteText(FILE* stream, const std::string& ansi);
void PrintText(FILE* stream, const char* fmt, ...) __attribute__((format(HV_PRINTF_FORMAT, 2, 3)));
