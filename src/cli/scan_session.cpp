#include "cli/scan_session.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

#include "cli/console_text.h"
#include "cli/report_format.h"
#include "repair/ignore_list.h"
#include "scan/scan_user.h"
#include "scan/scanner.h"
#include "shell/settings.h"

namespace {

// Posted by the console control handler: the Stop button's part, done on the session's thread.
constexpr UINT WM_SESSION_STOP = WM_APP + 1;

constexpr char kWindowClass[] = "HivoraCliScanSession";

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != FALSE;
}

// The console session's stand-in for the second scan page: it receives the worker's messages,
// prints what the page would show and keeps the scan's books through the engine, as the page does.
class CScanSession {
public:
    explicit CScanSession(const SCAN_OPTIONS& options)
        : m_options(options), m_bProgress(!options.bTsv && IsConsole(GetStdHandle(STD_ERROR_HANDLE)))
    {
    }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void PrintSummary();

    bool m_bScanRunning = true; // cleared by a stop, as the main window's flag is by the Stop button

private:
    void OnProblem(const CRegistryProblem& problem);
    void OnCategoryEnd(REGPROBLEM_TYPE type);
    void OnStop();
    void FinishedState();
    void ShowProgress(bool force);
    void ClearProgress();

    const SCAN_OPTIONS m_options;
    const bool m_bProgress;
    bool m_bDone = false;
    bool m_abSkipped[kCategoryCount] = {};
    REGPROBLEM_TYPE m_nCurrent = RPT_COM_ACTIVEX;
    std::vector<const CRegistryProblem*> m_arrGroup; // the running category's problems (text format)
    DWORD m_dwLastProgress = 0;
    bool m_bProgressShown = false;
};

LRESULT CScanSession::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SCAN_PROBLEM: {
        const auto* problems = reinterpret_cast<const CRegistryProblem* const*>(lParam);
        for (WPARAM i = 0; i < wParam; ++i)
            OnProblem(*problems[i]);
        return 0;
    }
    case WM_SCAN_CATEGORY_BEGIN:
        m_nCurrent = static_cast<REGPROBLEM_TYPE>(lParam);
        m_arrGroup.clear();
        g_pScanner->LogCategoryBegin(m_nCurrent);
        ShowProgress(true);
        return 0;
    case WM_SCAN_CATEGORY_END:
        OnCategoryEnd(static_cast<REGPROBLEM_TYPE>(lParam));
        return 0;
    case WM_SCAN_CATEGORY_SKIPPED:
        m_abSkipped[lParam] = true;
        return 0;
    case WM_SCAN_DONE:
    case WM_SCAN_DONE_REPAIRED:
        m_bDone = true;
        FinishedState();
        return 0;
    case WM_SESSION_STOP:
        OnStop();
        return 0;
    default:
        return 0;
    }
}

void CScanSession::OnProblem(const CRegistryProblem& problem)
{
    if (m_options.bTsv) {
        const std::string line = TsvLine(problem);
        WriteText(stdout, line);
        std::fflush(stdout);
    } else {
        m_arrGroup.push_back(&problem);
        ShowProgress(false);
    }
}

void CScanSession::OnCategoryEnd(REGPROBLEM_TYPE type)
{
    g_pScanner->LogCategoryEnd(type);
    if (m_options.bTsv || m_arrGroup.empty())
        return;
    ClearProgress();
    PrintText(stdout, "%s (%zu)\n", CategoryDisplayName(type).c_str(), m_arrGroup.size());
    int number = 0;
    for (const CRegistryProblem* problem : m_arrGroup) {
        const std::string text = StripMarkup(DescribeProblem(*problem));
        PrintText(stdout, "%4d. ", ++number);
        for (size_t start = 0;;) {
            const size_t end = text.find('\n', start);
            PrintText(stdout, "%s\n", text.substr(start, end == std::string::npos ? end : end - start).c_str());
            if (end == std::string::npos)
                break;
            start = end + 1;
            PrintText(stdout, "      ");
        }
    }
    PrintText(stdout, "\n");
    std::fflush(stdout);
    m_arrGroup.clear();
}

// What the Stop button does once the user has said Yes.
void CScanSession::OnStop()
{
    if (m_bDone || !g_pScanner || g_pScanner->IsStopRequested())
        return;
    g_pScanner->StopByUser();
    m_bScanRunning = false;
    FinishedState();
}

// The finished state's lasting part: the totals of this scan replace those of the last one.
void CScanSession::FinishedState()
{
    ClearProgress();
    g_pScanner->StoreFoundCounts();
}

void CScanSession::ShowProgress(bool force)
{
    if (!m_bProgress || m_bDone)
        return;
    const DWORD now = GetTickCount();
    if (!force && now - m_dwLastProgress < 100)
        return;
    m_dwLastProgress = now;
    PrintText(stderr, "\rScanning %-22s %d problem(s) found ", CategoryInfo(m_nCurrent).pszLogName,
                 g_pScanner->TotalFound());
    std::fflush(stderr);
    m_bProgressShown = true;
}

void CScanSession::ClearProgress()
{
    if (!m_bProgressShown)
        return;
    PrintText(stderr, "\r%60s\r", "");
    std::fflush(stderr);
    m_bProgressShown = false;
}

void CScanSession::PrintSummary()
{
    if (m_options.bTsv)
        return;
    PrintText(stdout, "%s\n", m_bScanRunning ? "Scanning Completed !" : "Scanning cancelled by the user !");
    for (REGPROBLEM_TYPE type : g_aScanOrder) {
        if (m_abSkipped[type])
            PrintText(stdout, "  %-24s %6s\n", CategoryDisplayName(type).c_str(), "--");
        else
            PrintText(stdout, "  %-24s %6d\n", CategoryDisplayName(type).c_str(), g_pScanner->Found(type));
    }
    PrintText(stdout, "%d Critical Error(s) found\n", g_pScanner->TotalFound());
    std::fflush(stdout);
}

LRESULT CALLBACK SessionWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* session = reinterpret_cast<CScanSession*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (session && ((message >= WM_SCAN_DONE_REPAIRED && message <= WM_SCAN_CATEGORY_SKIPPED) ||
                    message == WM_SESSION_STOP)) {
        try {
            return session->Handle(message, wParam, lParam);
        } catch (...) {
            return 0;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class CMessageWindow {
public:
    explicit CMessageWindow(CScanSession& session)
    {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = SessionWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kWindowClass;
        if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return;
        m_hWnd = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, &session);
    }
    ~CMessageWindow()
    {
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;

    HWND m_hWnd = nullptr;
};

// Holds the console handler for the session's lifetime; on the way out a worker that still runs is
// stopped and waited for before the window goes.
class CSessionGuard {
public:
    explicit CSessionGuard(HWND window)
    {
        if (!s_hEnded)
            s_hEnded.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ResetEvent(s_hEnded.get());
        s_hWnd = window;
        SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    }
    ~CSessionGuard()
    {
        if (g_pScanner && g_pScanner->Worker() && !g_pScanner->Worker()->Wait(0))
            g_pScanner->StopScanAndWait();
        s_hWnd = nullptr;
        SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
        SetEvent(s_hEnded.get());
    }
    CSessionGuard(const CSessionGuard&) = delete;
    CSessionGuard& operator=(const CSessionGuard&) = delete;

private:
    static BOOL WINAPI OnConsoleEvent(DWORD event);

    // The console's handler takes no context: it reaches the guarded session's window through
    // these, on a thread of its own. The event outlives the session, as the handler may still be
    // waiting on it then.
    static std::atomic<HWND> s_hWnd;
    static KernelHandle s_hEnded;
};

std::atomic<HWND> CSessionGuard::s_hWnd{nullptr};
KernelHandle CSessionGuard::s_hEnded;

// Ctrl+C and Ctrl+Break stop the scan as the Stop button does. Closing the console ends the
// process once this returns, so the handler first lets the session stop and finish.
BOOL WINAPI CSessionGuard::OnConsoleEvent(DWORD event)
{
    const HWND window = s_hWnd.load();
    if (!window)
        return FALSE;
    PostMessageA(window, WM_SESSION_STOP, 0, 0);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        WaitForSingleObject(s_hEnded.get(), 4000);
    return TRUE;
}

} // namespace

int ParseScanOptions(const std::vector<std::string>& args, SCAN_OPTIONS& options, std::vector<std::string>& rest,
                     const CLI_COMMAND& command)
{
    static const std::string kCategories = "--categories=";
    static const std::string kFormat = "--format=";
    options.bTsv = false;
    bool chosen = false;
    for (const std::string& arg : args) {
        if (arg.compare(0, kCategories.size(), kCategories) == 0) {
            std::string unknown;
            if (!ParseCategoryList(arg.substr(kCategories.size()), options.abSelected, unknown))
                return UsageError("unknown category '" + unknown + "'", &command);
            chosen = true;
        } else if (arg.compare(0, kFormat.size(), kFormat) == 0) {
            const std::string format = arg.substr(kFormat.size());
            if (format != "text" && format != "tsv")
                return UsageError("unknown format '" + format + "'", &command);
            options.bTsv = format == "tsv";
        } else {
            rest.push_back(arg);
        }
    }
    if (!chosen) {
        bool any = false;
        for (int i = 0; i < kCategoryCount; ++i) {
            options.abSelected[i] = ReadSettingInt(CategoryInfo(static_cast<REGPROBLEM_TYPE>(i)).pszSettingKey) == 1;
            any = any || options.abSelected[i];
        }
        if (!any) {
            std::string unused;
            ParseCategoryList("recommended", options.abSelected, unused);
        }
    }
    return 0;
}

int RunScanSession(const SCAN_OPTIONS& options)
{
    if (const char* refusal = WrongBuildRefusal()) {
        PrintText(stderr, "hivora-cli: %s\n", refusal);
        return 1;
    }
    CScanSession session(options);
    CMessageWindow window(session);
    if (!window.m_hWnd) {
        PrintText(stderr, "hivora-cli: cannot create the scan's notification window (error %lu)\n", GetLastError());
        return 1;
    }
    // Whose settings are scanned, when they are not the signed-in user's: said once, beside the report.
    if (const std::string& notice = ScanUserNotice(); !notice.empty())
        PrintText(stderr, "hivora-cli: %s\n", notice.c_str());
    ClearIgnoreList();
    LoadIgnoreList();
    const CSessionGuard guard(window.m_hWnd);
    g_pScanner = std::make_unique<CRegistryScanner>();
    g_pScanner->SetCategorySelection(options.abSelected);
    if (!g_pScanner->StartScan(window.m_hWnd)) {
        PrintText(stderr, "hivora-cli: cannot start the scan (error %lu)\n", GetLastError());
        return 1;
    }
    g_pScanner->WaitForScanEnd();
    session.PrintSummary();
    return 0;
}
