#include <gtest/gtest.h>

#include "sandbox.h"
#include "shell/settings.h"

namespace {
const char* const kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Hivora";
}

TEST(Settings, AMissingKeyReadsZeroAndEmpty)
{
    RegistrySandbox sandbox;
    EXPECT_EQ(ReadSettingInt("comactx"), 0);
    EXPECT_EQ(ReadSettingString("lastScan"), "");
}

TEST(Settings, NumbersAreDecimalTextWithoutTerminator)
{
    RegistrySandbox sandbox;
    WriteSettingInt("errs", -42);
    DWORD type = 0;
    // Wine adds a terminator when it reads an unterminated text back; the stored bytes are "-42".
    EXPECT_EQ(std::string(ReadRaw(kKey, "errs", &type).c_str()), "-42");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ReadSettingInt("errs"), -42);
}

TEST(Settings, NumbersReadAsTheirLeadingDigits)
{
    RegistrySandbox sandbox;
    SetString(kKey, "a", "1");
    SetString(kKey, "b", "1abc");
    SetString(kKey, "c", "abc");
    SetString(kKey, "d", " 17 ");
    SetString(kKey, "e", "99999999999999");
    SetString(kKey, "f", "1" + std::string(300, '0'));
    EXPECT_EQ(ReadSettingInt("a"), 1);
    EXPECT_EQ(ReadSettingInt("b"), 1);
    EXPECT_EQ(ReadSettingInt("c"), 0);
    EXPECT_EQ(ReadSettingInt("d"), 17);
    EXPECT_EQ(ReadSettingInt("e"), INT_MAX);
    EXPECT_EQ(ReadSettingInt("f"), 0) << "a value longer than the 200-byte buffer is not read";
}

TEST(Settings, TextsRoundTrip)
{
    RegistrySandbox sandbox;
    const std::string text = "07-12-2026 08:15:00 and some more than twenty-four characters";
    WriteSettingString("lastScan", text);
    EXPECT_EQ(ReadSettingString("lastScan"), text);
    EXPECT_EQ(ReadRaw(kKey, "lastScan"), text + '\0');
    WriteSettingString("empty", "");
    EXPECT_EQ(ReadSettingString("empty"), "");
    WriteSettingString("big", std::string(1100, 'x'));
    EXPECT_EQ(ReadSettingString("big"), "") << "a text longer than the 1024-byte buffer is not read";
}

TEST(Settings, ParseLeadingInt)
{
    EXPECT_EQ(ParseLeadingInt("+5"), 5);
    EXPECT_EQ(ParseLeadingInt("-"), 0);
    EXPECT_EQ(ParseLeadingInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseLeadingInt("-99999999999"), INT_MIN);
    EXPECT_EQ(ParseLeadingInt(""), 0);
}
