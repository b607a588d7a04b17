#pragma once

#include <string>
#include <vector>

// One hivora-cli command. run gets the arguments after the command name and returns the exit
// status: 0 done, 1 could not be done, 2 usage error.
struct CLI_COMMAND {
    const char* pszName;
    const char* pszUsage;   // the command's synopsis line(s), without "usage: "
    const char* pszSummary; // one line for the overview
    const char* pszHelp;    // the full text of "help COMMAND"
    int (*run)(const std::vector<std::string>& args);
    // What the command would write (CLI_WRITES flags) for these arguments; none when null.
    unsigned (*writes)(const std::vector<std::string>& args) = nullptr;
};

// Defined by each command's own file.
extern const CLI_COMMAND g_cmdScan;
extern const CLI_COMMAND g_cmdIgnore;
extern const CLI_COMMAND g_cmdRepair, g_cmdBackups, g_cmdRestore, g_cmdRemove, g_cmdStats;

// Prints "hivora-cli: MESSAGE" and the usage of command (or the overview) to standard error; returns 2.
int UsageError(const std::string& message, const CLI_COMMAND* command);
