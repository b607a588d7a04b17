#include "repair/restore_point.h"

#include <aclapi.h>
#include <objbase.h>

#include <cstring>
#include <iterator>

#include "framework/error.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/security.h"
#include "repair/clean_sweep.h"
#include "repair/repair.h"
#include "shell/settings.h"

namespace {

// Process-wide, as System Restore is: set by tests before a repair, read by the repair's worker.
SET_RESTORE_POINT& StandIn()
{
    static SET_RESTORE_POINT standIn = nullptr;
    return standIn;
}

} // namespace

void UseRestorePointStandIn(SET_RESTORE_POINT standIn)
{
    StandIn() = standIn;
}

RESTORE_POINT_OUTCOME DecideRestorePoint(bool succeeded, DWORD status, int64_t sequence, int64_t lastSequence)
{
    RESTORE_POINT_OUTCOME outcome;
    outcome.nSequence = sequence;
    if (!succeeded) {
        outcome.nResult = status == ERROR_SERVICE_DISABLED ? RPR_TURNED_OFF : RPR_FAILED;
        outcome.nError = status;
        return outcome;
    }
    outcome.nResult = lastSequence >= 0 && sequence <= lastSequence ? RPR_RECENT_EXISTS : RPR_MADE;
    return outcome;
}

std::string RestorePointLogLine(const RESTORE_POINT_OUTCOME& outcome)
{
    switch (outcome.nResult) {
    case RPR_MADE:
        return "created restore point";
    case RPR_RECENT_EXISTS:
        return Format("No new restore point: Windows keeps the one it made in the last 24 hours (number %lld)",
                      static_cast<long long>(outcome.nSequence));
    case RPR_TURNED_OFF:
        return "No restore point: System Restore is turned off";
    case RPR_FAILED:
        return "No restore point: System Restore refused it (" + ErrorText(outcome.nError) + ")";
    case RPR_NOT_AVAILABLE:
        break;
    }
    return "No restore point: this system has no System Restore";
}

bool RestorePointFailed(const RESTORE_POINT_OUTCOME& outcome)
{
    return outcome.nResult == RPR_TURNED_OFF || outcome.nResult == RPR_FAILED;
}

std::string RestorePointQuestion(const RESTORE_POINT_OUTCOME& outcome)
{
    const std::string message =
        outcome.nResult == RPR_TURNED_OFF
            ? std::string(kRestorePointOffText)
            : "Couldn't set restore point: " + ErrorText(outcome.nError);
    return message + "\n\nNothing has been changed yet. Click OK to repair without a restore point, or Cancel to "
                     "leave everything as it is.";
}

RESTORE_POINT_OUTCOME CreateRestorePoint()
{
    Library library;
    SET_RESTORE_POINT setRestorePoint = StandIn();
    if (!setRestorePoint) {
        library.reset(LoadLibraryExA("SRCLIENT.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        if (library)
            setRestorePoint = reinterpret_cast<SET_RESTORE_POINT>(
                reinterpret_cast<void*>(GetProcAddress(library.get(), "SRSetRestorePointA")));
        if (!setRestorePoint)
            return {};
    }

    RESTOREPOINTINFOA info {};
    info.dwEventType = BEGIN_SYSTEM_CHANGE;
    info.dwRestorePtType = MODIFY_SETTINGS;
    strcpy(info.szDescription, "Tidemark Backup");
    STATEMGRSTATUS status {};
    const bool succeeded = setRestorePoint(&info, &status) != FALSE;
    const std::string last = ReadSettingString("lastRestorePoint");
    const RESTORE_POINT_OUTCOME outcome = DecideRestorePoint(
        succeeded, status.nStatus, status.llSequenceNumber, last.empty() ? -1 : _strtoi64(last.c_str(), nullptr, 10));
    if (outcome.nResult != RPR_MADE)
        return outcome;
    WriteSettingString("lastRestorePoint", Format("%lld", static_cast<long long>(outcome.nSequence)));
    info.llSequenceNumber = status.llSequenceNumber;
    info.dwEventType = END_SYSTEM_CHANGE;
    // The point stands from the first call; the second only closes it.
    setRestorePoint(&info, &status);
    return outcome;
}

HRESULT InitializeComSecurity()
{
    // The callers System Restore's services run as, and the process's own administrators, may call
    // back into the process (COM_RIGHTS_EXECUTE with COM_RIGHTS_EXECUTE_LOCAL).
    constexpr DWORD kExecute = 1 | 2;
    const WELL_KNOWN_SID_TYPE callers[] = {WinBuiltinAdministratorsSid, WinLocalServiceSid, WinNetworkServiceSid,
                                           WinSelfSid, WinLocalSystemSid};
    BYTE sids[std::size(callers)][SECURITY_MAX_SID_SIZE];
    EXPLICIT_ACCESSA entries[std::size(callers)] {};
    for (size_t i = 0; i < std::size(callers); ++i) {
        DWORD size = SECURITY_MAX_SID_SIZE;
        if (!CreateWellKnownSid(callers[i], nullptr, sids[i], &size))
            return HRESULT_FROM_WIN32(GetLastError());
        entries[i].grfAccessPermissions = kExecute;
        entries[i].grfAccessMode = SET_ACCESS;
        entries[i].grfInheritance = NO_INHERITANCE;
        entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entries[i].Trustee.TrusteeType = TRUSTEE_IS_GROUP;
        entries[i].Trustee.ptstrName = reinterpret_cast<LPSTR>(sids[i]);
    }
    PACL acl = nullptr;
    const DWORD rc = SetEntriesInAclA(static_cast<ULONG>(std::size(entries)), entries, nullptr, &acl);
    if (rc != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    const SecurityDescriptor aclOwner(acl);
    // CoInitializeSecurity takes an absolute descriptor only.
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorOwner(&descriptor, sids[0], FALSE) ||
        !SetSecurityDescriptorGroup(&descriptor, sids[0], FALSE) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE))
        return HRESULT_FROM_WIN32(GetLastError());
    return CoInitializeSecurity(&descriptor, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_DISABLE_AAA | EOAC_NO_CUSTOM_MARSHAL, nullptr);
}
