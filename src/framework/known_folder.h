#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

// The path of a known folder as the system names it now (SHGetKnownFolderPath, never creating
// it); empty when the system has none.
std::wstring KnownFolderPath(REFKNOWNFOLDERID id);
