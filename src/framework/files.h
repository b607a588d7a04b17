#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

// Opens or creates the file at path (CreateFileA with no security attributes and no template):
// empty, with GetLastError telling why, when that failed.
FileHandle OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                    DWORD flags = FILE_ATTRIBUTE_NORMAL);
// The same for a path in UTF-16, which reaches names the code page cannot spell.
FileHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                    DWORD flags = FILE_ATTRIBUTE_NORMAL);

// A C library stream on the open file, which it then owns; mode as _fdopen takes it ("w+b").
// Empty, with the handle closed, when the C library has no descriptor left for it.
FileStream StreamOf(FileHandle file, int descriptorFlags, const char* mode);
