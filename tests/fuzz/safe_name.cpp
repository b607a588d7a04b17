// Names from the update server and from zip archives: a name the safety rule accepts never
// resolves outside the folder it is joined to, whichever way the target path is joined.
#include <string>
#include <string_view>

#include "require.h"
#include "updater/install_list.h"

namespace {

// Where Windows takes the path below a folder, as a depth: separators of either kind, repeated
// ones counting once; "." stays, ".." climbs. Windows drops trailing dots and blanks of a
// component, so any other component of only dots and blanks is taken to climb as well. A drive or
// stream colon leaves the folder at once.
bool StaysInside(std::string_view below)
{
    if (below.find(':') != std::string_view::npos)
        return false;
    long depth = 0;
    size_t start = 0;
    while (start <= below.size()) {
        size_t end = below.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = below.size();
        const std::string_view part = below.substr(start, end - start);
        const size_t kept = part.find_last_not_of(". ");
        const std::string_view trimmed = kept == std::string_view::npos ? std::string_view() : part.substr(0, kept + 1);
        if (trimmed.empty() && part != "." && part.find('.') != std::string_view::npos)
            --depth;
        else if (!trimmed.empty())
            ++depth;
        if (depth < 0)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    const bool safe = IsSafeRelativeName(name);
    if (!safe)
        return 0;
    Require(name.empty() || (name[0] != '\\' && name[0] != '/'), "an accepted name is relative");
    Require(StaysInside(name), "an accepted name stays in its folder");

    // Joined as the installer joins a target: to the program folder, with or without a separator.
    const std::string folder = "C:\\Program Files\\Hivora\\";
    for (const char* hint : {"\\", ""}) {
        INSTALL_ENTRY entry;
        entry.strTarget = name;
        entry.strSeparatorHint = hint;
        const std::string path = JoinTargetPath(folder, entry);
        Require(path.compare(0, folder.size(), folder) == 0, "the joined path starts with the folder");
        Require(StaysInside(std::string_view(path).substr(folder.size())), "the joined path stays in the folder");
    }
    return 0;
}
