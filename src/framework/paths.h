#pragma once

#include <string>

// The full path of the running program file; empty when it cannot be found.
std::string ProgramPath();

// The full path of the program file or library this code is linked into (a DLL's own path, not its
// caller's); empty when it cannot be found.
std::string ModulePath();

// The folder of the running program file with its trailing backslash; empty when it cannot be found.
std::string ProgramFolder();

// The text up to and including the last backslash; empty when there is none.
std::string FolderOf(const std::string& path);
