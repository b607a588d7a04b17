// The GIF block walker: any data is walked without reading past its end; every frame lies inside
// the data, in order, and its stand-alone GIF walks back to the same single frame.
#include <cstdint>
#include <vector>

#include "controls/gif_blocks.h"
#include "require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IsGifData(data, size);
    GIF_SCREEN screen;
    if (!ReadGifScreen(data, size, screen))
        return 0;
    for (size_t offset = 0; offset < size; ++offset)
        Require(offset + GifBlockLength(data, size, offset) <= size, "a block ends inside the data");

    const std::vector<GIF_FRAME_SPAN> frames = FindGifFrames(data, size, screen);
    size_t previous = screen.nFirstBlock;
    for (const GIF_FRAME_SPAN& frame : frames) {
        Require(previous <= frame.nBegin && frame.nBegin < frame.nEnd && frame.nEnd <= size,
                "frames lie inside the data, in order");
        previous = frame.nEnd;
        GifFrameWait(frame.nDelay);

        const std::vector<uint8_t> gif = BuildFrameGif(data, screen, frame);
        GIF_SCREEN again;
        Require(ReadGifScreen(gif.data(), gif.size(), again) && again.nFirstBlock == screen.nFirstBlock,
                "the frame's GIF keeps the screen");
        const std::vector<GIF_FRAME_SPAN> one = FindGifFrames(gif.data(), gif.size(), again);
        Require(one.size() == 1, "the frame's GIF holds one frame");
        Require(one[0].nDelay == frame.nDelay && one[0].nDisposal == frame.nDisposal && one[0].nLeft == frame.nLeft &&
                    one[0].nTop == frame.nTop && one[0].nWidth == frame.nWidth && one[0].nHeight == frame.nHeight &&
                    one[0].nEnd - one[0].nBegin == frame.nEnd - frame.nBegin,
                "the frame's GIF holds the same frame");
    }
    return 0;
}
