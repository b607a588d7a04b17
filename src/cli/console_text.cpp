#include "cli/console_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>

#include "framework/wide_text.h"

void WriteText(FILE* stream, const std::string& ansi)
{
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    const std::wstring wide = Widen(ansi);
    DWORD mode = 0;
    if (handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        // In pieces: older consoles refuse long writes.
        for (size_t done = 0; done < wide.size();) {
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
            DWORD written = 0;
            if (!WriteConsoleW(handle, wide.data() + done, piece, &written, nullptr) || written == 0)
                return;
            done += written;
        }
        return;
    }
    const std::string utf8 = WideToUtf8(wide);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

void PrintText(FILE* stream, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const std::string text = FormatV(fmt, args);
    va_end(args);
    WriteText(stream, text);
}
