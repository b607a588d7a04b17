#include "scan/presence_rules.h"

namespace {

bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsSlash(char c)
{
    return c == '\\' || c == '/';
}

// "X:\" at the start of text.
bool StartsWithDrive(const std::string& text, size_t at)
{
    return text.size() >= at + 3 && IsDriveLetter(text[at]) && text[at + 1] == ':' && IsSlash(text[at + 2]);
}

} // namespace

std::string DriveRootOf(const std::string& fullPath)
{
    size_t at = 0;
    if (fullPath.compare(0, 4, "\\\\?\\") == 0)
        at = 4;
    else if (fullPath.size() >= 2 && IsSlash(fullPath[0]) && IsSlash(fullPath[1]))
        return {};
    if (!StartsWithDrive(fullPath, at))
        return {};
    return std::string(1, fullPath[at]) + ":\\";
}

FILE_STATE FileStateFromError(unsigned long error)
{
    if (error == 0)
        return FILE_STATE::FS_PRESENT;
    if (error == kErrorFileNotFound || error == kErrorPathNotFound)
        return FILE_STATE::FS_MISSING;
    return FILE_STATE::FS_CANNOT_CHECK;
}
