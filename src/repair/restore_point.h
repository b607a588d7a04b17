#pragma once

#include <windows.h>

#include <srrestoreptapi.h>

#include <cstdint>
#include <string>

// What asking System Restore for a point before a repair came to.
enum RESTORE_POINT_RESULT {
    RPR_MADE,            // a new point
    RPR_RECENT_EXISTS,   // Windows 8 and later: a point of the last 24 hours stands in for it
    RPR_TURNED_OFF,      // System Restore is turned off
    RPR_FAILED,          // any other refusal, with its error
    RPR_NOT_AVAILABLE,   // the system has no System Restore
};

struct RESTORE_POINT_OUTCOME {
    RESTORE_POINT_RESULT nResult = RPR_NOT_AVAILABLE;
    int64_t nSequence = 0; // RPR_MADE, RPR_RECENT_EXISTS: the point's sequence number
    DWORD nError = 0;      // RPR_FAILED: the status System Restore gave
};

// The outcome of SRSetRestorePoint's answer. Windows 8 and later skip a new point when one was made
// in the last 24 hours: the call succeeds and hands back that point's sequence number
// (learn.microsoft.com, "Calling SRSetRestorePoint"), so a number no newer than lastSequence, the
// last point this program saw made (negative: none), is no new point.
RESTORE_POINT_OUTCOME DecideRestorePoint(bool succeeded, DWORD status, int64_t sequence, int64_t lastSequence);

// The log line of the outcome; "created restore point" for a new point.
std::string RestorePointLogLine(const RESTORE_POINT_OUTCOME& outcome);

// The outcomes after which the user decides whether the repair goes on without a point.
bool RestorePointFailed(const RESTORE_POINT_OUTCOME& outcome);

// What the user is asked then, before anything is removed: the message of a point that could not
// be made and the choice to go on (OK) or cancel.
std::string RestorePointQuestion(const RESTORE_POINT_OUTCOME& outcome);

// SRSetRestorePointA's form. Tests call a stand-in instead (Wine's is a stub); nullptr calls
// System Restore again.
using SET_RESTORE_POINT = BOOL(WINAPI*)(PRESTOREPOINTINFOA, PSTATEMGRSTATUS);
void UseRestorePointStandIn(SET_RESTORE_POINT standIn);

// Opens and closes a restore point at once, from System Restore's client library (or the stand-in),
// and keeps the sequence number of a new point in the setting "lastRestorePoint". Call on a thread
// with COM, in a process whose COM security InitializeComSecurity set.
RESTORE_POINT_OUTCOME CreateRestorePoint();

// Sets the process's COM security as System Restore needs it (its services call back into the
// process); once, at start, before any COM call that could set it implicitly. The result of
// CoInitializeSecurity. (learn.microsoft.com, "Using System Restore".)
HRESULT InitializeComSecurity();
