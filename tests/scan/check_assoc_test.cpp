#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "problems.h"
#include "sandbox.h"
#include "scan/checks.h"
#include "scan/scanner.h"
#include "tempdir.h"

namespace {

const std::string kApps = "HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps";

class AssocChecks : public testing::Test {
protected:
    AssocChecks() { g_arrProblems.clear(); }
    ~AssocChecks() override { g_arrProblems.clear(); }

    // "key|value name|data" of every problem reported, sorted: the registry decides the walk order.
    static std::vector<std::string> Found(REGPROBLEM_TYPE type)
    {
        return Sorted(ProblemLines(type));
    }
    static std::vector<std::string> Sorted(std::vector<std::string> lines)
    {
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    static void Associate(const std::string& extension, const std::string& fileType, const std::string& command)
    {
        SetString("HKEY_CLASSES_ROOT\\" + extension, "", fileType);
        SetString("HKEY_CLASSES_ROOT\\" + fileType + "\\shell\\open\\command", "", command);
    }

    RegistrySandbox sandbox;
    TempDir temp;
    CRegistryScanner engine;
};

TEST_F(AssocChecks, ExtensionsWhoseOpenCommandNamesAMissingProgramAreReported)
{
    const std::string viewer = temp.WriteFile("Viewer\\view.exe");
    Associate(".hvgone", "HvGone.File", "\"C:\\hivora-missing\\edit.exe\" \"%1\"");
    Associate(".hvok", "HvOk.File", "\"" + viewer + "\" /open \"%1\"");
    Associate(".hvbare", "HvBare.File", "notthere.exe %1");
    Associate(".hvsys", "HvSys.File", "C:\\windows\\system32\\cmd.exe /c \"%1\"");
    SetString("HKEY_CLASSES_ROOT\\.hvtwin", "", "HvGone.File");
    SetString("HKEY_CLASSES_ROOT\\.hvnocmd", "", "HvNoCmd.File");
    CreateKey("HKEY_CLASSES_ROOT\\HvNoCmd.File\\shell\\edit\\command");
    SetString("HKEY_CLASSES_ROOT\\.hvempty", "", "");
    CreateKey("HKEY_CLASSES_ROOT\\.hvnodefault");
    SetString("HKEY_CLASSES_ROOT\\hvnodot", "", "HvGone.File");

    CheckFileAssociations(engine);

    EXPECT_EQ(Found(RPT_FILE_ASSOC), (std::vector<std::string>{
                                         "HKEY_CLASSES_ROOT\\.hvgone|(Default)|HvGone.File",
                                         "HKEY_CLASSES_ROOT\\.hvtwin|(Default)|HvGone.File",
                                     }));
}

TEST_F(AssocChecks, AProgramNameCutInsideItsExtensionIsRestored)
{
    // The path rules cut the name after its first ".exe"; the rest of the name is put back.
    const std::string program = temp.WriteFile("Tools\\run.exec.exe");
    Associate(".hvcut", "HvCut.File", program + " %1");

    CheckFileAssociations(engine);

    EXPECT_TRUE(Found(RPT_FILE_ASSOC).empty());
}

TEST_F(AssocChecks, EventSoundsWithMissingFilesAreReportedPerScheme)
{
    const std::string chime = temp.WriteFile("Media\\chime.wav");
    const std::string gone = temp / "Media\\gone.wav";
    SetString(kApps + "\\HvApp\\Open\\.Current", "", gone);
    SetString(kApps + "\\HvApp\\Open\\.Default", "", chime);
    SetString(kApps + "\\HvApp\\Close\\.Current", "", gone);
    SetString(kApps + "\\HvApp\\Close\\.Default", "", temp / "Media\\older.wav");
    SetString(kApps + "\\HvApp\\Bare\\.Current", "", "ding.wav");
    SetString(kApps + "\\HvApp\\Bare\\.Other", "", gone);
    SetString(kApps + "\\.Default\\Ping\\.Default", "", gone);
    CreateKey(kApps + "\\HvApp\\Silent\\.Current");

    CheckSoundEvents(engine);

    EXPECT_EQ(Found(RPT_SOUND_EVENTS), Sorted({
                                           kApps + "\\.Default\\Ping|(Default)|" + gone,
                                           kApps + "\\HvApp\\Close|(Default)|" + gone,
                                           kApps + "\\HvApp\\Close|(Default)|" + temp / "Media\\older.wav",
                                           kApps + "\\HvApp\\Open|(Default)|" + gone,
                                       }));
}

class EmptyKeyCheck : public AssocChecks {};

TEST_F(EmptyKeyCheck, KeysWithoutValuesAndWithOnlyEmptySubkeysAreReported)
{
    const std::string user = "HKEY_USERS\\S-1-5-21-1000\\Software";
    SetString(user + "\\Settings", "Colour", "blue");
    CreateKey(user + "\\Leftover");
    CreateKey(user + "\\Hollow\\Inner\\Innermost");
    CreateKey(user + "\\Hollow\\Sibling");
    SetString(user + "\\Mixed", "Kept", "1");
    CreateKey(user + "\\Mixed\\Gone");

    CheckEmptyKeys(engine);

    EXPECT_EQ(Found(RPT_EMPTY_KEYS), Sorted({
                                         user + "\\Hollow|(Default)|",
                                         user + "\\Hollow\\Inner|(Default)|",
                                         user + "\\Hollow\\Inner\\Innermost|(Default)|",
                                         user + "\\Hollow\\Sibling|(Default)|",
                                         user + "\\Leftover|(Default)|",
                                         user + "\\Mixed\\Gone|(Default)|",
                                     }));
}

TEST_F(EmptyKeyCheck, AKeyIsReportedAfterItsEmptySubkeys)
{
    CreateKey("HKEY_USERS\\S-1-5-18\\Software\\Outer\\Inner");
    SetDword("HKEY_USERS\\S-1-5-18\\Software", "Flag", 1);

    CheckEmptyKeys(engine);

    ASSERT_EQ(g_arrProblems.size(), 2u);
    EXPECT_EQ(g_arrProblems[0]->m_strKey, "HKEY_USERS\\S-1-5-18\\Software\\Outer\\Inner");
    EXPECT_EQ(g_arrProblems[1]->m_strKey, "HKEY_USERS\\S-1-5-18\\Software\\Outer");
}

TEST_F(EmptyKeyCheck, AKeyWhoseSubkeysCannotBeReadIsNotEmpty)
{
    SetDword("HKEY_USERS\\S-1-5-18\\Software", "Flag", 1);
    CreateKey("HKEY_USERS\\S-1-5-18\\Software\\Parent\\Locked");
    SetKeyAccess("HKEY_USERS\\S-1-5-18\\Software\\Parent\\Locked", 0);

    CheckEmptyKeys(engine);
    SetKeyAccess("HKEY_USERS\\S-1-5-18\\Software\\Parent\\Locked", 0, true);

    EXPECT_TRUE(Found(RPT_EMPTY_KEYS).empty());
}

// Volatile keys live in memory only: no restore could make them again. They are made where Windows
// keeps such keys (Explorer's session state): Windows tells them by their flags, and where the system
// gives no flags (Wine), the place tells them.
TEST_F(EmptyKeyCheck, VolatileKeysAndTheKeysAboveThemAreNeverReported)
{
    SetDword("HKEY_USERS\\S-1-5-18\\Software", "Flag", 1);
    CreateKey("HKEY_USERS\\S-1-5-18\\Software\\Plain");
    const std::string explorer = "S-1-5-18\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
    CreateKey("HKEY_USERS\\" + explorer);
    RegKey holder;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, explorer.c_str(), 0, KEY_ALL_ACCESS, holder.put()), ERROR_SUCCESS);
    for (const char* path : {"SessionInfo", "SessionInfo\\1", "SessionInfo\\1\\KnownFolders",
                             "SessionInfo\\1\\KnownFolders\\Desktop"}) {
        RegKey key;
        ASSERT_EQ(RegCreateKeyExA(holder.get(), path, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS);
    }

    CheckEmptyKeys(engine);

    EXPECT_EQ(Found(RPT_EMPTY_KEYS), std::vector<std::string>{"HKEY_USERS\\S-1-5-18\\Software\\Plain|(Default)|"});
}

// A user's hive, and a key directly under it, are never removed, so never reported, empty or not.
TEST_F(EmptyKeyCheck, HivesAndTheKeysDirectlyUnderThemAreNeverReported)
{
    CheckEmptyKeys(engine);
    EXPECT_TRUE(Found(RPT_EMPTY_KEYS).empty());

    CreateKey("HKEY_USERS\\S-1-5-18\\Software\\Hollow");
    CreateKey("HKEY_USERS\\S-1-5-21-1000_Classes");
    CheckEmptyKeys(engine);
    EXPECT_EQ(Found(RPT_EMPTY_KEYS), std::vector<std::string>{"HKEY_USERS\\S-1-5-18\\Software\\Hollow|(Default)|"});
}

TEST_F(EmptyKeyCheck, AStoppedWalkReportsNoKeyWhoseTallyItCutShort)
{
    CreateKey("HKEY_USERS\\S-1-5-18\\Outer\\Inner");
    engine.RequestStop();

    CheckEmptyKeys(engine);

    EXPECT_TRUE(Found(RPT_EMPTY_KEYS).empty());
}

} // namespace
