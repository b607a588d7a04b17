#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "framework/fault.h"
#include "framework/known_folder.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/wide_text.h"
#include "hivora_version.h"
#include "repair/ignore_list.h"
#include "sandbox.h"
#include "scan/scanner.h"
#include "shell/logfile.h"
#include "shell/settings.h"
#include "shell/startup_log.h"
#include "tempdir.h"

namespace {

struct FINDING {
    std::string key, valueName, data;
};

// An engine whose category checks are scripted: each reports its findings, then runs its hook.
class CScriptedScanner : public CRegistryScanner {
public:
    void RunCheck(REGPROBLEM_TYPE type) override
    {
        for (const FINDING& f : m_findings[type])
            ReportProblem(std::make_unique<CRegistryProblem>(f.key, f.valueName, f.data, type, 0));
        if (m_hooks[type])
            m_hooks[type](*this);
    }

    std::vector<FINDING> m_findings[kCategoryCount];
    std::function<void(CScriptedScanner&)> m_hooks[kCategoryCount];
};

struct MESSAGE {
    UINT message;
    LPARAM lParam;
    std::string text; // the path of WM_SCAN_PATH, the key of WM_SCAN_PROBLEM
};

// The page's stand-in: a message-only window on the test's thread that records what arrives.
class CRecorder {
public:
    CRecorder()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ScannerTestRecorder";
        RegisterClassA(&wc);
        m_hWnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CRecorder() { DestroyWindow(m_hWnd); }

    std::vector<MESSAGE> Of(UINT message) const
    {
        std::vector<MESSAGE> out;
        for (const MESSAGE& m : m_messages)
            if (m.message == message)
                out.push_back(m);
        return out;
    }

    HWND m_hWnd = nullptr;
    std::vector<MESSAGE> m_messages;
    std::function<void(const MESSAGE&)> m_onMessage;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<CRecorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && message >= WM_SCAN_DONE_REPAIRED && message <= WM_SCAN_CATEGORY_SKIPPED) {
            // A batch of problems is recorded as one message per problem.
            std::vector<MESSAGE> got;
            if (message == WM_SCAN_PROBLEM) {
                const auto* problems = reinterpret_cast<const CRegistryProblem* const*>(lParam);
                EXPECT_GE(wParam, 1u);
                for (WPARAM i = 0; i < wParam; ++i)
                    got.push_back({message, reinterpret_cast<LPARAM>(problems[i]), problems[i]->m_strKey});
            } else {
                got.push_back({message, lParam, message == WM_SCAN_PATH ? reinterpret_cast<const char*>(lParam) : ""});
            }
            for (const MESSAGE& m : got) {
                self->m_messages.push_back(m);
                if (self->m_onMessage)
                    self->m_onMessage(m);
            }
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
};

// Waits on the page's thread, answering the worker meanwhile.
void PumpFor(DWORD milliseconds, const std::function<bool()>& done = [] { return false; })
{
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(1);
    }
}

class ScannerTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_log = std::make_unique<CLogFile>(m_temp / "scan.log");
        g_pLog = m_log.get();
        ClearIgnoreList();
    }
    void TearDown() override
    {
        g_pLog = nullptr;
        ClearIgnoreList();
        g_arrProblems.clear();
    }

    // Runs a whole scan of the selected categories to its end, as the page would see it.
    void Scan(std::initializer_list<REGPROBLEM_TYPE> selected)
    {
        uint8_t flags[kCategoryCount] = {};
        for (REGPROBLEM_TYPE type : selected)
            flags[type] = 1;
        m_engine.SetCategorySelection(flags);
        ASSERT_TRUE(m_engine.StartScan(m_page.m_hWnd));
        m_engine.WaitForScanEnd();
    }

    std::string Log() const { return ReadFileText(m_temp / "scan.log"); }

    RegistrySandbox m_sandbox;
    TempDir m_temp;
    std::unique_ptr<CLogFile> m_log;
    CRecorder m_page;
    CScriptedScanner m_engine;
};

TEST_F(ScannerTest, MessagesFollowTheScanOrderAndEndWithDone)
{
    Scan({RPT_COM_ACTIVEX, RPT_SHORTCUTS, RPT_FILE_ASSOC});

    std::vector<std::pair<UINT, LPARAM>> expected;
    for (REGPROBLEM_TYPE type : g_aScanOrder) {
        if (type == RPT_COM_ACTIVEX || type == RPT_SHORTCUTS || type == RPT_FILE_ASSOC) {
            expected.emplace_back(WM_SCAN_CATEGORY_BEGIN, type);
            expected.emplace_back(WM_SCAN_CATEGORY_END, type);
        } else {
            expected.emplace_back(WM_SCAN_CATEGORY_SKIPPED, type);
        }
    }
    expected.emplace_back(WM_SCAN_DONE, 0);
    std::vector<std::pair<UINT, LPARAM>> got;
    for (const MESSAGE& m : m_page.m_messages)
        got.emplace_back(m.message, m.lParam);
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(m_engine.WorkerStarted());
}

TEST_F(ScannerTest, StartRecordsTheScanAndClearsTheLastOne)
{
    WriteSettingInt("FixedComErrors", 5);
    WriteSettingInt("FixedDeepScanErrors", 2);
    g_arrProblems.push_back(std::make_unique<CRegistryProblem>("HKEY_CURRENT_USER\\Old", "", "", RPT_FONTS, 0));

    Scan({});

    EXPECT_TRUE(g_arrProblems.empty());
    EXPECT_EQ(ReadSettingInt("FixedComErrors"), 0);
    EXPECT_EQ(ReadSettingInt("FixedDeepScanErrors"), 0);
    EXPECT_TRUE(std::regex_match(ReadSettingString("lastScan"),
                                 std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)")));
    const std::string log = Log();
    EXPECT_NE(log.find("--INFO --Hivora ver " HIVORA_VERSION "\r\n"), std::string::npos);
    EXPECT_NE(log.find("--INFO --Logfile Created on: "), std::string::npos);
    EXPECT_NE(log.find("--INFO --Scanning started\r\n" + std::string(76, '-') + "\r\n"), std::string::npos);
}

TEST_F(ScannerTest, ReportedProblemsAreStoredCountedLoggedAndAnnouncedInOrder)
{
    m_engine.m_findings[RPT_FILE_PATHS] = {{"HKEY_LOCAL_MACHINE\\Software\\Acme", "Path", "C:\\gone\\a.exe"},
                                           {"HKEY_LOCAL_MACHINE\\Software\\Acme", "Other", "C:\\gone\\b.exe"}};
    m_engine.m_findings[RPT_FONTS] = {{"HKEY_LOCAL_MACHINE\\Software\\Fonts", "Arial", "arial.ttf"}};
    CreateKey("HKEY_LOCAL_MACHINE\\Software\\Acme");
    CreateKey("HKEY_LOCAL_MACHINE\\Software\\Fonts");

    Scan({RPT_FONTS, RPT_FILE_PATHS});

    ASSERT_EQ(g_arrProblems.size(), 3u);
    EXPECT_EQ(g_arrProblems[0]->m_strValueName, "Arial");
    EXPECT_EQ(g_arrProblems[2]->m_strValueName, "Other");
    EXPECT_EQ(m_engine.Found(RPT_FILE_PATHS), 2);
    EXPECT_EQ(m_engine.Found(RPT_FONTS), 1);
    EXPECT_EQ(m_engine.TotalFound(), 3);
    const auto problems = m_page.Of(WM_SCAN_PROBLEM);
    ASSERT_EQ(problems.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(problems[i].lParam, reinterpret_cast<LPARAM>(g_arrProblems[i].get()));
    EXPECT_NE(Log().find("--INFO --Eroor at HKEY_LOCAL_MACHINE\\Software\\Acme\\Path=C:\\gone\\a.exe\r\n"),
              std::string::npos);
}

TEST_F(ScannerTest, FilteredProblemsLeaveNoTrace)
{
    m_engine.m_findings[RPT_UNINSTALL] = {
        {"HKEY_LOCAL_MACHINE\\Software\\Acme", "UninstallString", "MsiExec.exe /X{1234}"},
        {"HKEY_LOCAL_MACHINE\\Software\\Acme", "UninstallString", "C:\\WINDOWS\\MSIEXEC /I x"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Dell\\Foo", "Path", "C:\\gone.exe"},
        {"hkey_local_machine\\Software\\Acme", "Path", "C:\\gone.exe"},
        {"HKEY_LOCAL_MACHINE\\Software\\Ignored", "Path", "C:\\gone.exe"},
        {"HKEY_LOCAL_MACHINE\\Software\\Kept", "Path", "C:\\Program Files\\Dell\\gone.exe"},
        // A key that is not there is not reported, and not created: a scan writes nothing.
        {"HKEY_LOCAL_MACHINE\\Software\\Absent", "Path", "C:\\gone.exe"},
    };
    for (const char* key : {"Acme", "Dell\\Foo", "Ignored", "Kept"})
        CreateKey(std::string("HKEY_LOCAL_MACHINE\\Software\\") + key);
    const CRegistryProblem ignored("HKEY_LOCAL_MACHINE\\SOFTWARE\\IGNORED", "path", "c:\\GONE.exe", RPT_UNINSTALL, 0);
    g_arrIgnoreTypes.push_back(ignored.m_nType);
    g_arrIgnoreKeys.push_back(IgnoreKey(ignored));

    Scan({RPT_UNINSTALL});

    ASSERT_EQ(g_arrProblems.size(), 1u);
    EXPECT_EQ(g_arrProblems[0]->m_strKey, "HKEY_LOCAL_MACHINE\\Software\\Kept");
    EXPECT_EQ(m_engine.TotalFound(), 1);
    EXPECT_EQ(m_page.Of(WM_SCAN_PROBLEM).size(), 1u);
    const std::string log = Log();
    EXPECT_EQ(log.find("Ignored"), std::string::npos);
    EXPECT_EQ(log.find("Dell\\Foo"), std::string::npos);
    EXPECT_EQ(log.find("MsiExec"), std::string::npos);
    EXPECT_EQ(log.find("Absent"), std::string::npos);
    EXPECT_FALSE(KeyExists("HKEY_LOCAL_MACHINE\\Software\\Absent"));
}

TEST_F(ScannerTest, FoundErrorsAccumulateOverScans)
{
    WriteSettingInt("lastfounderrors", 4);
    m_engine.m_findings[RPT_STARTUP] = {{"HKEY_CURRENT_USER\\Software\\Run1", "a", "x.exe"},
                                        {"HKEY_CURRENT_USER\\Software\\Run1", "b", "y.exe"}};
    CreateKey("HKEY_CURRENT_USER\\Software\\Run1");
    Scan({RPT_STARTUP});
    m_engine.m_findings[RPT_STARTUP].pop_back();
    Scan({RPT_STARTUP});
    EXPECT_EQ(ReadSettingInt("lastfounderrors"), 7);
    EXPECT_EQ(m_engine.TotalFound(), 1);
}

TEST_F(ScannerTest, StopSkipsTheCategoriesNotBegunAndStillCounts)
{
    WriteSettingInt("repairafterfind", 1);
    WriteSettingInt("TotalFontErrors", 9);
    m_engine.m_findings[RPT_UNINSTALL] = {{"HKEY_LOCAL_MACHINE\\Software\\Acme", "a", "x.exe"}};
    CreateKey("HKEY_LOCAL_MACHINE\\Software\\Acme");
    // The running check walks until it is told to stop.
    m_engine.m_hooks[RPT_UNINSTALL] = [](CScriptedScanner& engine) {
        while (!engine.StopRequested())
            Sleep(1);
    };
    // The page's bookkeeping, with Stop pressed at the first problem.
    m_page.m_onMessage = [this](const MESSAGE& m) {
        if (m.message == WM_SCAN_CATEGORY_BEGIN)
            m_engine.LogCategoryBegin(static_cast<REGPROBLEM_TYPE>(m.lParam));
        if (m.message == WM_SCAN_CATEGORY_END)
            m_engine.LogCategoryEnd(static_cast<REGPROBLEM_TYPE>(m.lParam));
        if (m.message == WM_SCAN_PROBLEM) {
            m_engine.StopByUser();
            m_engine.StoreFoundCounts();
        }
    };

    Scan({RPT_COM_ACTIVEX, RPT_UNINSTALL, RPT_FONTS, RPT_DEEP_SCAN});

    EXPECT_EQ(m_page.Of(WM_SCAN_CATEGORY_BEGIN).size(), 2u);
    EXPECT_EQ(m_page.Of(WM_SCAN_CATEGORY_END).size(), 2u);
    EXPECT_EQ(m_page.Of(WM_SCAN_CATEGORY_SKIPPED).size(), 13u);
    EXPECT_EQ(m_page.Of(WM_SCAN_DONE).size(), 1u);
    EXPECT_TRUE(m_page.Of(WM_SCAN_DONE_REPAIRED).empty());
    EXPECT_EQ(m_page.m_messages.back().message, WM_SCAN_DONE);
    EXPECT_EQ(ReadSettingInt("lastfounderrors"), 1);
    EXPECT_EQ(g_arrProblems.size(), 1u);
    // This scan's counts replace the last one's, those of categories it never reached included.
    EXPECT_EQ(ReadSettingInt("errs"), 1);
    EXPECT_EQ(ReadSettingInt("TotalUninstallErrors"), 1);
    EXPECT_EQ(ReadSettingInt("TotalFontErrors"), 0);
    const std::string log = Log();
    EXPECT_NE(log.find("--INFO --FindingUninstall\r\n\r\n"), std::string::npos) << log;
    const size_t found = log.find("--INFO --Found 1 errors in Uninstall\r\n");
    ASSERT_NE(found, std::string::npos) << log;
    EXPECT_LT(log.find("--INFO --Scan cancelled by user\r\n"), found);
}

TEST_F(ScannerTest, RepairAfterFindRepairsEverythingBeforeTellingThePage)
{
    WriteSettingInt("repairafterfind", 1);
    SetString("HKEY_CURRENT_USER\\Software\\Acme\\Run", "Gone", "C:\\gone\\gone.exe");
    m_engine.m_findings[RPT_STARTUP] = {{"HKEY_CURRENT_USER\\Software\\Acme\\Run", "Gone", "C:\\gone\\gone.exe"}};
    bool repairedWhenTold = false;
    m_page.m_onMessage = [&](const MESSAGE& m) {
        // The page still sees the problems it is told about; the list is emptied afterwards.
        if (m.message == WM_SCAN_DONE_REPAIRED)
            repairedWhenTold = g_arrProblems.size() == 1 && g_arrProblems[0]->m_bSelected &&
                               !ValueExists("HKEY_CURRENT_USER\\Software\\Acme\\Run", "Gone");
    };

    Scan({RPT_STARTUP});

    EXPECT_TRUE(m_page.Of(WM_SCAN_DONE).empty());
    ASSERT_EQ(m_page.Of(WM_SCAN_DONE_REPAIRED).size(), 1u);
    EXPECT_TRUE(repairedWhenTold);
    EXPECT_TRUE(g_arrProblems.empty());
}

TEST_F(ScannerTest, PausedWorkerMakesNoProgressUntilResumed)
{
    std::atomic<int> items{0};
    m_engine.m_hooks[RPT_DEEP_SCAN] = [&](CScriptedScanner& engine) {
        while (!engine.StopRequested())
            ++items;
    };
    uint8_t flags[kCategoryCount] = {};
    flags[RPT_DEEP_SCAN] = 1;
    m_engine.SetCategorySelection(flags);
    ASSERT_TRUE(m_engine.StartScan(m_page.m_hWnd));
    PumpFor(60000, [&] { return items > 0; });

    m_engine.Pause();
    PumpFor(50);
    const int paused = items;
    PumpFor(200);
    EXPECT_EQ(items, paused);

    m_engine.Resume();
    PumpFor(60000, [&] { return items != paused; });
    EXPECT_GT(items, paused);
    m_engine.StopScanAndWait();
    EXPECT_EQ(m_page.m_messages.back().message, WM_SCAN_DONE);
}

TEST_F(ScannerTest, StopAndWaitAnswersTheWorkerUntilItEnds)
{
    // A busy check that keeps the page's thread answering: paths and problems without end.
    for (int i = 0; i < 50; ++i)
        CreateKey(Format("HKEY_CLASSES_ROOT\\Busy\\%d", i));
    m_engine.m_hooks[RPT_COM_ACTIVEX] = [](CScriptedScanner& engine) {
        for (int i = 0; !engine.StopRequested(); ++i) {
            engine.SendPath(Format("HKEY_CLASSES_ROOT\\CLSID\\%d", i));
            engine.ReportProblem(std::make_unique<CRegistryProblem>(Format("HKEY_CLASSES_ROOT\\Busy\\%d", i % 50),
                                                                    "", "x.dll", RPT_COM_ACTIVEX, 0));
        }
    };
    uint8_t flags[kCategoryCount] = {};
    flags[RPT_COM_ACTIVEX] = flags[RPT_FONTS] = 1;
    m_engine.SetCategorySelection(flags);
    ASSERT_TRUE(m_engine.StartScan(m_page.m_hWnd));
    // The busy check is under way before the user pauses it, however loaded the machine is.
    PumpFor(60000, [&] { return !m_page.Of(WM_SCAN_PROBLEM).empty(); });
    m_engine.Pause();

    m_engine.StopScanAndWait();

    EXPECT_TRUE(m_engine.Worker()->Wait(0));
    EXPECT_EQ(m_page.m_messages.back().message, WM_SCAN_DONE);
    EXPECT_TRUE(m_page.Of(WM_SCAN_CATEGORY_BEGIN).size() == 1u);
    EXPECT_EQ(m_page.Of(WM_SCAN_PROBLEM).size(), static_cast<size_t>(m_engine.TotalFound()));
}

TEST_F(ScannerTest, PathsReachThePageAtMostOncePer101Milliseconds)
{
    DWORD elapsed = 0;
    m_engine.m_hooks[RPT_HELP_FILES] = [&](CScriptedScanner& engine) {
        const DWORD start = GetTickCount();
        for (int i = 0; i < 200000; ++i)
            engine.SendPath("HKEY_LOCAL_MACHINE\\Software\\Help");
        elapsed = GetTickCount() - start;
    };
    Scan({RPT_HELP_FILES});
    const auto paths = m_page.Of(WM_SCAN_PATH);
    EXPECT_LE(paths.size(), elapsed / 101 + 1);
    for (const MESSAGE& m : paths)
        EXPECT_EQ(m.text, "HKEY_LOCAL_MACHINE\\Software\\Help");
}

TEST_F(ScannerTest, FailingCheckIsLoggedAsAnErrorAndStillEndsItsCategoryAndTheScan)
{
    // The log set-up both programs start with, which also logs what a thread's wall stops.
    StartProcessLog(m_temp.Path() + "\\");
    m_engine.m_hooks[RPT_FONTS] = [](CScriptedScanner&) { throw std::runtime_error("broken"); };
    Scan({RPT_FONTS, RPT_APP_PATHS});
    SetFaultReporter(nullptr);
    EXPECT_EQ(m_page.Of(WM_SCAN_CATEGORY_END).size(), 2u);
    EXPECT_EQ(m_page.m_messages.back().message, WM_SCAN_DONE);

    WIN32_FIND_DATAA found{};
    const FindHandle search(FindFirstFileA((m_temp / "Logs\\HV*.log").c_str(), &found));
    ASSERT_TRUE(search);
    const std::string log = ReadFileText(m_temp / "Logs\\" + found.cFileName);
    EXPECT_NE(log.find("--ERROR--Unexpected error in the check of Fonts: broken\r\n"), std::string::npos) << log;
}

// Every key below root (links opened as themselves, never followed) with its last-write time, by path;
// the program's own key is left out.
void CollectWriteTimes(HKEY parent, const std::wstring& name, const std::string& path,
                       std::map<std::string, uint64_t>& times)
{
    if (path == "HKEY_LOCAL_MACHINE\\SOFTWARE\\Hivora")
        return;
    RegKey key;
    if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    FILETIME written = {};
    ASSERT_EQ(RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, &written),
              ERROR_SUCCESS);
    times[path] = (uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    wchar_t sub[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        CollectWriteTimes(key.get(), sub, path + "\\" + Narrow(sub), times);
    }
}

std::map<std::string, uint64_t> RegistryWriteTimes()
{
    std::map<std::string, uint64_t> times;
    const std::pair<HKEY, const char*> roots[] = {{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
                                                  {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                                                  {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                                                  {HKEY_USERS, "HKEY_USERS"}};
    for (const auto& [root, name] : roots)
        CollectWriteTimes(root, L"", name, times);
    return times;
}

// A scan reads: every category over a registry with findings, healthy entries and volatile keys
// leaves every key as it was, the keys it reports included; only the program's own key changes.
TEST(WholeScan, ChangesNoKeyOutsideTheProgramsOwn)
{
    RegistrySandbox sandbox;
    TempDir temp;
    CLogFile log(temp / "scan.log");
    g_pLog = &log;
    ClearIgnoreList();
    const std::string gone = temp / "hvgone\\app.exe";
    const std::string kept = temp.WriteFile("hvkept\\app.exe");
    const std::string version = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    SetString("HKEY_CLASSES_ROOT\\CLSID\\{0D7F3A52-1C55-4E0B-9A51-7E1D2C3B4A01}\\InprocServer32", "", gone);
    SetString("HKEY_CLASSES_ROOT\\CLSID\\{0D7F3A52-1C55-4E0B-9A51-7E1D2C3B4A02}\\LocalServer32", "", kept);
    SetString("HKEY_CLASSES_ROOT\\.hvgone", "", "HvGone.Document");
    SetString("HKEY_CLASSES_ROOT\\HvGone.Document\\shell\\open\\command", "", "\"" + gone + "\" \"%1\"");
    SetString(version + "\\Uninstall\\HvGone", "UninstallString", "\"" + gone + "\" /uninstall");
    SetString(version + "\\App Paths\\hvgone.exe", "", gone);
    SetString(version + "\\App Paths\\hvkept.exe", "", kept);
    SetDword(version + "\\SharedDLLs", temp / "hvgone\\shared.dll", 1);
    SetString(version + "\\Run", "HvGone", gone + " /background");
    SetString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "HvGone", gone);
    SetString("HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\HvApp\\Ding\\.Current", "", temp / "hvgone\\ding.wav");
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\HvVendor\\Tool", "Path", gone);
    CreateKey("HKEY_USERS\\S-1-5-18\\Software\\HvVendor\\Hollow");
    SetDword("HKEY_USERS\\S-1-5-18\\Software", "Flag", 1);
    // A volatile key where Windows keeps one, naming a file that is gone.
    RegKey user;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "S-1-5-18", 0, KEY_ALL_ACCESS, user.put()), ERROR_SUCCESS);
    RegKey session;
    ASSERT_EQ(RegCreateKeyExA(user.get(), "Volatile Environment", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, session.put(), nullptr),
              ERROR_SUCCESS);
    SetString("HKEY_USERS\\S-1-5-18\\Volatile Environment", "Tool", gone);
    // The program's own key is there from its first run on, and the shell's folder keys (Shell
    // Folders, the profile list) from the profile's first use: the shell keeps them itself whenever a
    // folder is asked for.
    WriteSettingInt("repairafterfind", 0);
    wchar_t folder[MAX_PATH];
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, FALSE);
    SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, folder);
    for (const KNOWNFOLDERID* id : {&FOLDERID_CommonPrograms, &FOLDERID_PublicDesktop, &FOLDERID_Fonts})
        KnownFolderPath(*id);

    const std::map<std::string, uint64_t> before = RegistryWriteTimes();
    uint8_t all[kCategoryCount];
    std::fill(std::begin(all), std::end(all), uint8_t(1));
    CRecorder page;
    CRegistryScanner engine;
    engine.SetCategorySelection(all);
    ASSERT_TRUE(engine.StartScan(page.m_hWnd));
    engine.WaitForScanEnd();
    const std::map<std::string, uint64_t> after = RegistryWriteTimes();
    g_pLog = nullptr;

    std::vector<std::string> reported;
    for (const auto& problem : g_arrProblems)
        reported.push_back(problem->m_strKey + "|" + problem->m_strValueName);
    g_arrProblems.clear();
    EXPECT_GE(reported.size(), 8u) << testing::PrintToString(reported);
    EXPECT_EQ(std::count(reported.begin(), reported.end(), "HKEY_USERS\\S-1-5-18\\Volatile Environment|Tool"), 0);
    EXPECT_EQ(std::count(reported.begin(), reported.end(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\HvVendor\\Tool|Path"), 1);
    EXPECT_EQ(page.Of(WM_SCAN_DONE).size(), 1u);
    EXPECT_EQ(before.size(), after.size());
    for (const auto& [path, time] : before) {
        const auto later = after.find(path);
        if (later == after.end())
            ADD_FAILURE() << path << " is gone";
        else
            EXPECT_EQ(later->second, time) << path << " was written";
    }
    for (const auto& [path, time] : after)
        EXPECT_TRUE(before.count(path)) << path << " was created";
}

} // namespace
