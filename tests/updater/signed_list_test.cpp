#include <gtest/gtest.h>

#include <string>

#include "framework/ascii.h"
#include "framework/hex.h"
#include "updater/crypto.h"
#include "updater/signed_list.h"
#include "updater/work_folder.h"

namespace {

// An ECDSA P-256 signature of kList by tests/keys/update-dev.pem, written as scripts/sign-update-list
// writes it.
const char kList[] = "1\r\ndatabase\t7\t0\t0\r\n";
const char kSignature[] = "31e7ba87e2af241b2d379e76c7bf5fb2e26f4cdf0c59c4d5813610aa8a69b047"
                          "f02b166447f7a912c55b752509b37fb36c05a006d1ccd353e38246be88a209f7";

std::string SignedReply()
{
    return std::string("1\t") + kSignature + (kList + 1);
}

} // namespace

TEST(SignedReply, SplitsIntoTheListAndTheSignatureOfLineZero)
{
    std::string list;
    SIGNATURE signature {};
    std::string why;
    ASSERT_TRUE(SplitSignedReply(SignedReply(), list, signature, why)) << why;
    EXPECT_EQ(list, kList);
    EXPECT_EQ(HexText(signature.data(), signature.size()), kSignature);

    // Upper-case digits, a reply of line 0 alone, one that ends at the signature.
    ASSERT_TRUE(SplitSignedReply("12\t" + UpperAscii(kSignature) + "\n", list, signature, why));
    EXPECT_EQ(list, "12\n");
    ASSERT_TRUE(SplitSignedReply(std::string("3\t") + kSignature, list, signature, why));
    EXPECT_EQ(list, "3");
}

TEST(SignedReply, RefusesAMissingOrMalformedSignature)
{
    const std::string sig = kSignature;
    const struct {
        std::string reply;
        const char* why;
    } cases[] = {
        {kList, "it carries no signature"},
        {"1\r\ndatabase\t7\t0\t0\r\n", "it carries no signature"},
        {"1\n\t" + sig + "\n", "it carries no signature"},
        {"1\t\n", "its signature is not 128 hex digits"},
        {"1\t" + sig.substr(2) + "\n", "its signature is not 128 hex digits"},
        {"1\t" + sig + "0\n", "its signature is not 128 hex digits"},
        {"1\t" + sig.substr(1) + "x\n", "its signature is not 128 hex digits"},
        {"1\t" + sig + "\tmore\n", "its signature is not 128 hex digits"},
        {"1\t " + sig + "\n", "its signature is not 128 hex digits"},
    };
    for (const auto& c : cases) {
        std::string list;
        SIGNATURE signature {};
        std::string why;
        EXPECT_FALSE(SplitSignedReply(c.reply, list, signature, why)) << c.reply;
        EXPECT_EQ(why, c.why) << c.reply;
    }
}

TEST(SignedReply, VerifiesWithTheDevelopmentKeyOnlyWhatWasSigned)
{
    std::string list;
    SIGNATURE signature {};
    std::string why;
    ASSERT_TRUE(SplitSignedReply(SignedReply(), list, signature, why));
    // This build trusts the development key (the build says so when it embeds it).
    EXPECT_TRUE(VerifySignature(UpdateListKey(), list, signature));

    std::string changed = list;
    changed[changed.find('7')] = '8';
    EXPECT_FALSE(VerifySignature(UpdateListKey(), changed, signature));
    EXPECT_FALSE(VerifySignature(UpdateListKey(), list + "\n", signature));
    SIGNATURE other = signature;
    other[63] ^= 1;
    EXPECT_FALSE(VerifySignature(UpdateListKey(), list, other));
    P256_PUBLIC_KEY key = UpdateListKey();
    key[5] ^= 1;
    EXPECT_FALSE(VerifySignature(key, list, signature));
}

TEST(FileHash, IsSha256AndSixtyFourHexDigitsWithAnOptionalBackslash)
{
    const std::string digits = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    SHA256_DIGEST digest {};
    ASSERT_TRUE(ParseFileHash("sha256:" + digits, digest));
    EXPECT_EQ(HexText(digest.data(), digest.size()), digits);
    EXPECT_TRUE(ParseFileHash("sha256:" + digits + "\\", digest));
    for (const std::string& field : {std::string("x"), std::string("\\"), std::string(""), "SHA256:" + digits,
                                     "sha256:" + digits.substr(1), "sha256:" + digits + "0", "sha256:" + digits + "\\\\",
                                     "sha256: " + digits, "sha256:" + digits.substr(1) + "g", "md5:" + digits})
        EXPECT_FALSE(ParseFileHash(field, digest)) << field;

    // The system's SHA-256 of "abc", in two pieces.
    CSha256 sha;
    ASSERT_TRUE(sha.Update("a", 1) && sha.Update("bc", 2));
    SHA256_DIGEST abc {};
    ASSERT_TRUE(sha.Finish(abc));
    EXPECT_EQ(HexText(abc.data(), abc.size()), digits);
}

TEST(UpdateFolder, NameIsTheKindTheCheckMakes)
{
    EXPECT_TRUE(CWorkFolder::IsName("Update-0123456789abcdef0123456789ABCDEF"));
    for (const char* name : {"", "Update-", "Update-0123456789abcdef0123456789abcde", "Update-0123456789abcdef0123456789abcdef0",
                             "update-0123456789abcdef0123456789abcdef", "Update-0123456789abcdef0123456789abcdeg",
                             "..\\Update-0123456789abcdef0123456789abcdef", "Update-0123456789abcdef0123456789abcd\\.",
                             "C:\\Update-0123456789abcdef0123456789abcdef"})
        EXPECT_FALSE(CWorkFolder::IsName(name)) << name;
    const std::string random = RandomHex(16);
    EXPECT_EQ(random.size(), 32u);
    EXPECT_NE(random, RandomHex(16));
}

TEST(ListStamp, ReadsTheSerialAndTheLastDayOfLineZero)
{
    LIST_STAMP stamp;
    std::string why;
    ASSERT_TRUE(ParseListStamp("1 serial=1765000000 expires=2026-03-07\r", stamp, why)) << why;
    EXPECT_EQ(stamp.nSerial, 1765000000u);
    EXPECT_EQ(stamp.strLastDay, "2026-03-07");
    int64_t day = 0;
    ASSERT_TRUE(DayNumber(2026, 3, 7, day));
    EXPECT_EQ(stamp.nLastDay, day);
    ASSERT_TRUE(ParseListStamp("12 serial=9999999999999999999 expires=9999-12-31\nmore", stamp, why)) << why;
    EXPECT_EQ(stamp.nSerial, 9999999999999999999u);

    // Days since 1970 through leap years, and dates that do not exist.
    EXPECT_TRUE(DayNumber(1970, 1, 1, day) && day == 0);
    EXPECT_TRUE(DayNumber(2000, 3, 1, day) && day == 11017);
    EXPECT_TRUE(DayNumber(2024, 2, 29, day) && day == 19782);
    EXPECT_FALSE(DayNumber(2023, 2, 29, day));
    EXPECT_FALSE(DayNumber(1900, 2, 29, day));
    EXPECT_FALSE(DayNumber(2026, 4, 31, day));
    EXPECT_FALSE(DayNumber(2026, 13, 1, day));
    EXPECT_FALSE(DayNumber(1969, 12, 31, day));

    const struct {
        const char* line;
        const char* why;
    } refused[] = {
        {"1", "it carries no serial and expiry date"},
        {"1\r", "it carries no serial and expiry date"},
        {"1 expires=2026-03-07 serial=5", "it carries no serial and expiry date"},
        {"1 serial= expires=2026-03-07", "it carries no serial and expiry date"},
        {"1 serial=-5 expires=2026-03-07", "it carries no serial and expiry date"},
        {"1 serial=18446744073709551615 expires=2026-03-07", "it carries no serial and expiry date"},
        {"1  serial=5 expires=2026-03-07", "it carries no serial and expiry date"},
        {"1 serial=5 expires=2026-02-30", "its expiry date 2026-02-30 is no date"},
        {"1 serial=5 expires=2026-3-07", "its expiry date 2026-3-07 is no date"},
        {"1 serial=5 expires=2026-03-07 ", "its expiry date 2026-03-07  is no date"},
        {"1 serial=5 expires=", "its expiry date  is no date"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(ParseListStamp(c.line, stamp, why)) << c.line;
        EXPECT_EQ(why, c.why) << c.line;
    }
}

TEST(ListStamp, OnlyTheNewestListBeforeItsLastDayIsCurrent)
{
    LIST_STAMP stamp;
    std::string why;
    ASSERT_TRUE(ParseListStamp("1 serial=500 expires=2026-03-07", stamp, why));
    int64_t lastDay = 0;
    ASSERT_TRUE(DayNumber(2026, 3, 7, lastDay));
    EXPECT_TRUE(IsListCurrent(stamp, 0, lastDay - 90, why));
    EXPECT_TRUE(IsListCurrent(stamp, 499, lastDay, why));
    // The same list fetched again.
    EXPECT_TRUE(IsListCurrent(stamp, 500, lastDay, why));
    EXPECT_FALSE(IsListCurrent(stamp, 501, lastDay, why));
    EXPECT_EQ(why, "it is an older list (serial 500, lower than 501 accepted before)");
    EXPECT_FALSE(IsListCurrent(stamp, 0, lastDay + 1, why));
    EXPECT_EQ(why, "it expired after 2026-03-07");
}
