#include "repair/repair.h"

#include <cstring>

#include "framework/com_ptr.h"
#include "framework/error.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/product_name.h"
#include "framework/wide_text.h"
#include "repair/class_hive.h"
#include "repair/clean_sweep.h"
#include "repair/windows_keys.h"
#include "scan/registry.h"
#include "scan/scanner.h"
#include "scan/walk.h"
#include "shell/logfile.h"
#include "shell/settings.h"

namespace {

// The roots each kind may change, as names; an empty name ends the list.
const char* const kAcceptedRoots[kCategoryCount][2] = {
    {"HKEY_CLASSES_ROOT", ""},                  // 0 COM/ActiveX
    {"HKEY_LOCAL_MACHINE", ""},                 // 1 uninstall
    {"HKEY_LOCAL_MACHINE", ""},                 // 2 fonts
    {"HKEY_LOCAL_MACHINE", ""},                 // 3 shared DLLs
    {"HKEY_LOCAL_MACHINE", ""},                 // 4 application paths
    {"HKEY_LOCAL_MACHINE", ""},                 // 5 help files
    {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}, // 6 start-up
    {"HKEY_LOCAL_MACHINE", "HKEY_USERS"},        // 7 file path references
    {"", ""},                                   // 8 shortcuts: the key path is a file path
    {"HKEY_USERS", ""},                         // 9 empty keys
    {"HKEY_CLASSES_ROOT", ""},                  // 10 file associations
    {"HKEY_CURRENT_USER", ""},                  // 11 sound events
    {"HKEY_CLASSES_ROOT", ""},                  // 12 class keys
    {"HKEY_CLASSES_ROOT", ""},                  // 13 type libraries
    {"HKEY_LOCAL_MACHINE", "HKEY_USERS"},        // 14 deep scan
};

// Spelled as every log has them ("Activex", "Entiries", "Fileassosiations", no blank before the
// sound event's key): deliberate, readers of the logs look for these texts.
const char* const kRepairLogFormats[kCategoryCount] = {
    "Fixed COM/Activex Entries error %s\\%s=%s",
    "Fixed Uninstall Entiries error %s\\%s=%s",
    "Fixed Font Entries error %s\\%s=%s",
    "Fixed Shared Dlls error %s\\%s=%s",
    "Fixed Application paths error %s\\%s=%s",
    "Fixed Help file information error %s\\%s=%s",
    "Fixed Windows start up error %s\\%s=%s",
    "Fixed File path references error %s\\%s=%s",
    "Fixed program shortcuts error %s\\%s=%s",
    "Fixed Empty registry keys error %s\\%s=%s",
    "Fixed Fileassosiations error %s\\%s=%s",
    "Fixed Sound and application events error%s\\%s=%s",
    "Fixed Invalid class keys item error %s\\%s=%s",
    "Fixed Type libraries item error %s\\%s=%s",
    "Fixed Deepscan error %s\\%s=%s",
};

bool IsValidType(REGPROBLEM_TYPE type)
{
    return type >= 0 && type < kCategoryCount;
}

enum class REPAIR_RESULT { RR_REMOVED, RR_ALREADY_REMOVED, RR_NOT_REMOVED, RR_REFUSED };

// The scheme (".Current", ".Default") of the event whose sound is the problem's data; empty when
// no scheme names that sound any more.
std::string FindSchemeSound(const PLANNED_REMOVAL& plan, const std::string& sound)
{
    for (const char* scheme : {".Current", ".Default"}) {
        const std::string subkey = plan.strSubKey + "\\" + scheme;
        RegKey key;
        DWORD type = 0;
        std::string data;
        if (RegOpenKeyExA(plan.hRoot, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS ||
            ReadRegistryValueW(key.get(), L"", type, data) != ERROR_SUCCESS)
            continue;
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
        text.resize(wcsnlen(text.c_str(), text.size()));
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && text == Widen(sound))
            return subkey;
    }
    return {};
}

// Visits root\\subkey and every key below it, read through the wide calls so that every name is
// reached; visit(HKEY, subkey) returns false to end the walk. False when the walk was ended.
template <typename Visit>
bool WalkTree(HKEY root, const std::wstring& subkey, REGSAM access, Visit&& visit)
{
    RegKey key;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, access, key.put()) != ERROR_SUCCESS)
        return true;
    if (!visit(key.get(), subkey))
        return false;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return true;
        if (!WalkTree(root, subkey + L"\\" + name, access, visit))
            return false;
    }
}

// The repair's volatility test of a key it is about to change: the scan's (the key's flags, else the
// places of volatile keys), and where the system gives no flags, the registry's own refusal of a
// non-volatile subkey below a volatile key: a probe subkey is created and at once deleted again. Only
// the repair asks so, inside a key it changes anyway; a scan never does. key needs KEY_QUERY_VALUE
// and KEY_CREATE_SUB_KEY access.
bool IsVolatileForRemoval(HKEY key, const std::string& keyPath)
{
    const KEY_VOLATILITY flags = ReadKeyVolatility(key);
    if (flags != KEY_VOLATILITY::KV_UNKNOWN || IsVolatileKeyPlace(keyPath))
        return IsVolatileKeyAt(flags, keyPath);
    char probe[64];
    wsprintfA(probe, "Hivora volatility probe %lu-%lu", GetCurrentProcessId(), GetCurrentThreadId());
    RegKey created;
    DWORD disposition = 0;
    const LONG rc = RegCreateKeyExA(key, probe, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                                    created.put(), &disposition);
    if (rc == ERROR_CHILD_MUST_BE_VOLATILE)
        return true;
    if (rc == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY) {
        created.reset();
        RegDeleteKeyA(key, probe);
    }
    return false;
}

constexpr REGSAM kVolatileTestAccess = KEY_READ | KEY_CREATE_SUB_KEY;

// Whether the key holds a volatile key anywhere in its tree, itself included; rootName names root.
bool TreeHasVolatileKey(HKEY root, const std::string& rootName, const std::string& subkey)
{
    return !WalkTree(root, Widen(subkey), kVolatileTestAccess, [&](HKEY key, const std::wstring& path) {
        return !IsVolatileForRemoval(key, rootName + "\\" + Narrow(path));
    });
}

bool IsVolatileKeyForRemoval(HKEY root, const std::string& rootName, const std::string& subkey)
{
    const RegKey key = OpenKey(root, subkey.c_str(), kVolatileTestAccess);
    return key && IsVolatileForRemoval(key.get(), rootName + "\\" + subkey);
}

// The keys below the key and the values of the whole tree.
void CountTree(HKEY root, const std::string& subkey, DWORD& subkeys, DWORD& values)
{
    DWORD keys = 0;
    WalkTree(root, Widen(subkey), KEY_READ, [&](HKEY key, const std::wstring&) {
        DWORD own = 0;
        if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &own, nullptr, nullptr,
                             nullptr, nullptr) == ERROR_SUCCESS)
            values += own;
        ++keys;
        return true;
    });
    subkeys = keys > 0 ? keys - 1 : 0;
}

REPAIR_RESULT RemoveProblem(CCleanSweep& sweep, const CRegistryProblem& problem, std::string& reason)
{
    const REMOVAL_PREVIEW preview = PreviewRemoval(problem, false);
    if (preview.nState == REMOVAL_PREVIEW::RP_ALREADY_REMOVED)
        return REPAIR_RESULT::RR_ALREADY_REMOVED;
    if (preview.nState == REMOVAL_PREVIEW::RP_NOT_REMOVED) {
        reason = preview.strReason;
        return preview.plan.bProtected ? REPAIR_RESULT::RR_REFUSED : REPAIR_RESULT::RR_NOT_REMOVED;
    }
    if (preview.plan.nAction == PLANNED_REMOVAL::RA_MOVE_FILE)
        return sweep.MoveFileToBackup(problem.m_strKey, reason) ? REPAIR_RESULT::RR_REMOVED
                                                                : REPAIR_RESULT::RR_NOT_REMOVED;
    for (const PLANNED_REMOVAL& part : preview.parts) {
        bool removed = false;
        switch (part.nAction) {
        case PLANNED_REMOVAL::RA_VALUE:
            removed = sweep.DeleteValueWithBackup(part.hRoot, part.strSubKey, part.strValueName, reason);
            break;
        case PLANNED_REMOVAL::RA_KEY_TREE:
            removed = sweep.DeleteKeyTreeWithBackup(part.hRoot, part.strSubKey, reason);
            break;
        default:
            reason = "nothing to remove";
            break;
        }
        if (!removed)
            return REPAIR_RESULT::RR_NOT_REMOVED;
    }
    return REPAIR_RESULT::RR_REMOVED;
}

// Whether the key (for a value plan, the value) of the plan is there, under root\subkey.
bool PlannedItemExists(HKEY root, const std::string& subkey, const PLANNED_REMOVAL& plan)
{
    RegKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return false;
    return plan.nAction != PLANNED_REMOVAL::RA_VALUE ||
           RegQueryValueExA(key.get(), plan.strValueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The plan as it applies to the registry: through HKEY_CLASSES_ROOT, the physical keys that hold it.
std::vector<PLANNED_REMOVAL> PhysicalParts(const PLANNED_REMOVAL& plan)
{
    if (plan.hRoot != HKEY_CLASSES_ROOT)
        return {plan};
    const std::string classes = ClassesSubKey(plan.strSubKey);
    std::vector<PLANNED_REMOVAL> parts;
    for (const CLASSES_TARGET& target :
         ResolveClassesPath(plan.strSubKey, PlannedItemExists(HKEY_CURRENT_USER, classes, plan),
                            PlannedItemExists(HKEY_LOCAL_MACHINE, classes, plan))) {
        PLANNED_REMOVAL part = plan;
        part.hRoot = RootKeyFromName(target.pszRoot);
        part.strSubKey = target.strSubKey;
        parts.push_back(std::move(part));
    }
    return parts;
}

} // namespace

REMOVAL_PREVIEW PreviewRemoval(const CRegistryProblem& problem, bool countTree)
{
    REMOVAL_PREVIEW preview;
    PLANNED_REMOVAL& plan = preview.plan;
    plan = PlanRemoval(problem);
    const auto refuse = [&](std::string reason) {
        preview.nState = REMOVAL_PREVIEW::RP_NOT_REMOVED;
        preview.strReason = std::move(reason);
        return preview;
    };
    if (plan.nAction == PLANNED_REMOVAL::RA_NONE)
        return refuse(plan.strReason);
    if (plan.nAction == PLANNED_REMOVAL::RA_MOVE_FILE) {
        if (GetFileAttributesA(problem.m_strKey.c_str()) == INVALID_FILE_ATTRIBUTES &&
            IsGone(GetLastError()))
            preview.nState = REMOVAL_PREVIEW::RP_ALREADY_REMOVED;
        return preview;
    }

    if (plan.nAction == PLANNED_REMOVAL::RA_SCHEME_SOUND) {
        // No scheme names the sound any more: the event key went, or its sounds were changed.
        const std::string scheme = FindSchemeSound(plan, problem.m_strData);
        if (scheme.empty()) {
            preview.nState = REMOVAL_PREVIEW::RP_ALREADY_REMOVED;
            return preview;
        }
        plan.nAction = PLANNED_REMOVAL::RA_VALUE;
        plan.strSubKey = scheme;
        plan.strValueName.clear();
    }
    preview.parts = PhysicalParts(plan);
    // The merged view is gone only when every place that held it is.
    bool present = false;
    for (const PLANNED_REMOVAL& part : preview.parts) {
        RegKey key;
        LONG rc = RegOpenKeyExA(part.hRoot, part.strSubKey.c_str(), 0, KEY_QUERY_VALUE, key.put());
        if (rc == ERROR_SUCCESS && part.nAction == PLANNED_REMOVAL::RA_VALUE)
            rc = RegQueryValueExA(key.get(), part.strValueName.c_str(), nullptr, nullptr, nullptr, nullptr);
        present |= !IsGone(rc);
    }
    if (!present) {
        preview.nState = REMOVAL_PREVIEW::RP_ALREADY_REMOVED;
        return preview;
    }
    if (countTree) {
        if (plan.nAction == PLANNED_REMOVAL::RA_KEY_TREE)
            for (const PLANNED_REMOVAL& part : preview.parts) {
                DWORD subkeys = 0, values = 0;
                CountTree(part.hRoot, part.strSubKey, subkeys, values);
                preview.nSubkeys += subkeys;
                preview.nValues += values;
            }
        return preview;
    }
    // Asking may create and delete a probe key, so only a real repair asks.
    for (const PLANNED_REMOVAL& part : preview.parts) {
        const std::string rootName = RootKeyName(part.hRoot);
        const bool isVolatile = part.nAction == PLANNED_REMOVAL::RA_KEY_TREE
                                    ? TreeHasVolatileKey(part.hRoot, rootName, part.strSubKey)
                                    : IsVolatileKeyForRemoval(part.hRoot, rootName, part.strSubKey);
        if (isVolatile)
            return refuse("the key is volatile: no backup could make it again");
    }
    return preview;
}

namespace {

// The root name the problem's key path begins with, among those its kind may change; empty when
// none.
std::string AcceptedRoot(const CRegistryProblem& problem)
{
    std::string rootName;
    for (const char* root : kAcceptedRoots[problem.m_nType]) {
        const size_t length = strlen(root);
        if (length > 0 && problem.m_strKey.compare(0, length, root) == 0 && problem.m_strKey.size() > length &&
            problem.m_strKey[length] == '\\')
            rootName = root;
    }
    return rootName;
}

// What is removed of the key rest (below the root) for a problem of the kind with the value name.
void SetAction(PLANNED_REMOVAL& plan, REGPROBLEM_TYPE type, const std::string& rest, const std::string& name,
               bool menuOrder)
{
    switch (type) {
    case RPT_COM_ACTIVEX:
    case RPT_EMPTY_KEYS:
    case RPT_FILE_ASSOC:
        plan.nAction = PLANNED_REMOVAL::RA_KEY_TREE;
        plan.strSubKey = rest;
        break;
    case RPT_UNINSTALL:
        plan.nAction = PLANNED_REMOVAL::RA_KEY_TREE;
        plan.strSubKey = rest + "\\" + name;
        break;
    case RPT_APP_PATHS:
        plan.nAction = PLANNED_REMOVAL::RA_VALUE;
        plan.strSubKey = rest + "\\" + name;
        break;
    case RPT_SOUND_EVENTS:
        // The check names the event key and "(Default)": the sound itself is a scheme's default value.
        plan.nAction = name == "(Default)" ? PLANNED_REMOVAL::RA_SCHEME_SOUND : PLANNED_REMOVAL::RA_VALUE;
        plan.strSubKey = rest;
        if (plan.nAction == PLANNED_REMOVAL::RA_VALUE)
            plan.strValueName = name == "@" ? std::string() : name;
        break;
    default:
        if (menuOrder) {
            plan.nAction = PLANNED_REMOVAL::RA_KEY_TREE;
            plan.strSubKey = rest + "\\" + name;
        } else {
            plan.nAction = PLANNED_REMOVAL::RA_VALUE;
            plan.strSubKey = rest;
            // The class key and type library checks name the default value "(Default)".
            const bool defaultValue =
                name == "@" || ((type == RPT_CLASS_KEYS || type == RPT_TYPE_LIBS) && name == "(Default)");
            plan.strValueName = defaultValue ? std::string() : name;
        }
        break;
    }
}

} // namespace

PLANNED_REMOVAL PlanRemoval(const CRegistryProblem& problem)
{
    PLANNED_REMOVAL plan;
    const REGPROBLEM_TYPE type = problem.m_nType;
    if (!IsValidType(type)) {
        plan.strReason = "the problem has no known kind";
        return plan;
    }
    if (type == RPT_SHORTCUTS) {
        plan.nAction = PLANNED_REMOVAL::RA_MOVE_FILE;
        return plan;
    }

    const std::string rootName = AcceptedRoot(problem);
    if (rootName.empty()) {
        plan.strReason = "the key path does not begin with a root this kind may change";
        return plan;
    }
    plan.hRoot = RootKeyFromName(rootName);
    const std::string rest = problem.m_strKey.substr(rootName.size() + 1);
    const std::string& name = problem.m_strValueName;

    // Kinds whose value name names a subkey: without one the parent key itself would go.
    const bool menuOrder =
        type == RPT_STARTUP && rootName == "HKEY_CURRENT_USER" && rest.find("MenuOrder\\") != std::string::npos;
    if ((type == RPT_UNINSTALL || type == RPT_APP_PATHS || menuOrder) && name.empty()) {
        plan.strReason = "the problem names no subkey";
        return plan;
    }

    SetAction(plan, type, rest, name, menuOrder);
    // The last line against a check gone wrong: a hive or a key holding others' entries never goes.
    if (plan.nAction == PLANNED_REMOVAL::RA_KEY_TREE && IsProtectedKey(rootName + "\\" + plan.strSubKey)) {
        plan.nAction = PLANNED_REMOVAL::RA_NONE;
        plan.bProtected = true;
        plan.strReason = rest.empty() ? "a whole root key is never removed"
                                      : "the key " + rootName + "\\" + plan.strSubKey +
                                            " is a hive or holds the entries of other programs: it is never removed";
    }
    return plan;
}

bool IsProtectedRemoval(const CRegistryProblem& problem)
{
    return PlanRemoval(problem).bProtected;
}

const char* RepairLogFormat(REGPROBLEM_TYPE type)
{
    return IsValidType(type) ? kRepairLogFormats[type] : "";
}

bool IsRepairedByDefault(REGPROBLEM_TYPE type)
{
    return type != RPT_FILE_PATHS && type != RPT_EMPTY_KEYS;
}

int SelectProblemsForRepair(bool all)
{
    int selected = 0;
    for (const auto& problem : g_arrProblems) {
        problem->m_bSelected = all || IsRepairedByDefault(problem->m_nType);
        selected += problem->m_bSelected;
    }
    return selected;
}

REPAIR_START CRegistryScanner::StartRepair(HWND notify, int selected)
{
    REPAIR_START start;
    WriteSettingString("actionperformed", "Errors Fixed");
    LogMessage("\n" + std::string(112, '-') + "\nFIXING ERROR(S)\n" + std::string(100, '-'));
    if (g_arrProblems.empty())
        return start;
    if (selected == 0) {
        start.bNothingSelected = true;
        return start;
    }
    start.nSelected = selected;
    // The point is asked for by the worker: it may take minutes, and the window stays responsive.
    m_bRestorePointFirst = ReadSettingInt("rstrpont") != 0;
    start.bStarted = StartWorker(RepairThreadProc, notify);
    if (!start.bStarted)
        LogMessage("The repair could not be started: no worker thread", LOG_ERROR);
    return start;
}

std::string RepairErrorMessage(const CRegistryScanner& engine)
{
    if (const char* refusal = WrongBuildRefusal(); refusal && engine.RepairError() == refusal)
        return refusal;
    return "Hivora could not create its backup files, so nothing was repaired.\n\n" + engine.RepairError();
}

bool CRegistryScanner::RestorePointFirst()
{
    {
        const ComApartment com;
        m_restorePoint = CreateRestorePoint();
    }
    LogMessage(RestorePointLogLine(m_restorePoint), RestorePointFailed(m_restorePoint) ? LOG_WARN : LOG_INFO);
    if (RestorePointFailed(m_restorePoint) && m_hNotifyWnd) {
        const std::string question = RestorePointQuestion(m_restorePoint);
        if (Notify(WM_REPAIR_ASK_RESTORE_POINT, reinterpret_cast<LPARAM>(question.c_str())) != IDOK) {
            m_bRepairCancelled = true;
            LogMessage("Repair cancelled without a restore point: nothing was removed", LOG_WARN);
            return false;
        }
    }
    return true;
}

bool CRegistryScanner::RepairProblem(const CRegistryProblem& problem, int (&fixed)[kCategoryCount])
{
    const REGPROBLEM_TYPE type = problem.m_nType;
    REPAIR_OUTCOME outcome{problem.m_strKey, problem.m_strValueName, problem.m_strData, type, false, false, {}};
    const char* key = problem.m_strKey.c_str();
    const char* name = problem.m_strValueName.c_str();
    const char* data = problem.m_strData.c_str();
    switch (RemoveProblem(*this, problem, outcome.strReason)) {
    case REPAIR_RESULT::RR_REMOVED:
        outcome.bFixed = true;
        ++fixed[type];
        ++m_anFixed[type];
        ++m_nTotalFixed;
        LogMessage(Format(RepairLogFormat(type), key, name, data));
        break;
    case REPAIR_RESULT::RR_ALREADY_REMOVED:
        // Removed earlier in this run with the key that held it, or by someone else.
        outcome.bAlreadyRemoved = true;
        LogMessage(Format("Already removed %s\\%s=%s", key, name, data));
        break;
    case REPAIR_RESULT::RR_NOT_REMOVED:
        LogMessage(Format("Could not fix %s\\%s=%s: %s", key, name, data, outcome.strReason.c_str()), LOG_WARN);
        break;
    case REPAIR_RESULT::RR_REFUSED:
        LogMessage(Format("Refused to fix %s\\%s=%s: %s", key, name, data, outcome.strReason.c_str()), LOG_ERROR);
        break;
    }
    m_arrRepairOutcomes.push_back(std::move(outcome));
    // Nothing more may go without its backup: the set ends with the last whole record.
    if (BackupWriteError() == ERROR_SUCCESS)
        return true;
    LogMessage(RepairStopMessage(*this), LOG_ERROR);
    return false;
}

bool CRegistryScanner::WillRepair(const CRegistryProblem& problem) const
{
    return problem.m_bSelected && IsValidType(problem.m_nType) && m_abCategorySelected[problem.m_nType];
}

bool CRegistryScanner::RunRepair()
{
    m_arrRepairOutcomes.clear();
    m_strRepairError.clear();
    ResetRemovalState();
    m_bRepairCancelled = false;
    m_restorePoint = RESTORE_POINT_OUTCOME{};

    if (const char* refusal = WrongBuildRefusal()) {
        m_strRepairError = refusal;
        LogMessage("Repair refused, nothing was removed: " + m_strRepairError, LOG_ERROR);
        return false;
    }
    if (m_bRestorePointFirst && !RestorePointFirst())
        return false;

    RegKey run;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_ALL_ACCESS,
                      run.put()) == ERROR_SUCCESS)
        RegDeleteKeyA(run.get(), HV_PRODUCT_NAME);
    run.reset();

    if (const Result opened = OpenBackupSet(); !opened) {
        m_strRepairError = opened.Reason();
        LogMessage("Repair stopped, nothing was removed: " + m_strRepairError, LOG_ERROR);
        return false;
    }
    int fixed[kCategoryCount] = {};
    for (const auto& problem : g_arrProblems) {
        // The program is closing: the set ends complete after the item in hand.
        if (m_bStopRequested) {
            LogMessage("Repair stopped before its end: the program is closing", LOG_WARN);
            break;
        }
        if (WillRepair(*problem) && !RepairProblem(*problem, fixed))
            break;
    }
    bool registryFixed = false;
    for (int type = 0; type < kCategoryCount; ++type)
        registryFixed |= type != RPT_SHORTCUTS && fixed[type] != 0;
    FinishBackupSet(fixed[RPT_SHORTCUTS] != 0, registryFixed);
    return true;
}

std::string RepairStopMessage(const CRegistryScanner& engine)
{
    const DWORD error = engine.BackupWriteError();
    if (error == ERROR_SUCCESS)
        return {};
    int fixed = 0;
    for (const REPAIR_OUTCOME& outcome : engine.RepairOutcomes())
        fixed += outcome.bFixed;
    const std::string why = IsDiskFull(error) ? std::string("the disk is full")
                                              : "the backup could not be written (" + ErrorText(error) + ")";
    return Format("The repair stopped because %s. %d problem(s) were repaired and backed up, and the Backup page "
                  "can undo them; nothing else was changed.",
                  why.c_str(), fixed);
}

void CRegistryScanner::RepairAndNotify()
{
    const bool ran = RunRepair();
    Notify(WM_SCAN_DONE_REPAIRED, 0);
    if (ran)
        g_arrProblems.clear();
}

UINT CRegistryScanner::RepairThreadProc(void* param)
{
    static_cast<CRegistryScanner*>(param)->RepairAndNotify();
    return 0;
}
