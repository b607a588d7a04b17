#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/ascii.h"
#include "repair/exclusion_list.h"
#include "repair/ignore_list.h"
#include "repair/pattern_matcher.h"

namespace {

TEST(ExclusionList, HoldsEveryEntryLowerCasedAndTrimmed)
{
    const std::vector<std::string>& list = ExclusionList();
    EXPECT_EQ(list.size(), 908u);
    for (const std::string& entry : list) {
        ASSERT_FALSE(entry.empty());
        EXPECT_NE(entry.front(), ' ') << entry;
        EXPECT_NE(entry.back(), ' ') << entry;
        EXPECT_EQ(entry.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << entry;
    }
    EXPECT_EQ(NormalizeExclusionEntry(" \t\\Dell \r\n"), "\\dell");
}

TEST(ExclusionList, MatchesSubstringsWithoutRegardToCase)
{
    EXPECT_FALSE(PassesExclusionList("HKEY_CLASSES_ROOT\\CLSID\\{D27CDB70-AE6D-11CF-96B8-444553540000}"));
    EXPECT_FALSE(PassesExclusionList("HKEY_LOCAL_MACHINE\\SOFTWARE\\Dell\\Foo"));
    EXPECT_FALSE(PassesExclusionList("HKEY_CURRENT_USER\\Software\\CanNavigate"));
    EXPECT_FALSE(PassesExclusionList("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.EXE"));
    EXPECT_TRUE(PassesExclusionList("HKEY_CURRENT_USER\\Software\\Example"));
    EXPECT_TRUE(PassesExclusionList(""));
}

TEST(ExclusionList, EntriesWithBackslashesKeepToComponentEdges)
{
    // "\.exe" only matches a component that begins with it.
    EXPECT_TRUE(PassesExclusionList("HKEY_CLASSES_ROOT\\Applications\\tool.exe"));
    EXPECT_FALSE(PassesExclusionList("HKEY_CLASSES_ROOT\\.exe\\OpenWithList"));
}

TEST(ExclusionList, OnlyTheKeyPathDecides)
{
    ClearIgnoreList();
    const CRegistryProblem byData("HKEY_CURRENT_USER\\Software\\Example", "Norton", "C:\\Symantec\\nav.exe",
                                  RPT_FILE_PATHS, 0);
    EXPECT_FALSE(IsProblemSuppressed(byData));
    const CRegistryProblem byKey("HKEY_CURRENT_USER\\Software\\Norton", "", "", RPT_FILE_PATHS, 0);
    EXPECT_TRUE(IsProblemSuppressed(byKey));
}

TEST(ExclusionList, IgnoreListIsConsultedFirst)
{
    ClearIgnoreList();
    const CRegistryProblem problem("HKEY_CURRENT_USER\\Software\\Example", "Path", "C:\\x.exe", RPT_STARTUP, 0);
    g_arrIgnoreTypes.push_back(RPT_STARTUP);
    g_arrIgnoreKeys.push_back(IgnoreKey(problem));
    EXPECT_TRUE(IsProblemSuppressed(problem));
    ClearIgnoreList();
    EXPECT_FALSE(IsProblemSuppressed(problem));
}

// The matcher must give exactly what one substring search per entry gives.
TEST(PatternMatcher, AgreesWithASearchPerEntry)
{
    const std::vector<std::string>& list = ExclusionList();
    const CPatternMatcher matcher(list, CAnsiCase::System());
    std::mt19937 random(1234);
    const std::string filler = "abcxyz\\-.{}0123 ";
    int hits = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = "HKEY_LOCAL_MACHINE\\";
        const int pieces = 1 + static_cast<int>(random() % 4);
        for (int p = 0; p < pieces; ++p) {
            if (random() % 3 == 0) {
                // A cut or a whole entry, sometimes upper-cased.
                const std::string& entry = list[random() % list.size()];
                const size_t from = random() % entry.size();
                std::string piece = entry.substr(random() % 2 ? 0 : from);
                text += random() % 2 ? UpperAscii(piece) : piece;
            } else {
                for (int n = static_cast<int>(random() % 8); n > 0; --n)
                    text += filler[random() % filler.size()];
            }
        }
        const std::string lowered = CAnsiCase::System().Lower(text);
        bool expected = false;
        for (const std::string& entry : list)
            expected = expected || lowered.find(entry) != std::string::npos;
        hits += expected;
        ASSERT_EQ(matcher.ContainsAny(text), expected) << text;
    }
    EXPECT_GT(hits, 300);
    EXPECT_LT(hits, 2900);
}

TEST(PatternMatcher, OverlappingAndNestedEntries)
{
    const CPatternMatcher matcher({"abcd", "bc", "cde", "xyzzy"}, CAnsiCase::System());
    EXPECT_TRUE(matcher.ContainsAny("zabcz"));
    EXPECT_TRUE(matcher.ContainsAny("abcde"));
    EXPECT_TRUE(matcher.ContainsAny("xyzxyzzy"));
    EXPECT_FALSE(matcher.ContainsAny("xyzzabdce"));
    EXPECT_FALSE(CPatternMatcher({}, CAnsiCase::System()).ContainsAny("anything"));
}

// A double-byte code page in miniature: 0x81-0x9F lead a second byte of any value.
CAnsiCase DoubleByteCase()
{
    bool lead[256] = {};
    unsigned char lower[256];
    for (int c = 0; c < 256; ++c) {
        lead[c] = c >= 0x81 && c <= 0x9F;
        lower[c] = static_cast<unsigned char>(LowerAscii(static_cast<char>(c)));
    }
    return CAnsiCase(lead, lower);
}

TEST(PatternMatcher, NeverMatchesFromTheSecondByteOfACharacter)
{
    const CAnsiCase dbcs = DoubleByteCase();
    const CPatternMatcher withSlash({"\\nav"}, dbcs);
    const CPatternMatcher bare({"nav"}, dbcs);
    // 0x81 0x5C is one character whose second byte looks like a backslash.
    EXPECT_FALSE(withSlash.ContainsAny("Key\x81\\Nav"));
    EXPECT_TRUE(bare.ContainsAny("Key\x81\\Nav"));
    EXPECT_TRUE(withSlash.ContainsAny("Key\x81x\\Nav"));
    // Trail bytes are not lowered: 0x81 'N' is a character, not an "n".
    EXPECT_FALSE(bare.ContainsAny("\x81Nav"));
    EXPECT_EQ(dbcs.Lower("A\x81QB"), "a\x81Qb");
}

} // namespace
