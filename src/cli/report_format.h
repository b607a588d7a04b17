#pragma once

#include <cstdint>
#include <string>

#include "scan/problem.h"

// Plain text of list-control markup: <br> becomes a line feed, every other tag is dropped.
std::string StripMarkup(const std::string& markup);

// A field of a tab-separated line: tab, line feed, carriage return and backslash as \t, \n, \r, \\.
std::string EscapeTsvField(const std::string& text);

// One --format=tsv line (with its line feed): setting key, key path, value name, data.
std::string TsvLine(const CRegistryProblem& problem);

// A category's name as the scan page shows it, without the dialog escapes and padding.
std::string CategoryDisplayName(REGPROBLEM_TYPE type);

// Parses a comma-separated list of setting keys, "all" and "recommended" into selected; false with
// the offending name in unknown when an item is none of them.
bool ParseCategoryList(const std::string& list, uint8_t selected[kCategoryCount], std::string& unknown);
