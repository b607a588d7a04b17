#include "scan/file_presence.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "framework/ascii.h"
#include "framework/handles.h"
#include "framework/wide_text.h"
#include "scan/path_rules.h"
#include "scan/presence_rules.h"

namespace {

// The search-path rule itself (OnSearchPath without the memory).
bool FoundOnSearchPath(const std::string& name)
{
    if (name.empty() || IsUntestablePath(name))
        return true;
    // A path that names its drive or share is that one file: the search would only ask the file
    // system about it again, a share too, with no regard for what may be checked (Exists).
    if (!DriveRootOf(name).empty() || (name.size() >= 2 && name[0] == '\\' && name[1] == '\\'))
        return false;
    // PathFindOnPath writes up to MAX_PATH characters into its buffer. The wide form searches
    // folders of the PATH variable whose names the code page cannot hold as well.
    const std::wstring wide = Widen(name);
    if (wide.empty() || wide.size() >= MAX_PATH)
        return false;
    wchar_t buf[kPathBuffer];
    lstrcpynW(buf, wide.c_str(), kPathBuffer);
    return PathFindOnPathW(buf, nullptr) != FALSE;
}

// The full path the file calls resolve path to (GetFullPathName: relative to the current folder,
// "." and ".." resolved, "/" made "\\"); empty when it cannot be formed or is not exactly ANSI.
std::string FullPath(const std::string& path)
{
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return {};
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    std::string out;
    if (length == 0 || length >= size || !ExactAnsi(full.c_str(), length, out))
        return {};
    return out;
}

// The wide form of a full path on a drive for the file calls: the "\\?\" form from MAX_PATH on, which
// only the wide calls take ("Maximum Path Length Limitation", Windows file I/O documentation).
std::wstring WideFileName(const std::string& fullPath)
{
    std::wstring wide = Widen(fullPath);
    if (wide.size() >= MAX_PATH && wide.compare(0, 4, L"\\\\?\\") != 0)
        wide.insert(0, L"\\\\?\\");
    return wide;
}

// The system's answer for one name: 0 when found, else its error code.
unsigned long LastErrorUnless(bool found)
{
    return found ? 0 : GetLastError();
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
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
    if (tests.state < 0)
        tests.state = static_cast<signed char>(State(path));
    return tests.state != static_cast<signed char>(FILE_STATE::FS_MISSING);
}

FILE_STATE CFilePresence::State(const std::string& path)
{
    const auto driveType = [this](const std::string& root) { return DriveType(root); };
    return DecideFilePresence(FullPath(path), driveType, [this](const std::string& full) {
        const size_t slash = full.rfind('\\');
        const ANSWER listed = Listed(full.substr(0, slash), full.substr(slash + 1));
        if (listed != kUnknown)
            return listed == kPresent ? 0 : kErrorFileNotFound;
        return LastErrorUnless(GetFileAttributesW(WideFileName(full).c_str()) != INVALID_FILE_ATTRIBUTES);
    });
}

bool CFilePresence::Matches(const std::string& folder, const std::string& name)
{
    const auto driveType = [this](const std::string& root) { return DriveType(root); };
    const FILE_STATE state = DecideFilePresence(FullPath(folder), driveType, [&](const std::string& full) {
        const ANSWER listed = Listed(full, name);
        if (listed != kUnknown)
            return listed == kPresent ? 0 : kErrorFileNotFound;
        // No match at all is ERROR_FILE_NOT_FOUND (FindFirstFile documentation).
        WIN32_FIND_DATAW found;
        const FindHandle search(FindFirstFileW(WideFileName(JoinPath(full, name)).c_str(), &found));
        return LastErrorUnless(static_cast<bool>(search));
    });
    return state != FILE_STATE::FS_MISSING;
}

unsigned CFilePresence::DriveType(const std::string& root)
{
    const auto known = m_driveTypes.find(root);
    if (known != m_driveTypes.end())
        return known->second;
    return m_driveTypes[root] = GetDriveTypeA(root.c_str());
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
