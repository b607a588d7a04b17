#pragma once

#include <string>

// Whether the scheduled task that starts the program may and must be given the highest run level.
// The program asks for administrator rights, so on a system with user account control a task
// started at the limited level never runs it. Pure rules, without the Windows headers; the values
// are the Task Scheduler's own.

constexpr int kRunLevelLimited = 0;
constexpr int kRunLevelHighest = 1;

constexpr int kLogonPassword = 1;
constexpr int kLogonInteractiveTokenOrPassword = 6;

// The registered task as the scheduler describes it.
struct SCHEDULED_TASK_STATE {
    int nRunLevel = kRunLevelLimited;
    int nLogonType = 0;
    int nActions = 0;
    bool bExecAction = false;   // the first action starts a program
    std::string strCommand;     // that program and its arguments
    std::string strArguments;
};

enum RUNLEVEL_STEP {
    RUNLEVEL_ALREADY_HIGHEST,   // nothing to do
    RUNLEVEL_RAISE,             // register it again with the highest run level
    RUNLEVEL_NOT_OURS,          // it starts something other than program "-t": left alone
    RUNLEVEL_NEEDS_PASSWORD,    // registering it again would need the account's password
};

// The step for a task that should start program (its full path) with "-t". A task of that name
// that starts anything else is never raised: the run level would elevate whatever it starts.
RUNLEVEL_STEP DecideRunLevelStep(const SCHEDULED_TASK_STATE& task, const std::string& program);
