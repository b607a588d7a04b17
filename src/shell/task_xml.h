#pragma once

// The scheduled task in the Task Scheduler's own XML (the task schema of Task Scheduler 2.0):
// building the program's task, reading a registered task's triggers, principal and action, and
// deciding whether what the scheduler gives back is what was registered. Pure rules, without the
// Windows headers; texts are UTF-8. Turning the scheduler's XML text into XML_ELEMENT is the
// system's XML reader's part (shell/xml_document.h).

#include <string>
#include <utility>
#include <vector>

#include "shell/trigger_text.h"

// One element: its local name (namespace prefixes and xmlns declarations left out, the whole task
// lies in one namespace), its attributes, its own text and its child elements in document order.
struct XML_ELEMENT {
    std::string strName;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string strText;
    std::vector<XML_ELEMENT> children;

    // The first child of that name; null when there is none.
    const XML_ELEMENT* Child(const std::string& name) const;
    // That child's text without surrounding white space; empty when there is no such child.
    std::string ChildText(const std::string& name) const;
};

// The element as XML text, with &, <, > and quotes escaped.
std::string WriteXmlElement(const XML_ELEMENT& element);

// A trigger of a task.
struct TASK_XML_TRIGGER {
    XML_ELEMENT element;        // as the scheduler gave it, kept whole when it is registered again
    bool bSchedule = false;     // the element is a kind the schedule dialog knows
    SCHEDULE_TRIGGER schedule;  // that schedule, when bSchedule
    bool bEnabled = true;
};

// What the program reads of a registered task.
struct TASK_XML {
    int nCompatibility = -1;    // the scheduler's TASK_COMPATIBILITY value; -1 when not told
    std::string strLogonType;   // "InteractiveToken", "Password", ...
    std::string strRunLevel;    // "HighestAvailable" or "LeastPrivilege"
    int nActions = 0;
    bool bExecAction = false;   // the first action starts a program
    std::string strCommand, strArguments, strWorkingDirectory;
    std::string strDescription;
    std::vector<TASK_XML_TRIGGER> triggers;
};

// The task document whose root element is Task.
TASK_XML ReadTaskXml(const XML_ELEMENT& task);

// What the program registers besides the triggers.
struct SCAN_TASK_SETUP {
    std::string strProgram;          // the program's full path, started with "-t"
    std::string strWorkingDirectory; // the program folder without its trailing backslash
    std::string strDescription;
    std::string strUserSid;          // the signed-in user, as a SID string
};

// The whole task: Task Scheduler 2.0 compatibility (task version 1.2), the signed-in user with an
// interactive token at the highest run level, the triggers as given, one Exec action.
std::string BuildScanTaskXml(const SCAN_TASK_SETUP& setup, const std::vector<XML_ELEMENT>& triggers);

// The trigger element for a schedule. Built over previous (the element the schedule was read
// from), it keeps that element's id and the children a schedule does not tell (a random delay, the
// user of a logon trigger, ...) as long as the kind of element stays the same.
XML_ELEMENT ScheduleTriggerElement(const SCHEDULE_TRIGGER& schedule, const XML_ELEMENT* previous = nullptr);

// The default trigger: weekly, Tuesday 03:00, from 1 January 2006.
SCHEDULE_TRIGGER DefaultScanTrigger();

// The line the Scheduling page shows for a trigger.
std::string TriggerListText(const TASK_XML_TRIGGER& trigger);

// The registered task is the program's own as this version registers it: compatible with Task
// Scheduler 2.0 or later, run with an interactive token at the highest level, starting program
// "-t" alone. Anything else is registered again.
bool IsCurrentScanTask(const TASK_XML& task, const std::string& program);

// What a read-back lacks of what was registered.
enum TASK_LOSS : unsigned {
    TASK_LOST_TRIGGERS = 0x1,
    TASK_LOST_ACTION = 0x2,
    TASK_LOST_RUN_LEVEL = 0x4,
};

// The losses of readBack against registered; 0 when the scheduler kept everything that matters.
unsigned LostInReadBack(const TASK_XML& registered, const TASK_XML& readBack);

// The losses named in words, e.g. "its triggers, its action and its run level".
std::string LostText(unsigned lost);
