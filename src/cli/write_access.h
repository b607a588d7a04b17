#pragma once

#include <string>

// hivora-cli runs as the user who started it, and what it writes lies in the program folder, which
// only administrators may change once installed. A command that would write where it cannot says
// so in one line before it changes anything.
enum CLI_WRITES : unsigned {
    CW_LOG = 1,         // the run's log in "Logs"
    CW_BACKUP = 2,      // backup sets in "Backup"
    CW_IGNORE_LIST = 4, // "ignorelist.dat"
};

// Empty when this process can write everything writes names in programFolder; otherwise the line
// that says what it cannot write and why.
std::string WriteRefusal(const std::string& programFolder, unsigned writes);
