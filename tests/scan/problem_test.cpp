#include <gtest/gtest.h>

#include "scan/problem.h"
#include "scan/problem_texts.h"

namespace {

std::string Describe(REGPROBLEM_TYPE type, const std::string& key, const std::string& name, const std::string& data)
{
    return DescribeProblem(CRegistryProblem(key, name, data, type, 0));
}

} // namespace

TEST(Categories, TableMatchesTheirOrderAndNames)
{
    EXPECT_STREQ(CategoryInfo(RPT_COM_ACTIVEX).pszSettingKey, "comactx");
    EXPECT_STREQ(CategoryInfo(RPT_STARTUP).pszPanelName, " Windows Startup Items");
    EXPECT_STREQ(CategoryInfo(RPT_SHORTCUTS).pszResultsName, "Program Short Cuts");
    EXPECT_STREQ(CategoryInfo(RPT_EMPTY_KEYS).pszFoundCounter, "TotalEmtyRegKeyErrors");
    EXPECT_STREQ(CategoryInfo(RPT_DEEP_SCAN).pszFixedCounter, "FixedDeepScanErrors");
    EXPECT_EQ(g_aScanOrder[8], RPT_FILE_ASSOC);
    EXPECT_EQ(g_aScanOrder[12], RPT_SHORTCUTS);
    EXPECT_EQ(g_aScanOrder[14], RPT_DEEP_SCAN);
    REGPROBLEM_TYPE type;
    ASSERT_TRUE(CategoryFromSettingKey("sundapp", type));
    EXPECT_EQ(type, RPT_SOUND_EVENTS);
    EXPECT_FALSE(CategoryFromSettingKey("Fonts", type));
    EXPECT_STREQ(ProblemText(116), "Sound && App Events");
    EXPECT_STREQ(ProblemText(130), "S");
}

TEST(FormatMessageArgs, ReplacesNumberedArguments)
{
    EXPECT_EQ(FormatMessageArgs("%2-%1-%2", {"a", "b"}), "b-a-b");
    EXPECT_EQ(FormatMessageArgs(TXT_ERRORS_FOUND, {"7"}), "7 Error(s) found");
    EXPECT_EQ(FormatMessageArgs("100% sure %3", {"a"}), "100% sure ");
}

TEST(DescribeProblem, EveryCategoryHasItsText)
{
    const std::string red = "<font color=#ff0000><b>";
    EXPECT_EQ(Describe(RPT_UNINSTALL, "HKEY_LOCAL_MACHINE\\U\\App", "UninstallString", "C:\\gone.exe"),
              red + "The uninstall key is invalid. The file referenced (C:\\gone.exe) doesn't exist.</b></font>"
                    "<br><b>Key:</b> HKEY_LOCAL_MACHINE\\U\\App<br>UninstallString=C:\\gone.exe");
    EXPECT_EQ(Describe(RPT_SHARED_DLLS, "HKEY_LOCAL_MACHINE\\S", "C:\\gone.dll", ""),
              red + "The file (C:\\gone.dll) doesn't exist.</b></font><br><b> Key:</b>HKEY_LOCAL_MACHINE\\S<br>"
                    "  Value: C:\\gone.dll");
    EXPECT_EQ(Describe(RPT_HELP_FILES, "HKEY_LOCAL_MACHINE\\H", "app.hlp", "C:\\Help"),
              red + "The help file referenced (C:\\Help\\app.hlp) doesn't exist.</b></font><br><b>Key:</b> "
                    "HKEY_LOCAL_MACHINE\\H<br>app.hlp=C:\\Help");
    EXPECT_EQ(Describe(RPT_EMPTY_KEYS, "HKEY_CURRENT_USER\\Software\\Empty", "", ""),
              "There are one or more empty registry keys.<br>Key:HKEY_CURRENT_USER\\Software\\Empty ");
    const std::string fileText = red + "The file referenced doesn't exist.</b></font><br>Key:K<br>v=C:\\x.exe";
    for (REGPROBLEM_TYPE type : {RPT_FONTS, RPT_APP_PATHS, RPT_STARTUP, RPT_FILE_PATHS, RPT_SHORTCUTS, RPT_FILE_ASSOC,
                                 RPT_SOUND_EVENTS, RPT_CLASS_KEYS, RPT_TYPE_LIBS, RPT_DEEP_SCAN})
        EXPECT_EQ(Describe(type, "K", "v", "C:\\x.exe"), fileText) << type;
}

TEST(DescribeProblem, DefaultValueNamesAndComIndexes)
{
    EXPECT_NE(Describe(RPT_APP_PATHS, "K", "", "d").find("<br>(Default)=d"), std::string::npos);
    EXPECT_NE(Describe(RPT_APP_PATHS, "K", "@", "d").find("<br>(Default)=d"), std::string::npos);
    // "{Default}" is a name of its own and is shown as it is.
    EXPECT_NE(Describe(RPT_COM_ACTIVEX, "K", "{Default}", "d").find("<br>{Default}=d"), std::string::npos);

    const std::string key = "HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32";
    EXPECT_EQ(Describe(RPT_COM_ACTIVEX, key, "InprocServer32", "C:\\a.dll,2").substr(
                  Describe(RPT_COM_ACTIVEX, key, "InprocServer32", "C:\\a.dll,2").rfind("<br>")),
              "<br>InprocServer32=C:\\a.dll");
    EXPECT_NE(Describe(RPT_COM_ACTIVEX, key, "AppID", "C:\\a.dll,2").find("AppID=C:\\a.dll,2"), std::string::npos);
    EXPECT_NE(Describe(RPT_COM_ACTIVEX, "HKEY_CLASSES_ROOT\\X\\CLSID", "v", "a,b").find("v=a,b"), std::string::npos);
}
