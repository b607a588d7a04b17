#include "scan/walk.h"

#include <shlwapi.h>

#include <cstring>

#include "scan/check_support.h"

RegKey OpenKey(HKEY parent, const char* subkey, REGSAM access)
{
    RegKey key;
    if (RegOpenKeyExA(parent, subkey, 0, access, key.put()) != ERROR_SUCCESS)
        key.release();
    return key;
}

bool ReadValueText(HKEY key, const char* name, DWORD dataBytes, std::string& out)
{
    // One byte more than the registry may fill, for the terminator a stored string may lack.
    char data[kDataBytes + 1];
    if (dataBytes > kDataBytes)
        dataBytes = kDataBytes;
    DWORD len = dataBytes;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &len) != ERROR_SUCCESS)
        return false;
    data[len < dataBytes ? len : dataBytes] = '\0';
    out.assign(data);
    return true;
}

bool CFileTestCache::FoundOnSearchPath(const std::string& path)
{
    Tests& tests = m_tests[path];
    if (tests.onSearchPath < 0)
        tests.onSearchPath = ::FoundOnSearchPath(path);
    return tests.onSearchPath != 0;
}

bool CFileTestCache::FileExists(const std::string& path)
{
    Tests& tests = m_tests[path];
    if (tests.exists < 0)
        tests.exists = !path.empty() && PathFileExistsA(path.c_str());
    return tests.exists != 0;
}

namespace {

std::string& UpperAscii(std::string& text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

bool CFolderListings::IsPlainName(const char* name)
{
    const size_t len = strlen(name);
    if (len == 0 || strchr(". ", name[len - 1]))
        return false;
    for (const char* p = name; *p; ++p)
        if (*p < 0x20 || *p > 0x7E || strchr("*?<>\"|:\\/~", *p))
            return false;
    std::string base(name, strcspn(name, "."));
    UpperAscii(base);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (base == device)
            return false;
    const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                          base[3] >= '0' && base[3] <= '9';
    return !numbered;
}

bool CFolderListings::List(const std::string& folder, Listing& listing)
{
    const std::string pattern = folder + "\\*";
    const int wideLen = MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, nullptr, 0);
    if (wideLen <= 0)
        return false;
    std::wstring widePattern(static_cast<size_t>(wideLen), L'\0');
    MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, widePattern.data(), wideLen);
    WIN32_FIND_DATAW entry;
    const FindHandle search(FindFirstFileW(widePattern.c_str(), &entry));
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
        listing.upperNames.insert(UpperAscii(name));
    } while (FindNextFileW(search.get(), &entry));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

CFolderListings::Answer CFolderListings::Lookup(const std::string& folder, const char* name)
{
    if (folder.size() + 1 + strlen(name) >= MAX_PATH || !IsPlainName(name))
        return kUnknown;
    Listing& listing = m_folders[folder];
    // A folder asked about once is cheaper to ask the file system about directly.
    if (listing.state == 0 && ++listing.asked >= 2) {
        listing.state = List(folder, listing) ? 1 : -1;
        if (listing.state < 0)
            listing.upperNames = {};
    }
    if (listing.state <= 0)
        return kUnknown;
    m_key.assign(name);
    return listing.upperNames.count(UpperAscii(m_key)) ? kPresent : kMissing;
}
