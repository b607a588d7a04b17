#include "scan/scanner.h"

#include <ctime>
#include <string>

#include "framework/fault.h"
#include "framework/format.h"
#include "repair/ansi_case.h"
#include "repair/exclusion_list.h"
#include "repair/repair.h"
#include "scan/checks.h"
#include "scan/class_index.h"
#include "scan/registry.h"
#include "scan/walk.h"
#include "shell/logfile.h"
#include "shell/product.h"
#include "shell/settings.h"
#include "shell/statistics.h"

std::unique_ptr<CRegistryScanner> g_pScanner;

namespace {

// Problems are announced at most this many to a message, and none waits longer than this (ms)
// once the check goes on: the page redraws its counts every 50 ms.
constexpr size_t kProblemBatch = 64;
constexpr DWORD kAnnounceDelay = 50;

} // namespace

CRegistryScanner::CRegistryScanner() = default;

CRegistryScanner::~CRegistryScanner() = default;

void CRegistryScanner::SetCategorySelection(const uint8_t flags[kCategoryCount])
{
    for (int i = 0; i < kCategoryCount; ++i) {
        m_abCategorySelected[i] = flags[i];
        m_anFound[i] = 0;
        m_anFixed[i] = 0;
    }
    m_nTotalFound = 0;
    m_nTotalFixed = 0;
    for (KEPT& kept : m_kept)
        kept = KEPT();
    m_classIndex.reset();
}

const char* WrongBuildRefusal(bool build32, bool wow64)
{
    return build32 && wow64 ? "This is the 32-bit build of Hivora, and this Windows is 64-bit. A 32-bit program sees "
                              "only part of the registry here, through a redirected file system: it would report "
                              "entries that are not broken and put restored ones in the wrong place. Nothing was "
                              "scanned or changed.\n\nPlease use the 64-bit build of Hivora (x86_64) on this "
                              "computer."
                            : nullptr;
}

bool CRegistryScanner::StartScan(HWND window)
{
    if (WrongBuildRefusal())
        return false;
    // The worker clears g_arrProblems: nothing reported before may be announced from it.
    m_unannounced.clear();
    m_reportableKeys.clear();
    m_classIndex.reset();
    return StartWorker(ScanThreadProc, window);
}

bool CRegistryScanner::StartWorker(ThreadProc proc, HWND window)
{
    m_hNotifyWnd = window;
    m_bRunning = 1;
    m_bStopRequested = 0;
    m_pThread = AfxBeginThread(proc, this);
    return m_pThread != nullptr;
}

bool CRegistryScanner::ReportProblem(std::unique_ptr<CRegistryProblem> problem)
{
    if (problem->m_nType >= 0 && problem->m_nType < kCategoryCount && m_kept[problem->m_nType].keeping) {
        KEPT& kept = m_kept[problem->m_nType];
        kept.parts[kept.part].push_back(std::move(problem));
        return true;
    }
    // What the repair would refuse to remove is no finding: an ordinary run never meets the guard.
    if (IsProtectedRemoval(*problem))
        return false;
    // A key the repair could not open with full access, or a volatile one (a restore could not give it
    // back), is never reported. Each key is asked once per scan: a key often holds several findings.
    const auto [known, added] = m_reportableKeys.try_emplace(problem->m_strKey, false);
    if (added)
        known->second = problem->IsKeyReportable();
    if (!known->second)
        return false;
    const std::string data = CAnsiCase::System().Lower(problem->m_strData);
    if (data.find("msiexec ") != std::string::npos || data.find("msiexec.exe") != std::string::npos)
        return true;
    if (IsProblemSuppressed(*problem))
        return false;

    CRegistryProblem* stored = problem.get();
    g_arrProblems.push_back(std::move(problem));
    // "Eroor" is deliberate: every log has it so, and readers of the logs look for it. The records
    // are written together, at the latest when the category ends.
    LogKept(Format("Eroor at %s\\%s=%s", stored->m_strKey.c_str(), stored->m_strValueName.c_str(),
                   stored->m_strData.c_str()));
    ++m_anFound[stored->m_nType];
    ++m_nTotalFound;
    // The page is told of problems in batches: a message costs as much as the rest of a report.
    if (m_unannounced.empty())
        m_dwUnannouncedSince = GetTickCount();
    m_unannounced.push_back(stored);
    if (m_unannounced.size() >= kProblemBatch || GetTickCount() - m_dwUnannouncedSince >= kAnnounceDelay)
        AnnounceProblems();
    return true;
}

void CRegistryScanner::KeepFindings(REGPROBLEM_TYPE type, size_t part)
{
    KEPT& kept = m_kept[type];
    kept.keeping = true;
    kept.part = part;
    if (kept.parts.size() <= part)
        kept.parts.resize(part + 1);
}

void CRegistryScanner::EndKeeping(REGPROBLEM_TYPE type, bool complete)
{
    KEPT& kept = m_kept[type];
    kept.keeping = false;
    kept.complete = complete;
    if (!complete)
        kept.parts.clear();
}

void CRegistryScanner::KeepClassIndex(std::unique_ptr<const CClassIndex> index)
{
    m_classIndex = std::move(index);
}

bool CRegistryScanner::ReportKept(REGPROBLEM_TYPE type)
{
    KEPT kept = std::move(m_kept[type]);
    m_kept[type] = KEPT();
    if (!kept.complete)
        return false;
    for (auto& part : kept.parts)
        for (auto& problem : part) {
            if (StopRequested())
                return true;
            SendPath(problem->m_strKey);
            ReportProblem(std::move(problem));
        }
    return true;
}

void CRegistryScanner::RequestStop()
{
    m_bStopRequested = 1;
    Resume();
}

void CRegistryScanner::LogCategoryBegin(REGPROBLEM_TYPE type) const
{
    LogMessage(Format("Finding%s\n", CategoryInfo(type).pszLogName));
}

void CRegistryScanner::LogCategoryEnd(REGPROBLEM_TYPE type) const
{
    LogMessage(Format("Found %d errors in %s", m_anFound[type].load(), CategoryInfo(type).pszLogName));
}

void CRegistryScanner::StopByUser()
{
    RequestStop();
    LogMessage("Scan cancelled by user");
}

void CRegistryScanner::StoreFoundCounts() const
{
    WriteSettingInt("errs", m_nTotalFound);
    for (int type = 0; type < kCategoryCount; ++type)
        WriteSettingInt(CategoryInfo(static_cast<REGPROBLEM_TYPE>(type)).pszFoundCounter, m_anFound[type]);
}

void CRegistryScanner::Pause()
{
    const std::lock_guard<std::mutex> lock(m_pauseMutex);
    m_bPaused = true;
}

void CRegistryScanner::Resume()
{
    {
        const std::lock_guard<std::mutex> lock(m_pauseMutex);
        m_bPaused = false;
    }
    m_pauseChanged.notify_all();
}

bool CRegistryScanner::StopRequested()
{
    if (!m_unannounced.empty() && GetTickCount() - m_dwUnannouncedSince >= kAnnounceDelay)
        AnnounceProblems();
    std::unique_lock<std::mutex> lock(m_pauseMutex);
    m_pauseChanged.wait(lock, [this] { return !m_bPaused; });
    return m_bStopRequested != 0;
}

void CRegistryScanner::SendPath(const char* text)
{
    if (ScanPathDue())
        Notify(WM_SCAN_PATH, reinterpret_cast<LPARAM>(text));
}

void CRegistryScanner::RunCheck(REGPROBLEM_TYPE type)
{
    RunCategoryCheck(*this, type);
}

bool ScanPathDue()
{
    static std::atomic<DWORD> lastShown{0};
    const DWORD now = GetTickCount();
    if (now - lastShown.load() < 101)
        return false;
    lastShown = now;
    return true;
}

void CRegistryScanner::WaitForScanEnd() const
{
    if (m_pThread)
        m_pThread->WaitDispatching();
}

void CRegistryScanner::StopScanAndWait()
{
    RequestStop();
    WaitForScanEnd();
}

void CRegistryScanner::AnnounceProblems()
{
    if (m_unannounced.empty())
        return;
    if (m_hNotifyWnd)
        SendMessageA(m_hNotifyWnd, WM_SCAN_PROBLEM, m_unannounced.size(), reinterpret_cast<LPARAM>(m_unannounced.data()));
    m_unannounced.clear();
}

LRESULT CRegistryScanner::Notify(UINT message, LPARAM lParam)
{
    AnnounceProblems();
    return m_hNotifyWnd ? SendMessageA(m_hNotifyWnd, message, 0, lParam) : 0;
}

void RunCategoryCheck(CRegistryScanner& engine, REGPROBLEM_TYPE type)
{
    static void (*const checks[kCategoryCount])(CRegistryScanner&) = {
        CheckComActiveX, CheckUninstall,        CheckFonts,       CheckSharedDlls, CheckAppPaths,
        CheckHelpFiles,  CheckStartup,          CheckFilePaths,   CheckShortcuts,  CheckEmptyKeys,
        CheckFileAssociations, CheckSoundEvents, CheckClassKeys,  CheckTypeLibraries, CheckDeepScan,
    };
    if (!engine.ReportKept(type))
        checks[type](engine);
}

UINT CRegistryScanner::ScanThreadProc(void* param)
{
    auto& engine = *static_cast<CRegistryScanner*>(param);
    const time_t started = time(nullptr);
    struct tm now {};
    localtime_s(&now, &started);
    const std::string dashes(76, '-');
    LogMessage(std::string("Hivora ver ") + kProductVersion);
    LogMessage(FormatTime("Logfile Created on: %A, %B %d, %Y %H:%M:%S", now) + "\n" + dashes + "\n" + dashes);
    LogMessage("Scanning started\n" + dashes);
    WriteSettingString("lastScan", FormatTime("%d-%m-%Y %H:%M:%S", now));

    g_arrProblems.clear();
    ResetFixedCounters();

    for (REGPROBLEM_TYPE type : g_aScanOrder) {
        if (engine.m_abCategorySelected[type] && !engine.StopRequested()) {
            engine.Notify(WM_SCAN_CATEGORY_BEGIN, type);
            // A check that fails on the way is logged and counts as ended: the scan goes on, and the
            // page still sees its end.
            try {
                engine.RunCheck(type);
            } catch (...) {
                ReportCaughtFault(("the check of " + std::string(CategoryInfo(type).pszLogName)).c_str());
            }
            engine.Notify(WM_SCAN_CATEGORY_END, type);
        } else {
            engine.Notify(WM_SCAN_CATEGORY_SKIPPED, type);
        }
    }

    engine.m_classIndex.reset();

    // The main window is the top of the notification window's parents; a window without parents
    // (a console session's message-only window) has none to restore.
    HWND main = engine.m_hNotifyWnd;
    while (HWND parent = main ? GetParent(main) : nullptr)
        main = parent;
    if (main && main != engine.m_hNotifyWnd)
        ShowWindow(main, SW_RESTORE);
    WriteSettingInt("lastfounderrors", ReadSettingInt("lastfounderrors") + engine.m_nTotalFound);

    LogFlush();
    if (!engine.m_bStopRequested && ReadSettingInt("repairafterfind") == 1) {
        for (auto& problem : g_arrProblems)
            problem->m_bSelected = 1;
        engine.RepairAndNotify();
    } else {
        engine.Notify(WM_SCAN_DONE, 0);
    }
    return 0;
}
