#include "framework/format.h"

#include <cstdio>
#include <ctime>
#include <vector>

std::string FormatV(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    return out;
}

std::string Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string out = FormatV(fmt, args);
    va_end(args);
    return out;
}

std::string FormatTime(const char* fmt, const struct tm& when)
{
    std::vector<char> buf(256);
    for (;;) {
        const size_t n = std::strftime(buf.data(), buf.size(), fmt, &when);
        if (n > 0 || buf.size() >= 4096)
            return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}
