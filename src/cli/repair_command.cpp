#include <cstdio>

#include "cli/commands.h"
#include "cli/report_format.h"
#include "cli/scan_session.h"
#include "framework/format.h"
#include "repair/repair.h"
#include "scan/scanner.h"
#include "shell/statistics.h"

namespace {

bool Exists(const std::string& path)
{
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The name of what the run left in the backup folder; empty when it left nothing.
std::string KeptSetName(const CRegistryScanner& engine)
{
    if (Exists(engine.m_strRegBackupPath))
        return engine.m_strSetName;
    if (Exists(engine.m_strFileListPath)) {
        const size_t slash = engine.m_strFileBackupFolder.find_last_of('\\');
        return engine.m_strFileBackupFolder.substr(slash + 1);
    }
    return {};
}

void PrintOutcomes(const CRegistryScanner& engine, bool tsv)
{
    int fixed = 0;
    int failed = 0;
    for (const REPAIR_OUTCOME& outcome : engine.m_arrRepairOutcomes) {
        const CRegistryProblem problem(outcome.strKey, outcome.strValueName, outcome.strData, outcome.nType, 0);
        if (tsv) {
            std::string fields = TsvLine(problem);
            fields.pop_back();
            std::string line = outcome.bFixed ? "repaired" : "failed";
            line += '\t';
            line += fields;
            if (!outcome.bFixed) {
                line += '\t';
                line += EscapeTsvField(outcome.strReason);
            }
            line += '\n';
            std::fputs(line.c_str(), stdout);
        } else {
            std::printf("%-10s %-24s %s\\%s=%s\n", outcome.bFixed ? "repaired" : "NOT FIXED",
                        CategoryDisplayName(outcome.nType).c_str(), outcome.strKey.c_str(),
                        outcome.strValueName.c_str(), outcome.strData.c_str());
            if (!outcome.bFixed)
                std::printf("           reason: %s\n", outcome.strReason.c_str());
        }
        (outcome.bFixed ? fixed : failed)++;
    }
    const std::string set = KeptSetName(engine);
    if (tsv) {
        std::printf("set\t%s\n", EscapeTsvField(set).c_str());
        std::printf("total\t%d\t%d\n", fixed, failed);
    } else {
        std::printf("\nBackup set: %s\n", set.empty() ? "none (nothing was removed)" : set.c_str());
        std::printf("%d problem(s) repaired, %d could not be repaired.\n", fixed, failed);
    }
}

int RunRepairCommand(const std::vector<std::string>& args)
{
    SCAN_OPTIONS options;
    std::vector<std::string> rest;
    if (const int rc = ParseScanOptions(args, options, rest, g_cmdRepair))
        return rc;
    bool all = false;
    for (const std::string& arg : rest) {
        if (arg == "--select=all")
            all = true;
        else if (arg == "--select=default")
            all = false;
        else if (arg.compare(0, 9, "--select=") == 0)
            return UsageError("--select takes 'default' or 'all'", &g_cmdRepair);
        else
            return UsageError((arg.compare(0, 1, "-") == 0 ? "unknown option '" : "unexpected argument '") + arg + "'",
                              &g_cmdRepair);
    }

    if (const int rc = RunScanSession(options))
        return rc;
    CRegistryScanner& engine = *g_pScanner;
    if (!options.bTsv)
        std::printf("\n");
    const int selected = SelectProblemsForRepair(all);
    const REPAIR_START start = StartRepair(engine, nullptr, selected);
    if (start.bRestorePointFailed)
        std::fprintf(stderr, "%s\n", kRestorePointOffText);
    if (!start.bStarted) {
        if (start.bNothingSelected)
            std::fprintf(stderr, "%s\n", kRepairNothingSelectedText);
        else if (g_arrProblems.empty() && !options.bTsv)
            std::printf("Nothing to repair.\n");
        return start.bNothingSelected || !g_arrProblems.empty() ? 1 : 0;
    }
    engine.m_pThread->Wait();
    if (!engine.m_strRepairError.empty()) {
        std::fprintf(stderr, "hivora-cli: nothing was repaired: %s\n", engine.m_strRepairError.c_str());
        return 1;
    }
    RecordRepairStatistics(engine.m_anFixed);
    PrintOutcomes(engine, options.bTsv);
    for (const REPAIR_OUTCOME& outcome : engine.m_arrRepairOutcomes)
        if (!outcome.bFixed)
            return 1;
    return 0;
}

} // namespace

const CLI_COMMAND g_cmdRepair = {
    "repair",
    "hivora-cli repair [--categories=LIST] [--select=default|all] [--format=text|tsv]",
    "scan, then repair the problems found into a new backup set",
    "Scans exactly as 'hivora-cli scan' does (same options and output), then repairs the\n"
    "selected problems as the Repair button of the results page does: a restore point first\n"
    "when the setting \"rstrpont\" is on, every removed registry value and key written to\n"
    "a new backup set in the program's Backup folder, shortcut files moved into it, one log\n"
    "record per problem, and the statistics updated.\n"
    "\n"
    "  --select=default   (default) every problem except file path references and empty\n"
    "                     registry keys, as the results page ticks them.\n"
    "  --select=all       every problem found.\n"
    "\n"
    "Prints each selected problem as repaired or not (with the reason), the backup set's\n"
    "name and the totals. With --format=tsv the lines are: 'repaired' or 'failed', the\n"
    "problem's fields as 'scan' writes them (a failed line adds the reason), then\n"
    "'set<TAB>NAME' and 'total<TAB>REPAIRED<TAB>FAILED'.\n"
    "\n"
    "Exit status: 0 every selected problem was repaired (or there was none), 1 the scan or\n"
    "the repair could not run or a problem could not be repaired, 2 usage error.",
    RunRepairCommand,
};
