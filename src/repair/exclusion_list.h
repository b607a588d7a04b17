#pragma once

#include <string>
#include <vector>

class CRegistryProblem;

// The built-in list of key-path fragments that are never reported: each entry lower-cased and
// stripped of surrounding white space, in list order (duplicates included). Built on first use;
// safe to reach first from any thread.
const std::vector<std::string>& ExclusionList();

// True when no entry of the list occurs anywhere in text (case-insensitively, as a plain
// substring); an empty text passes.
bool PassesExclusionList(const char* text);

// True when the problem must not be reported: the ignore list holds it, its key path contains an
// entry of the exclusion list, or it is about Windows' package state (IsPackageState).
bool IsProblemSuppressed(const CRegistryProblem& problem);

// An entry as the list stores it: lower-cased, leading and trailing white space removed.
std::string NormalizeExclusionEntry(const std::string& entry);
