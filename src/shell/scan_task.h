#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The scheduled task that starts the program with "-t". It is kept through the Task Scheduler 2.0
// interfaces at the highest run level (shell/task_service.h); where the scheduler does not keep
// such a task as registered, through the 1.0 interfaces, whose failures are told on standard
// error only (the operation then stops). The log says which.

// The task's name and comment as the program registers it.
constexpr const char* kScanTaskComment = "Runs Hivora at Scheduled Time.";

// True when the scheduler knows the task; false when it does not or cannot be reached.
bool ScanTaskExists(const std::string& name);
// A new task of the 1.0 interfaces without triggers that runs this program with "-t" in
// workingDirectory, as the current user, only while that user is logged on.
bool CreateScanTask(const std::string& name, const std::string& workingDirectory, const std::string& comment);
// Makes the task the program's own at the highest run level through the 2.0 interfaces, keeping
// the triggers of a task already there (of the 1.0 interfaces too) and giving a new one the default
// trigger (weekly, Tuesday 03:00, from 1 January 2006). Where the 2.0 interfaces do not keep it,
// creates it with the default trigger through the 1.0 interfaces when it does not exist there.
void EnsureDefaultScanTask(const std::string& name, const std::string& comment, const std::string& workingDirectory);
// Lets the user edit the task's schedule, modally over owner: the program's own schedule dialog for
// the task of the 2.0 interfaces, registered again with the triggers the dialog does not edit; for
// a task of the 1.0 interfaces the system's schedule page where the scheduler offers one, the
// program's dialog where it does not, after which the task runs interactively. True when the user
// confirmed.
bool EditScanSchedule(const std::string& name, HWND owner);
// The texts of the task's active triggers, in trigger order; true when there is at least one.
bool ListScanTriggers(const std::string& name, std::vector<std::string>& list);
// Creates the task (without a trigger) when it does not exist, then edits its schedule.
void ManageScanSchedule(const std::string& name, const std::string& comment, const std::string& workingDirectory,
                        HWND owner);
