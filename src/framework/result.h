#pragma once

#include <string>
#include <utility>

// What an operation that can fail gives back: success, or the reason it failed, for the log and
// the user, with the Win32 code or HRESULT of the system call that failed (0 for a refusal of our
// own). Free of windows.h, so that the window-free logic returns it too.
class Result {
public:
    Result() = default;
    static Result Failure(std::string reason, unsigned long code = 0)
    {
        Result result;
        result.m_bFailed = true;
        result.m_strReason = std::move(reason);
        result.m_nCode = code;
        return result;
    }

    explicit operator bool() const { return !m_bFailed; }
    unsigned long Code() const { return m_nCode; }
    const std::string& Reason() const { return m_strReason; }

private:
    bool m_bFailed = false;
    unsigned long m_nCode = 0;
    std::string m_strReason;
};
