#pragma once

#include <cstdarg>
#include <string>

// mingw's "printf" checks the Microsoft conversions; the runtime formats the GNU ones (%zu).
#ifdef __MINGW32__
#define HV_PRINTF_FORMAT gnu_printf
#else
#define HV_PRINTF_FORMAT printf
#endif

// printf-style formatting into a std::string of whatever length the result needs.
std::string Format(const char* fmt, ...) __attribute__((format(HV_PRINTF_FORMAT, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

// strftime into a std::string; the result is empty when the format yields nothing.
struct tm;
std::string FormatTime(const char* fmt, const struct tm& when);
