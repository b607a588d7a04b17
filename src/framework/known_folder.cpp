#include "framework/known_folder.h"

#include "framework/handles.h"

namespace {

struct CoTaskTextTraits {
    using Type = PWSTR;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { CoTaskMemFree(h); }
};

} // namespace

std::wstring KnownFolderPath(REFKNOWNFOLDERID id)
{
    // The buffer is the caller's to free whether or not the call succeeds.
    UniqueHandle<CoTaskTextTraits> path;
    if (FAILED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, path.put())) || !path)
        return {};
    return path.get();
}
