#include <gtest/gtest.h>

#include <string>

#include "controls/gif_blocks.h"
#include "controls/markup_tokens.h"
#include "gif_builder.h"

namespace {

std::string Kinds(const std::vector<MarkupToken>& tokens)
{
    std::string out;
    for (const MarkupToken& t : tokens)
        out += t.kind == MarkupTokenKind::Space ? 'S' : t.kind == MarkupTokenKind::Tag ? 'T' : 'W';
    return out;
}

} // namespace

TEST(Markup, SlashesBecomeSingleForwardSlashes)
{
    EXPECT_EQ(NormalizeSlashes("HKEY_LOCAL_MACHINE\\SOFTWARE\\\\Foo"), "HKEY_LOCAL_MACHINE/SOFTWARE/Foo");
    EXPECT_EQ(NormalizeSlashes("C:\\\\dir//file"), "C:/dir/file");
    EXPECT_EQ(NormalizeSlashes("a///b"), "a/b");
    EXPECT_EQ(NormalizeSlashes("plain"), "plain");
}

TEST(Markup, SplitsIntoSpacesTagsAndWords)
{
    const auto tokens = TokenizeMarkup("<b>Key:</b> HKLM/x<br>  a=b");
    EXPECT_EQ(Kinds(tokens), "TWTSWTSW");
    EXPECT_EQ(tokens[1].text, "Key:");
    EXPECT_EQ(tokens[4].text, "HKLM/x");
    EXPECT_EQ(tokens[5].text, "<br>");
    // An unterminated tag runs to the end.
    const auto open = TokenizeMarkup("x <font");
    ASSERT_EQ(open.size(), 3u);
    EXPECT_EQ(open[2].text, "<font");
}

TEST(Markup, TagsMatchByPrefixWithoutCase)
{
    EXPECT_EQ(ParseMarkupTag("<B>").kind, MarkupTagKind::Bold);
    EXPECT_EQ(ParseMarkupTag("<strong>").kind, MarkupTagKind::Bold);
    EXPECT_EQ(ParseMarkupTag("<em>").kind, MarkupTagKind::Italic);
    EXPECT_EQ(ParseMarkupTag("<br>").kind, MarkupTagKind::LineBreak);
    EXPECT_EQ(ParseMarkupTag("<BR/>").kind, MarkupTagKind::LineBreak);
    EXPECT_EQ(ParseMarkupTag("<sub>").kind, MarkupTagKind::Subscript);
    EXPECT_EQ(ParseMarkupTag("<sup>").kind, MarkupTagKind::Superscript);
    EXPECT_EQ(ParseMarkupTag("<p>").kind, MarkupTagKind::Paragraph);
    EXPECT_EQ(ParseMarkupTag("<u>").kind, MarkupTagKind::Underline);
    EXPECT_EQ(ParseMarkupTag("<font color=#ff0000>").kind, MarkupTagKind::Font);
    EXPECT_EQ(ParseMarkupTag("<span>").kind, MarkupTagKind::Unknown);
    const MarkupTag closing = ParseMarkupTag("</b>");
    EXPECT_EQ(closing.kind, MarkupTagKind::Bold);
    EXPECT_TRUE(closing.closing);
}

TEST(Markup, FontColourNeedsSixHexDigits)
{
    uint32_t colour = 0;
    ASSERT_TRUE(ParseFontColour("<font color=#ff0000>", colour));
    EXPECT_EQ(colour, 0x0000FFu);
    ASSERT_TRUE(ParseFontColour("<font color=\"#A52A2A\">", colour));
    EXPECT_EQ(colour, 0x2A2AA5u);
    ASSERT_TRUE(ParseFontColour("<font color=0000ff>", colour));
    EXPECT_EQ(colour, 0xFF0000u);
    EXPECT_FALSE(ParseFontColour("<font>", colour));
    EXPECT_FALSE(ParseFontColour("<font color=#12345>", colour));
    EXPECT_FALSE(ParseFontColour("<font size=3>", colour));
}

TEST(GifWalker, RecognisesGifData)
{
    const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a'};
    const uint8_t other[] = {'x', 'y', 'z', '8', '7', 'a'};
    const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A};
    EXPECT_TRUE(IsGifData(gif, sizeof gif));
    EXPECT_TRUE(IsGifData(other, sizeof other));
    EXPECT_FALSE(IsGifData(png, sizeof png));
}

TEST(GifWalker, FindsFramesWithTheirTimingAndPlace)
{
    const auto data = GifBuilder(8, 6)
                          .Comment("made for a test")
                          .Frame(1, 0, 2)
                          .Frame(2, 5, 3, 2, 1, 4, 3)
                          .Image(3)
                          .Finish();
    GIF_SCREEN screen;
    ASSERT_TRUE(ReadGifScreen(data.data(), data.size(), screen));
    EXPECT_EQ(screen.nWidth, 8);
    EXPECT_EQ(screen.nHeight, 6);
    EXPECT_EQ(screen.nGlobalColourTableSize, 12u);
    EXPECT_EQ(screen.nFirstBlock, 25u);

    const auto frames = FindGifFrames(data.data(), data.size(), screen);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].nDelay, 0);
    EXPECT_EQ(frames[0].nDisposal, 2);
    EXPECT_EQ(frames[1].nDelay, 5);
    EXPECT_EQ(frames[1].nDisposal, 3);
    EXPECT_EQ(frames[1].nLeft, 2);
    EXPECT_EQ(frames[1].nTop, 1);
    EXPECT_EQ(frames[1].nWidth, 4);
    EXPECT_EQ(frames[1].nHeight, 3);
    EXPECT_EQ(frames[2].nDelay, -1);
    EXPECT_EQ(data[frames[1].nBegin], '!');
    EXPECT_EQ(data[frames[2].nBegin], ',');
    EXPECT_EQ(frames[2].nEnd, data.size() - 1);
}

TEST(GifWalker, TruncatedDataKeepsTheCompleteFrames)
{
    const auto whole = GifBuilder(8, 8).Frame(1, 10, 1).Frame(2, 10, 1).Frame(3, 10, 1).Finish();
    GIF_SCREEN screen;
    ASSERT_TRUE(ReadGifScreen(whole.data(), whole.size(), screen));
    const auto frames = FindGifFrames(whole.data(), whole.size(), screen);
    ASSERT_EQ(frames.size(), 3u);
    // Cut inside the last frame's image data: two frames remain.
    const size_t cut = frames[2].nEnd - 5;
    EXPECT_EQ(FindGifFrames(whole.data(), cut, screen).size(), 2u);
    // Cut right after a graphic control extension: its frame is not counted.
    EXPECT_EQ(FindGifFrames(whole.data(), frames[2].nBegin + 8, screen).size(), 2u);
    // A block of an unknown kind ends the walk.
    auto garbage = whole;
    garbage[frames[1].nBegin] = 'x';
    EXPECT_EQ(FindGifFrames(garbage.data(), garbage.size(), screen).size(), 1u);
}

TEST(GifWalker, FrameGifIsHeaderFrameAndTrailer)
{
    const auto data = GifBuilder(4, 4).Frame(1, 7, 0).Frame(2, 9, 1).Finish();
    GIF_SCREEN screen;
    ASSERT_TRUE(ReadGifScreen(data.data(), data.size(), screen));
    const auto frames = FindGifFrames(data.data(), data.size(), screen);
    ASSERT_EQ(frames.size(), 2u);
    const auto one = BuildFrameGif(data.data(), screen, frames[1]);
    ASSERT_EQ(one.size(), screen.nFirstBlock + (frames[1].nEnd - frames[1].nBegin) + 1);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + screen.nFirstBlock, one.begin()));
    EXPECT_EQ(one.back(), ';');
    GIF_SCREEN again;
    ASSERT_TRUE(ReadGifScreen(one.data(), one.size(), again));
    const auto single = FindGifFrames(one.data(), one.size(), again);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].nDelay, 9);
}

TEST(GifWalker, FrameWaits)
{
    for (int delay = 0; delay <= 4; ++delay)
        EXPECT_EQ(GifFrameWait(delay), 100u) << delay;
    EXPECT_EQ(GifFrameWait(5), 50u);
    EXPECT_EQ(GifFrameWait(25), 250u);
    // A frame without a delay of its own gets the default rather than staying for ever.
    EXPECT_EQ(GifFrameWait(-1), 100u);
}
