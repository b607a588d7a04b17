#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "scan/problem.h"
#include "shell/product.h"

// The figures the statistics page shows, as the settings key and the ignore list hold them.
struct STATISTICS {
    int32_t anFound[kCategoryCount] = {};   // found by the last scan
    int32_t anFixed[kCategoryCount] = {};   // fixed by the last repair
    int32_t anIgnored[kCategoryCount] = {}; // ignore-list entries
    int32_t nFoundTillDate = 0;             // "lastfounderrors"
    int32_t nFixedTillDate = 0;             // "ErrorsFixed"
    std::string strLastScan;                // "lastScan"
};

// The rows of the statistics table, top to bottom.
struct STATISTICS_ROW {
    const char* pszCaption;
    REGPROBLEM_TYPE nType;
};
extern const STATISTICS_ROW g_aStatisticsRows[kCategoryCount];

constexpr const char* kLastUpdated = "16-07-07";

// Sets the fifteen per-category fixed counters to 0.
void ResetFixedCounters();

// After a repair: each fixed counter takes this run's count, "ErrorsFixed" grows by the run's
// total and "nFixed" follows it; logs "Fixed %d errors" with the new running total.
void RecordRepairStatistics(const int32_t fixedPerCategory[kCategoryCount]);

// Reads the counters; the ignored counts come from ignoreTypes unless the page was cleared.
STATISTICS LoadStatistics(const std::vector<REGPROBLEM_TYPE>& ignoreTypes, bool cleared);

// Writes 0 to the fifteen found and the fifteen fixed counters; the running totals stay.
void ClearStatistics();

// The date and time fields shown for "lastScan".
std::pair<std::string, std::string> SplitLastScan(const std::string& lastScan);
