#pragma once

#include <string>
#include <vector>

#include "shell/task_xml.h"

// The scheduled task through the Task Scheduler 2.0 interfaces (ITaskService, ITaskFolder), the
// only ones that give a task the highest run level: a task without it cannot start a program that
// asks for administrator rights where user account control is on. The task is registered from the
// XML the program builds and read back as XML, so that what the scheduler kept is checked.

enum TASK_READ {
    TASK_FOUND,
    TASK_MISSING,
    TASK_UNREADABLE,  // the scheduler cannot be reached, or gives no readable definition
};

// The registered task name as its XML tells it, and that XML; reason tells why when unreadable.
TASK_READ ReadRegisteredTask(const std::string& name, TASK_XML& task, std::wstring& xml, std::string& reason);

// The task as this program registers it: the running program, workingDirectory, comment and the
// signed-in user.
SCAN_TASK_SETUP ProgramTaskSetup(const std::string& workingDirectory, const std::string& comment);

// Registers xml as the task name and reads it back. True when the scheduler kept its triggers, its
// action and its run level; otherwise reason names what was lost (or the call that failed) and the
// task is put back as it was: previous registered again, or the task removed when there was none.
bool RegisterScanTask(const std::string& name, const std::string& xml, const std::wstring* previous,
                      std::string& reason);

// Makes the 2.0 interfaces hold name as the program's current task (IsCurrentScanTask), registering
// it where they do not: with the triggers of the registered task; without one, with legacy (the
// triggers of a task the 1.0 interfaces keep apart), else with the default trigger when
// withDefault, else with none. True when they hold it; otherwise reason says why.
bool EnsureScanTaskV2(const std::string& name, const SCAN_TASK_SETUP& setup,
                      const std::vector<SCHEDULE_TRIGGER>* legacy, bool withDefault, std::string& reason);

// Logs which scheduler keeps the task: the 2.0 interfaces at the highest run level (reason empty),
// or, in one WARN line telling reason, the 1.0 interfaces.
void LogScanTaskPath(const std::string& name, const std::string& reason);
