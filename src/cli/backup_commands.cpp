#include <cstdio>

#include <mbstring.h>

#include <algorithm>

#include "cli/commands.h"
#include "cli/console_text.h"
#include "cli/write_access.h"
#include "framework/format.h"
#include "framework/paths.h"
#include "repair/backup_sets.h"
#include "scan/scanner.h"

namespace {

std::string BackupFolder()
{
    return BackupFolderPath(ProgramFolder());
}

bool SameName(const std::string& a, const std::string& b)
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()), reinterpret_cast<const unsigned char*>(b.c_str())) ==
           0;
}

// The listed sets the arguments name, each once; 2 after a usage error, 1 when there is no set at all.
int ResolveNames(const std::vector<std::string>& args, const CLI_COMMAND& command, const char* noItemsText,
                 const char* noneTickedText, std::vector<std::string>& names)
{
    const std::vector<BACKUP_SET_ROW> rows = ListBackupSets(BackupFolder());
    if (args.empty()) {
        if (rows.empty()) {
            PrintText(stderr, "%s\n", noItemsText);
            return 1;
        }
        PrintText(stderr, "%s\n", noneTickedText);
        return UsageError("no backup set named", &command);
    }
    for (const std::string& arg : args) {
        if (arg.compare(0, 1, "-") == 0)
            return UsageError("unknown option '" + arg + "'", &command);
        const BACKUP_SET_ROW* found = nullptr;
        for (const BACKUP_SET_ROW& row : rows)
            if (SameName(row.strName, arg))
                found = &row;
        if (!found)
            return UsageError("unknown backup set '" + arg + "' (see 'hivora-cli backups')", &command);
        bool listed = false;
        for (const std::string& name : names)
            listed |= name == found->strName;
        if (!listed)
            names.push_back(found->strName);
    }
    return 0;
}

int ListSets(const std::vector<std::string>& args)
{
    if (!args.empty())
        return UsageError("unexpected argument '" + args[0] + "'", &g_cmdBackups);
    const std::vector<BACKUP_SET_ROW> rows = ListBackupSets(BackupFolder());
    size_t width = 0;
    for (const BACKUP_SET_ROW& row : rows)
        width = std::max(width, row.strName.size());
    for (const BACKUP_SET_ROW& row : rows)
        PrintText(stdout, "%-*s  %s\n", static_cast<int>(width), row.strName.c_str(), row.strDateTime.c_str());
    return 0;
}

int RestoreSets(const std::vector<std::string>& args)
{
    std::vector<std::string> names;
    if (const int rc = ResolveNames(args, g_cmdRestore, kRestoreNoItemsText, kRestoreNoneTickedText, names))
        return rc;
    std::vector<std::string> failures;
    std::string refusal;
    const int restored = RestoreBackupSets(BackupFolder(), names, &failures, &refusal);
    if (restored < 0) {
        PrintText(stderr, "hivora-cli: %s\n", refusal.c_str());
        return 1;
    }
    for (const std::string& failure : failures)
        PrintText(stderr, "hivora-cli: not restored: %s\n", failure.c_str());
    if (restored == 0) {
        PrintText(stderr, "%s\n", kCouldNotRestoreText);
        return 1;
    }
    PrintText(stdout, "%s\n", Format(kRestoredText, restored).c_str());
    return 0;
}

int RemoveSets(const std::vector<std::string>& args)
{
    std::vector<std::string> names;
    if (const int rc = ResolveNames(args, g_cmdRemove, kRemoveNoItemsText, kRemoveNoneTickedText, names))
        return rc;
    int removed = 0;
    for (const std::string& name : names) {
        if (RemoveBackupSets(BackupFolder(), {name}) == 1) {
            PrintText(stdout, "Removed %s\n", name.c_str());
            ++removed;
        } else {
            PrintText(stderr, "hivora-cli: %s could not be removed completely\n", name.c_str());
        }
    }
    return removed > 0 ? 0 : 1;
}

} // namespace

const CLI_COMMAND g_cmdBackups = {
    "backups",
    "hivora-cli backups",
    "list the backup sets the repairs left",
    "Lists the backup sets of the program's Backup folder as the Backup page does: one line\n"
    "per set, its name and the date and time of the first of its files found, the row the\n"
    "page shows on top first. Empty files and folders are not listed.\n"
    "\n"
    "Exit status: 0, or 2 usage error.",
    ListSets,
};

const CLI_COMMAND g_cmdRestore = {
    "restore",
    "hivora-cli restore NAME...",
    "restore backup sets",
    "Restores the named backup sets as the Restore button of the Backup page does: the\n"
    "registry backup file is imported with the registry editor and, once every key and\n"
    "value of it is found back with the same type and data, deleted; the moved shortcut\n"
    "files go back to where they were. A set that does not come back whole keeps what is\n"
    "left of it and is reported. Names are compared without regard to case.\n"
    "\n"
    "Exit status: 0 at least one set was restored, 1 none could be, 2 unknown set name or\n"
    "usage error.",
    RestoreSets,
    [](const std::vector<std::string>&) -> unsigned { return CW_LOG | CW_BACKUP; },
};

const CLI_COMMAND g_cmdRemove = {
    "remove",
    "hivora-cli remove NAME...",
    "delete backup sets",
    "Deletes the named backup sets as the Remove button of the Backup page does: the\n"
    "registry backup file, the moved-files list and the folder of saved files. No\n"
    "confirmation is asked.\n"
    "\n"
    "Exit status: 0 at least one set was removed, 1 none could be, 2 unknown set name or\n"
    "usage error.",
    RemoveSets,
    [](const std::vector<std::string>&) -> unsigned { return CW_LOG | CW_BACKUP; },
};
