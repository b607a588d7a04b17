#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console_text.h"
#include "cli/write_access.h"
#include "framework/com_ptr.h"
#include "framework/error.h"
#include "framework/format.h"
#include "framework/paths.h"
#include "repair/restore_point.h"
#include "shell/logfile.h"
#include "shell/startup_log.h"

namespace {

const CLI_COMMAND* const kCommands[] = {&g_cmdScan, &g_cmdIgnore, &g_cmdRepair, &g_cmdBackups, &g_cmdRestore, &g_cmdRemove, &g_cmdStats};

const CLI_COMMAND* FindCommand(const std::string& name)
{
    for (const CLI_COMMAND* command : kCommands)
        if (name == command->pszName)
            return command;
    return nullptr;
}

void PrintHelp(const CLI_COMMAND& command)
{
    PrintText(stdout, "usage: %s\n\n%s\n", command.pszUsage, command.pszHelp);
}

void PrintOverview(FILE* out)
{
    PrintText(out, "usage: hivora-cli COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const CLI_COMMAND* command : kCommands)
        PrintText(out, "  %-10s %s\n", command->pszName, command->pszSummary);
    PrintText(out, "\n'hivora-cli help COMMAND' describes one command.\n");
    PrintText(out, "\nOutput: in a console, every character as it is (Unicode); to a pipe or a file, UTF-8\n"
                   "without a byte order mark, the text and the TSV reports alike.\n");
}

} // namespace

int UsageError(const std::string& message, const CLI_COMMAND* command)
{
    PrintText(stderr, "hivora-cli: %s\n", message.c_str());
    if (command)
        PrintText(stderr, "usage: %s\n", command->pszUsage);
    else
        PrintOverview(stderr);
    return 2;
}

int main(int argc, char** argv)
{
    // Libraries loaded later come from the program's folder and the system's, never the current folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    // No "insert a disk" or "cannot find the file" box may stop a scan that asks about a drive without
    // its medium: the error comes back to the call instead (SetErrorMode documentation).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return UsageError("no command given", nullptr);
    if (args[0] == "--help" || args[0] == "-h") {
        PrintOverview(stdout);
        return 0;
    }
    if (args[0] == "help") {
        if (args.size() == 1) {
            PrintOverview(stdout);
            return 0;
        }
        const CLI_COMMAND* command = FindCommand(args[1]);
        if (!command)
            return UsageError("unknown command '" + args[1] + "'", nullptr);
        PrintHelp(*command);
        return 0;
    }
    const CLI_COMMAND* command = FindCommand(args[0]);
    if (!command)
        return UsageError("unknown command '" + args[0] + "'", nullptr);
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
        PrintHelp(*command);
        return 0;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command->writes) {
        const std::string refusal = WriteRefusal(ProgramFolder(), command->writes(rest));
        if (!refusal.empty()) {
            PrintText(stderr, "%s\n", refusal.c_str());
            return 1;
        }
    }
    // The program's start-up share: the commands log as Hivora.exe does, into the same folder.
    StartProcessLog(ProgramFolder());
    // Before any other COM call, which would settle the process's COM security for good: a repair
    // may ask System Restore for a point.
    const ComApartment com;
    if (const HRESULT hr = InitializeComSecurity(); FAILED(hr))
        LogMessage(Format("COM security could not be set (%s): a restore point may fail", HresultText(hr).c_str()), LOG_WARN);
    return command->run(rest);
}
