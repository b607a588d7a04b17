#include "links.h"

#include <windows.h>

#include <functional>

#include "framework/wide_text.h"

namespace {

// The Unix path of a Windows path under Wine; empty elsewhere.
std::string UnixPath(const std::string& path)
{
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return {};
    char* unix = toUnix(Widen(path).c_str());
    if (!unix)
        return {};
    std::string text = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return text;
}

bool IsFolderLink(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Runs a host program until done says it has done its work. Wine starts a host program without
// making a process or thread object for it, yet CreateProcess hands back whatever handle values
// lay on its stack: they are never waited on or closed, since closing them closes another handle of
// this process (once it was the one HKEY_CURRENT_USER is cached in, and every registry sandbox
// made after it failed with ERROR_INVALID_HANDLE). Wine passes back no exit status either.
bool RunHost(std::string command, const std::function<bool()>& done)
{
    STARTUPINFOA startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION notOwned {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &notOwned))
        return false;
    for (int attempt = 0; attempt < 1500 && !done(); ++attempt)
        Sleep(20);
    return done();
}

} // namespace

FolderLink::FolderLink(const std::string& link, const std::string& target)
{
    const std::string unixTarget = UnixPath(target);
    m_strUnixLink = UnixPath(link);
    if (unixTarget.empty() || m_strUnixLink.empty())
        return;
    m_bOk = RunHost("\"/bin/ln\" -s \"" + unixTarget + "\" \"" + m_strUnixLink + "\"", [&] { return IsFolderLink(link); });
    m_strLink = link;
}

FolderLink::~FolderLink()
{
    // Gone before the test's folders are removed, which would otherwise go through it.
    if (!m_strUnixLink.empty())
        RunHost("\"/bin/rm\" -f \"" + m_strUnixLink + "\"",
                [&] { return GetFileAttributesA(m_strLink.c_str()) == INVALID_FILE_ATTRIBUTES; });
}
