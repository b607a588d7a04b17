#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The window-free half of the GIF picture control: the block walker over GIF data.

// The data starts like a GIF file ("GIF", or "87a" / "89a" at offset 3).
bool IsGifData(const uint8_t* data, size_t size);

struct GIF_SCREEN {
    int nWidth = 0;
    int nHeight = 0;
    size_t nGlobalColourTableSize = 0;  // bytes
    size_t nFirstBlock = 0;             // offset of the first block after the header
};

// Reads the logical screen descriptor; false when the data is too short for it.
bool ReadGifScreen(const uint8_t* data, size_t size, GIF_SCREEN& screen);

// The length of the block at offset, or 0 when the walk ends there (unknown block, or a block
// that would run past the end of the data).
size_t GifBlockLength(const uint8_t* data, size_t size, size_t offset);

struct GIF_FRAME_SPAN {
    size_t nBegin = 0;  // its graphic control extension, or its image descriptor when it has none
    size_t nEnd = 0;    // just after its image data
    int32_t nDelay = -1;  // hundredths of a second; -1 without a graphic control extension
    int nDisposal = 0;
    int nLeft = 0;
    int nTop = 0;
    int nWidth = 0;
    int nHeight = 0;
};

// The complete frames, in order, walking from the screen's first block.
std::vector<GIF_FRAME_SPAN> FindGifFrames(const uint8_t* data, size_t size, const GIF_SCREEN& screen);

// A stand-alone GIF of one frame: header, screen descriptor and global colour table, the frame's
// blocks, and a trailer.
std::vector<uint8_t> BuildFrameGif(const uint8_t* data, const GIF_SCREEN& screen, const GIF_FRAME_SPAN& frame);

// How long a frame stays, in milliseconds: 100 for delays below 5 hundredths (and for frames
// without a delay), else the delay.
uint32_t GifFrameWait(int32_t delay);
