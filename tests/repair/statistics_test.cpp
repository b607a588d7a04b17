#include <gtest/gtest.h>

#include "repair_support.h"
#include "sandbox.h"
#include "shell/settings.h"
#include "shell/statistics.h"

TEST(Statistics, RepairsReplaceTheFixedCountersAndAddUpTheTotal)
{
    RegistrySandbox sandbox;
    TempDir dir;
    LogCapture log(dir);
    int32_t first[kCategoryCount] = {};
    first[RPT_FONTS] = 2;
    RecordRepairStatistics(first);
    int32_t second[kCategoryCount] = {};
    second[RPT_COM_ACTIVEX] = 4;
    second[RPT_DEEP_SCAN] = 1;
    RecordRepairStatistics(second);

    EXPECT_EQ(ReadSettingInt("ErrorsFixed"), 7);
    EXPECT_EQ(ReadSettingInt("nFixed"), 7);
    EXPECT_EQ(ReadSettingInt("FixedFontErrors"), 0);
    EXPECT_EQ(ReadSettingInt("FixedComErrors"), 4);
    EXPECT_EQ(ReadSettingInt("FixedDeepScanErrors"), 1);
    EXPECT_NE(log.Text().find("Fixed 7 errors"), std::string::npos);

    ResetFixedCounters();
    EXPECT_EQ(LoadStatistics({}, false).anFixed[RPT_COM_ACTIVEX], 0);
    EXPECT_EQ(ReadSettingInt("ErrorsFixed"), 7);
}

TEST(Statistics, LoadCountsIgnoredEntriesUnlessCleared)
{
    RegistrySandbox sandbox;
    WriteSettingInt("TotalSharedDllErrors", 5);
    WriteSettingInt("FixedSharedDllErrors", 3);
    WriteSettingInt("lastfounderrors", 10);
    WriteSettingInt("ErrorsFixed", 8);
    WriteSettingString("lastScan", "07-12-2026 07:35:50");
    const std::vector<REGPROBLEM_TYPE> ignored = {RPT_SHARED_DLLS, RPT_SHARED_DLLS, RPT_FONTS, RPT_SHARED_DLLS,
                                                  static_cast<REGPROBLEM_TYPE>(99)};

    const STATISTICS stats = LoadStatistics(ignored, false);
    EXPECT_EQ(stats.anFound[RPT_SHARED_DLLS], 5);
    EXPECT_EQ(stats.anFixed[RPT_SHARED_DLLS], 3);
    EXPECT_EQ(stats.anIgnored[RPT_SHARED_DLLS], 3);
    EXPECT_EQ(stats.anIgnored[RPT_FONTS], 1);
    EXPECT_EQ(stats.nFoundTillDate, 10);
    EXPECT_EQ(stats.nFixedTillDate, 8);

    ClearStatistics();
    const STATISTICS cleared = LoadStatistics(ignored, true);
    EXPECT_EQ(cleared.anFound[RPT_SHARED_DLLS], 0);
    EXPECT_EQ(cleared.anFixed[RPT_SHARED_DLLS], 0);
    EXPECT_EQ(cleared.anIgnored[RPT_SHARED_DLLS], 0);
    EXPECT_EQ(cleared.nFoundTillDate, 10);
    EXPECT_EQ(cleared.nFixedTillDate, 8);
    EXPECT_EQ(cleared.strLastScan, "07-12-2026 07:35:50");
}

TEST(Statistics, FreshInstallationShowsZerosAndEmptyDate)
{
    RegistrySandbox sandbox;
    const STATISTICS stats = LoadStatistics({}, false);
    EXPECT_EQ(stats.nFoundTillDate, 0);
    EXPECT_EQ(SplitLastScan(stats.strLastScan), std::make_pair(std::string(), std::string()));
}

TEST(Statistics, LastScanSplitsAtTheLastDash)
{
    EXPECT_EQ(SplitLastScan("07-12-2026 07:35:50"), std::make_pair(std::string("07-12-2026"), std::string(" 07:35:50")));
    EXPECT_EQ(SplitLastScan("12:00"), std::make_pair(std::string("12:0"), std::string(":00")));
    EXPECT_EQ(SplitLastScan("ab"), std::make_pair(std::string("ab"), std::string("ab")));
}

TEST(Statistics, TableRowsFollowThePageOrder)
{
    EXPECT_STREQ(g_aStatisticsRows[6].pszCaption, " Windows Startup Items");
    EXPECT_EQ(g_aStatisticsRows[8].nType, RPT_FILE_ASSOC);
    EXPECT_STREQ(g_aStatisticsRows[10].pszCaption, "Invalid class Keys");
    EXPECT_EQ(g_aStatisticsRows[12].nType, RPT_SHORTCUTS);
    EXPECT_EQ(g_aStatisticsRows[14].nType, RPT_DEEP_SCAN);
}
