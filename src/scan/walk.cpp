#include "scan/walk.h"

#include <shlwapi.h>

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
