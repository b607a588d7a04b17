#pragma once

// The engine's text rules for turning registry data into file paths to test. Pure string work,
// except ExpandEnvironment and NormalizeFilePath, which complete the rules with the system's
// environment (path_rules_system.cpp); whether the files are there is file_presence.h's.

#include <string>
#include <vector>

// Buffer size the engine reads names, data and paths into.
constexpr size_t kPathBuffer = 1024;

// The file a command line runs: the target of "Folder:" or of a regsvr32 call; other text unchanged.
std::string ExtractCommandTarget(const std::string& text);

// The first steps of NormalizeFilePath: quotes dropped, and the text cut just after the earliest
// ".exe", ".dll" or ".ocx" (any case). Environment references are still unexpanded.
std::string CutAtFileExtension(const std::string& text);

// ExpandEnvironmentStrings into a buffer of the engine's path size; empty when it does not fit.
// Where a variable's value is outside the ANSI code page, the lost characters are question marks,
// so that the path is never tested (IsUntestablePath).
std::string ExpandEnvironment(const std::string& text);

// The path a file reference names: quotes and arguments dropped (CutAtFileExtension), environment
// references expanded, a native name converted (Win32PathFromNtPath). text is left cut as the path
// was before expansion. Empty when the expansion does not fit the engine's path buffer.
std::string NormalizeFilePath(std::string& text);

// Undoes a cut inside a file name: the rest of the name that followed the extracted path in raw.
std::string RestoreNameTail(const std::string& raw, const std::string& extracted, const std::string& normalized);

// The prefixes of a command line that may name the program it runs, shortest first.
std::vector<std::string> CommandLineCandidates(const std::string& text);

// Windows Installer writes the key path of a component kept in the registry as "NN:\SUBKEY\" or
// "NN:\SUBKEY\VALUE": NN is the root (00 classes root, 01 current user, 02 local machine, 03
// users, 04 performance data), plus 20 in the 64-bit view (MsiGetComponentPath). No drive is named
// by digits: such a text is never a file path.
bool IsInstallerKeyPath(const std::string& text);

// A path with a question mark names no file that can be tested: the mark is a wildcard, or stands
// for a character the ANSI code page could not hold. Nor does a Windows Installer key path name a
// file. Such a path counts as present.
inline bool IsUntestablePath(const std::string& path)
{
    return path.find('?') != std::string::npos || IsInstallerKeyPath(path);
}

// Windows writes some paths as names of its object manager ("\??\C:\Windows\..."), and Wine its own
// files outside every drive as "\??\unix\...". The path such a name stands for, in the form the
// file calls take: the drive path after the prefix, "\\server\share\..." for "\??\UNC\server\share\...",
// the "\\?\" form of the same name otherwise. Other text comes back unchanged.
std::string Win32PathFromNtPath(const std::string& path);

// Keeps at most kPathBuffer - 1 characters, as a fixed buffer with its terminator would.
std::string FitPathBuffer(std::string text);

// A key below a "Wow6432Node" key (any letter case) holds a 32-bit program's registration on
// 64-bit Windows, and the paths in it mean what they mean to a 32-bit program.
bool IsWow64KeyPath(const std::string& keyPath);

// text with %ProgramFiles% and %CommonProgramFiles% (any case) made the references a 32-bit
// program expands them to: the "(x86)" folders.
std::string X86FolderReferences(const std::string& text);

// The file a 32-bit program on 64-bit Windows reaches by path: the system folder of windowsFolder
// is SysWOW64 to it, except for the folders the file system leaves alone, and "Sysnative" is the
// real system folder. Other paths come back unchanged.
std::string Path32BitView(const std::string& path, const std::string& windowsFolder);
