#include "framework/security.h"

#include <sddl.h>

#include <vector>

#include "framework/folder_writers.h"

SecurityDescriptor BuildFolderSecurity(FOLDER_ACCESS access)
{
    // P: protected, nothing inherited. OICI: files and folders below inherit each entry.
    // FA: full control; 0x1200a9: read, list, execute and read attributes.
    const char* sddl = access == FA_ADMINS_ONLY ? "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
                                                : "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    SecurityDescriptor descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, descriptor.put(), nullptr))
        return SecurityDescriptor();
    return descriptor;
}

bool CreateProtectedFolder(const std::string& path, FOLDER_ACCESS access)
{
    const SecurityDescriptor descriptor = BuildFolderSecurity(access);
    if (!descriptor)
        return false;
    SECURITY_ATTRIBUTES attributes {sizeof attributes, descriptor.get(), FALSE};
    return CreateDirectoryA(path.c_str(), &attributes) != FALSE;
}

namespace {

// Wine's ntdll names itself; Windows' never does.
bool KeepsSecurityDescriptors()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return !ntdll || !GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

bool IsAdministratorsOnly(HANDLE handle, std::string& why)
{
    if (!KeepsSecurityDescriptors())
        return true;
    std::vector<char> descriptor(512);
    for (;;) {
        DWORD needed = 0;
        if (GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                    descriptor.data(), static_cast<DWORD>(descriptor.size()), &needed))
            break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) {
            why = "its permissions cannot be read (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        descriptor.resize(needed);
    }
    return OnlyAdministratorsCanChange(std::string_view(descriptor.data(), descriptor.size()), why);
}

bool IsAdministratorsOnlyFolder(const std::string& folder, std::string& why)
{
    const FileHandle handle(CreateFileA(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info {};
    if (!handle || !GetFileInformationByHandle(handle.get(), &info)) {
        why = "it cannot be opened (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        why = "it is no plain folder but a link or a file";
        return false;
    }
    return IsAdministratorsOnly(handle.get(), why);
}
