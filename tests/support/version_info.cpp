#include "version_info.h"

#include <windows.h>

#include <vector>

namespace {

std::string Quad(DWORD high, DWORD low)
{
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
           std::to_string(LOWORD(low));
}

std::string StringValue(std::vector<char>& block, const char* name)
{
    char* text = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text)
        return {};
    return std::string(text, length > 0 && text[length - 1] == '\0' ? length - 1 : length);
}

} // namespace

FILE_VERSION ReadFileVersion(const std::string& path)
{
    FILE_VERSION version;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return version;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return version;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof *fixed)
        return version;
    version.bFound = true;
    version.strFixed = Quad(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    version.strProduct = Quad(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    version.strFileVersion = StringValue(block, "FileVersion");
    version.strProductVersion = StringValue(block, "ProductVersion");
    return version;
}
