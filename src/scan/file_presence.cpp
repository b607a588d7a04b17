#include "scan/file_presence.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "framework/ascii.h"
#include "framework/handles.h"
#include "framework/wide_text.h"
#include "scan/path_rules.h"

namespace {

// The search-path rule itself (OnSearchPath without the memory).
bool FoundOnSearchPath(const std::string& name)
{
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

} // namespace

bool CFilePresence::OnSearchPath(const std::string& name)
{
    if (name.empty() || IsUntestablePath(name))
        return true;
    TESTS& tests = m_tests[name];
    if (tests.onSearchPath < 0)
        tests.onSearchPath = FoundOnSearchPath(name);
    return tests.onSearchPath != 0;
}

bool CFilePresence::Exists(const std::string& path)
{
    if (path.empty())
        return false;
    if (IsUntestablePath(path))
        return true;
    TESTS& tests = m_tests[path];
    if (tests.exists < 0) {
        const size_t slash = path.rfind('\\');
        const ANSWER listed = slash == std::string::npos ? kUnknown : Listed(path.substr(0, slash), path.substr(slash + 1));
        tests.exists = listed != kUnknown ? listed == kPresent : PathFileExistsA(path.c_str()) != FALSE;
    }
    return tests.exists != 0;
}

bool CFilePresence::Matches(const std::string& folder, const std::string& name)
{
    const ANSWER listed = Listed(folder, name);
    if (listed != kUnknown)
        return listed == kPresent;
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA((folder + "\\" + name).c_str(), &found));
    return static_cast<bool>(search);
}

bool CFilePresence::CommandLineTargetExists(const std::string& text, bool view32)
{
    return CandidateExists(Win32PathFromNtPath(text), view32);
}

bool CFilePresence::DrivePathPresent(const std::string& data, bool view32)
{
    const std::string text = Win32PathFromNtPath(data);
    auto& known = m_texts[view32];
    const auto found = known.find(text);
    if (found != known.end())
        return found->second;
    // The whole text is remembered: the search for it is not.
    const bool present =
        FoundOnSearchPath(text) || text.find('*') != std::string::npos || CandidateExists(text, view32);
    known.emplace(text, present);
    return present;
}

bool CFilePresence::CandidateExists(const std::string& text, bool view32)
{
    if (text.find('?') != std::string::npos)
        return true;
    for (const std::string& candidate : CommandLineCandidates(text)) {
        if (Exists(candidate) || Exists(candidate + ".exe"))
            return true;
        if (view32) {
            const std::string seen = Path32BitView(candidate, WindowsFolder());
            if (seen != candidate && (Exists(seen) || Exists(seen + ".exe")))
                return true;
        }
    }
    return false;
}

CFilePresence::ANSWER CFilePresence::Listed(const std::string& folder, const std::string& name)
{
    if (folder.size() + 1 + name.size() >= MAX_PATH || !IsPlainName(name))
        return kUnknown;
    LISTING& listing = m_folders[folder];
    // A folder asked about once is cheaper to ask the file system about directly.
    if (listing.state == 0 && ++listing.asked >= 2) {
        listing.state = List(folder, listing) ? 1 : -1;
        if (listing.state < 0)
            listing.upperNames = {};
    }
    if (listing.state <= 0)
        return kUnknown;
    m_upperName.assign(name);
    m_upperName = UpperAscii(std::move(m_upperName));
    return listing.upperNames.count(m_upperName) ? kPresent : kMissing;
}

bool CFilePresence::IsPlainName(const std::string& name)
{
    if (name.empty() || strchr(". ", name.back()))
        return false;
    for (const char c : name)
        if (c < 0x20 || c > 0x7E || strchr("*?<>\"|:\\/~", c))
            return false;
    const std::string base = UpperAscii(name.substr(0, name.find('.')));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (base == device)
            return false;
    const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                          base[3] >= '0' && base[3] <= '9';
    return !numbered;
}

bool CFilePresence::List(const std::string& folder, LISTING& listing)
{
    WIN32_FIND_DATAW entry;
    const FindHandle search(FindFirstFileW(Widen(folder + "\\*").c_str(), &entry));
    if (!search)
        return false;
    std::string name;
    do {
        name.clear();
        for (const wchar_t* p = entry.cFileName; *p; ++p) {
            if (*p < 0x20 || *p > 0x7E)
                return false;
            name.push_back(static_cast<char>(*p));
        }
        listing.upperNames.insert(UpperAscii(std::move(name)));
    } while (FindNextFileW(search.get(), &entry));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

const std::string& CFilePresence::WindowsFolder()
{
    if (!m_bWindowsFolderRead) {
        m_bWindowsFolderRead = true;
        char folder[MAX_PATH];
        const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            m_windowsFolder = folder;
    }
    return m_windowsFolder;
}

bool FileReferenceExists(const std::string& path)
{
    return CFilePresence().ReferenceExists(path);
}

bool CommandLineTargetExists(const std::string& text)
{
    return CFilePresence().CommandLineTargetExists(text);
}
