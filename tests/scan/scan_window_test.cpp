// The user's road through the scan pages, the results page, the repair and the statistics page,
// driven in the real Hivora.exe on the prefix's registry, seeded with start-up entries whose
// programs are missing.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../cli/cli_runner.h"
#include "framework/com_ptr.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "gui_driver.h"
#include "hivora_app.h"
#include "hivora_version.h"
#include "resources/resource.h"
#include "scan/problem.h"
#include "scan/scanner.h"
#include "scope_guard.h"
#include "seeded_run.h"
#include "shell/statistics.h"
#include "shortcut.h"

namespace {

constexpr const char* kSeedPrefix = "HivoraWindowTest";
constexpr DWORD kScanTimeout = 600000;
constexpr int kListId = 54321;

// Settings of a machine that has been scanned before (no splash), scanning only the categories given.
HivoraApp::Settings OnlyCategories(std::initializer_list<REGPROBLEM_TYPE> types, HivoraApp::Settings more = {})
{
    HivoraApp::Settings settings = {{"lastScan", "01-02-2026 10:11:12"}};
    for (int type = 0; type < kCategoryCount; ++type) {
        bool on = false;
        for (REGPROBLEM_TYPE t : types)
            on |= t == type;
        settings.emplace_back(CategoryInfo(static_cast<REGPROBLEM_TYPE>(type)).pszSettingKey, on ? "1" : "0");
    }
    settings.insert(settings.end(), more.begin(), more.end());
    return settings;
}

int StatisticsRow(REGPROBLEM_TYPE type)
{
    for (int row = 0; row < kCategoryCount; ++row)
        if (g_aStatisticsRows[row].nType == type)
            return row;
    return -1;
}

// The page showing the control with this ID: page buttons share their IDs with the tab strip's.
HWND PageOf(HWND main, int uniqueId)
{
    HWND control = gui::FindControl(main, uniqueId);
    return control ? GetParent(control) : nullptr;
}

bool ClickOnPage(HWND main, int uniqueId, int button)
{
    HWND page = PageOf(main, uniqueId);
    return page && gui::Click(page, button);
}

std::string TextOf(HWND main, int id)
{
    HWND control = gui::FindControl(main, id, 2000);
    return control ? gui::Text(control) : "<missing>";
}

bool ScanFinished(HWND main, DWORD timeout = kScanTimeout)
{
    return gui::WaitFor(
        [&] {
            const std::string caption = TextOf(main, IDC_SCAN_CAPTION);
            return caption.find(" !") != std::string::npos && !gui::FindControl(main, IDC_SCAN_STOP, 0);
        },
        timeout);
}

// Clicks a scan button of the first scan page and waits for the finished page.
void Scan(HWND main, int button)
{
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_SELECTED, button));
    ASSERT_TRUE(ScanFinished(main));
}

size_t FileLines(const std::string& path)
{
    const std::string text = ReadFileText(path);
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

// The files of the program's backup sets with this extension.
std::vector<std::string> BackupFiles(const HivoraApp& app, const char* extension)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA found{};
    const FindHandle search(FindFirstFileA((app.Folder() + "Backup\\*" + extension).c_str(), &found));
    if (search) {
        do
            files.push_back(app.Folder() + "Backup\\" + found.cFileName);
        while (FindNextFileA(search.get(), &found));
    }
    return files;
}

size_t Occurrences(const std::string& text, const std::string& what)
{
    // The registry file may be UTF-16: compare its characters without the zero bytes.
    std::string plain;
    for (char c : text)
        if (c)
            plain += c;
    size_t count = 0;
    for (size_t at = plain.find(what); at != std::string::npos; at = plain.find(what, at + 1))
        ++count;
    return count;
}

// Clicks down the right edge of the first problem row until its Ignore link answers.
bool IgnoreFirstProblem(HWND list, const std::string& ignoreFile)
{
    RECT client{};
    GetClientRect(list, &client);
    for (int y = 40; y < 140; y += 2) {
        gui::ClickAt(list, client.right - 15, y);
        if (FileLines(ignoreFile) >= 2)
            return true;
    }
    return false;
}

TEST(ScanWindow, NothingFoundHundredHundredOneResultsIgnoreRepairStatistics)
{
    SeededRun run(kSeedPrefix);
    HivoraApp app(OnlyCategories({RPT_STARTUP}));
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    const int startupBox = IDC_CATEGORY_CHECK_FIRST + PanelRow(RPT_STARTUP);
    ASSERT_TRUE(gui::WaitFor([&] { return gui::IsChecked(main, startupBox); }));

    // Nothing ticked: the message, and the first page stays.
    ASSERT_TRUE(gui::SetChecked(main, startupBox, false));
    ASSERT_TRUE(gui::Click(main, IDC_SCAN_SELECTED));
    std::string text;
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text));
    EXPECT_EQ(text, "Please select at least one item.");
    EXPECT_NE(gui::FindControl(main, IDC_SCAN_SELECTED, 1000), nullptr);
    EXPECT_EQ(gui::FindControl(main, IDC_SCAN_STOP, 0), nullptr);
    ASSERT_TRUE(gui::SetChecked(main, startupBox, true));

    // Nothing found: the Back text, no Next.
    Scan(main, IDC_SCAN_SELECTED);
    EXPECT_EQ(TextOf(main, IDC_SCAN_CAPTION), "Scanning Completed !");
    EXPECT_EQ(TextOf(main, IDC_SCAN_RESULT_COUNT), "0  Critical Error(s)");
    EXPECT_EQ(TextOf(main, IDC_SCAN_MESSAGE), "Hivora has found\t\t\t    on your computer.\nClick Back to scan some other items");
    EXPECT_EQ(gui::FindControl(main, IDC_SCAN_NEXT, 0), nullptr);
    EXPECT_EQ(TextOf(main, IDC_SCAN_COUNT_FIRST + RPT_STARTUP), "0");
    EXPECT_EQ(TextOf(main, IDC_SCAN_COUNT_FIRST + RPT_FONTS), "--");
    gui::SaveScreenshot("scan-nothing-found");

    // 100 and 101 problems: the two spacings of the message.
    run.Add(100);
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_CAPTION, IDC_SCAN_BACK));
    ASSERT_NE(gui::FindControl(main, IDC_SCAN_SELECTED), nullptr);
    Scan(main, IDC_SCAN_SELECTED);
    EXPECT_EQ(TextOf(main, IDC_SCAN_RESULT), "100 Critical Error(s) found");
    EXPECT_EQ(TextOf(main, IDC_SCAN_MESSAGE), "Hivora has found\t\t\t  on your computer.\nClick Next to fix error(s)");
    EXPECT_EQ(TextOf(main, IDC_SCAN_COUNT_FIRST + RPT_STARTUP), "100");
    gui::SaveScreenshot("scan-100-found");

    run.Add(1);
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_CAPTION, IDC_SCAN_BACK));
    ASSERT_NE(gui::FindControl(main, IDC_SCAN_SELECTED), nullptr);
    Scan(main, IDC_SCAN_SELECTED);
    EXPECT_EQ(TextOf(main, IDC_SCAN_RESULT_COUNT), "101 Critical Error(s)");
    EXPECT_EQ(TextOf(main, IDC_SCAN_MESSAGE), "Hivora has found\t\t\t     on your computer.\nClick Next to fix error(s)");
    EXPECT_EQ(ReadHivoraSetting("errs"), "101");
    EXPECT_EQ(ReadHivoraSetting("TotalWinStartUpErrors"), "101");
    gui::SaveScreenshot("scan-101-found");

    // The results page: one folded header, every start-up problem ticked.
    ASSERT_TRUE(gui::Click(main, IDC_SCAN_NEXT));
    HWND list = gui::FindControl(main, kListId);
    ASSERT_NE(list, nullptr);
    gui::SaveScreenshot("results-folded");
    gui::ClickAt(list, 10, 14);
    gui::SaveScreenshot("results-unfolded-default-ticks");
    // Unticking the category, then hiding and showing the page, brings the default ticks back.
    gui::ClickAt(list, 28, 14);
    gui::SaveScreenshot("results-unticked");
    ASSERT_TRUE(ClickOnPage(main, kListId, IDC_RESULTS_STATISTICS));
    ASSERT_NE(gui::FindControl(main, IDC_STAT_VERSION), nullptr);
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SCANNOW));
    list = gui::FindControl(main, kListId);
    ASSERT_NE(list, nullptr);
    gui::ClickAt(list, 10, 14);
    gui::SaveScreenshot("results-shown-again");

    // Ignore adds one entry to the ignore list and takes the row away.
    const std::string ignoreFile = app.Folder() + "ignorelist.dat";
    ASSERT_TRUE(IgnoreFirstProblem(list, ignoreFile));
    const std::string ignored = ReadFileText(ignoreFile);
    EXPECT_EQ(ignored.rfind("6\r\nHKEY_CURRENT_USER\\" + std::string(kRunKey) + "\\" + kSeedPrefix, 0), 0u) << ignored;
    EXPECT_EQ(FileLines(ignoreFile), 2u);
    gui::SaveScreenshot("results-after-ignore");

    // Repair: exactly the 100 ticked problems, the message after the worker, then the statistics.
    ASSERT_TRUE(ClickOnPage(main, kListId, IDC_RESULTS_REPAIR));
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text, 60000));
    EXPECT_EQ(text, "Hivora has Successfully fixed 100 Critical Error(s) in your system registry.Click OK to view "
                    "Statistics.");
    EXPECT_EQ(run.Count(), 1);
    ASSERT_TRUE(gui::WaitForText(main, IDC_STAT_VERSION, HIVORA_VERSION));
    const int row = StatisticsRow(RPT_STARTUP);
    EXPECT_TRUE(gui::WaitForText(main, IDC_STAT_ROW_FOUND_FIRST + row, "101"));
    EXPECT_EQ(TextOf(main, IDC_STAT_ROW_CLEANED_FIRST + row), "100");
    EXPECT_EQ(TextOf(main, IDC_STAT_ROW_IGNORED_FIRST + row), "1");
    EXPECT_EQ(TextOf(main, IDC_STAT_FOUND_TOTAL), "201");
    EXPECT_EQ(TextOf(main, IDC_STAT_CLEANED_TOTAL), "100");
    gui::SaveScreenshot("statistics-after-repair");
    // The Scan Now tab starts afresh.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SCANNOW));
    EXPECT_NE(gui::FindControl(main, IDC_SCAN_SELECTED), nullptr);
    EXPECT_TRUE(app.Close());

    // One backup set, holding the 100 values, which restores them.
    const auto sets = BackupFiles(app, ".reg");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(Occurrences(ReadFileText(sets[0]), std::string("\"") + kSeedPrefix), 100u);
    EXPECT_TRUE(BackupFiles(app, ".bak").empty());
    CliCopy cli(app.Dir());
    ASSERT_TRUE(cli.Ok());
    std::string out;
    std::string err;
    const std::string name = sets[0].substr(sets[0].rfind('\\') + 1);
    EXPECT_EQ(cli.Run("restore " + name.substr(0, name.size() - 4), out, err), 0u) << out << err;
    EXPECT_EQ(run.Count(), 101);
}

TEST(ScanWindow, FullScanMatchesTheCliStopAndClose)
{
    HivoraApp app(OnlyCategories({}));
    CliCopy cli(app.Dir());
    ASSERT_TRUE(cli.Ok());
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);

    // The full scan ticks every category and finds what the console scan finds.
    Scan(main, IDC_SCAN_FULL);
    gui::SaveScreenshot("scan-full-completed");
    std::string out;
    std::string err;
    ASSERT_EQ(cli.Run("scan --categories=all --format=tsv", out, err), 0u) << err;
    std::map<std::string, int> cliCounts;
    int cliTotal = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty())
            continue;
        ++cliCounts[line.substr(0, line.find('\t'))];
        ++cliTotal;
    }
    for (int type = 0; type < kCategoryCount; ++type) {
        const CATEGORY_NAMES& info = CategoryInfo(static_cast<REGPROBLEM_TYPE>(type));
        EXPECT_EQ(ReadHivoraSetting(info.pszSettingKey), "1") << type;
        EXPECT_EQ(TextOf(main, IDC_SCAN_COUNT_FIRST + type), std::to_string(cliCounts[info.pszSettingKey]))
            << info.pszSettingKey;
    }
    EXPECT_EQ(TextOf(main, IDC_SCAN_RESULT), Format("%d Critical Error(s) found", cliTotal));
    EXPECT_EQ(ReadHivoraSetting("errs"), std::to_string(cliTotal));

    // Stop, No: the scan goes on. Stop, Yes: cancelled, and the counters hold what was found.
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_CAPTION, IDC_SCAN_BACK));
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_SELECTED, IDC_SCAN_FULL));
    ASSERT_TRUE(gui::Click(main, IDC_SCAN_STOP));
    std::string text;
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDNO, &text));
    EXPECT_EQ(text, "Scan in progress.Would you like to stop the scan?");
    EXPECT_EQ(TextOf(main, IDC_SCAN_CAPTION), "Scanning Path:");
    ASSERT_TRUE(gui::Click(main, IDC_SCAN_STOP));
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDYES));
    ASSERT_TRUE(gui::WaitForText(main, IDC_SCAN_CAPTION, "Scanning cancelled by the user !"));
    gui::SaveScreenshot("scan-cancelled");
    // The worker skips the categories not begun, then its end stores the counts once more.
    ASSERT_TRUE(gui::WaitForText(main, IDC_SCAN_COUNT_FIRST + RPT_DEEP_SCAN, "--", 60000));
    int total = 0;
    const auto countersMatch = [&] {
        total = 0;
        bool match = true;
        for (int type = 0; type < kCategoryCount; ++type) {
            const std::string shown = TextOf(main, IDC_SCAN_COUNT_FIRST + type);
            const int count = shown == "--" ? 0 : std::atoi(shown.c_str());
            total += count;
            match &= ReadHivoraSetting(CategoryInfo(static_cast<REGPROBLEM_TYPE>(type)).pszFoundCounter) ==
                     std::to_string(count);
        }
        return match;
    };
    EXPECT_TRUE(gui::WaitFor(countersMatch));
    EXPECT_EQ(TextOf(main, IDC_SCAN_CAPTION), "Scanning cancelled by the user !");
    EXPECT_EQ(TextOf(main, IDC_SCAN_RESULT), Format("%d Critical Error(s) found", total));
    EXPECT_LE(total, cliTotal);

    // Closing the window during a scan stops it; the program ends by itself.
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_CAPTION, IDC_SCAN_BACK));
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_SELECTED, IDC_SCAN_FULL));
    ASSERT_NE(gui::FindControl(main, IDC_SCAN_STOP), nullptr);
    EXPECT_TRUE(app.Close());
}

TEST(ScanWindow, AutomaticRepairAndShutdown)
{
    SeededRun run(kSeedPrefix);
    run.Add(5);
    HivoraApp app(OnlyCategories({RPT_STARTUP}, {{"autorpar", "1"}, {"shutdown", "1"}}));
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::Click(main, IDC_SCAN_SELECTED));
    std::string text;
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text, kScanTimeout));
    EXPECT_EQ(text.rfind("Hivora has Successfully fixed 5 Critical Error(s)", 0), 0u) << text;
    EXPECT_TRUE(app.WaitForExit());
    EXPECT_EQ(run.Count(), 0);
    EXPECT_EQ(ReadHivoraSetting("ErrorsFixed"), "5");
    EXPECT_EQ(ReadHivoraSetting("FixedWinStartUpErrors"), "5");
}

TEST(ScanWindow, ClosingDuringARepairEndsWithACompleteBackupSet)
{
    constexpr int kSeeded = 3000;
    SeededRun run(kSeedPrefix);
    run.Add(kSeeded);
    HivoraApp app(OnlyCategories({RPT_STARTUP}));
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    Scan(main, IDC_SCAN_SELECTED);
    ASSERT_TRUE(gui::Click(main, IDC_SCAN_NEXT));
    ASSERT_NE(gui::FindControl(main, kListId), nullptr);
    ASSERT_TRUE(ClickOnPage(main, kListId, IDC_RESULTS_REPAIR));
    ASSERT_TRUE(gui::WaitFor([&] { return run.Count() < kSeeded; }, 60000));
    EXPECT_TRUE(app.Close());

    // Every value removed is in the one backup set, and nothing more.
    const int removed = kSeeded - run.Count();
    EXPECT_GT(removed, 0);
    const auto sets = BackupFiles(app, ".reg");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(Occurrences(ReadFileText(sets[0]), std::string("\"") + kSeedPrefix), static_cast<size_t>(removed));
    EXPECT_EQ(ReadHivoraSetting("FixedWinStartUpErrors"), std::to_string(removed));
}

// A start-up entry that names a bare program, so that the check looks for it along PATH, while the
// program is started with a PATH of one crowded folder many times over: each look walks the whole
// folder (the file system here compares names without regard to case), which makes this one item
// take seconds, as a file test on an unreachable network path does.
class SlowItem {
public:
    SlowItem()
    {
        for (int i = 0; i < 8000; ++i) {
            const FileHandle file(CreateFileA((m_crowd / Format("f%05d.dat", i)).c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_NEW, 0, nullptr));
        }
        RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, kName, REG_SZ, kProgram, sizeof kProgram);
    }
    ~SlowItem() { RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kName); }

    // Starts the program with the crowded PATH.
    bool Start(HivoraApp& app) const
    {
        char old[32768] = {};
        GetEnvironmentVariableA("PATH", old, sizeof old);
        std::string path;
        for (int i = 0; i < 200; ++i)
            path += m_crowd.Path() + ";";
        SetEnvironmentVariableA("PATH", (path + old).c_str());
        const bool started = app.Start();
        SetEnvironmentVariableA("PATH", old);
        return started;
    }

private:
    static constexpr const char* kName = "HivoraSlowItem";
    static constexpr char kProgram[] = "hivoraslowitem.exe";
    TempDir m_crowd;
};

TEST(ScanWindow, RefusedStartChangesNothing)
{
    HivoraApp app(OnlyCategories({RPT_STARTUP}, {{"errs", "7"}, {"TotalWinStartUpErrors", "7"}}),
                  HivoraApp::Build::kWow64);
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);

    // The build's own refusal, not the failure of a start.
    std::string text;
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_SELECTED, IDC_SCAN_SELECTED));
    ASSERT_TRUE(gui::WaitFor([] { return !gui::MessageBoxText("Hivora").empty(); }));
    gui::SaveScreenshot("scan-refused");
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text));
    EXPECT_EQ(text, WrongBuildRefusal(true, true));

    // No page, stage, engine or counter changed: Scan Now still shows the first page, and a second
    // try is refused the same way.
    EXPECT_TRUE(gui::IsEnabled(main, IDC_TAB_SCANNOW));
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SCANNOW));
    EXPECT_NE(gui::FindControl(main, IDC_SCAN_SELECTED), nullptr);
    EXPECT_EQ(gui::FindControl(main, IDC_SCAN_CAPTION, 0), nullptr);
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_SELECTED, IDC_SCAN_SELECTED));
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text));
    EXPECT_EQ(text, WrongBuildRefusal(true, true));
    EXPECT_EQ(ReadHivoraSetting("errs"), "7");
    EXPECT_EQ(ReadHivoraSetting("TotalWinStartUpErrors"), "7");
    EXPECT_EQ(ReadHivoraSetting("lastScan"), "01-02-2026 10:11:12");
    EXPECT_TRUE(app.Close());
}

TEST(ScanWindow, StoppedDuringASlowItemNextWaitsForTheWorker)
{
    const SlowItem slow;
    HivoraApp app(OnlyCategories({RPT_STARTUP}));
    ASSERT_TRUE(slow.Start(app));
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(ClickOnPage(main, IDC_SCAN_SELECTED, IDC_SCAN_SELECTED));
    ASSERT_TRUE(gui::WaitForText(main, IDC_SCAN_CURRENT, CategoryInfo(RPT_STARTUP).pszLogName, 60000));
    // A path is shown as it is: no ampersand becomes an underline.
    HWND path = gui::FindControl(main, IDC_SCAN_PATH);
    ASSERT_NE(path, nullptr);
    EXPECT_NE(GetWindowLongPtrA(path, GWL_STYLE) & SS_NOPREFIX, 0);

    ASSERT_TRUE(gui::Click(main, IDC_SCAN_STOP));
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDYES));
    ASSERT_TRUE(gui::WaitForText(main, IDC_SCAN_CAPTION, "Scanning cancelled by the user !"));

    // Back (and Next, when shown) and the tab strip wait for the worker's end; the worker stores
    // "lastfounderrors" on its way out, so it is there when they come back.
    bool waited = false;
    bool stripHeld = true;
    bool endSeen = false;
    ASSERT_TRUE(gui::WaitFor(
        [&] {
            HWND back = gui::FindControl(main, IDC_SCAN_BACK, 0);
            if (!back || !IsWindowEnabled(back)) {
                if (back) {
                    waited = true;
                    stripHeld &= !IsWindowEnabled(GetDlgItem(main, IDC_TAB_SCANNOW));
                }
                return false;
            }
            endSeen = !ReadHivoraSetting("lastfounderrors").empty();
            return true;
        },
        120000));
    EXPECT_TRUE(waited);
    EXPECT_TRUE(stripHeld);
    EXPECT_TRUE(endSeen);
    gui::SaveScreenshot("scan-stopped-during-slow-item");
    EXPECT_TRUE(gui::IsEnabled(main, IDC_TAB_SCANNOW));
    // The slow item's finding counts, in the page and in the statistics.
    EXPECT_TRUE(gui::WaitForText(main, IDC_SCAN_COUNT_FIRST + RPT_STARTUP, "1"));
    EXPECT_EQ(ReadHivoraSetting("TotalWinStartUpErrors"), "1");
    EXPECT_EQ(TextOf(main, IDC_SCAN_CAPTION), "Scanning cancelled by the user !");
    EXPECT_TRUE(gui::IsEnabled(main, IDC_SCAN_NEXT));
    EXPECT_TRUE(app.Close());
}

TEST(ScanWindow, ClosingMessageAccountsForEveryTickedItem)
{
    SeededRun run(kSeedPrefix);
    run.Add(3);
    const ComApartment com;
    const std::string desktop = DesktopFolder();
    ASSERT_FALSE(desktop.empty());
    std::vector<std::string> shortcuts;
    const ScopeGuard removeShortcuts([&] {
        for (const std::string& shortcut : shortcuts)
            DeleteFileA(shortcut.c_str());
    });
    for (int i = 0; i < 2; ++i) {
        shortcuts.push_back(Format("%s\\hivora-closing-%lu-%d.lnk", desktop.c_str(), GetCurrentProcessId(), i));
        ASSERT_TRUE(MakeShortcut(shortcuts.back(), "C:\\hivora-closing-missing\\app.exe"));
    }
    HivoraApp app(OnlyCategories({RPT_STARTUP, RPT_SHORTCUTS}));
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    Scan(main, IDC_SCAN_SELECTED);
    const int ticked = std::atoi(TextOf(main, IDC_SCAN_COUNT_FIRST + RPT_STARTUP).c_str()) +
                       std::atoi(TextOf(main, IDC_SCAN_COUNT_FIRST + RPT_SHORTCUTS).c_str());
    ASSERT_GE(ticked, 5);

    // Between the scan and the repair one entry goes, and one shortcut is held open by another
    // program, so that it cannot be moved.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, run.Name(0).c_str());
    const FileHandle held(CreateFileA(shortcuts[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    ASSERT_TRUE(gui::Click(main, IDC_SCAN_NEXT));
    ASSERT_NE(gui::FindControl(main, kListId), nullptr);
    ASSERT_TRUE(ClickOnPage(main, kListId, IDC_RESULTS_REPAIR));
    std::string text;
    ASSERT_TRUE(gui::WaitFor([] { return !gui::MessageBoxText("Hivora").empty(); }, 60000));
    gui::SaveScreenshot("repair-closing-message-counts");
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text));
    EXPECT_EQ(text, Format("Hivora has Successfully fixed %d Critical Error(s) in your system registry.Click OK to view "
                           "Statistics.\n\nOf the %d item(s) ticked:\n%d fixed\n1 already gone (removed with an "
                           "entry above)\n1 could not be fixed (left unchanged)\nThe log file lists each item.",
                           ticked - 2, ticked, ticked - 2));
    EXPECT_EQ(run.Count(), 0);
    EXPECT_TRUE(app.Close());
}

} // namespace
