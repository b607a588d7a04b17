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
