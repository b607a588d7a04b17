#include <gtest/gtest.h>

#include "cli/report_format.h"

namespace {

TEST(CliFormat, MarkupBecomesPlainLines)
{
    const CRegistryProblem problem("HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32", "", "C:\\gone.dll",
                                   RPT_COM_ACTIVEX, 0);
    EXPECT_EQ(StripMarkup(DescribeProblem(problem)),
              "The file referenced doesn't exist.\nKey:HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32\n"
              "(Default)=C:\\gone.dll");
    EXPECT_EQ(StripMarkup("a<BR>b<u>c</u> < d"), "a\nbc < d");
}

TEST(CliFormat, TsvFieldsEscapeTheirSeparators)
{
    EXPECT_EQ(EscapeTsvField("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    const CRegistryProblem problem("HKEY_CURRENT_USER\\Run", "x\ty", "C:\\a b.exe", RPT_STARTUP, 0);
    EXPECT_EQ(TsvLine(problem), "winstrt\tHKEY_CURRENT_USER\\\\Run\tx\\ty\tC:\\\\a b.exe\n");
}

TEST(CliFormat, CategoryListsTakeSettingKeysAndTheTwoSets)
{
    uint8_t selected[kCategoryCount];
    std::string unknown;
    ASSERT_TRUE(ParseCategoryList("recommended", selected, unknown));
    for (int i = 0; i < kCategoryCount; ++i)
        EXPECT_EQ(selected[i], i == RPT_SHORTCUTS || i == RPT_DEEP_SCAN ? 0 : 1) << i;
    ASSERT_TRUE(ParseCategoryList("shrtcut,fonts,shrtcut", selected, unknown));
    EXPECT_EQ(selected[RPT_SHORTCUTS] + selected[RPT_FONTS], 2);
    EXPECT_EQ(selected[RPT_COM_ACTIVEX], 0);
    ASSERT_TRUE(ParseCategoryList("all", selected, unknown));
    EXPECT_EQ(selected[RPT_DEEP_SCAN], 1);
    EXPECT_FALSE(ParseCategoryList("fonts,Fonts", selected, unknown));
    EXPECT_EQ(unknown, "Fonts");
    EXPECT_FALSE(ParseCategoryList("fonts,", selected, unknown));
    EXPECT_EQ(unknown, "");
}

TEST(CliFormat, CategoryNamesAsThePageShowsThem)
{
    EXPECT_EQ(CategoryDisplayName(RPT_SOUND_EVENTS), "Sound & App Events");
    EXPECT_EQ(CategoryDisplayName(RPT_STARTUP), "Windows Startup Items");
}

} // namespace
