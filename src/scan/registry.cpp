#include "scan/registry.h"

#include <shlwapi.h>

#include "framework/wide_text.h"
#include "scan/path_rules.h"

HKEY RootKeyFromName(const std::string& name)
{
    static const std::pair<const char*, HKEY> roots[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    for (const auto& [text, key] : roots)
        if (name == text)
            return key;
    return nullptr;
}

std::pair<std::string, std::string> SplitKeyPath(const std::string& path)
{
    const size_t slash = path.find('\\');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

bool OpenOrCreateKey(CRegKeyHolder& holder, HKEY root, const std::string& subkey)
{
    holder.m_strSubKey = subkey;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, holder.m_nAccess, holder.m_hKey.put()) == ERROR_SUCCESS)
        return true;
    if (holder.m_nAccess == KEY_READ)
        return false;
    DWORD disposition = 0;
    return RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, holder.m_nAccess, nullptr, holder.m_hKey.put(),
                           &disposition) == ERROR_SUCCESS;
}

std::string ExpandEnvironment(const std::string& text)
{
    // Wide, so that a variable holding text outside the code page (a profile folder in another
    // script) is known as such rather than turned into look-alike letters.
    wchar_t out[kPathBuffer];
    const DWORD n = ExpandEnvironmentStringsW(Widen(text).c_str(), out, kPathBuffer);
    if (n == 0 || n > kPathBuffer)
        return {};
    std::string ansi;
    if (!ExactAnsi(out, n - 1, ansi)) {
        // A question mark can be part of no file name: the path counts as present.
        const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, out, static_cast<int>(n - 1), nullptr,
                                               0, "?", nullptr);
        ansi.assign(static_cast<size_t>(length > 0 ? length : 0), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, out, static_cast<int>(n - 1), ansi.data(), length, "?",
                            nullptr);
        if (!IsUntestablePath(ansi))
            ansi.assign(1, '?');
    }
    return ansi.size() < kPathBuffer ? ansi : std::string();
}

std::string NormalizeFilePath(std::string& text)
{
    text = CutAtFileExtension(text);
    return Win32PathFromNtPath(ExpandEnvironment(text));
}

bool FoundOnSearchPath(const std::string& name)
{
    // An empty name is found (the current folder): an entry that names no file is no finding.
    if (name.empty() || IsUntestablePath(name))
        return true;
    // PathFindOnPath writes up to MAX_PATH characters into its buffer. The wide form searches
    // folders of the PATH variable whose names the code page cannot hold as well.
    const std::wstring wide = Widen(name);
    if (wide.empty() || wide.size() >= MAX_PATH)
        return false;
    wchar_t buf[kPathBuffer];
    lstrcpynW(buf, wide.c_str(), kPathBuffer);
    return PathFindOnPathW(buf, nullptr) != FALSE;
}

bool FileReferenceExists(const std::string& path)
{
    return FoundOnSearchPath(path) || PathFileExistsA(path.c_str());
}

bool CommandLineTargetExists(const std::string& commandLine)
{
    const std::string text = Win32PathFromNtPath(commandLine);
    if (text.find('?') != std::string::npos)
        return true;
    for (const std::string& candidate : CommandLineCandidates(text))
        if (PathFileExistsA(candidate.c_str()) || PathFileExistsA((candidate + ".exe").c_str()))
            return true;
    return false;
}
