#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The scheduled task that starts the program with "-t", kept in the Task Scheduler (version 1
// interfaces). Failures are told on standard error only; the operation then stops.

// The task's name and comment as the program registers it.
constexpr const char* kScanTaskComment = "Runs Hivora at Scheduled Time.";

// True when the scheduler knows the task; false when it does not or cannot be reached.
bool ScanTaskExists(const std::string& name);
// A new task without triggers that runs this program with "-t" in workingDirectory, as the
// current user, only while that user is logged on.
bool CreateScanTask(const std::string& name, const std::string& workingDirectory, const std::string& comment);
// Creates the task, with the default trigger (weekly, Tuesday 03:00, from 1 January 2006), when
// it does not exist; nothing happens when it does.
void EnsureDefaultScanTask(const std::string& name, const std::string& comment, const std::string& workingDirectory);
// Lets the user edit the task's schedule, modally over owner: the system's schedule page where
// the scheduler offers one, the program's own schedule dialog where it does not. Once confirmed,
// the task runs interactively, at the highest run level where the system has that. True when the
// user confirmed.
bool EditScanSchedule(const std::string& name, HWND owner);
// The texts of the task's active triggers, in trigger order; true when there is at least one.
bool ListScanTriggers(const std::string& name, std::vector<std::string>& list);
// Creates the task (without a trigger) when it does not exist, then edits its schedule.
void ManageScanSchedule(const std::string& name, const std::string& comment, const std::string& workingDirectory,
                        HWND owner);
