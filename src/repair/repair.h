#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "scan/problem.h"

class CRegistryScanner;

// Texts of the repair's message boxes (caption "Hivora"), "atleast" and "registry.Click" deliberately
// as users know them.
constexpr const char* kRepairNothingSelectedText = "Please select atleast one item";
constexpr const char* kRepairDoneText =
    "Hivora has Successfully fixed %d Critical Error(s) in your system registry.Click OK to view Statistics.";
constexpr const char* kRestorePointOffText =
    "Couldn't set restore point because your Windows System Restore is turned off";

// How one problem is removed, by its kind and key path.
struct PLANNED_REMOVAL {
    // RA_SCHEME_SOUND: the event key's first scheme (".Current", ".Default") whose sound is the
    // problem's data loses that default value.
    enum ACTION { RA_NONE, RA_VALUE, RA_KEY_TREE, RA_MOVE_FILE, RA_SCHEME_SOUND };
    ACTION nAction = RA_NONE;
    HKEY hRoot = nullptr;
    std::string strSubKey;    // the key, or the key holding the value
    std::string strValueName; // RA_VALUE: the value ("" for the default value)
    std::string strReason;    // RA_NONE: why nothing may be removed
    bool bProtected = false;  // RA_NONE: the key is one IsProtectedKey never lets go
};
PLANNED_REMOVAL PlanRemoval(const CRegistryProblem& problem);

// The repair would refuse the problem's removal as that of a protected key: no check reports it.
bool IsProtectedRemoval(const CRegistryProblem& problem);

// What the repair would do with one problem, found out without removing anything.
struct REMOVAL_PREVIEW {
    enum STATE { RP_REMOVE, RP_ALREADY_REMOVED, RP_NOT_REMOVED };
    STATE nState = RP_REMOVE;
    PLANNED_REMOVAL plan;  // a scheme sound resolved to the scheme's default value
    // RP_REMOVE: what is removed, each recorded on its own: the plan itself, or for a plan through
    // HKEY_CLASSES_ROOT the physical keys of the user's and the machine's classes that hold it.
    std::vector<PLANNED_REMOVAL> parts;
    std::string strReason; // RP_NOT_REMOVED: why
    DWORD nSubkeys = 0;    // RA_KEY_TREE with countTree: keys and values of the whole tree below
    DWORD nValues = 0;
};
// With countTree the registry is only read: the tree to be removed is counted. Without it the
// repair's own test is made as well, which refuses a volatile key (where the system gives no key
// flags, it probes the key with a subkey created and deleted again).
REMOVAL_PREVIEW PreviewRemoval(const CRegistryProblem& problem, bool countTree);

// The log line of a repaired problem, formatted with key path, value name and value data.
const char* RepairLogFormat(REGPROBLEM_TYPE type);

// Ticked for repair when the results page is shown: every kind but file path references and empty keys.
bool IsRepairedByDefault(REGPROBLEM_TYPE type);

// The results page's selection: every problem but file path references and empty keys, or with
// all, every problem. Returns how many problems are selected.
int SelectProblemsForRepair(bool all);

// Sent by the repair worker to the notification window when no restore point could be made, before
// anything is removed; lParam: the question (const char*). IDOK goes on, anything else cancels.
constexpr UINT WM_REPAIR_ASK_RESTORE_POINT = 0x633;

// How CRegistryScanner::StartRepair went.
struct REPAIR_START {
    bool bNothingSelected = false;   // kRepairNothingSelectedText applies; nothing was started
    bool bStarted = false;            // the worker runs (CRegistryScanner::Worker)
    int nSelected = 0;                // the count kRepairDoneText shows
};

// What the window tells the user when a repair removed nothing (RepairError is set): the
// refusal of the wrong build, or why the backup files could not be made.
std::string RepairErrorMessage(const CRegistryScanner& engine);

// Why the repair stopped early because a backup write failed (the disk is full, say), with how
// many problems were repaired and backed up before; empty when it did not.
std::string RepairStopMessage(const CRegistryScanner& engine);
