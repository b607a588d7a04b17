#include <cstdio>

#include "cli/commands.h"
#include "cli/console_text.h"
#include "repair/ignore_list.h"
#include "shell/statistics.h"

namespace {

// A caption as the page shows it: the dialog escape "&&" is one ampersand, no padding.
std::string ShownCaption(const char* caption)
{
    std::string text;
    for (const char* p = caption; *p; ++p) {
        if (p[0] == '&' && p[1] == '&')
            ++p;
        text += *p;
    }
    const size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

int ShowStats(const std::vector<std::string>& args)
{
    if (!args.empty())
        return UsageError("unexpected argument '" + args[0] + "'", &g_cmdStats);
    LoadIgnoreList();
    const STATISTICS stats = LoadStatistics(g_arrIgnoreTypes, false);
    const auto [date, time] = SplitLastScan(stats.strLastScan);

    PrintText(stdout, "Last Scan Review\n");
    PrintText(stdout, "  Date:                        %s\n", date.c_str());
    PrintText(stdout, "  Time:                        %s\n", time.c_str());
    PrintText(stdout, "  Error(s) Found Till Date:    %d\n", stats.nFoundTillDate);
    PrintText(stdout, "  Error(s) Cleaned Till Date:  %d\n", stats.nFixedTillDate);
    PrintText(stdout, "Product Summary\n");
    PrintText(stdout, "  Version:                     %s\n", kProductVersion);
    PrintText(stdout, "  Last Updated:                %s\n\n", kLastUpdated);
    PrintText(stdout, "%-24s %8s %8s %8s\n", "", "Error(s)", "Cleaned", "Ignored");
    for (const STATISTICS_ROW& row : g_aStatisticsRows)
        PrintText(stdout, "%-24s %8d %8d %8d\n", ShownCaption(row.pszCaption).c_str(), stats.anFound[row.nType],
                    stats.anFixed[row.nType], stats.anIgnored[row.nType]);
    return 0;
}

} // namespace

const CLI_COMMAND g_cmdStats = {
    "stats",
    "hivora-cli stats",
    "show the statistics page's figures",
    "Prints what the Statistics page shows: the date and time of the last scan, the errors\n"
    "found and cleaned till date, the product version, and per category the errors found by\n"
    "the last scan, cleaned by the last repair and held in the ignore list.\n"
    "\n"
    "Exit status: 0, or 2 usage error.",
    ShowStats,
};
