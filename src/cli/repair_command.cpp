#include <cstdio>

#include "cli/commands.h"
#include "cli/console_text.h"
#include "cli/report_format.h"
#include "cli/scan_session.h"
#include "cli/write_access.h"
#include "framework/format.h"
#include "repair/clean_sweep.h"
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
    const CBackupSet& set = engine.BackupSet();
    if (Exists(set.RegBackupPath()))
        return set.Name();
    if (Exists(set.FileListPath())) {
        const size_t slash = set.FileBackupFolder().find_last_of('\\');
        return set.FileBackupFolder().substr(slash + 1);
    }
    return {};
}

// One line of a problem: for tsv "STATUS<TAB>the problem's fields[<TAB>field...]", else
// "STATUS  category  key\\name=data" and, when given, the text on a line of its own.
void PrintItem(bool tsv, const char* tsvStatus, const char* textStatus, const CRegistryProblem& problem,
               const std::vector<std::string>& fields, const std::string& text)
{
    if (tsv) {
        std::string line = TsvLine(problem);
        line.pop_back();
        line.insert(0, std::string(tsvStatus) + '\t');
        for (const std::string& field : fields)
            line += '\t' + EscapeTsvField(field);
        line += '\n';
        WriteText(stdout, line);
        return;
    }
    PrintText(stdout, "%-15s %-24s %s\\%s=%s\n", textStatus, CategoryDisplayName(problem.m_nType).c_str(),
                problem.m_strKey.c_str(), problem.m_strValueName.c_str(), problem.m_strData.c_str());
    if (!text.empty())
        PrintText(stdout, "%15s %s\n", "", text.c_str());
}

void PrintOutcomes(const CRegistryScanner& engine, bool tsv)
{
    int fixed = 0;
    int gone = 0;
    int failed = 0;
    for (const REPAIR_OUTCOME& outcome : engine.RepairOutcomes()) {
        const CRegistryProblem problem(outcome.strKey, outcome.strValueName, outcome.strData, outcome.nType, 0);
        if (outcome.bFixed) {
            PrintItem(tsv, "repaired", "repaired", problem, {}, {});
            ++fixed;
        } else if (outcome.bAlreadyRemoved) {
            PrintItem(tsv, "already-removed", "already removed", problem, {}, {});
            ++gone;
        } else {
            PrintItem(tsv, "failed", "NOT FIXED", problem, {outcome.strReason}, "reason: " + outcome.strReason);
            ++failed;
        }
    }
    const std::string set = KeptSetName(engine);
    if (tsv) {
        PrintText(stdout, "set\t%s\n", EscapeTsvField(set).c_str());
        PrintText(stdout, "total\t%d\t%d\t%d\n", fixed, failed, gone);
    } else {
        PrintText(stdout, "\nBackup set: %s\n", set.empty() ? "none (nothing was removed)" : set.c_str());
        PrintText(stdout, "%d problem(s) repaired, %d could not be repaired, %d already removed.\n", fixed, failed, gone);
    }
}

// What the repair would remove, one line per selected problem; nothing is changed.
void PrintPreview(const CRegistryScanner& engine, bool tsv)
{
    int count = 0;
    for (const auto& problem : g_arrProblems) {
        if (!engine.WillRepair(*problem))
            continue;
        const REMOVAL_PREVIEW preview = PreviewRemoval(*problem, true);
        const PLANNED_REMOVAL& plan = preview.plan;
        const std::string key = std::string(RootKeyName(plan.hRoot)) + "\\" + plan.strSubKey;
        switch (preview.nState) {
        case REMOVAL_PREVIEW::RP_ALREADY_REMOVED:
            PrintItem(tsv, "already-removed", "already removed", *problem, {}, {});
            continue;
        case REMOVAL_PREVIEW::RP_NOT_REMOVED:
            PrintItem(tsv, "not-removed", "not removed", *problem, {preview.strReason}, "reason: " + preview.strReason);
            continue;
        case REMOVAL_PREVIEW::RP_REMOVE:
            break;
        }
        ++count;
        switch (plan.nAction) {
        case PLANNED_REMOVAL::RA_VALUE:
            PrintItem(tsv, "value", "remove value", *problem, {key, plan.strValueName},
                      key + "\\" + DisplayValueName(plan.strValueName));
            break;
        case PLANNED_REMOVAL::RA_KEY_TREE:
            PrintItem(tsv, "key", "remove key", *problem,
                      {key, std::to_string(preview.nSubkeys), std::to_string(preview.nValues)},
                      Format("%s (%lu subkey(s), %lu value(s))", key.c_str(), preview.nSubkeys, preview.nValues));
            break;
        default:
            PrintItem(tsv, "file", "move file", *problem, {problem->m_strKey}, problem->m_strKey);
            break;
        }
    }
    if (tsv)
        PrintText(stdout, "total\t%d\n", count);
    else
        PrintText(stdout, "\n%d problem(s) would be repaired. Nothing was changed (--dry-run).\n", count);
}

int RunRepairCommand(const std::vector<std::string>& args)
{
    SCAN_OPTIONS options;
    std::vector<std::string> rest;
    if (const int rc = ParseScanOptions(args, options, rest, g_cmdRepair))
        return rc;
    bool all = false;
    bool dryRun = false;
    for (const std::string& arg : rest) {
        if (arg == "--dry-run")
            dryRun = true;
        else if (arg == "--select=all")
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
        PrintText(stdout, "\n");
    const int selected = SelectProblemsForRepair(all);
    if (dryRun) {
        PrintPreview(engine, options.bTsv);
        return 0;
    }
    const REPAIR_START start = engine.StartRepair(nullptr, selected);
    if (!start.bStarted) {
        if (start.bNothingSelected)
            PrintText(stderr, "%s\n", kRepairNothingSelectedText);
        else if (g_arrProblems.empty() && !options.bTsv)
            PrintText(stdout, "Nothing to repair.\n");
        return start.bNothingSelected || !g_arrProblems.empty() ? 1 : 0;
    }
    engine.Worker()->Wait();
    // Without a window to ask, the repair went on without the point.
    if (RestorePointFailed(engine.RestorePoint()))
        PrintText(stderr, "%s\n",
                  engine.RestorePoint().nResult == RPR_TURNED_OFF ? kRestorePointOffText
                                                                  : RestorePointLogLine(engine.RestorePoint()).c_str());
    if (!engine.RepairError().empty()) {
        PrintText(stderr, "hivora-cli: nothing was repaired: %s\n", engine.RepairError().c_str());
        return 1;
    }
    RecordRepairStatistics(engine.FixedCounts());
    PrintOutcomes(engine, options.bTsv);
    if (const std::string stopped = RepairStopMessage(engine); !stopped.empty()) {
        PrintText(stderr, "hivora-cli: %s\n", stopped.c_str());
        return 1;
    }
    for (const REPAIR_OUTCOME& outcome : engine.RepairOutcomes())
        if (!outcome.bFixed && !outcome.bAlreadyRemoved)
            return 1;
    return 0;
}

} // namespace

const CLI_COMMAND g_cmdRepair = {
    "repair",
    "hivora-cli repair [--categories=LIST] [--select=default|all] [--dry-run] [--format=text|tsv]",
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
    "  --dry-run          change nothing: print what the repair would remove, each value\n"
    "                     and each key with the number of subkeys and values in its tree.\n"
    "\n"
    "Prints each selected problem as repaired, already removed (gone before the repair\n"
    "reached it, as values of a key removed for another problem are) or not fixed (with the\n"
    "reason), the backup set's name and the totals. With --format=tsv the lines are:\n"
    "'repaired', 'already-removed' or 'failed', the problem's fields as 'scan' writes them (a\n"
    "failed line adds the reason), then 'set<TAB>NAME' and\n"
    "'total<TAB>REPAIRED<TAB>FAILED<TAB>ALREADY-REMOVED'. With --dry-run the lines are 'value'\n"
    "(the fields, KEY, NAME), 'key' (the fields, KEY, SUBKEYS, VALUES), 'file' (the fields,\n"
    "PATH), 'already-removed' or 'not-removed' (the fields, REASON), then 'total<TAB>COUNT'.\n"
    "\n"
    "Exit status: 0 every selected problem was repaired or already removed (or there was\n"
    "none), or the dry run ran; 1 the scan or the repair could not run or a problem could not\n"
    "be repaired; 2 usage error.",
    RunRepairCommand,
    [](const std::vector<std::string>& args) -> unsigned {
        for (const std::string& arg : args)
            if (arg == "--dry-run")
                return CW_LOG;
        return CW_LOG | CW_BACKUP;
    },
};
