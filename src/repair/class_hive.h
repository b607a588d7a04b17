#pragma once

#include <string>
#include <vector>

// HKEY_CLASSES_ROOT is no key of its own on Windows: it merges the user's classes
// (HKEY_CURRENT_USER\Software\Classes) over the machine's (HKEY_LOCAL_MACHINE\Software\Classes), and
// a key written through it that does not exist goes to the machine's. A removal made and recorded
// through HKEY_CLASSES_ROOT would therefore come back machine-wide from a backup, so the repair
// removes and records the physical keys instead.
// (learn.microsoft.com: "HKEY_CLASSES_ROOT Key", "Merged View of HKEY_CLASSES_ROOT".)

struct CLASSES_TARGET {
    const char* pszRoot;   // "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE" or "HKEY_CLASSES_ROOT"
    std::string strSubKey; // below that root
};

// The subkey below either root that holds the classes of rest (a path below HKEY_CLASSES_ROOT).
std::string ClassesSubKey(const std::string& rest);

// Where the key or value at rest below HKEY_CLASSES_ROOT lives, given whether the user's classes
// and the machine's classes hold it: the user's, the machine's, or both (the user's first: each is
// removed and recorded on its own). When neither holds it, HKEY_CLASSES_ROOT itself is the place:
// a registry without the merged view (Wine's) keeps its classes there.
std::vector<CLASSES_TARGET> ResolveClassesPath(const std::string& rest, bool inUserClasses, bool inMachineClasses);
