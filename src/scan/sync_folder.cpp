#include "scan/sync_folder.h"

#include "framework/ascii.h"

namespace {

bool IsUnder(const std::string& path, std::string root)
{
    while (!root.empty() && (root.back() == '\\' || root.back() == '/'))
        root.pop_back();
    if (root.empty() || path.size() < root.size() || LowerAscii(path.substr(0, root.size())) != LowerAscii(root))
        return false;
    return path.size() == root.size() || path[root.size()] == '\\';
}

} // namespace

bool IsInSynchronisedFolder(const std::string& path, uint32_t attributes, uint32_t reparseTag,
                            const std::vector<std::string>& syncRoots)
{
    if (attributes & (kAttributeRecallOnOpen | kAttributeRecallOnDataAccess | kAttributePinned | kAttributeUnpinned |
                      kAttributeOffline))
        return true;
    if ((attributes & kAttributeReparsePoint) && (reparseTag & kReparseTagCloudMask) == kReparseTagCloud)
        return true;
    for (const std::string& root : syncRoots)
        if (IsUnder(path, root))
            return true;
    return false;
}
