#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/format.h"
#include "problems.h"
#include "sandbox.h"
#include "scan/checks.h"
#include "scan/scanner.h"
#include "scope_guard.h"
#include "tempdir.h"

namespace {

const std::string kSoftware = "HKEY_LOCAL_MACHINE\\SOFTWARE";
const std::string kGone = "C:\\hivora-missing\\";

class TreeChecks : public testing::Test {
protected:
    TreeChecks() { g_arrProblems.clear(); }
    ~TreeChecks() override { g_arrProblems.clear(); }

    // The problems of type's check run on its own, in report order.
    static std::vector<Found> Alone(REGPROBLEM_TYPE type)
    {
        g_arrProblems.clear();
        CRegistryScanner engine;
        RunCategoryCheck(engine, type);
        std::vector<Found> found = Problems();
        g_arrProblems.clear();
        return found;
    }

    static bool Has(const std::vector<Found>& found, const std::string& key, const std::string& valueName)
    {
        return std::any_of(found.begin(), found.end(),
                           [&](const Found& f) { return f.key == key && f.valueName == valueName; });
    }

    RegistrySandbox sandbox;
    TempDir temp;
};

// Every shape that makes the two checks read a key or a value differently: keys with one, two and
// no subkeys, a tree outside SOFTWARE, a user's hive, data longer than the file path buffer ahead
// of a value that names a missing file, names the code page cannot hold, a key that refuses part
// of KEY_READ.
TEST_F(TreeChecks, SharedWalkReportsExactlyWhatEachCheckReportsAlone)
{
    const std::string tool = temp.WriteFile("Tools\\tool.exe");
    const std::string one = kSoftware + "\\HvTrees\\One";
    // Created in the order of their names, the order the registry may hand them out in.
    SetString(one, "A Path", kGone + "one.exe");
    SetString(one, "B Present", "\"" + tool + "\" /s");
    SetString(one, "C Long", "C:\\" + std::string(1500, 'x'));
    SetString(one, "D After long", kGone + "after.exe");
    SetString(one + "\\Leaf", "File", kGone + "leaf.dll");
    SetString(kSoftware + "\\HvTrees\\Two", "Cmd", "\"" + kGone + "two.exe\" /s");
    CreateKey(kSoftware + "\\HvTrees\\Two\\X");
    CreateKey(kSoftware + "\\HvTrees\\Two\\Y");
    SetString("HKEY_LOCAL_MACHINE\\SYSTEM\\HvTrees", "Path", kGone + "system.exe");
    CreateKey("HKEY_LOCAL_MACHINE\\SYSTEM\\HvTrees\\Sub");
    SetString("HKEY_USERS\\S-1-5-21-7\\Software\\Vendor", "Recent", kGone + "recent.txt");
    CreateKey("HKEY_USERS\\S-1-5-21-7\\Software\\Vendor\\Sub");
    SetString(kSoftware, "Top", kGone + "top.exe");
    SetWideString(kSoftware + "\\HvTrees\\Wide", L"\x4E2D\x6587", L"Path", L"C:\\hivora-missing\\wide.exe");
    SetWideString(kSoftware + "\\HvTrees\\Wide", L"", L"\x4E2D", L"C:\\hivora-missing\\name.exe");
    CreateKey(kSoftware + "\\HvTrees\\Wide\\Sub");
    const std::string locked = kSoftware + "\\HvTrees\\Locked";
    SetString(locked, "Path", kGone + "locked.exe");
    CreateKey(locked + "\\Sub");
    SetKeyAccess(locked, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE);
    const ScopeGuard unlock([&] { SetKeyAccess(locked, 0, true); });

    // Empty keys: one under another, one beside a subkey the code page cannot name, one that refuses
    // writing.
    const std::string user = "HKEY_USERS\\S-1-5-21-7\\Software";
    CreateKey(user + "\\Gone\\Empty\\Emptier");
    CreateKey(user + "\\Odd\\Empty");
    SetWideString(user + "\\Odd", L"\x4E2D", L"", L"x");
    CreateKey(user + "\\Kept\\Empty");
    SetKeyAccess(user + "\\Kept\\Empty", KEY_READ);
    const ScopeGuard unlockKept([&] { SetKeyAccess(user + "\\Kept\\Empty", 0, true); });

    const std::vector<Found> filePaths = Alone(RPT_FILE_PATHS);
    const std::vector<Found> deep = Alone(RPT_DEEP_SCAN);
    const std::vector<Found> empty = Alone(RPT_EMPTY_KEYS);
    // The shapes were met as the checks read them.
    EXPECT_TRUE(Has(filePaths, one, "A Path"));
    EXPECT_FALSE(Has(filePaths, one, "D After long"));
    EXPECT_TRUE(Has(deep, one, "D After long"));
    EXPECT_TRUE(Has(filePaths, "HKEY_LOCAL_MACHINE\\SYSTEM\\HvTrees", "Path"));
    EXPECT_FALSE(Has(deep, "HKEY_LOCAL_MACHINE\\SYSTEM\\HvTrees", "Path"));
    EXPECT_TRUE(Has(deep, one + "\\Leaf", "File"));
    EXPECT_FALSE(Has(filePaths, one + "\\Leaf", "File"));
    EXPECT_TRUE(Has(filePaths, "HKEY_USERS\\S-1-5-21-7\\Software\\Vendor", "Recent"));
    EXPECT_TRUE(Has(deep, "HKEY_USERS\\S-1-5-21-7\\Software\\Vendor", "Recent"));
    EXPECT_TRUE(Has(deep, kSoftware, "Top"));
    EXPECT_EQ(empty, (std::vector<Found>{{user + "\\Gone\\Empty\\Emptier", "(Default)", "", RPT_EMPTY_KEYS},
                                         {user + "\\Gone\\Empty", "(Default)", "", RPT_EMPTY_KEYS},
                                         {user + "\\Gone", "(Default)", "", RPT_EMPTY_KEYS},
                                         {user + "\\Odd\\Empty", "(Default)", "", RPT_EMPTY_KEYS},
                                         {user + "\\Vendor\\Sub", "(Default)", "", RPT_EMPTY_KEYS}}));

    // All three selected: the file path references walk for all; the findings of the others wait for
    // their turn and then come in their own order.
    CRegistryScanner engine;
    uint8_t selected[kCategoryCount] = {};
    selected[RPT_FILE_PATHS] = selected[RPT_EMPTY_KEYS] = selected[RPT_DEEP_SCAN] = 1;
    engine.SetCategorySelection(selected);
    RunCategoryCheck(engine, RPT_FILE_PATHS);
    EXPECT_EQ(Problems(), filePaths);
    EXPECT_EQ(engine.Found(RPT_DEEP_SCAN), 0);
    EXPECT_EQ(engine.Found(RPT_EMPTY_KEYS), 0);
    for (const auto& [type, alone] : {std::pair{RPT_EMPTY_KEYS, empty}, std::pair{RPT_DEEP_SCAN, deep}}) {
        g_arrProblems.clear();
        RunCategoryCheck(engine, type);
        EXPECT_EQ(Problems(), alone);
        EXPECT_EQ(engine.Found(type), static_cast<int32_t>(alone.size()));
    }

    // The deep scan on its own, the file path references not selected, walks in its own order.
    g_arrProblems.clear();
    CRegistryScanner deepOnly;
    selected[RPT_FILE_PATHS] = 0;
    deepOnly.SetCategorySelection(selected);
    RunCategoryCheck(deepOnly, RPT_DEEP_SCAN);
    EXPECT_EQ(Problems(), deep);
}

// The notification window of a scan: stops it at the first place the shared walk announces.
struct STOPPER {
    CRegistryScanner* engine = nullptr;
    REGPROBLEM_TYPE walking = RPT_FILE_PATHS; // the category that runs the walk
    REGPROBLEM_TYPE current = RPT_COM_ACTIVEX;
    bool begun[kCategoryCount] = {};
    bool skipped[kCategoryCount] = {};
    DWORD stoppedAt = 0;
    DWORD doneAt = 0;
};
STOPPER g_stopper;

LRESULT CALLBACK StopperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SCAN_CATEGORY_BEGIN:
        g_stopper.current = static_cast<REGPROBLEM_TYPE>(lParam);
        g_stopper.begun[lParam] = true;
        return 0;
    case WM_SCAN_CATEGORY_SKIPPED:
        g_stopper.skipped[lParam] = true;
        return 0;
    case WM_SCAN_PATH:
        if (!g_stopper.stoppedAt && g_stopper.current == g_stopper.walking) {
            g_stopper.stoppedAt = GetTickCount();
            g_stopper.engine->RequestStop();
        }
        return 0;
    case WM_SCAN_DONE:
        g_stopper.doneAt = GetTickCount();
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

TEST_F(TreeChecks, StopDuringTheSharedWalkEndsItWithinTwoTenthsOfASecond)
{
    constexpr int kKeys = 1500;
    for (int i = 0; i < kKeys; ++i)
        SetString(Format("%s\\HvBig\\K%04d\\Sub", kSoftware.c_str(), i), "Path", Format("%sbig%d.exe", kGone.c_str(), i));

    WNDCLASSA wc = {};
    wc.lpfnWndProc = StopperProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TreeChecksStopper";
    RegisterClassA(&wc);
    const HWND window =
        CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    const ScopeGuard destroy([&] { DestroyWindow(window); });

    // The walk run by the file path references, and by COM/ActiveX ahead of them.
    for (const REGPROBLEM_TYPE walking : {RPT_FILE_PATHS, RPT_COM_ACTIVEX}) {
        g_arrProblems.clear();
        CRegistryScanner engine;
        g_stopper = STOPPER();
        g_stopper.engine = &engine;
        g_stopper.walking = walking;
        uint8_t selected[kCategoryCount] = {};
        selected[walking] = selected[RPT_FILE_PATHS] = selected[RPT_DEEP_SCAN] = 1;
        engine.SetCategorySelection(selected);
        // The first place of the walk is then due for display.
        Sleep(150);
        ASSERT_TRUE(engine.StartScan(window));
        engine.WaitForScanEnd();

        ASSERT_NE(g_stopper.stoppedAt, 0u);
        ASSERT_NE(g_stopper.doneAt, 0u);
        EXPECT_LT(g_stopper.doneAt - g_stopper.stoppedAt, 200u);
        EXPECT_TRUE(g_stopper.begun[walking]);
        EXPECT_TRUE(g_stopper.skipped[RPT_DEEP_SCAN]);
        // The walk ended on the way, and nothing kept for the later categories was reported.
        EXPECT_LT(engine.Found(RPT_FILE_PATHS), walking == RPT_FILE_PATHS ? kKeys : 1);
        EXPECT_EQ(engine.Found(RPT_DEEP_SCAN), 0);
        for (const auto& problem : g_arrProblems)
            EXPECT_EQ(problem->m_nType, walking);
    }
}

} // namespace
