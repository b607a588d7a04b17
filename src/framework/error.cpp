#include "framework/error.h"

#include "framework/format.h"

namespace {

// The system's message for the code, without the line break it ends with; empty when it has none.
std::string SystemMessage(DWORD code)
{
    char text[512] = "";
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                        sizeof text, nullptr))
        return {};
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

} // namespace

std::string ErrorText(DWORD code)
{
    const std::string message = SystemMessage(code);
    return Format("error %lu%s%s", code, message.empty() ? "" : ": ", message.c_str());
}

std::string HresultText(HRESULT hr)
{
    const std::string message = SystemMessage(static_cast<DWORD>(hr));
    return Format("error 0x%08lx%s%s", static_cast<unsigned long>(hr), message.empty() ? "" : ": ", message.c_str());
}

bool IsGone(DWORD code)
{
    // An HRESULT of the Win32 facility carries the Win32 code in its low word (HRESULT_FROM_WIN32).
    if ((code & 0xFFFF0000) == 0x80070000)
        code &= 0xFFFF;
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_KEY_DELETED;
}

Result Failed(const std::string& what, DWORD code)
{
    return Result::Failure(what + " (" + ErrorText(code) + ")", code);
}

Result FailedHresult(const std::string& what, HRESULT hr)
{
    return Result::Failure(what + " (" + HresultText(hr) + ")", static_cast<DWORD>(hr));
}
