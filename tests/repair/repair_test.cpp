#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <tuple>

#include "framework/paths.h"
#include "repair/clean_sweep.h"
#include "repair/repair.h"
#include "repair_support.h"
#include "sandbox.h"
#include "scan/check_support.h"
#include "scan/checks.h"
#include "shortcut.h"
#include "problems.h"
#include "framework/com_ptr.h"
#include "framework/handles.h"
#include "shell/settings.h"

namespace {

CRegistryProblem* AddProblem(const std::string& key, const std::string& name, const std::string& data,
                             REGPROBLEM_TYPE type, bool selected = true)
{
    g_arrProblems.push_back(std::make_unique<CRegistryProblem>(key, name, data, type, 0));
    g_arrProblems.back()->m_bSelected = selected;
    return g_arrProblems.back().get();
}

PLANNED_REMOVAL Plan(const std::string& key, const std::string& name, REGPROBLEM_TYPE type)
{
    return PlanRemoval(CRegistryProblem(key, name, "data", type, 0));
}

class Repair : public testing::Test {
protected:
    Repair() : m_engine(MakeEngine(m_dir)), m_log(m_dir) { g_arrProblems.clear(); }
    ~Repair() override { g_arrProblems.clear(); }

    std::string BackupFolder() const { return m_dir / "Backup"; }
    bool RegFileKept() const { return FileExists(m_engine->BackupSet().RegBackupPath()); }
    bool FileSetKept() const
    {
        return FileExists(m_engine->BackupSet().FileListPath()) || FileExists(m_engine->BackupSet().FileBackupFolder());
    }

    RegistrySandbox m_sandbox;
    TempDir m_dir;
    std::unique_ptr<CRegistryScanner> m_engine;
    LogCapture m_log;
};

} // namespace

TEST(PlanRemoval, FollowsThePerKindTable)
{
    using A = PLANNED_REMOVAL;
    struct Row {
        const char* key;
        const char* name;
        REGPROBLEM_TYPE type;
        A::ACTION action;
        HKEY root;
        const char* subkey;
        const char* value;
    } rows[] = {
        {"HKEY_CLASSES_ROOT\\CLSID\\{1}", "InprocServer32", RPT_COM_ACTIVEX, A::RA_KEY_TREE, HKEY_CLASSES_ROOT, "CLSID\\{1}", ""},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\U", "Foo", RPT_UNINSTALL, A::RA_KEY_TREE, HKEY_LOCAL_MACHINE, "SOFTWARE\\U\\Foo", ""},
        {"HKEY_LOCAL_MACHINE\\F", "Arial", RPT_FONTS, A::RA_VALUE, HKEY_LOCAL_MACHINE, "F", "Arial"},
        {"HKEY_LOCAL_MACHINE\\S", "C:\\a.dll", RPT_SHARED_DLLS, A::RA_VALUE, HKEY_LOCAL_MACHINE, "S", "C:\\a.dll"},
        {"HKEY_LOCAL_MACHINE\\AP", "x.exe", RPT_APP_PATHS, A::RA_VALUE, HKEY_LOCAL_MACHINE, "AP\\x.exe", ""},
        {"HKEY_LOCAL_MACHINE\\H", "x.hlp", RPT_HELP_FILES, A::RA_VALUE, HKEY_LOCAL_MACHINE, "H", "x.hlp"},
        {"HKEY_CURRENT_USER\\Run", "x", RPT_STARTUP, A::RA_VALUE, HKEY_CURRENT_USER, "Run", "x"},
        {"HKEY_CURRENT_USER\\M\\MenuOrder\\Start Menu", "Old", RPT_STARTUP, A::RA_KEY_TREE, HKEY_CURRENT_USER,
         "M\\MenuOrder\\Start Menu\\Old", ""},
        {"HKEY_LOCAL_MACHINE\\M\\MenuOrder\\S", "x", RPT_STARTUP, A::RA_VALUE, HKEY_LOCAL_MACHINE, "M\\MenuOrder\\S", "x"},
        {"HKEY_USERS\\P", "x", RPT_FILE_PATHS, A::RA_VALUE, HKEY_USERS, "P", "x"},
        {"HKEY_LOCAL_MACHINE\\P", "@", RPT_FILE_PATHS, A::RA_VALUE, HKEY_LOCAL_MACHINE, "P", ""},
        {"C:\\Desktop\\Old.lnk", "Old.lnk", RPT_SHORTCUTS, A::RA_MOVE_FILE, nullptr, "", ""},
        {"HKEY_USERS\\S\\Software\\E", "", RPT_EMPTY_KEYS, A::RA_KEY_TREE, HKEY_USERS, "S\\Software\\E", ""},
        {"HKEY_CLASSES_ROOT\\.zzz", "", RPT_FILE_ASSOC, A::RA_KEY_TREE, HKEY_CLASSES_ROOT, ".zzz", ""},
        {"HKEY_CURRENT_USER\\AppEvents\\x", "", RPT_SOUND_EVENTS, A::RA_VALUE, HKEY_CURRENT_USER, "AppEvents\\x", ""},
        {"HKEY_CLASSES_ROOT\\C", "v", RPT_CLASS_KEYS, A::RA_VALUE, HKEY_CLASSES_ROOT, "C", "v"},
        {"HKEY_CLASSES_ROOT\\TypeLib\\1", "v", RPT_TYPE_LIBS, A::RA_VALUE, HKEY_CLASSES_ROOT, "TypeLib\\1", "v"},
        {"HKEY_USERS\\D", "v", RPT_DEEP_SCAN, A::RA_VALUE, HKEY_USERS, "D", "v"},
    };
    for (const Row& row : rows) {
        const PLANNED_REMOVAL plan = Plan(row.key, row.name, row.type);
        EXPECT_EQ(plan.nAction, row.action) << row.key;
        EXPECT_EQ(plan.hRoot, row.root) << row.key;
        EXPECT_EQ(plan.strSubKey, row.subkey) << row.key;
        EXPECT_EQ(plan.strValueName, row.value) << row.key;
    }
}

TEST(PlanRemoval, LeavesUnexpectedRootsAndWholeKeysAlone)
{
    for (const auto& [key, name, type] : std::vector<std::tuple<std::string, std::string, REGPROBLEM_TYPE>>{
             {"HKEY_CURRENT_USER\\CLSID\\{1}", "", RPT_COM_ACTIVEX},
             {"hkey_classes_root\\CLSID\\{1}", "", RPT_COM_ACTIVEX},
             {"HKEY_CLASSES_ROOTX\\CLSID", "", RPT_COM_ACTIVEX},
             {"HKEY_CLASSES_ROOT", "", RPT_FILE_ASSOC},
             {"HKEY_CURRENT_USER\\AppEvents", "x", RPT_DEEP_SCAN},
             {"HKEY_LOCAL_MACHINE\\Uninstall", "", RPT_UNINSTALL},
             {"HKEY_LOCAL_MACHINE\\App Paths", "", RPT_APP_PATHS},
             {"HKEY_USERS\\x", "v", RPT_SOUND_EVENTS},
         }) {
        const PLANNED_REMOVAL plan = Plan(key, name, type);
        EXPECT_EQ(plan.nAction, PLANNED_REMOVAL::RA_NONE) << key;
        EXPECT_FALSE(plan.strReason.empty()) << key;
    }
}

TEST(RepairLog, TextsPerKind)
{
    EXPECT_STREQ(RepairLogFormat(RPT_UNINSTALL), "Fixed Uninstall Entiries error %s\\%s=%s");
    EXPECT_STREQ(RepairLogFormat(RPT_SOUND_EVENTS), "Fixed Sound and application events error%s\\%s=%s");
    EXPECT_STREQ(RepairLogFormat(RPT_DEEP_SCAN), "Fixed Deepscan error %s\\%s=%s");
}

TEST_F(Repair, RemovesEveryKindAndRecordsWhatItRemoves)
{
    const std::string uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    SetString(uninstall + "\\Foo", "UninstallString", "C:\\gone\\un.exe");
    SetString(uninstall + "\\Bar", "UninstallString", "C:\\keep.exe");
    SetString("HKEY_CLASSES_ROOT\\CLSID\\{C}\\InprocServer32", "", "C:\\gone.dll");
    SetString("HKEY_LOCAL_MACHINE\\AppPaths\\x.exe", "", "C:\\x.exe");
    SetString("HKEY_LOCAL_MACHINE\\AppPaths\\x.exe", "Path", "C:\\");
    SetDword("HKEY_LOCAL_MACHINE\\SharedDLLs", "C:\\a.dll", 3);
    SetString("HKEY_CURRENT_USER\\Run", "x", "C:\\x.exe");
    CreateKey("HKEY_CURRENT_USER\\Menu\\MenuOrder\\Start Menu\\Old\\Sub");
    CreateKey("HKEY_USERS\\S-1\\Software\\Empty");
    SetString("HKEY_CLASSES_ROOT\\TypeLib\\{T}", "Win32", "C:\\t.tlb", REG_EXPAND_SZ);
    const std::string shortcut = m_dir.WriteFile("Desktop\\Old.lnk");

    AddProblem(uninstall, "Foo", "C:\\gone\\un.exe", RPT_UNINSTALL);
    AddProblem("HKEY_CLASSES_ROOT\\CLSID\\{C}", "InprocServer32", "C:\\gone.dll", RPT_COM_ACTIVEX);
    AddProblem("HKEY_LOCAL_MACHINE\\AppPaths", "x.exe", "C:\\x.exe", RPT_APP_PATHS);
    AddProblem("HKEY_LOCAL_MACHINE\\SharedDLLs", "C:\\a.dll", "", RPT_SHARED_DLLS);
    AddProblem("HKEY_CURRENT_USER\\Run", "x", "C:\\x.exe", RPT_STARTUP);
    AddProblem("HKEY_CURRENT_USER\\Menu\\MenuOrder\\Start Menu", "Old", "", RPT_STARTUP);
    AddProblem("HKEY_USERS\\S-1\\Software\\Empty", "", "", RPT_EMPTY_KEYS);
    AddProblem("HKEY_CLASSES_ROOT\\TypeLib\\{T}", "Win32", "C:\\t.tlb", RPT_TYPE_LIBS);
    AddProblem(shortcut, "Old.lnk", "C:\\gone.exe", RPT_SHORTCUTS);

    ASSERT_TRUE(m_engine->RunRepair()) << m_engine->RepairError();

    EXPECT_FALSE(KeyExists(uninstall + "\\Foo"));
    EXPECT_TRUE(KeyExists(uninstall + "\\Bar"));
    EXPECT_FALSE(KeyExists("HKEY_CLASSES_ROOT\\CLSID\\{C}"));
    EXPECT_TRUE(KeyExists("HKEY_LOCAL_MACHINE\\AppPaths\\x.exe"));
    EXPECT_FALSE(ValueExists("HKEY_LOCAL_MACHINE\\AppPaths\\x.exe", ""));
    EXPECT_TRUE(ValueExists("HKEY_LOCAL_MACHINE\\AppPaths\\x.exe", "Path"));
    EXPECT_FALSE(ValueExists("HKEY_LOCAL_MACHINE\\SharedDLLs", "C:\\a.dll"));
    EXPECT_FALSE(ValueExists("HKEY_CURRENT_USER\\Run", "x"));
    EXPECT_FALSE(KeyExists("HKEY_CURRENT_USER\\Menu\\MenuOrder\\Start Menu\\Old"));
    EXPECT_TRUE(KeyExists("HKEY_CURRENT_USER\\Menu\\MenuOrder\\Start Menu"));
    EXPECT_FALSE(KeyExists("HKEY_USERS\\S-1\\Software\\Empty"));
    EXPECT_FALSE(ValueExists("HKEY_CLASSES_ROOT\\TypeLib\\{T}", "Win32"));
    EXPECT_FALSE(FileExists(shortcut));

    const int expected[kCategoryCount] = {1, 1, 0, 1, 1, 0, 2, 0, 1, 1, 0, 0, 0, 1, 0};
    for (int type = 0; type < kCategoryCount; ++type)
        EXPECT_EQ(m_engine->FixedCounts()[type], expected[type]) << type;
    EXPECT_EQ(m_engine->TotalFixed(), 9);

    std::set<std::string> recorded;
    for (const auto& key : ParseFile(m_engine->BackupSet().RegBackupPath())) {
        recorded.insert(key.strPath);
        for (const auto& value : key.values)
            recorded.insert(key.strPath + "|" + value.strName);
    }
    // Per-user keys by the hive they were read from, classes by the hive that holds them.
    for (const std::string& item : std::vector<std::string>{
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo|UninstallString",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C}",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C}\\InprocServer32|",
             "HKEY_LOCAL_MACHINE\\AppPaths\\x.exe|", "HKEY_LOCAL_MACHINE\\SharedDLLs|C:\\a.dll",
             BackedUpUserKey("Run", &m_sandbox) + "|x",
             BackedUpUserKey("Menu\\MenuOrder\\Start Menu\\Old\\Sub", &m_sandbox),
             "HKEY_USERS\\S-1\\Software\\Empty", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\TypeLib\\{T}|Win32"})
        EXPECT_TRUE(recorded.count(item)) << item;
    EXPECT_FALSE(recorded.count("HKEY_LOCAL_MACHINE\\AppPaths\\x.exe|Path"));

    const std::string log = m_log.Text();
    EXPECT_NE(log.find("Fixed Uninstall Entiries error " + uninstall + "\\Foo=C:\\gone\\un.exe"), std::string::npos);
    EXPECT_NE(log.find("Fixed program shortcuts error " + shortcut + "\\Old.lnk=C:\\gone.exe"), std::string::npos);
    EXPECT_TRUE(RegFileKept());
    EXPECT_TRUE(FileSetKept());
}

TEST_F(Repair, UnselectedProblemsAreLeftAloneUnloggedAndUncounted)
{
    SetString("HKEY_CURRENT_USER\\Run", "x", "C:\\x.exe");
    AddProblem("HKEY_CURRENT_USER\\Run", "x", "C:\\x.exe", RPT_STARTUP, false);
    ASSERT_TRUE(m_engine->RunRepair());
    EXPECT_TRUE(ValueExists("HKEY_CURRENT_USER\\Run", "x"));
    EXPECT_EQ(m_engine->TotalFixed(), 0);
    EXPECT_EQ(m_log.Text().find("Run"), std::string::npos);
    EXPECT_TRUE(m_engine->RepairOutcomes().empty());
}

TEST_F(Repair, AFailedRemovalIsWarnedAboutAndNotCounted)
{
    SetString("HKEY_CURRENT_USER\\Locked", "v", "C:\\x.exe");
    SetKeyAccess("HKEY_CURRENT_USER\\Locked", KEY_READ);
    AddProblem("HKEY_CURRENT_USER\\Locked", "v", "C:\\x.exe", RPT_STARTUP);
    AddProblem("HKEY_CURRENT_USER\\Software\\Odd", "v", "C:\\x.exe", RPT_COM_ACTIVEX);
    ASSERT_TRUE(m_engine->RunRepair());
    SetKeyAccess("HKEY_CURRENT_USER\\Locked", 0, true);
    EXPECT_TRUE(ValueExists("HKEY_CURRENT_USER\\Locked", "v"));
    EXPECT_EQ(m_engine->FixedCounts()[RPT_STARTUP], 0);
    EXPECT_EQ(m_engine->FixedCounts()[RPT_COM_ACTIVEX], 0);
    ASSERT_EQ(m_engine->RepairOutcomes().size(), 2u);
    EXPECT_FALSE(m_engine->RepairOutcomes()[0].bFixed);
    EXPECT_FALSE(m_engine->RepairOutcomes()[0].bAlreadyRemoved);
    const std::string log = m_log.Text();
    EXPECT_EQ(log.find("Fixed"), std::string::npos);
    EXPECT_NE(log.find("WARN --Could not fix HKEY_CURRENT_USER\\Locked\\v=C:\\x.exe: the key could not be opened"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("WARN --Could not fix HKEY_CURRENT_USER\\Software\\Odd\\v=C:\\x.exe: the key path does not"),
              std::string::npos)
        << log;
    // Nothing was removed, so the set leaves nothing behind.
    EXPECT_FALSE(RegFileKept());
    EXPECT_FALSE(FileSetKept());
}

// Problems a check gone wrong could make: each names a hive, a key directly under one, or a key
// that holds the entries of other programs. The repair refuses every one, loudly, and the scan
// would not have reported them.
TEST_F(Repair, HivesAndContainersAreNeverRemovedWhateverAProblemSays)
{
    const std::string cv = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const std::string wowCv = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion";
    SetString("HKEY_CLASSES_ROOT\\CLSID\\{C1}\\InprocServer32", "", "C:\\gone.dll");
    SetString("HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID", "", "{C9}");
    SetString("HKEY_CLASSES_ROOT\\TypeLib\\{T1}\\1.0", "", "Lib");
    SetString(cv + "\\Uninstall\\App", "UninstallString", "C:\\gone\\un.exe");
    SetString(wowCv + "\\App Paths\\x.exe", "", "C:\\gone\\x.exe");
    SetString("HKEY_USERS\\S-1-5-21\\Software\\Vendor", "Kept", "1");
    CreateKey("HKEY_USERS\\S-1-5-21\\AppEvents\\Schemes\\Apps\\HvApp");
    const struct {
        const char* key;
        const char* name;
        REGPROBLEM_TYPE type;
        const char* kept; // a key the removal would have taken with it
    } faulty[] = {
        {"HKEY_CLASSES_ROOT\\CLSID", "(Default)", RPT_COM_ACTIVEX, "HKEY_CLASSES_ROOT\\CLSID\\{C1}"},
        {"HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID", "{Default}", RPT_COM_ACTIVEX, "HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID"},
        {"HKEY_CLASSES_ROOT\\TypeLib", "(Default)", RPT_FILE_ASSOC, "HKEY_CLASSES_ROOT\\TypeLib\\{T1}"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Uninstall", RPT_UNINSTALL,
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows", "CurrentVersion", RPT_UNINSTALL,
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe"},
        {"HKEY_USERS\\S-1-5-21", "(Default)", RPT_EMPTY_KEYS, "HKEY_USERS\\S-1-5-21\\Software\\Vendor"},
        {"HKEY_USERS\\S-1-5-21\\Software", "(Default)", RPT_EMPTY_KEYS, "HKEY_USERS\\S-1-5-21\\Software\\Vendor"},
        {"HKEY_USERS\\S-1-5-21\\AppEvents\\Schemes\\Apps", "(Default)", RPT_EMPTY_KEYS,
         "HKEY_USERS\\S-1-5-21\\AppEvents\\Schemes\\Apps\\HvApp"},
        {"HKEY_USERS\\", "(Default)", RPT_EMPTY_KEYS, "HKEY_USERS\\S-1-5-21"},
    };
    for (const auto& problem : faulty) {
        EXPECT_FALSE(
            m_engine->ReportProblem(std::make_unique<CRegistryProblem>(problem.key, problem.name, "", problem.type, 0)))
            << problem.key;
        EXPECT_TRUE(g_arrProblems.empty()) << problem.key;
    }
    for (const auto& problem : faulty)
        AddProblem(problem.key, problem.name, "", problem.type);

    ASSERT_TRUE(m_engine->RunRepair()) << m_engine->RepairError();

    const std::string log = m_log.Text();
    ASSERT_EQ(m_engine->RepairOutcomes().size(), std::size(faulty));
    for (size_t i = 0; i < std::size(faulty); ++i) {
        const REPAIR_OUTCOME& outcome = m_engine->RepairOutcomes()[i];
        EXPECT_TRUE(KeyExists(faulty[i].kept)) << faulty[i].key;
        EXPECT_FALSE(outcome.bFixed || outcome.bAlreadyRemoved) << faulty[i].key;
        EXPECT_NE(outcome.strReason.find("never removed"), std::string::npos) << outcome.strReason;
        EXPECT_NE(log.find(std::string("ERROR--Refused to fix ") + faulty[i].key + "\\" + faulty[i].name + "=:"),
                  std::string::npos)
            << log;
    }
    EXPECT_TRUE(ValueExists(cv + "\\Uninstall\\App", "UninstallString"));
    EXPECT_EQ(m_engine->TotalFixed(), 0);
    EXPECT_FALSE(RegFileKept());

    // The removal primitive itself refuses as well, for any caller.
    std::string reason;
    EXPECT_FALSE(m_engine->DeleteKeyTreeWithBackup(HKEY_CLASSES_ROOT, "clsid", reason));
    EXPECT_FALSE(m_engine->DeleteKeyTreeWithBackup(HKEY_USERS, "S-1-5-21\\Software", reason));
    EXPECT_TRUE(KeyExists("HKEY_CLASSES_ROOT\\CLSID\\{C1}\\InprocServer32"));
    EXPECT_TRUE(KeyExists("HKEY_USERS\\S-1-5-21\\Software\\Vendor"));
}

TEST_F(Repair, WithoutABackupFileNothingIsRemoved)
{
    SetString("HKEY_CURRENT_USER\\Run", "x", "C:\\x.exe");
    AddProblem("HKEY_CURRENT_USER\\Run", "x", "C:\\x.exe", RPT_STARTUP);
    m_engine->UseProgramFolder(m_dir / "missing\\folder\\");
    EXPECT_FALSE(m_engine->RunRepair());
    EXPECT_TRUE(ValueExists("HKEY_CURRENT_USER\\Run", "x"));
    EXPECT_EQ(g_arrProblems.size(), 1u);
    EXPECT_EQ(m_engine->TotalFixed(), 0);
    EXPECT_FALSE(m_engine->BackupSet().RegistryFileOpen());
    EXPECT_NE(m_log.Text().find("ERROR--Repair stopped, nothing was removed: The registry backup file"),
              std::string::npos)
        << m_log.Text();
}

TEST_F(Repair, ARunOfShortcutsOnlyKeepsTheFileSetAndDropsTheRegistryFile)
{
    const std::string shortcut = m_dir.WriteFile("Desktop\\Old.lnk");
    AddProblem(shortcut, "Old.lnk", "C:\\gone.exe", RPT_SHORTCUTS);
    ASSERT_TRUE(m_engine->RunRepair());
    EXPECT_FALSE(RegFileKept());
    EXPECT_TRUE(FileExists(m_engine->BackupSet().FileListPath()));
    EXPECT_TRUE(FileExists(m_engine->BackupSet().FileBackupFolder() + "\\Old.lnk"));
}

TEST_F(Repair, ARunWithoutShortcutsDropsTheFileSetAndKeepsTheRegistryFile)
{
    for (const auto& [type, key] : std::vector<std::pair<REGPROBLEM_TYPE, std::string>>{
             {RPT_SOUND_EVENTS, "HKEY_CURRENT_USER\\AppEvents\\a"},
             {RPT_CLASS_KEYS, "HKEY_CLASSES_ROOT\\k"},
             {RPT_TYPE_LIBS, "HKEY_CLASSES_ROOT\\t"},
             {RPT_DEEP_SCAN, "HKEY_USERS\\d"}}) {
        SetString(key, "v", "C:\\gone");
        AddProblem(key, "v", "C:\\gone", type);
    }
    ASSERT_TRUE(m_engine->RunRepair());
    EXPECT_EQ(m_engine->TotalFixed(), 4);
    EXPECT_TRUE(RegFileKept());
    EXPECT_FALSE(FileSetKept());
}

TEST_F(Repair, ASoundEventLosesTheSchemeSoundsThatNameTheMissingFile)
{
    const std::string event = "HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\.Default\\Beep";
    SetString(event, "", "Beep");
    SetString(event + "\\.Current", "", "C:\\gone.wav");
    SetString(event + "\\.Default", "", "C:\\gone.wav");
    AddProblem(event, "(Default)", "C:\\gone.wav", RPT_SOUND_EVENTS);
    AddProblem(event, "(Default)", "C:\\gone.wav", RPT_SOUND_EVENTS);
    AddProblem(event, "(Default)", "C:\\gone.wav", RPT_SOUND_EVENTS);
    EXPECT_EQ(Plan(event, "(Default)", RPT_SOUND_EVENTS).nAction, PLANNED_REMOVAL::RA_SCHEME_SOUND);
    ASSERT_TRUE(m_engine->RunRepair());
    EXPECT_FALSE(ValueExists(event + "\\.Current", ""));
    EXPECT_FALSE(ValueExists(event + "\\.Default", ""));
    EXPECT_TRUE(ValueExists(event, ""));
    EXPECT_EQ(m_engine->FixedCounts()[RPT_SOUND_EVENTS], 2);
    EXPECT_TRUE(m_engine->RepairOutcomes()[2].bAlreadyRemoved);
    EXPECT_EQ(ParseFile(m_engine->BackupSet().RegBackupPath()).size(), 2u);
}

TEST_F(Repair, RemovesTheRunEntryNamedAfterTheProgram)
{
    CreateKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Hivora");
    ASSERT_TRUE(m_engine->RunRepair());
    EXPECT_FALSE(KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Hivora"));
}

TEST_F(Repair, AScanWithRepairAfterFindRepairsEverythingItFound)
{
    const std::string run = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    SetString(run, "Gone", "C:\\hv-missing\\gone.exe");
    uint8_t selection[kCategoryCount] = {};
    selection[RPT_STARTUP] = 1;
    m_engine->SetCategorySelection(selection);
    WriteSettingInt("repairafterfind", 1);
    EXPECT_EQ(CRegistryScanner::ScanThreadProc(m_engine.get()), 0u);
    EXPECT_FALSE(ValueExists(run, "Gone"));
    EXPECT_TRUE(g_arrProblems.empty());
    EXPECT_EQ(m_engine->FixedCounts()[RPT_STARTUP], 1);
    const auto keys = ParseFile(m_engine->BackupSet().RegBackupPath());
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].values.at(0).data, Widened(Sz("C:\\hv-missing\\gone.exe")));
}

TEST_F(Repair, DefaultSelectionLeavesFilePathsAndEmptyKeysUnticked)
{
    AddProblem("HKEY_CLASSES_ROOT\\a", "", "", RPT_COM_ACTIVEX, false);
    AddProblem("HKEY_LOCAL_MACHINE\\b", "", "", RPT_FILE_PATHS, true);
    AddProblem("HKEY_USERS\\c", "", "", RPT_EMPTY_KEYS, true);
    AddProblem("C:\\d.lnk", "", "", RPT_SHORTCUTS, false);
    EXPECT_EQ(SelectProblemsForRepair(false), 2);
    EXPECT_EQ(g_arrProblems[0]->m_bSelected, 1);
    EXPECT_EQ(g_arrProblems[1]->m_bSelected, 0);
    EXPECT_EQ(g_arrProblems[2]->m_bSelected, 0);
    EXPECT_EQ(SelectProblemsForRepair(true), 4);
    EXPECT_EQ(g_arrProblems[2]->m_bSelected, 1);
}

TEST_F(Repair, StartRepairChecksTheSelectionThenRunsTheWorker)
{
    EXPECT_FALSE(m_engine->StartRepair(nullptr, 0).bStarted);
    EXPECT_EQ(ReadSettingString("actionperformed"), "Errors Fixed");
    EXPECT_NE(m_log.Text().find("FIXING ERROR(S)"), std::string::npos);

    SetString("HKEY_CURRENT_USER\\Run", "x", "C:\\x.exe");
    AddProblem("HKEY_CURRENT_USER\\Run", "x", "C:\\x.exe", RPT_STARTUP, false);
    const REPAIR_START none = m_engine->StartRepair(nullptr, 0);
    EXPECT_TRUE(none.bNothingSelected);
    EXPECT_FALSE(none.bStarted);

    g_arrProblems[0]->m_bSelected = 1;
    WriteSettingInt("rstrpont", 1);
    const REPAIR_START start = m_engine->StartRepair(nullptr, 1);
    ASSERT_TRUE(start.bStarted);
    EXPECT_EQ(start.nSelected, 1);
    ASSERT_TRUE(m_engine->Worker()->Wait(60000));
    EXPECT_FALSE(ValueExists("HKEY_CURRENT_USER\\Run", "x"));
    EXPECT_TRUE(m_engine->WorkerStarted());
    // The worker asked for the point first and logged what came of it (Wine's System Restore is a
    // stub); without a window to ask, a failure does not stop the repair.
    EXPECT_NE(m_log.Text().find(RestorePointLogLine(m_engine->RestorePoint())), std::string::npos) << m_log.Text();
}

// Every kind, found by its own check in a registry and folder made for it, is repaired exactly as
// it was reported; what a repair of another kind took with it is already removed, which is no
// failure; afterwards a new scan finds nothing.
TEST_F(Repair, EveryKindFoundByItsCheckIsRemovedAsReported)
{
    const std::string gone = m_dir / "gone";
    const std::string cv = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    SetString("HKEY_CLASSES_ROOT\\CLSID\\{C0}\\InprocServer32", "", gone + "\\server.dll");
    SetString(cv + "\\Uninstall\\HvApp", "UninstallString", gone + "\\unins.exe");
    SetString(cv + "\\Uninstall\\HvApp", "DisplayName", "Hv App");
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Hv (TrueType)",
              gone + "\\hv.ttf");
    SetDword(cv + "\\SharedDLLs", gone + "\\shared.dll", 1);
    SetString(cv + "\\App Paths\\hv.exe", "", gone + "\\hv.exe");
    SetString(cv + "\\App Paths\\hv.exe", "Path", m_dir.Path());
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HELP", "hv.hlp", gone);
    SetString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Hv", gone + "\\run.exe");
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\HvRef", "Target", gone + "\\ref.exe");
    CreateKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\HvRef\\Sub");
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\HvDeep", "Tool", gone + "\\tool.exe");
    SetDword("HKEY_USERS\\S-1-5-21", "Flag", 1);
    CreateKey("HKEY_USERS\\S-1-5-21\\Software\\HvEmpty");
    SetString("HKEY_CLASSES_ROOT\\.hvx", "", "hvx.file");
    SetString("HKEY_CLASSES_ROOT\\hvx.file\\shell\\open\\command", "", "\"" + gone + "\\open.exe\" \"%1\"");
    SetString("HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\HvApp\\Ding\\.Current", "", gone + "\\ding.wav");
    SetString("HKEY_CLASSES_ROOT\\HvProg.1\\CLSID", "", "{C12}");
    SetString("HKEY_CLASSES_ROOT\\CLSID\\{C12}\\InprocServer32", "", gone + "\\class.dll");
    SetString("HKEY_CLASSES_ROOT\\HvLib.1\\CLSID", "", "{C13}");
    SetString("HKEY_CLASSES_ROOT\\CLSID\\{C13}\\InprocServer32", "", gone + "\\lib.ocx");
    const ComApartment com;
    const std::string shortcut = m_dir / "Links\\old.lnk";
    CreateDirectoryA((m_dir / "Links").c_str(), nullptr);
    ASSERT_TRUE(MakeShortcut(shortcut, gone + "\\old.exe"));

    const auto scan = [&] {
        for (REGPROBLEM_TYPE type : g_aScanOrder) {
            if (type == RPT_SHORTCUTS)
                CheckShortcutsUnder(*m_engine, m_dir / "Links");
            else
                RunCategoryCheck(*m_engine, type);
        }
    };
    scan();
    int found[kCategoryCount] = {};
    for (const auto& problem : g_arrProblems)
        ++found[problem->m_nType];
    // The deep scan meets the references of five other kinds as well, and four class registrations
    // again where they are stored, below HKEY_LOCAL_MACHINE\SOFTWARE\Classes. The empty key's parent
    // holds nothing else, but it lies directly under a user's hive: it is never reported.
    const int expectedFound[kCategoryCount] = {3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 10};
    for (int type = 0; type < kCategoryCount; ++type)
        EXPECT_EQ(found[type], expectedFound[type]) << type;

    SelectProblemsForRepair(true);
    ASSERT_TRUE(m_engine->RunRepair()) << m_engine->RepairError();
    int alreadyRemoved = 0;
    for (const REPAIR_OUTCOME& outcome : m_engine->RepairOutcomes()) {
        EXPECT_TRUE(outcome.bFixed || outcome.bAlreadyRemoved) << outcome.nType << " " << outcome.strKey << "\\"
                                                               << outcome.strValueName << ": " << outcome.strReason;
        alreadyRemoved += outcome.bAlreadyRemoved;
    }
    EXPECT_EQ(alreadyRemoved, 8);
    EXPECT_EQ(m_engine->TotalFixed(), 18);
    EXPECT_NE(m_log.Text().find("INFO --Already removed " + cv + "\\Uninstall\\HvApp\\UninstallString="),
              std::string::npos)
        << m_log.Text();

    // Only what was reported went: the keys around it stay.
    EXPECT_TRUE(KeyExists("HKEY_CLASSES_ROOT\\HvProg.1\\CLSID"));
    EXPECT_TRUE(ValueExists(cv + "\\App Paths\\hv.exe", "Path"));
    EXPECT_TRUE(KeyExists("HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\HvApp\\Ding\\.Current"));
    EXPECT_TRUE(KeyExists("HKEY_USERS\\S-1-5-21"));

    g_arrProblems.clear();
    scan();
    EXPECT_EQ(Problems(), std::vector<Found>{});
}

// A key with a volatile key in its tree cannot be given back by a restore: it is left alone.
TEST_F(Repair, AKeyTreeHoldingAVolatileKeyIsNotRemoved)
{
    SetString("HKEY_CLASSES_ROOT\\CLSID\\{CV}\\InprocServer32", "", m_dir / "gone\\server.dll");
    RegKey server;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{CV}\\InprocServer32", 0, KEY_ALL_ACCESS, server.put()),
              ERROR_SUCCESS);
    RegKey cache;
    ASSERT_EQ(RegCreateKeyExA(server.get(), "Cache", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              cache.put(), nullptr),
              ERROR_SUCCESS);
    CheckComActiveX(*m_engine);
    ASSERT_EQ(g_arrProblems.size(), 1u);
    SelectProblemsForRepair(true);

    ASSERT_TRUE(m_engine->RunRepair());

    EXPECT_TRUE(KeyExists("HKEY_CLASSES_ROOT\\CLSID\\{CV}\\InprocServer32\\Cache"));
    ASSERT_EQ(m_engine->RepairOutcomes().size(), 1u);
    EXPECT_FALSE(m_engine->RepairOutcomes()[0].bFixed);
    EXPECT_NE(m_engine->RepairOutcomes()[0].strReason.find("volatile"), std::string::npos);
}
