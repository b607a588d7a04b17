#include "framework/security.h"

#include <sddl.h>

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
