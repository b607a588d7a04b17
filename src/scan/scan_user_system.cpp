#include <windows.h>

#include <sddl.h>
#include <wtsapi32.h>

#include "framework/handles.h"
#include "scan/scan_user.h"

namespace {

TOKEN_USER* ProcessTokenUser(BYTE (&buffer)[256])
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return nullptr;
    const KernelHandle owned(token);
    DWORD size = 0;
    return GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) ? reinterpret_cast<TOKEN_USER*>(buffer)
                                                                               : nullptr;
}

std::string ProcessUserName()
{
    BYTE buffer[256];
    const TOKEN_USER* user = ProcessTokenUser(buffer);
    char name[256], domain[256];
    DWORD nameLength = sizeof name, domainLength = sizeof domain;
    SID_NAME_USE use;
    if (!user || !LookupAccountSidA(nullptr, user->User.Sid, name, &nameLength, domain, &domainLength, &use))
        return {};
    return std::string(domain) + "\\" + name;
}

// The user signed in to this process's session (learn.microsoft.com, "WTSQuerySessionInformation").
std::string SignedInUserName()
{
    const auto query = [](WTS_INFO_CLASS what) {
        char* text = nullptr;
        DWORD size = 0;
        if (!WTSQuerySessionInformationA(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &text, &size) || !text)
            return std::string();
        std::string value = text;
        WTSFreeMemory(text);
        return value;
    };
    const std::string user = query(WTSUserName);
    return user.empty() ? user : query(WTSDomainName) + "\\" + user;
}

} // namespace

const std::string& ScanUserNotice()
{
    static const std::string notice = OtherUserNotice(ProcessUserName(), SignedInUserName());
    return notice;
}

const std::string& ProcessUserSid()
{
    static const std::string sid = [] {
        BYTE buffer[256];
        const TOKEN_USER* user = ProcessTokenUser(buffer);
        char* text = nullptr;
        if (!user || !ConvertSidToStringSidA(user->User.Sid, &text))
            return std::string();
        std::string value = text;
        LocalFree(text);
        return value;
    }();
    return sid;
}
