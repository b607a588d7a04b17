#pragma once

#include <cstdarg>
#include <string>

// printf-style formatting into a std::string of whatever length the result needs.
std::string Format(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

// strftime into a std::string; the result is empty when the format yields nothing.
struct tm;
std::string FormatTime(const char* fmt, const struct tm& when);
