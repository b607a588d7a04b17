// Times a full scan of the machine's registry, category by category, against a bare walk of the
// same keys and values, and measures what the scan spends besides walking: path notifications,
// the reporting of problems and the exclusion and ignore tests.
//
//   hv_bench_scan [RESULTS-FILE]
//
// The scan runs as the program runs it: StartScan on a worker thread, notifications sent to a
// message-only window on this thread, which counts them. The results are written as Markdown.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bare_walk.h"
#include "cli/report_format.h"
#include "clock.h"
#include "framework/format.h"
#include "framework/paths.h"
#include "repair/exclusion_list.h"
#include "repair/ignore_list.h"
#include "scan/scanner.h"
#include "shell/logfile.h"
#include "shell/settings.h"

namespace {

constexpr double kRatioTarget = 1.5;
constexpr double kSuppressionShareTarget = 0.05;
constexpr double kWholeScanTarget = 1.15;  // the whole scan against one plain walk of each tree
constexpr double kReportTarget = 100e-6;   // seconds to report one problem
constexpr double kMemoryTargetMiB = 150;
constexpr size_t kSuppressionProblems = 10000;
constexpr int kIgnoreEntries = 500;

// What the notification window saw, per category.
struct SINK {
    REGPROBLEM_TYPE current = RPT_COM_ACTIVEX;
    bool inCategory = false;
    bool done = false;
    double doneAt = 0;
    double begin[kCategoryCount] = {};
    double seconds[kCategoryCount] = {};
    long long paths[kCategoryCount] = {};
    long long problems[kCategoryCount] = {};
    long long pathsOutside = 0;
    long long messages = 0;
    long long problemMessages = 0;
};
SINK g_sink;

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SCAN_PATH:
        ++g_sink.messages;
        if (g_sink.inCategory)
            ++g_sink.paths[g_sink.current];
        else
            ++g_sink.pathsOutside;
        return 0;
    case WM_SCAN_PROBLEM:
        ++g_sink.messages;
        ++g_sink.problemMessages;
        g_sink.problems[g_sink.current] += static_cast<long long>(wParam);
        return 0;
    case WM_SCAN_CATEGORY_BEGIN:
        ++g_sink.messages;
        g_sink.current = static_cast<REGPROBLEM_TYPE>(lParam);
        g_sink.inCategory = true;
        g_sink.begin[g_sink.current] = Now();
        return 0;
    case WM_SCAN_CATEGORY_END:
        ++g_sink.messages;
        g_sink.seconds[g_sink.current] = Now() - g_sink.begin[g_sink.current];
        std::printf("  %-22s %8.3f s  %lld paths  %lld problems\n", CategoryInfo(g_sink.current).pszLogName,
                    g_sink.seconds[g_sink.current], g_sink.paths[g_sink.current], g_sink.problems[g_sink.current]);
        std::fflush(stdout);
        g_sink.inCategory = false;
        return 0;
    case WM_SCAN_CATEGORY_SKIPPED:
        ++g_sink.messages;
        return 0;
    case WM_SCAN_DONE:
    case WM_SCAN_DONE_REPAIRED:
        ++g_sink.messages;
        g_sink.done = true;
        g_sink.doneAt = Now();
        // A sent message does not end GetMessageA's wait: wake the loop with a posted one.
        PostMessageA(window, WM_NULL, 0, 0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreateSinkWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SinkProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HivoraBenchSink";
    if (!RegisterClassA(&wc))
        return nullptr;
    return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

struct SENDER_ARGS {
    HWND window;
    int count;
    double seconds;
};

// One path notification costs what a worker's SendMessageA to this thread costs.
DWORD WINAPI SendPaths(void* param)
{
    auto* args = static_cast<SENDER_ARGS*>(param);
    const std::string text = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000000}";
    const double start = Now();
    for (int i = 0; i < args->count; ++i)
        SendMessageA(args->window, WM_SCAN_PATH, 0, reinterpret_cast<LPARAM>(text.c_str()));
    args->seconds = Now() - start;
    PostMessageA(args->window, WM_NULL, 0, 0);
    return 0;
}

double MeasureNotification(HWND window)
{
    SENDER_ARGS args{window, 20000, 0};
    const bool inCategory = g_sink.inCategory;
    g_sink.inCategory = false;
    const long long outside = g_sink.pathsOutside;
    KernelHandle thread(CreateThread(nullptr, 0, SendPaths, &args, 0, nullptr));
    if (!thread)
        return 0;
    // Sent messages are handled while waiting; the wait ends with the sender thread.
    const HANDLE handle = thread.get();
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    g_sink.pathsOutside = outside;
    g_sink.inCategory = inCategory;
    return args.seconds / args.count;
}

struct BARE {
    double seconds = 1e30;
    WALK_COUNT count;
};

void RunBareWalks(BARE (&bare)[kCategoryCount], double (&pass)[kCategoryCount])
{
    for (REGPROBLEM_TYPE type : g_aScanOrder) {
        const double start = Now();
        const WALK_COUNT count = BareWalk(type);
        pass[type] = Now() - start;
        std::printf("  %-22s %8.3f s  %lld keys  %lld values\n", CategoryInfo(type).pszLogName, pass[type], count.nKeys,
                    count.nValues);
        std::fflush(stdout);
        bare[type].seconds = std::min(bare[type].seconds, pass[type]);
        bare[type].count = count;
    }
}

std::string Rate(double n, double seconds)
{
    if (seconds <= 0)
        return "-";
    const double r = n / seconds;
    return r >= 1e6 ? Format("%.2f M", r / 1e6) : r >= 1e3 ? Format("%.0f k", r / 1e3) : Format("%.0f", r);
}

std::string Group(long long n)
{
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// Every finding of the scan in report order, one a line: category, key, value name, data, extra.
bool SaveFindings(const char* path)
{
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    for (const auto& problem : g_arrProblems)
        std::fprintf(file, "%s\t%s\t%s\t%s\t%lld\n", CategoryInfo(problem->m_nType).pszLogName,
                     EscapeTsvField(problem->m_strKey).c_str(), EscapeTsvField(problem->m_strValueName).c_str(),
                     EscapeTsvField(problem->m_strData).c_str(), static_cast<long long>(problem->m_nExtra));
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* resultsPath = argc > 1 ? argv[1] : nullptr;
    const char* findingsPath = "C:\\scan-findings.tsv";

    // The log the program keeps: every reported problem writes one record.
    const std::string folder = ProgramFolder();
    CreateDirectoryA(LogFolderPath(folder).c_str(), nullptr);
    const time_t started = time(nullptr);
    struct tm startup {};
    localtime_s(&startup, &started);
    CLogFile log(LogFilePath(folder, startup));
    g_pLog = &log;
    WriteSettingInt("repairafterfind", 0);

    // A user's ignore list of some length; none of its entries names a problem of this machine.
    {
        FILE* list = std::fopen(IgnoreListPath().c_str(), "w");
        if (!list) {
            std::fprintf(stderr, "cannot write %s\n", IgnoreListPath().c_str());
            return 1;
        }
        for (int i = 0; i < kIgnoreEntries; ++i)
            std::fprintf(list, "%d\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Retired\\Tool%03d\\Path|C:\\Old\\tool%03d.dll\n",
                         i % kCategoryCount, i, i);
        std::fclose(list);
        ClearIgnoreList();
        LoadIgnoreList();
    }

    HWND window = CreateSinkWindow();
    if (!window) {
        std::fprintf(stderr, "cannot create the notification window\n");
        return 1;
    }

    const bool bareOnly = argc > 2 && std::string(argv[2]) == "--bare-only";
    // The per-problem and per-notification costs alone, over the problems of the categories that
    // find many for little walking.
    const bool costsOnly = argc > 2 && std::string(argv[2]) == "--costs-only";
    BARE bare[kCategoryCount];
    if (bareOnly) {
        double pass[kCategoryCount] = {};
        RunBareWalks(bare, pass);
        return 0;
    }

    g_pScanner = std::make_unique<CRegistryScanner>();
    if (costsOnly) {
        for (REGPROBLEM_TYPE type : {RPT_EMPTY_KEYS, RPT_SOUND_EVENTS, RPT_FILE_ASSOC, RPT_SHARED_DLLS, RPT_FONTS,
                                     RPT_UNINSTALL, RPT_CLASS_KEYS, RPT_TYPE_LIBS})
            RunCategoryCheck(*g_pScanner, type);
        std::printf("problems: %zu\n", g_arrProblems.size());
    }
    std::printf("scan...\n");
    std::fflush(stdout);
    uint8_t all[kCategoryCount];
    std::fill(std::begin(all), std::end(all), uint8_t{1});
    g_pScanner->SetCategorySelection(all);
    const double scanStart = Now();
    if (costsOnly)
        g_sink.done = true;
    else if (!g_pScanner->StartScan(window)) {
        std::fprintf(stderr, "cannot start the scan\n");
        return 1;
    }
    MSG msg;
    while (!g_sink.done && GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    const double scanSeconds = g_sink.doneAt - scanStart;
    if (g_pScanner->Worker())
        g_pScanner->Worker()->Wait();

    if (!costsOnly && !SaveFindings(findingsPath)) {
        std::fprintf(stderr, "cannot write %s\n", findingsPath);
        return 1;
    }

    // The walks run once, after the scan: the machine is shared and a second pass would cost as
    // much again.
    std::printf("tree walk...\n");
    std::fflush(stdout);
    double treeSeconds = 0;
    WALK_COUNT treeCount;
    if (!costsOnly) {
        const double start = Now();
        treeCount = TreeWalk();
        treeSeconds = Now() - start;
        std::printf("  %8.3f s  %lld keys  %lld values\n", treeSeconds, treeCount.nKeys, treeCount.nValues);
    }
    std::printf("bare walk...\n");
    std::fflush(stdout);
    double barePass[kCategoryCount] = {};
    if (!costsOnly)
        RunBareWalks(bare, barePass);

    // The exclusion and ignore tests over the problems the scan found, and at least 10,000.
    std::printf("suppression...\n");
    std::fflush(stdout);
    const size_t found = g_arrProblems.size();
    double suppressionScan = 0;
    double suppression10k = 0;
    size_t suppressed = 0;
    if (found) {
        double start = Now();
        for (const auto& problem : g_arrProblems)
            suppressed += IsProblemSuppressed(*problem);
        suppressionScan = Now() - start;
        const size_t n = std::max(found, kSuppressionProblems);
        start = Now();
        for (size_t i = 0; i < n; ++i)
            suppressed += IsProblemSuppressed(*g_arrProblems[i % found]);
        suppression10k = (Now() - start) * static_cast<double>(kSuppressionProblems) / static_cast<double>(n);
    }

    // What reporting one problem costs besides the suppression test: the key access test, the
    // log record and the problem notification.
    double accessEach = 0;
    size_t keysAsked = 0;
    if (found) {
        // As the scan asks: the full access and the volatility once for each key.
        std::unordered_map<std::string, bool> asked;
        const double start = Now();
        for (const auto& problem : g_arrProblems) {
            const auto [known, added] = asked.try_emplace(problem->m_strKey, false);
            if (added)
                known->second = problem->IsKeyReportable();
        }
        accessEach = (Now() - start) / static_cast<double>(found);
        keysAsked = asked.size();
    }
    double logEach = 0;
    {
        const std::string scratch = LogFolderPath(folder) + "\\bench-scratch.log";
        CLogFile scratchLog(scratch);
        const double start = Now();
        // As the scan writes them: kept, and written together when the category ends.
        for (int i = 0; i < 2000; ++i)
            scratchLog.Keep("Eroor at HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000000}\\InprocServer32\\"
                            "(Default)=C:\\Program Files\\Contoso\\Studio\\studiocore.dll",
                            0);
        scratchLog.Flush();
        logEach = (Now() - start) / 2000;
        DeleteFileA(scratch.c_str());
    }
    const double messageEach = MeasureNotification(window);
    const double suppressionEach = found ? suppressionScan / static_cast<double>(found) : 0;
    // Problems reach the page several to a message.
    const double problemsPerMessage =
        g_sink.problemMessages
            ? static_cast<double>(g_pScanner->TotalFound()) / static_cast<double>(g_sink.problemMessages)
            : 1;
    const double problemMessageEach = messageEach / problemsPerMessage;
    const double reportEach = accessEach + suppressionEach + logEach + problemMessageEach;
    std::printf("costs: problems %zu, suppression %.3f s (%.1f us each), 10,000: %.3f s, suppressed %zu, ignore "
                "entries %zu; key access %.1f us, log record %.1f us, notification %.1f us\n",
                found, suppressionScan, suppressionEach * 1e6, suppression10k, suppressed, g_arrIgnoreKeys.size(),
                accessEach * 1e6, logEach * 1e6, messageEach * 1e6);
    std::fflush(stdout);
    if (costsOnly)
        return 0;

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);

    // Results.
    std::string out;
    out += "## Per category\n\n";
    out += "Scan: the category's time within the full scan (from its begin to its end notification). Bare walk: a walk, "
           "run after the scan in the same process, that opens and reads the same keys and values and tests "
           "nothing. Keys: successful key opens; values: values read. Rates are over the scan time. For program "
           "shortcuts, keys are folders walked and values are folder entries found. COM/ActiveX, the file path "
           "references, the empty keys and the deep scan share one walk of the trees: the first of them selected "
           "runs it (here COM/ActiveX, whose time includes the walk), and the later ones report the findings kept "
           "for them. COM/ActiveX, the file associations, invalid class keys and type libraries read the machine's "
           "classes from that walk and open again only what may be a finding; invalid class keys and type "
           "libraries share their walk of the identifiers as well. The bare walks are each category's own walk "
           "as it was before it shared one.\n\n";
    out += "| Category | Scan s | Bare walk s | Scan / bare | Keys | Values | Keys/s | Values/s | Problems | Path "
           "messages |\n";
    out += "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    double bareTotal = 0, categoryTotal = 0;
    long long keysTotal = 0, valuesTotal = 0, pathsTotal = 0;
    std::vector<std::string> slow;
    for (REGPROBLEM_TYPE type : g_aScanOrder) {
        const double s = g_sink.seconds[type];
        const BARE& b = bare[type];
        const double ratio = b.seconds > 0 ? s / b.seconds : 0;
        out += Format("| %s | %.3f | %.3f | %.2f | %s | %s | %s | %s | %s | %s |\n", CategoryInfo(type).pszLogName, s,
                      b.seconds, ratio, Group(b.count.nKeys).c_str(), Group(b.count.nValues).c_str(),
                      Rate(static_cast<double>(b.count.nKeys), s).c_str(),
                      Rate(static_cast<double>(b.count.nValues), s).c_str(), Group(g_pScanner->Found(type)).c_str(),
                      Group(g_sink.paths[type]).c_str());
        bareTotal += b.seconds;
        categoryTotal += s;
        keysTotal += b.count.nKeys;
        valuesTotal += b.count.nValues;
        pathsTotal += g_sink.paths[type];
        if (ratio > kRatioTarget)
            slow.push_back(Format("%s %.2fx (%.3f s against %.3f s)", CategoryInfo(type).pszLogName, ratio, s, b.seconds));
    }
    out += Format("| **Whole scan** | %.3f | %.3f | %.2f | %s | %s | %s | %s | %s | %s |\n\n", scanSeconds, bareTotal,
                  scanSeconds / bareTotal, Group(keysTotal).c_str(), Group(valuesTotal).c_str(),
                  Rate(static_cast<double>(keysTotal), scanSeconds).c_str(),
                  Rate(static_cast<double>(valuesTotal), scanSeconds).c_str(), Group(g_pScanner->TotalFound()).c_str(),
                  Group(pathsTotal).c_str());
    out += Format("The whole scan's time runs from StartScan to WM_SCAN_DONE and includes the log header, the "
                  "settings and the messages between categories (%.3f s outside the categories).\n\n",
                  scanSeconds - categoryTotal);

    out += "## The whole scan against one walk of each tree\n\n";
    out += Format("One plain walk of each distinct tree the scan reads (every key of HKEY_LOCAL_MACHINE and "
                  "HKEY_USERS opened once, every value read once, and the profile's shortcut folders; nothing "
                  "tested), run after the scan in the same process: %.3f s, %s keys and %s values. The whole "
                  "scan: %.3f s, **%.2fx** that walk.\n\n",
                  treeSeconds, Group(treeCount.nKeys).c_str(), Group(treeCount.nValues).c_str(), scanSeconds,
                  treeSeconds > 0 ? scanSeconds / treeSeconds : 0.0);

    out += "## Where the time goes\n\n";
    out += Format("Estimated from separate measurements in the same run: a path notification costs %.1f us "
                  "(SendMessageA from a worker to this window, 20,000 sent); reporting a problem costs **%.1f us** "
                  "(key access and volatility tests %.1f us, asked once for each of %s keys, exclusion and ignore tests %.1f us, log record %.1f us as the scan "
                  "writes them, kept and written together, its share of a problem notification %.1f us: %s "
                  "problem messages for %s problems, %.1f a message). The rest of the scan time beyond the bare walk "
                  "is the check's own work: path rules and file tests.\n\n",
                  messageEach * 1e6, reportEach * 1e6, accessEach * 1e6, Group(static_cast<long long>(keysAsked)).c_str(),
                  suppressionEach * 1e6, logEach * 1e6,
                  problemMessageEach * 1e6, Group(g_sink.problemMessages).c_str(),
                  Group(g_pScanner->TotalFound()).c_str(), problemsPerMessage);
    out += "| Category | Scan s | Bare walk s | Notifications s | Reporting s | Tests and rules s |\n";
    out += "|---|---:|---:|---:|---:|---:|\n";
    for (REGPROBLEM_TYPE type : g_aScanOrder) {
        const double s = g_sink.seconds[type];
        const double notify = static_cast<double>(g_sink.paths[type]) * messageEach;
        const double report = static_cast<double>(g_sink.problems[type]) * reportEach;
        out += Format("| %s | %.3f | %.3f | %.3f | %.3f | %.3f |\n", CategoryInfo(type).pszLogName, s,
                      bare[type].seconds, notify, report, s - bare[type].seconds - notify - report);
    }
    out += "\n";
    const double notifyTotal = static_cast<double>(pathsTotal + g_sink.pathsOutside) * messageEach;
    out += "## Scan totals\n\n";
    out += Format("- Problems reported: %s (in g_arrProblems: %s)\n", Group(g_pScanner->TotalFound()).c_str(),
                  Group(static_cast<long long>(found)).c_str());
    out += Format("- WM_SCAN_PATH messages received: %s; all scan messages: %s\n",
                  Group(pathsTotal + g_sink.pathsOutside).c_str(), Group(g_sink.messages - 20000).c_str());
    out += Format("- Peak working set: %.1f MiB\n", static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0));
    out += Format("- Exclusion and ignore tests over the scan's %s problems: %.3f s (%.1f us each)\n",
                  Group(static_cast<long long>(found)).c_str(), suppressionScan, suppressionEach * 1e6);
    out += Format("- The same tests over %s problems: %.3f s (ignore list of %zu entries; %zu of the tested "
                  "problems suppressed)\n\n",
                  Group(kSuppressionProblems).c_str(), suppression10k, g_arrIgnoreKeys.size(), suppressed);

    out += "## Targets\n\n";
    if (slow.empty())
        out += Format("- Every category within %.1fx of its bare walk: **met**.\n", kRatioTarget);
    else {
        out += Format("- Every category within %.1fx of its bare walk: **not met** by %zu of 15: ", kRatioTarget,
                      slow.size());
        for (size_t i = 0; i < slow.size(); ++i)
            out += (i ? "; " : "") + slow[i];
        out += ".\n";
    }
    const double wholeRatio = treeSeconds > 0 ? scanSeconds / treeSeconds : 0;
    out += Format("- The whole scan within %.2fx of one plain walk of each tree: %.2fx (%.3f s against %.3f s): "
                  "**%s**.\n",
                  kWholeScanTarget, wholeRatio, scanSeconds, treeSeconds, wholeRatio <= kWholeScanTarget ? "met" : "not met");
    out += Format("- Reporting a problem within %.0f us: %.1f us: **%s**.\n", kReportTarget * 1e6, reportEach * 1e6,
                  reportEach <= kReportTarget ? "met" : "not met");
    const double peakMiB = static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
    out += Format("- Memory under %.0f MiB: peak working set %.1f MiB: **%s**.\n", kMemoryTargetMiB, peakMiB,
                  peakMiB < kMemoryTargetMiB ? "met" : "not met");
    const double share10k = scanSeconds > 0 ? suppression10k / scanSeconds : 0;
    out += Format("- Exclusion and ignore tests under %.0f%% of the scan time at 10,000 problems: %.3f s of %.3f s = "
                  "%.2f%%: **%s**%s.\n",
                  kSuppressionShareTarget * 100, suppression10k, scanSeconds, share10k * 100,
                  share10k < kSuppressionShareTarget ? "met" : "not met",
                  found < kSuppressionProblems ? Format(" (the scan found %zu problems; the 10,000 cycle through them)", found).c_str() : "");
    out += Format("- Path notifications: %s messages at %.1f us each, about %.3f s = %.2f%% of the scan time.\n",
                  Group(pathsTotal + g_sink.pathsOutside).c_str(), messageEach * 1e6, notifyTotal,
                  scanSeconds > 0 ? notifyTotal / scanSeconds * 100 : 0.0);

    std::fputs(out.c_str(), stdout);
    if (resultsPath) {
        FILE* file = std::fopen(resultsPath, "w");
        if (!file)
            return 1;
        std::fputs(out.c_str(), file);
        std::fclose(file);
    }
    g_pLog = nullptr;
    return 0;
}
