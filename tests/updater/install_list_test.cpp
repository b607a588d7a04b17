#include <gtest/gtest.h>

#include <climits>

#include "updater/install_list.h"

TEST(ReadNumber, ReadsLeadingDigitsLikeAtoi)
{
    EXPECT_EQ(ReadNumber("42"), 42);
    EXPECT_EQ(ReadNumber("3\r"), 3);
    EXPECT_EQ(ReadNumber("  7 files"), 7);
    EXPECT_EQ(ReadNumber("-5"), -5);
    EXPECT_EQ(ReadNumber("+9x"), 9);
    EXPECT_EQ(ReadNumber("x9"), 0);
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ReadNumber("-99999999999999999999"), INT_MIN);
}

TEST(IsSafeRelativeName, AcceptsNamesBelowTheFolder)
{
    for (const char* name : {"Hivora.exe", "defs\\main.db", "sub/dir/file.dll", "a\\.\\b.txt", "..hidden",
                             "name..txt", "dir\\", "", "x...y", "console.txt", "nullify.dll", "COM10.txt",
                             "LPT0", "auxiliary\\prn1.txt", "com1x.dat", "COM\xB4", "COM\xB9x", "LPT\xC2\xB4",
                             "CONIN", "conout.txt", "CONIN$x"})
        EXPECT_TRUE(IsSafeRelativeName(name)) << name;
}

TEST(IsSafeRelativeName, RefusesNamesThatLeadOutsideOrToADevice)
{
    for (const char* name : {"..\\evil.txt", "../evil.txt", "sub\\..\\..\\evil.txt", "a/../../b", "..", "sub\\..",
                             "C:\\Windows\\evil.dll", "C:evil.txt", "c:/x", "\\evil.txt", "/etc/x",
                             "\\\\server\\share\\x", "//server/share/x", "\\\\?\\C:\\x", "file.txt:stream",
                             ".. \\x", "...\\x", ". .\\x", "CON", "nul.txt", "Aux.tar.gz", "prn", "COM1",
                             "com9.dll", "LPT1.txt", "lpt9", "sub\\con", "con\\x.txt", "NUL .txt", "defs/Com3.db",
                             "CONIN$", "conout$.txt",
                             // COM and LPT with a superscript digit, in the ANSI code pages and in UTF-8
                             "COM\xB9", "com\xB2.txt", "Lpt\xB3", "sub\\LPT\xB9 .log", "COM\xC2\xB9", "lpt\xC2\xB3.dat"})
        EXPECT_FALSE(IsSafeRelativeName(name)) << name;
}

TEST(InstallList, EntryIsTheFileLineTheDownloadAndALineFeed)
{
    EXPECT_EQ(FormatInstallEntry("a.txt\tx\t4\thttp://h/a\t0\t1\r", "ABCDEFGHIJ"),
              "a.txt\tx\t4\thttp://h/a\t0\t1\r\tABCDEFGHIJ\n");
}

TEST(InstallList, ReadsTheFolderAndTheSevenFieldEntries)
{
    const INSTALL_LIST list = ParseInstallList(
        "C:\\Prog\\\r\n"
        "Hivora.exe\tx\t1024\thttp://h/Hivora.exe\t0\t1\tK3N0QW9ZPL\r\n"
        "pack.zip\tdefs\\\t7\thttp://h/pack.zip\t2\t0\r\tAB12CD34EF\r\n");
    EXPECT_EQ(list.strFolder, "C:\\Prog\\");
    ASSERT_EQ(list.arrEntries.size(), 2u);
    const INSTALL_ENTRY& first = list.arrEntries[0];
    EXPECT_EQ(first.strTarget, "Hivora.exe");
    EXPECT_EQ(first.strSeparatorHint, "x");
    EXPECT_EQ(first.nSize, 1024);
    EXPECT_EQ(first.strUrl, "http://h/Hivora.exe");
    EXPECT_FALSE(first.bArchive);
    EXPECT_TRUE(first.bRun);
    EXPECT_EQ(first.strTempName, "K3N0QW9ZPL");
    // A carriage return the server left before its line feed stays in the sixth field.
    const INSTALL_ENTRY& second = list.arrEntries[1];
    EXPECT_TRUE(second.bArchive);
    EXPECT_FALSE(second.bRun);
    EXPECT_EQ(second.strTempName, "AB12CD34EF");
}

TEST(InstallList, SkipsLinesWithoutSevenFields)
{
    const INSTALL_LIST list = ParseInstallList(
        "C:\\Prog\\\n"
        "\n"
        "six\tx\t1\tu\t0\t0\n"
        "eight\tx\t1\tu\t0\t0\tN\textra\n"
        "ok.txt\tx\t1\tu\t0\t0\tNAME\n"
        "last\tx\t1\tu\t0\t0\tTAIL");
    ASSERT_EQ(list.arrEntries.size(), 2u);
    EXPECT_EQ(list.arrEntries[0].strTarget, "ok.txt");
    EXPECT_EQ(list.arrEntries[1].strTempName, "TAIL");
}

TEST(InstallList, ShortFirstLineGivesWayToTheNextOnce)
{
    INSTALL_LIST list = ParseInstallList("\r\nC:\\Prog\\\r\nok.txt\tx\t1\tu\t0\t0\tNAME\r\n");
    EXPECT_EQ(list.strFolder, "C:\\Prog\\");
    EXPECT_EQ(list.arrEntries.size(), 1u);

    list = ParseInstallList("C:\r\n\r\nok.txt\tx\t1\tu\t0\t0\tNAME\r\n");
    EXPECT_EQ(list.strFolder, "");
    EXPECT_EQ(list.arrEntries.size(), 1u);

    list = ParseInstallList("C:\\Prog\\\r\n");
    EXPECT_EQ(list.strFolder, "C:\\Prog\\");
    EXPECT_TRUE(list.arrEntries.empty());

    list = ParseInstallList("");
    EXPECT_EQ(list.strFolder, "");
    EXPECT_TRUE(list.arrEntries.empty());
}

namespace {

std::string JoinWithHint(const std::string& hint)
{
    INSTALL_ENTRY entry;
    entry.strTarget = "sub\\a.dll";
    entry.strSeparatorHint = hint;
    return JoinTargetPath("C:\\Prog\\", entry);
}

}  // namespace

TEST(InstallList, TargetJoinsWithoutASeparatorOnlyWhenTheHintEndsWithOne)
{
    EXPECT_EQ(JoinWithHint("x"), "C:\\Prog\\\\sub\\a.dll");
    EXPECT_EQ(JoinWithHint(""), "C:\\Prog\\\\sub\\a.dll");
    EXPECT_EQ(JoinWithHint("defs\\"), "C:\\Prog\\sub\\a.dll");
}
