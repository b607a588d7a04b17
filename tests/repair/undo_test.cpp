#include <gtest/gtest.h>

#include <windows.h>

#include "framework/ascii.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "repair/class_hive.h"
#include "repair/restore_point.h"
#include "repair/backup_sets.h"
#include "repair/clean_sweep.h"
#include "repair/repair.h"
#include "links.h"
#include "repair_support.h"
#include "sandbox.h"
#include "scope_guard.h"

namespace {

CRegistryProblem* AddProblem(const std::string& key, const std::string& name, const std::string& data,
                             REGPROBLEM_TYPE type)
{
    g_arrProblems.push_back(std::make_unique<CRegistryProblem>(key, name, data, type, 0));
    g_arrProblems.back()->m_bSelected = 1;
    return g_arrProblems.back().get();
}

// A disk that fills: the writes before the last good one succeed, the next writes half its bytes
// and then fails as a full disk does.
int g_nGoodWrites = 0;

BOOL WINAPI FillingDiskWrite(HANDLE file, const void* data, DWORD size, DWORD* written)
{
    if (g_nGoodWrites-- > 0)
        return WriteFile(file, data, size, written, nullptr);
    WriteFile(file, data, size / 2, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

// Puts the stand-in write in place for the scope.
auto FillDiskAfter(int goodWrites)
{
    g_nGoodWrites = goodWrites;
    UseBackupWriteStandIn(FillingDiskWrite);
    return ScopeGuard([] { UseBackupWriteStandIn(nullptr); });
}

} // namespace

TEST(FullDisk, TheRepairStopsAtTheFirstFailedBackupAndEverythingItRemovedComesBack)
{
    TempDir dir;
    LogCapture log(dir);
    RealKey real;
    const auto clear = ScopeGuard([] { g_arrProblems.clear(); });
    g_arrProblems.clear();
    for (int i = 0; i < 6; ++i) {
        SetString(real.Path(), Format("v%d", i), Format("C:\\Gone\\%d.exe", i));
        AddProblem(real.Path(), Format("v%d", i), Format("C:\\Gone\\%d.exe", i), RPT_STARTUP);
    }
    auto engine = MakeEngine(dir);
    {
        // The header and three records reach the disk; the fourth record is cut off half-way.
        const auto disk = FillDiskAfter(4);
        ASSERT_TRUE(engine->RunRepair()) << engine->RepairError();
    }
    ASSERT_EQ(engine->RepairOutcomes().size(), 4u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ValueExists(real.Path(), Format("v%d", i)), i >= 3) << i;
    EXPECT_FALSE(engine->RepairOutcomes()[3].bFixed);
    EXPECT_NE(engine->RepairOutcomes()[3].strReason.find("the disk is full"), std::string::npos);
    const std::string stopped = RepairStopMessage(*engine);
    EXPECT_NE(stopped.find("the disk is full"), std::string::npos) << stopped;
    EXPECT_NE(stopped.find("3 problem(s) were repaired and backed up"), std::string::npos) << stopped;
    EXPECT_NE(log.Text().find(stopped), std::string::npos);

    // The file ends after the third whole record, and the set gives back all three.
    EXPECT_EQ(ParseFile(engine->BackupSet().RegBackupPath()).size(), 3u);
    EXPECT_EQ(RestoreBackupSets(dir / "Backup", {engine->BackupSet().Name()}), 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ReadRaw(real.Path(), Format("v%d", i)), Sz(Format("C:\\Gone\\%d.exe", i))) << i;
}

TEST(FullDisk, ATreeIsWrittenWholeOrNotAtAllAndTheListLosesNoLine)
{
    TempDir dir;
    RealKey real;
    SetString(real.Path() + "\\Tree", "a", "1");
    SetString(real.Path() + "\\Tree\\Sub", "b", "2");
    auto engine = MakeEngine(dir);
    engine->CreateRegistryBackupFile();
    ASSERT_TRUE(engine->CreateFileBackupSet());
    const std::string header = ReadFileText(engine->BackupSet().RegBackupPath());
    const std::string shortcut = dir.WriteFile("Desktop\\Old.lnk", "link");
    std::string reason;
    {
        const auto disk = FillDiskAfter(0);
        EXPECT_FALSE(engine->DeleteKeyTreeWithBackup(HKEY_CURRENT_USER, real.Sub() + "\\Tree", reason));
        EXPECT_EQ(engine->BackupWriteError(), static_cast<DWORD>(ERROR_DISK_FULL));
        engine->ResetRemovalState();
        EXPECT_FALSE(engine->MoveFileToBackup(shortcut, reason));
        EXPECT_EQ(engine->BackupWriteError(), static_cast<DWORD>(ERROR_DISK_FULL));
        EXPECT_NE(reason.find("moved-files list could not be written: the disk is full"), std::string::npos)
            << reason;
    }
    EXPECT_TRUE(KeyExists(real.Path() + "\\Tree\\Sub"));
    EXPECT_EQ(ReadFileText(shortcut), "link");
    engine->CloseBackupFiles();
    EXPECT_EQ(ReadFileText(engine->BackupSet().RegBackupPath()), header);
    EXPECT_EQ(ReadFileText(engine->BackupSet().FileListPath()), "");
}

TEST(ClassesHive, AKeyOfTheMergedViewResolvesToTheHivesThatHoldIt)
{
    const auto targets = [](bool user, bool machine) {
        std::string text;
        for (const CLASSES_TARGET& target : ResolveClassesPath("CLSID\\{1}", user, machine))
            text += std::string(target.pszRoot) + "\\" + target.strSubKey + ";";
        return text;
    };
    EXPECT_EQ(targets(true, false), "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{1};");
    EXPECT_EQ(targets(false, true), "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1};");
    EXPECT_EQ(targets(true, true),
              "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{1};HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1};");
    // Without the merged view (Wine) the classes live in HKEY_CLASSES_ROOT itself.
    EXPECT_EQ(targets(false, false), "HKEY_CLASSES_ROOT\\CLSID\\{1};");
}

// Seeded in each hive directly: Wine's HKEY_CLASSES_ROOT has no per-user part.
TEST(ClassesHive, AClassRemovedThroughTheMergedViewComesBackInItsOwnHive)
{
    TempDir dir;
    LogCapture log(dir);
    const std::string name = Format("HivoraUndoTest.%lu", GetCurrentProcessId());
    const std::string user = name + ".User", both = name + ".Both";
    const auto cleanup = ScopeGuard([&] {
        g_arrProblems.clear();
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (const std::string& key : {user, both})
                RegDeleteTreeA(root, ("Software\\Classes\\" + key).c_str());
    });
    const std::string userClasses = "HKEY_CURRENT_USER\\Software\\Classes\\";
    const std::string machineClasses = "HKEY_LOCAL_MACHINE\\Software\\Classes\\";
    SetString(userClasses + user + "\\shell\\open\\command", "", "C:\\Gone\\user.exe");
    SetString(userClasses + both, "", "user's");
    SetString(machineClasses + both + "\\DefaultIcon", "", "C:\\Gone\\machine.ico");
    g_arrProblems.clear();
    AddProblem("HKEY_CLASSES_ROOT\\" + user, "", "C:\\Gone\\user.exe", RPT_FILE_ASSOC);
    AddProblem("HKEY_CLASSES_ROOT\\" + both, "", "C:\\Gone\\machine.ico", RPT_FILE_ASSOC);

    auto engine = MakeEngine(dir);
    ASSERT_TRUE(engine->RunRepair()) << engine->RepairError();
    ASSERT_EQ(engine->RepairOutcomes().size(), 2u);
    EXPECT_TRUE(engine->RepairOutcomes()[0].bFixed) << engine->RepairOutcomes()[0].strReason;
    EXPECT_TRUE(engine->RepairOutcomes()[1].bFixed) << engine->RepairOutcomes()[1].strReason;
    for (const std::string& key : {userClasses + user, userClasses + both, machineClasses + both})
        EXPECT_FALSE(KeyExists(key)) << key;
    // The log shows the problem as it was found.
    EXPECT_NE(log.Text().find("Fixed Fileassosiations error HKEY_CLASSES_ROOT\\" + user), std::string::npos);

    // Each physical key is its own section, named after its hive.
    std::vector<std::string> sections;
    for (const REG_FILE_KEY& key : ParseFile(engine->BackupSet().RegBackupPath()))
        sections.push_back(LowerAscii(key.strPath));
    // The user's classes by the hive they were read from.
    const std::string hive = BackedUpUserKey("Software\\Classes\\");
    const std::vector<std::string> expected = {
        LowerAscii(hive + user), LowerAscii(hive + user + "\\shell"),
        LowerAscii(hive + user + "\\shell\\open"), LowerAscii(hive + user + "\\shell\\open\\command"),
        LowerAscii(hive + both), LowerAscii(machineClasses + both),
        LowerAscii(machineClasses + both + "\\DefaultIcon")};
    EXPECT_EQ(sections, expected);

    EXPECT_EQ(RestoreBackupSets(dir / "Backup", {engine->BackupSet().Name()}), 1);
    EXPECT_EQ(ReadRaw(userClasses + user + "\\shell\\open\\command", ""), Sz("C:\\Gone\\user.exe"));
    EXPECT_FALSE(KeyExists(machineClasses + user));
    EXPECT_EQ(ReadRaw(userClasses + both, ""), Sz("user's"));
    EXPECT_EQ(ReadRaw(machineClasses + both + "\\DefaultIcon", ""), Sz("C:\\Gone\\machine.ico"));
    EXPECT_FALSE(KeyExists(userClasses + both + "\\DefaultIcon"));
}

namespace {

// System Restore as the test arranges it: the answer of each call, and the calls made.
struct {
    BOOL bSucceeds = TRUE;
    DWORD nStatus = ERROR_SUCCESS;
    INT64 nSequence = 0;
    std::vector<DWORD> events;
} g_restore;

BOOL WINAPI StandInSetRestorePoint(PRESTOREPOINTINFOA info, PSTATEMGRSTATUS status)
{
    g_restore.events.push_back(info->dwEventType);
    status->nStatus = g_restore.nStatus;
    status->llSequenceNumber = g_restore.nSequence;
    return g_restore.bSucceeds;
}

// The results page as the worker sees it: records the question and answers it.
struct {
    std::string strQuestion;
    LRESULT nAnswer = IDCANCEL;
} g_page;

LRESULT CALLBACK PageProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_REPAIR_ASK_RESTORE_POINT) {
        g_page.strQuestion = reinterpret_cast<const char*>(lParam);
        return g_page.nAnswer;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

} // namespace

TEST(RestorePoint, TheOutcomeComesFromTheStatusSystemRestoreGives)
{
    EXPECT_EQ(DecideRestorePoint(true, ERROR_SUCCESS, 7, -1).nResult, RPR_MADE);
    EXPECT_EQ(DecideRestorePoint(true, ERROR_SUCCESS, 8, 7).nResult, RPR_MADE);
    // Windows 8 and later hand back the last point's number when they skip a new one.
    const RESTORE_POINT_OUTCOME recent = DecideRestorePoint(true, ERROR_SUCCESS, 7, 7);
    EXPECT_EQ(recent.nResult, RPR_RECENT_EXISTS);
    EXPECT_EQ(recent.nSequence, 7);
    EXPECT_EQ(DecideRestorePoint(false, ERROR_SERVICE_DISABLED, 0, 7).nResult, RPR_TURNED_OFF);
    const RESTORE_POINT_OUTCOME failed = DecideRestorePoint(false, ERROR_TIMEOUT, 0, -1);
    EXPECT_EQ(failed.nResult, RPR_FAILED);
    EXPECT_EQ(failed.nError, static_cast<DWORD>(ERROR_TIMEOUT));
}

// Each outcome of the call gives its log line, and a point that could not be made the question,
// before anything is removed.
TEST(RestorePoint, EachOutcomeIsLoggedAndAFailureAsksBeforeAnythingIsRemoved)
{
    RegistrySandbox sandbox;
    TempDir dir;
    LogCapture log(dir);
    UseRestorePointStandIn(StandInSetRestorePoint);
    const WNDCLASSA windowClass{0, PageProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr,
                                "HivoraUndoTestPage"};
    RegisterClassA(&windowClass);
    const HWND page = CreateWindowA("HivoraUndoTestPage", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(page, nullptr);
    const auto cleanup = ScopeGuard([&] {
        UseRestorePointStandIn(nullptr);
        DestroyWindow(page);
        g_arrProblems.clear();
    });

    struct Case {
        BOOL succeeds;
        DWORD status;
        INT64 sequence;
        LRESULT answer;
        const char* logLine;
        const char* question; // empty: none asked
        size_t calls;
        bool removed;
    } const cases[] = {
        {TRUE, ERROR_SUCCESS, 42, IDCANCEL, "created restore point", "", 2, true},
        {TRUE, ERROR_SUCCESS, 42, IDCANCEL,
         "No new restore point: Windows keeps the one it made in the last 24 hours (number 42)", "", 1, true},
        {FALSE, ERROR_SERVICE_DISABLED, 0, IDCANCEL, "No restore point: System Restore is turned off",
         kRestorePointOffText, 1, false},
        {FALSE, ERROR_TIMEOUT, 0, IDOK, "No restore point: System Restore refused it (error 1460",
         "Couldn't set restore point: error 1460", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logLine);
        SetString("HKEY_CURRENT_USER\\Run", "x", "C:\\Gone\\x.exe");
        g_arrProblems.clear();
        AddProblem("HKEY_CURRENT_USER\\Run", "x", "C:\\Gone\\x.exe", RPT_STARTUP);
        g_restore.bSucceeds = c.succeeds;
        g_restore.nStatus = c.status;
        g_restore.nSequence = c.sequence;
        g_restore.events.clear();
        g_page = {{}, c.answer};
        auto engine = MakeEngine(dir);
        engine->SendNotificationsTo(page);
        engine->AskForRestorePointFirst(true);

        EXPECT_EQ(engine->RunRepair(), c.removed);
        EXPECT_NE(log.Text().find(c.logLine), std::string::npos) << log.Text();
        EXPECT_EQ(g_restore.events.size(), c.calls);
        if (*c.question) {
            EXPECT_EQ(g_page.strQuestion.rfind(c.question, 0), 0u) << g_page.strQuestion;
            EXPECT_NE(g_page.strQuestion.find("Cancel to leave everything as it is"), std::string::npos);
        } else {
            EXPECT_EQ(g_page.strQuestion, "");
        }
        EXPECT_EQ(engine->RepairCancelled(), !c.removed);
        EXPECT_EQ(ValueExists("HKEY_CURRENT_USER\\Run", "x"), !c.removed);
    }
    EXPECT_NE(log.Text().find("Repair cancelled without a restore point: nothing was removed"), std::string::npos);
}

TEST(ShortcutBackup, IsANewFileAndARestoreThroughALinkIsRefusedAndChangesNothing)
{
    TempDir dir;
    LogCapture log(dir);
    auto engine = MakeEngine(dir);
    engine->CreateRegistryBackupFile();
    ASSERT_TRUE(engine->CreateFileBackupSet());
    engine->CloseBackupFiles();
    DeleteFileA(engine->BackupSet().RegBackupPath().c_str());
    const std::string shortcut = dir.WriteFile("Desktop\\Old.lnk", "link bytes");
    const auto fileIndex = [](const std::string& path) {
        const FileHandle file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!file || !GetFileInformationByHandle(file.get(), &info))
            return ULONGLONG(0);
        return (ULONGLONG(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    };
    const ULONGLONG before = fileIndex(shortcut);
    ASSERT_NE(before, 0u);

    std::string reason;
    ASSERT_TRUE(engine->MoveFileToBackup(shortcut, reason)) << reason;
    const std::string copy = engine->BackupSet().FileBackupFolder() + "\\Old.lnk";
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_EQ(ReadFileText(copy), "link bytes");
    // A new file, which took the set's permissions, not the user's file moved.
    EXPECT_NE(fileIndex(copy), before);
    EXPECT_EQ(kBackupFolderAccess, FA_ADMINS_ONLY);

    // The shortcut's folder is now a link to a place of the user's choosing.
    const std::string list = ReadFileText(engine->BackupSet().FileListPath());
    ASSERT_TRUE(RemoveDirectoryA((dir / "Desktop").c_str()));
    CreateDirectoryA((dir / "Elsewhere").c_str(), nullptr);
    const std::string name = engine->BackupSet().Name();
    {
        const FolderLink link(dir / "Desktop", dir / "Elsewhere");
        if (!link.Ok())
            GTEST_SKIP() << "no folder link can be made here";
        std::vector<std::string> failures;
        EXPECT_EQ(RestoreBackupSets(dir / "Backup", {name}, &failures), 0);
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0], name + ": the shortcut " + shortcut + " is not put back: " + (dir / "Desktop") +
                                   " is a link to another place");
        EXPECT_FALSE(FileExists(dir / "Elsewhere\\Old.lnk"));
        EXPECT_EQ(ReadFileText(copy), "link bytes");
        EXPECT_EQ(ReadFileText(engine->BackupSet().FileListPath()), list);
        EXPECT_NE(log.Text().find("refused: the shortcut"), std::string::npos);
    }
    // A folder again: the set comes back whole.
    ASSERT_TRUE(CreateDirectoryA((dir / "Desktop").c_str(), nullptr));
    EXPECT_EQ(RestoreBackupSets(dir / "Backup", {name}), 1);
    EXPECT_EQ(ReadFileText(shortcut), "link bytes");
    EXPECT_FALSE(FileExists(copy));
}

// Under elevation with another account, HKEY_CURRENT_USER is that account's hive: the backup names
// the hive it read, so that a restore by anyone writes back into the same user's hive.
TEST(PerUserKeys, AreBackedUpByTheHiveTheyWereReadFromAndComeBackThere)
{
    TempDir dir;
    RealKey real;
    SetString(real.Path() + "\\Tree", "t", "C:\\Gone\\t.exe");
    SetString(real.Path(), "v", "C:\\Gone\\v.exe");
    auto engine = MakeEngine(dir);
    ASSERT_TRUE(engine->CreateRegistryBackupFile());
    std::string reason;
    ASSERT_TRUE(engine->DeleteValueWithBackup(HKEY_CURRENT_USER, real.Sub(), "v", reason)) << reason;
    ASSERT_TRUE(engine->DeleteKeyTreeWithBackup(HKEY_CURRENT_USER, real.Sub() + "\\Tree", reason)) << reason;
    engine->CloseBackupFiles();

    const auto keys = ParseFile(engine->BackupSet().RegBackupPath());
    ASSERT_EQ(keys.size(), 2u);
    const std::string hive = LowerAscii(BackedUpUserKey(real.Sub()));
    EXPECT_EQ(LowerAscii(keys[0].strPath), hive);
    EXPECT_EQ(LowerAscii(keys[1].strPath), hive + "\\tree");

    ASSERT_TRUE(RestoreRegistryFile(engine->BackupSet().RegBackupPath(), reason)) << reason;
    EXPECT_EQ(ReadRaw(real.Path(), "v"), Sz("C:\\Gone\\v.exe"));
    EXPECT_EQ(ReadRaw(real.Path() + "\\Tree", "t"), Sz("C:\\Gone\\t.exe"));
}
