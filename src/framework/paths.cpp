#include "framework/paths.h"

#include <windows.h>

#include <vector>

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

std::string ModuleFileName(HMODULE module)
{
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return {};
        if (n < buf.size())
            return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

} // namespace

std::string ProgramPath()
{
    return ModuleFileName(nullptr);
}

std::string ModulePath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ModulePath), &module))
        return {};
    return ModuleFileName(module);
}

std::string ProgramFolder()
{
    return FolderOf(ProgramPath());
}
