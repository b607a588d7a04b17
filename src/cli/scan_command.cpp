#include "cli/commands.h"
#include "cli/scan_session.h"
#include "cli/write_access.h"

namespace {

int RunScan(const std::vector<std::string>& args)
{
    SCAN_OPTIONS options;
    std::vector<std::string> rest;
    if (const int rc = ParseScanOptions(args, options, rest, g_cmdScan))
        return rc;
    if (!rest.empty())
        return UsageError((rest[0].compare(0, 1, "-") == 0 ? "unknown option '" : "unexpected argument '") + rest[0] +
                              "'",
                          &g_cmdScan);
    return RunScanSession(options);
}

} // namespace

const CLI_COMMAND g_cmdScan = {
    "scan",
    "hivora-cli scan [--categories=LIST] [--format=text|tsv]",
    "scan the registry and print the problems found",
    "Scans the registry as the Scan Now page does: the same checks, log records, settings and\n"
    "statistics, and the same ignore list.\n"
    "\n"
    "  --categories=LIST  comma-separated setting keys of the categories to scan:\n"
    "                     comactx uninsta fonts shardll apppath helpfil winstrt fileref\n"
    "                     shrtcut emptkey fileass sundapp clskeys typelib deepscn,\n"
    "                     or 'all', or 'recommended' (all but shrtcut and deepscn).\n"
    "                     Default: the categories selected in Hivora, or 'recommended'\n"
    "                     when none is.\n"
    "  --format=text      (default) the problems grouped by category with their\n"
    "                     descriptions, then a summary; progress on standard error.\n"
    "  --format=tsv       one line per problem, in report order: setting key, key path,\n"
    "                     value name, data, separated by tabs; tab, line feed, carriage\n"
    "                     return and backslash inside a field are written \\t \\n \\r \\\\.\n"
    "\n"
    "Ctrl+C stops the scan as the Stop button does: categories not begun are skipped and\n"
    "what was found is still printed and counted.\n"
    "\n"
    "Exit status: 0 the scan ran to its end, 1 it could not run, 2 usage error.",
    RunScan,
    [](const std::vector<std::string>&) -> unsigned { return CW_LOG; },
};
