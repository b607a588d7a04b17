#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "problems.h"
#include "sandbox.h"
#include "scan/checks.h"
#include "scan/scanner.h"
#include "tempdir.h"

namespace {

const std::string kSoftware = "HKEY_LOCAL_MACHINE\\SOFTWARE";

class DeepScan : public testing::Test {
protected:
    DeepScan() { g_arrProblems.clear(); }
    ~DeepScan() override { g_arrProblems.clear(); }

    // "key|value name|data" of every problem reported, sorted: the registry decides the walk order.
    static std::vector<std::string> Found()
    {
        std::vector<std::string> found = ProblemLines(RPT_DEEP_SCAN);
        std::sort(found.begin(), found.end());
        return found;
    }

    RegistrySandbox sandbox;
    TempDir temp;
    CRegistryScanner engine;
};

TEST_F(DeepScan, StringValuesNamingMissingFilesAreReportedInBothTrees)
{
    const std::string tool = temp.WriteFile("Tools\\tool.exe");
    const std::string gone = "C:\\hivora-missing\\tool.exe";
    SetString(kSoftware + "\\HvDeep\\Level1\\Level2", "Tool", gone + " -switch");
    SetString(kSoftware + "\\HvDeep\\Level1\\Level2", "Present", "\"" + tool + "\" -switch");
    SetString(kSoftware + "\\HvDeep\\Level1", "", gone);
    SetString(kSoftware + "\\HvDeep\\Level1", "Expandable", gone, REG_EXPAND_SZ);
    SetString(kSoftware + "\\HvDeep\\Level1", "Multi", gone, REG_MULTI_SZ);
    SetString(kSoftware, "Top", gone);
    SetString("HKEY_USERS\\S-1-5-21\\Software\\Vendor", "Recent", gone);
    // A value of the top key has no key path that could be opened for its repair.
    SetString("HKEY_USERS\\", "Root", gone);
    SetString("HKEY_LOCAL_MACHINE\\SYSTEM\\HvDeep", "Outside", gone);
    SetString("HKEY_LOCAL_MACHINE\\", "Outside", gone);

    CheckDeepScan(engine);

    EXPECT_EQ(Found(), (std::vector<std::string>{
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\HvDeep\\Level1\\Level2|Tool|" + gone + " -switch",
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\HvDeep\\Level1||" + gone,
                           "HKEY_LOCAL_MACHINE\\SOFTWARE|Top|" + gone,
                           "HKEY_USERS\\S-1-5-21\\Software\\Vendor|Recent|" + gone,
                       }));
}

TEST_F(DeepScan, OnlyTextsWithADrivePathAfterTheFirstCharacterAreTested)
{
    const std::string dll = temp.WriteFile("Web\\pages.dll");
    const std::string key = kSoftware + "\\HvDeep\\Values";
    SetString(key, "Leading", ":\\hivora-missing\\a.exe");
    SetString(key, "Wildcard", "C:\\hivora-missing\\*.log");
    SetString(key, "Question", "C:\\hivora-missing\\file?.txt");
    SetString(key, "Resource", "res://" + dll + "\\page.htm");
    SetString(key, "GoneResource", "res://C:\\hivora-missing\\gone.dll\\page.htm");
    SetString(key, "Mention", "see C:\\hivora-missing\\readme.txt");

    CheckDeepScan(engine);

    // The text from its start is the command line tested, so a leading word keeps the file unfound.
    EXPECT_EQ(Found(), (std::vector<std::string>{
                           key + "|GoneResource|C:\\hivora-missing\\gone.dll\\page.htm",
                           key + "|Mention|see C:\\hivora-missing\\readme.txt",
                       }));
}

TEST_F(DeepScan, DeepTreesAndLongNamesAreWalkedWhole)
{
    std::string deep = kSoftware + "\\HvDeep";
    for (int level = 0; level < 120; ++level)
        deep += "\\k";
    const std::string longName(200, 'n');
    SetString(deep, "Bottom", "C:\\hivora-missing\\bottom.exe");
    SetString(kSoftware + "\\HvDeep\\" + longName, "Long", "C:\\hivora-missing\\long.exe");

    CheckDeepScan(engine);

    EXPECT_EQ(Found(), (std::vector<std::string>{
                           deep + "|Bottom|C:\\hivora-missing\\bottom.exe",
                           kSoftware + "\\HvDeep\\" + longName + "|Long|C:\\hivora-missing\\long.exe",
                       }));
}

TEST_F(DeepScan, LongValuesAreReadWhole)
{
    const std::string padding(3000, 'x');
    SetString(kSoftware + "\\HvDeep", "Long", "C:\\hivora-missing\\tool.exe " + padding);

    CheckDeepScan(engine);

    EXPECT_EQ(Found(), std::vector<std::string>{kSoftware + "\\HvDeep|Long|C:\\hivora-missing\\tool.exe " + padding});
}

TEST_F(DeepScan, StopEndsTheWalk)
{
    SetString(kSoftware + "\\HvDeep\\Inner", "Tool", "C:\\hivora-missing\\tool.exe");
    engine.RequestStop();

    CheckDeepScan(engine);

    EXPECT_TRUE(Found().empty());
}

} // namespace
