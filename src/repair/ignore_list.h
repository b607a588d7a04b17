#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scan/problem.h"

// The user's ignore list: entry i is (g_arrIgnoreTypes[i], g_arrIgnoreKeys[i]), in the order the
// entries were added. Read them freely; change them only through the functions below, which keep
// the file and the lookup index in step.
extern std::vector<std::string> g_arrIgnoreKeys;
extern std::vector<REGPROBLEM_TYPE> g_arrIgnoreTypes;

// "ignorelist.dat" in the program folder.
std::string IgnoreListPath();

// "key\valueName|data" of the problem; nothing is escaped.
std::string IgnoreKey(const CRegistryProblem& problem);

// Appends the entries of the file to the list: even lines are types (atoi), odd lines keys. A file
// that cannot be read adds nothing.
void LoadIgnoreList(const std::string& path = IgnoreListPath());

// Writes the whole list, two lines per entry, replacing the file; false when it could not be written.
bool SaveIgnoreList(const std::string& path = IgnoreListPath());

// Appends the problem's type and ignore key and saves the list.
bool AddToIgnoreList(const CRegistryProblem& problem, const std::string& path = IgnoreListPath());

// Removes the entries at the given list indices (any order, repeats allowed) and saves the list.
bool RemoveFromIgnoreList(std::vector<size_t> indices, const std::string& path = IgnoreListPath());

// Empties the list in memory.
void ClearIgnoreList();

// An entry of the same type holds the problem's ignore key, compared without regard to case.
bool IsIgnored(const CRegistryProblem& problem);

// The Ignore link of a problem: logs it and adds it to the list.
bool IgnoreProblem(const CRegistryProblem& problem, const std::string& path = IgnoreListPath());
