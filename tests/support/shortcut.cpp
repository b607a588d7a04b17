#include "shortcut.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "framework/com_ptr.h"
#include "framework/wide_text.h"

bool MakeShortcut(const std::string& link, const std::string& target)
{
    ComPtr<IShellLinkA> shellLink;
    ComPtr<IPersistFile> file;
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      shellLink.put())) &&
           SUCCEEDED(shellLink->SetPath(target.c_str())) &&
           SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, file.put())) &&
           SUCCEEDED(file->Save(Widen(link).c_str(), TRUE));
}

std::string DesktopFolder()
{
    char profile[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile)))
        return {};
    const std::string desktop = std::string(profile) + "\\Desktop";
    CreateDirectoryA(desktop.c_str(), nullptr);
    return desktop;
}
