#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "scan/problem.h"

struct SCAN_OPTIONS {
    uint8_t abSelected[kCategoryCount]; // 1 = scan the category, indexed by REGPROBLEM_TYPE
    bool bTsv;                          // --format=tsv
};

// Parses --categories= and --format=; arguments it does not know are appended to rest. Without
// --categories the categories whose setting key reads 1 are chosen, or the recommended ones when
// none does. Returns 0, or 2 after printing the usage error for command.
int ParseScanOptions(const std::vector<std::string>& args, SCAN_OPTIONS& options, std::vector<std::string>& rest,
                     const CLI_COMMAND& command);

// Runs a real scan (worker thread + message-only window), printing as `scan` does; afterwards
// g_pScanner holds the finished engine and g_arrProblems its problems. Returns 0 when the scan ran
// to its end (a Ctrl+C stop included), 1 when it could not run.
int RunScanSession(const SCAN_OPTIONS& options);
