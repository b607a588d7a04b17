#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "framework/com_ptr.h"

// Saves a shell link at path pointing at target (which need not exist); the thread needs COM.
inline bool CreateShortcut(const std::string& path, const std::string& target)
{
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    wchar_t wide[MAX_PATH];
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      link.put())) &&
           SUCCEEDED(link->SetPath(target.c_str())) &&
           SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put())) &&
           MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) > 0 && SUCCEEDED(file->Save(wide, TRUE));
}

// The profile's Desktop folder, made when missing: a folder the shortcut check walks. Empty when the
// profile folder is unknown.
inline std::string DesktopFolder()
{
    char profile[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile)))
        return {};
    const std::string desktop = std::string(profile) + "\\Desktop";
    CreateDirectoryA(desktop.c_str(), nullptr);
    return desktop;
}
