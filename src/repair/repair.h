#pragma once

#include <windows.h>

#include <string>

#include "scan/problem.h"

class CRegistryScanner;

// Texts of the repair's message boxes (caption "Hivora").
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
};
PLANNED_REMOVAL PlanRemoval(const CRegistryProblem& problem);

// The log line of a repaired problem, formatted with key path, value name and value data.
const char* RepairLogFormat(REGPROBLEM_TYPE type);

// Ticked for repair when the results page is shown: every kind but file path references and empty keys.
bool IsRepairedByDefault(REGPROBLEM_TYPE type);

// The results page's selection: every problem but file path references and empty keys, or with
// all, every problem. Returns how many problems are selected.
int SelectProblemsForRepair(bool all);

// Opens and closes a System Restore point at once. False when System Restore refused it (the
// caller shows kRestorePointOffText); a system without System Restore is not a failure.
bool CreateRestorePoint();

struct REPAIR_START {
    bool bNothingSelected = false;   // kRepairNothingSelectedText applies; nothing was started
    bool bRestorePointFailed = false; // kRestorePointOffText applies
    bool bStarted = false;            // the worker runs; engine.m_pThread holds it
    int nSelected = 0;                // the count kRepairDoneText shows
};

// The start of a repair as the results page's repair button does it, without its message boxes.
// selected is the number of problems the page has ticked.
REPAIR_START StartRepair(CRegistryScanner& engine, HWND notify, int selected);

// Removes every selected problem of g_arrProblems into one new backup set, on the calling thread,
// and empties g_arrProblems. False when the backup set could not be made: then nothing is removed,
// the reason is in engine.m_strRepairError, and the problems stay.
bool RunRepair(CRegistryScanner& engine);

// The repair worker: RunRepair, then WM_SCAN_DONE_REPAIRED to the notification window.
UINT RepairThreadProc(void* param);
