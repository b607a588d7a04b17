#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "scan/problem.h"

// The text of "ignorelist.dat": two lines per entry, the type as a decimal number, then the key. A
// key holding a line feed has its length in bytes after the type, separated by a tab, and spans as
// many lines as it holds.

// Appends the entries of the text: even lines are types (atoi), odd lines keys. A CR before a line
// feed belongs to the line end.
void ParseIgnoreFile(std::string_view text, std::vector<REGPROBLEM_TYPE>& types, std::vector<std::string>& keys);

// The text for the entries, each line ended by CR LF; a key without a type gets 0.
std::string FormatIgnoreFile(const std::vector<REGPROBLEM_TYPE>& types, const std::vector<std::string>& keys);
