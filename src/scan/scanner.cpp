#include "scan/scanner.h"

#include <ctime>
#include <string>

#include "framework/format.h"
#include "repair/repair.h"
#include "scan/checks.h"
#include "shell/logfile.h"
#include "shell/settings.h"
#include "shell/statistics.h"

std::unique_ptr<CRegistryScanner> g_pScanner;

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
}

bool CRegistryScanner::StartScan(HWND window)
{
    m_hNotifyWnd = window;
    m_bRunning = 1;
    m_bStopRequested = 0;
    m_pThread = AfxBeginThread(ScanThreadProc, this);
    return m_pThread != nullptr;
}

bool CRegistryScanner::ReportProblem(std::unique_ptr<CRegistryProblem> problem)
{
    if (!problem->IsKeyAccessible())
        return false;
    std::string data = problem->m_strData;
    for (char& c : data)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (data.find("msiexec ") != std::string::npos || data.find("msiexec.exe") != std::string::npos)
        return true;
    if (IsProblemSuppressed(*problem))
        return false;

    CRegistryProblem* stored = problem.get();
    g_arrProblems.push_back(std::move(problem));
    LogMessage(Format("Eroor at %s\\%s=%s", stored->m_strKey.c_str(), stored->m_strValueName.c_str(),
                      stored->m_strData.c_str()));
    ++m_anFound[stored->m_nType];
    ++m_nTotalFound;
    Notify(WM_SCAN_PROBLEM, reinterpret_cast<LPARAM>(stored));
    return true;
}

void CRegistryScanner::RequestStop()
{
    m_bStopRequested = 1;
    Resume();
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
    std::unique_lock<std::mutex> lock(m_pauseMutex);
    m_pauseChanged.wait(lock, [this] { return !m_bPaused; });
    return m_bStopRequested != 0;
}

void CRegistryScanner::SendPath(const std::string& text)
{
    Notify(WM_SCAN_PATH, reinterpret_cast<LPARAM>(text.c_str()));
}

LRESULT CRegistryScanner::Notify(UINT message, LPARAM lParam)
{
    return m_hNotifyWnd ? SendMessageA(m_hNotifyWnd, message, 0, lParam) : 0;
}

void RunCategoryCheck(CRegistryScanner& engine, REGPROBLEM_TYPE type)
{
    static void (*const checks[kCategoryCount])(CRegistryScanner&) = {
        CheckComActiveX, CheckUninstall,        CheckFonts,       CheckSharedDlls, CheckAppPaths,
        CheckHelpFiles,  CheckStartup,          CheckFilePaths,   CheckShortcuts,  CheckEmptyKeys,
        CheckFileAssociations, CheckSoundEvents, CheckClassKeys,  CheckTypeLibraries, CheckDeepScan,
    };
    checks[type](engine);
}

UINT ScanThreadProc(void* param)
{
    auto& engine = *static_cast<CRegistryScanner*>(param);
    const time_t started = time(nullptr);
    struct tm now {};
    localtime_s(&now, &started);
    const std::string dashes(76, '-');
    LogMessage("Hivora ver 2.1.4");
    LogMessage(FormatTime("Logfile Created on: %A, %B %d, %Y %H:%M:%S", now) + "\n" + dashes + "\n" + dashes);
    LogMessage("Scanning started\n" + dashes);
    WriteSettingString("lastScan", FormatTime("%d-%m-%Y %H:%M:%S", now));

    g_arrProblems.clear();
    ResetFixedCounters();

    for (REGPROBLEM_TYPE type : g_aScanOrder) {
        if (engine.m_abCategorySelected[type] && !engine.m_bStopRequested) {
            engine.Notify(WM_SCAN_CATEGORY_BEGIN, type);
            RunCategoryCheck(engine, type);
            engine.Notify(WM_SCAN_CATEGORY_END, type);
        } else {
            engine.Notify(WM_SCAN_CATEGORY_SKIPPED, type);
        }
    }

    if (HWND main = FindWindowA(nullptr, "Hivora"))
        ShowWindow(main, SW_RESTORE);
    WriteSettingInt("lastfounderrors", ReadSettingInt("lastfounderrors") + engine.m_nTotalFound);

    if (!engine.m_bStopRequested && ReadSettingInt("repairafterfind") == 1) {
        for (auto& problem : g_arrProblems)
            problem->m_bSelected = 1;
        RunRepair(engine);
        engine.Notify(WM_SCAN_DONE_REPAIRED, 0);
    } else {
        engine.Notify(WM_SCAN_DONE, 0);
    }
    return 0;
}
