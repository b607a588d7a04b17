#include <gtest/gtest.h>

#include <memory>

#include "repair/ignore_list.h"
#include "shell/logfile.h"
#include "tempdir.h"

namespace {

class IgnoreListTest : public testing::Test {
protected:
    void SetUp() override { ClearIgnoreList(); }
    void TearDown() override
    {
        ClearIgnoreList();
        g_pLog = nullptr;
    }

    TempDir m_temp;
    const std::string m_path = m_temp / "ignorelist.dat";
};

const CRegistryProblem kRun("HKEY_CURRENT_USER\\Software\\Run", "Tool", "C:\\Tool\\tool.exe", RPT_STARTUP, 0);
const CRegistryProblem kDefault("HKEY_CLASSES_ROOT\\CLSID\\{1}", "", "x.dll", RPT_COM_ACTIVEX, 0);

TEST_F(IgnoreListTest, KeyJoinsPathValueNameAndData)
{
    EXPECT_EQ(IgnoreKey(kRun), "HKEY_CURRENT_USER\\Software\\Run\\Tool|C:\\Tool\\tool.exe");
    EXPECT_EQ(IgnoreKey(kDefault), "HKEY_CLASSES_ROOT\\CLSID\\{1}\\|x.dll");
}

TEST_F(IgnoreListTest, FileHoldsTwoLinesPerEntryInListOrder)
{
    ASSERT_TRUE(AddToIgnoreList(kRun, m_path));
    ASSERT_TRUE(AddToIgnoreList(kDefault, m_path));
    EXPECT_EQ(ReadFileText(m_path), "6\r\nHKEY_CURRENT_USER\\Software\\Run\\Tool|C:\\Tool\\tool.exe\r\n"
                                    "0\r\nHKEY_CLASSES_ROOT\\CLSID\\{1}\\|x.dll\r\n");

    ClearIgnoreList();
    LoadIgnoreList(m_path);
    ASSERT_EQ(g_arrIgnoreKeys.size(), 2u);
    EXPECT_EQ(g_arrIgnoreTypes[0], RPT_STARTUP);
    EXPECT_EQ(g_arrIgnoreKeys[1], IgnoreKey(kDefault));

    ASSERT_TRUE(RemoveFromIgnoreList({1, 0, 1}, m_path));
    EXPECT_TRUE(g_arrIgnoreKeys.empty());
    EXPECT_EQ(ReadFileText(m_path), "");
}

TEST_F(IgnoreListTest, LoadAppendsAndToleratesOddFiles)
{
    LoadIgnoreList(m_temp / "missing.dat");
    EXPECT_TRUE(g_arrIgnoreKeys.empty());

    m_temp.WriteFile("odd.dat", "3\r\nHKEY_LOCAL_MACHINE\\A\\|\r\nnot a number\r\nB\r\n12\r\n");
    LoadIgnoreList(m_temp / "odd.dat");
    LoadIgnoreList(m_temp / "odd.dat");
    ASSERT_EQ(g_arrIgnoreKeys.size(), 4u);
    ASSERT_EQ(g_arrIgnoreTypes.size(), 6u);
    EXPECT_EQ(g_arrIgnoreTypes[1], RPT_COM_ACTIVEX);
    EXPECT_EQ(g_arrIgnoreKeys[1], "B");

    // A new entry pairs with its own type, not with the unpaired one the file left.
    ClearIgnoreList();
    LoadIgnoreList(m_temp / "odd.dat");
    ASSERT_TRUE(AddToIgnoreList(kRun, m_path));
    ASSERT_EQ(g_arrIgnoreKeys.size(), 3u);
    EXPECT_EQ(g_arrIgnoreTypes[2], RPT_STARTUP);
    EXPECT_TRUE(IsIgnored(kRun));
}

TEST_F(IgnoreListTest, DataOfSeveralLinesKeepsTheEntriesAfterIt)
{
    const CRegistryProblem lines("HKEY_CURRENT_USER\\Software\\Notes", "Text", "first\r\nsecond\n", RPT_FILE_PATHS, 0);
    ASSERT_TRUE(AddToIgnoreList(lines, m_path));
    ASSERT_TRUE(AddToIgnoreList(kRun, m_path));

    ClearIgnoreList();
    LoadIgnoreList(m_path);
    ASSERT_EQ(g_arrIgnoreKeys.size(), 2u);
    EXPECT_EQ(g_arrIgnoreKeys[0], IgnoreKey(lines));
    EXPECT_TRUE(IsIgnored(lines));
    EXPECT_TRUE(IsIgnored(kRun));
}

TEST_F(IgnoreListTest, MatchesCaseInsensitivelyWithinTheSameCategory)
{
    ASSERT_TRUE(AddToIgnoreList(kRun, m_path));
    EXPECT_TRUE(IsIgnored(CRegistryProblem("hkey_current_user\\SOFTWARE\\run", "TOOL", "c:\\tool\\TOOL.EXE",
                                           RPT_STARTUP, 0)));
    EXPECT_FALSE(IsIgnored(CRegistryProblem(kRun.m_strKey, kRun.m_strValueName, kRun.m_strData, RPT_DEEP_SCAN, 0)));
    EXPECT_FALSE(IsIgnored(CRegistryProblem(kRun.m_strKey, kRun.m_strValueName, "C:\\Tool\\other.exe",
                                            RPT_STARTUP, 0)));
}

TEST_F(IgnoreListTest, EntriesAddedDirectlyAreSeen)
{
    EXPECT_FALSE(IsIgnored(kDefault));
    g_arrIgnoreTypes.push_back(kDefault.m_nType);
    g_arrIgnoreKeys.push_back(IgnoreKey(kDefault));
    EXPECT_TRUE(IsIgnored(kDefault));
}

TEST_F(IgnoreListTest, IgnoringLogsTheProblem)
{
    CLogFile log(m_temp / "run.log");
    g_pLog = &log;
    ASSERT_TRUE(IgnoreProblem(kRun, m_path));
    EXPECT_NE(ReadFileText(m_temp / "run.log")
                  .find("--INFO --Ignored Start-Up items problem key:HKEY_CURRENT_USER\\Software\\Run "
                        "valueName:Tool value:C:\\Tool\\tool.exe\r\n"),
              std::string::npos);
    EXPECT_EQ(g_arrIgnoreKeys.size(), 1u);
}

TEST_F(IgnoreListTest, FailedSaveIsReported)
{
    EXPECT_FALSE(AddToIgnoreList(kRun, m_temp / "no such folder\\ignorelist.dat"));
    EXPECT_TRUE(IsIgnored(kRun));
}

} // namespace
