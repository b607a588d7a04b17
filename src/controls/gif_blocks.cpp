#include "controls/gif_blocks.h"

#include <cstring>

namespace {

constexpr uint8_t kExtension = '!';
constexpr uint8_t kImage = ',';
constexpr uint8_t kTrailer = ';';
constexpr uint8_t kPlainText = 0x01;
constexpr uint8_t kGraphicControl = 0xF9;
constexpr uint8_t kComment = 0xFE;
constexpr uint8_t kApplication = 0xFF;

unsigned Word(const uint8_t* p)
{
    return p[0] | p[1] << 8;
}

size_t ColourTableSize(uint8_t packed)
{
    return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0;
}

// The length of the sub-block chain at offset, terminator included; 0 when it runs past the end.
size_t ChainLength(const uint8_t* data, size_t size, size_t offset)
{
    size_t length = 0;
    while (offset + length < size) {
        const uint8_t block = data[offset + length];
        if (block == 0)
            return length + 1;
        length += block + 1u;
    }
    return 0;
}

enum class BlockKind { End, GraphicControl, Image, Other, Trailer };

BlockKind KindAt(const uint8_t* data, size_t size, size_t offset)
{
    if (offset >= size)
        return BlockKind::End;
    if (data[offset] == kImage)
        return BlockKind::Image;
    if (data[offset] == kTrailer)
        return BlockKind::Trailer;
    if (data[offset] == kExtension && offset + 1 < size) {
        switch (data[offset + 1]) {
        case kGraphicControl:
            return BlockKind::GraphicControl;
        case kPlainText:
        case kComment:
        case kApplication:
            return BlockKind::Other;
        default:
            break;
        }
    }
    return BlockKind::End;
}

} // namespace

bool IsGifData(const uint8_t* data, size_t size)
{
    if (size >= 3 && std::memcmp(data, "GIF", 3) == 0)
        return true;
    return size >= 6 && (std::memcmp(data + 3, "87a", 3) == 0 || std::memcmp(data + 3, "89a", 3) == 0);
}

bool ReadGifScreen(const uint8_t* data, size_t size, GIF_SCREEN& screen)
{
    if (size < 13)
        return false;
    screen.nWidth = static_cast<int>(Word(data + 6));
    screen.nHeight = static_cast<int>(Word(data + 8));
    screen.nGlobalColourTableSize = ColourTableSize(data[10]);
    screen.nFirstBlock = 13 + screen.nGlobalColourTableSize;
    return true;
}

size_t GifBlockLength(const uint8_t* data, size_t size, size_t offset)
{
    size_t length = 0;
    switch (KindAt(data, size, offset)) {
    case BlockKind::End:
        return 0;
    case BlockKind::Trailer:
        length = 1;
        break;
    case BlockKind::GraphicControl:
        length = 8;
        break;
    case BlockKind::Image: {
        if (offset + 10 > size)
            return 0;
        const size_t header = 10 + ColourTableSize(data[offset + 9]);
        // The byte after the descriptor and its colour table is the LZW code size.
        const size_t chain = ChainLength(data, size, offset + header + 1);
        if (chain == 0)
            return 0;
        length = header + 1 + chain;
        break;
    }
    case BlockKind::Other: {
        const uint8_t label = data[offset + 1];
        const size_t fixed = label == kApplication ? 14 : label == kPlainText ? 15 : 2;
        const size_t chain = ChainLength(data, size, offset + fixed);
        if (chain == 0)
            return 0;
        length = fixed + chain;
        break;
    }
    }
    return offset + length <= size ? length : 0;
}

std::vector<GIF_FRAME_SPAN> FindGifFrames(const uint8_t* data, size_t size, const GIF_SCREEN& screen)
{
    std::vector<GIF_FRAME_SPAN> frames;
    size_t offset = screen.nFirstBlock;
    GIF_FRAME_SPAN frame;
    bool inFrame = false;
    for (;;) {
        const size_t length = GifBlockLength(data, size, offset);
        if (length == 0)
            break;
        const BlockKind kind = KindAt(data, size, offset);
        if (kind == BlockKind::Trailer)
            break;
        if (kind == BlockKind::GraphicControl) {
            frame = GIF_FRAME_SPAN{};
            frame.nBegin = offset;
            frame.nDisposal = (data[offset + 3] >> 2) & 7;
            frame.nDelay = static_cast<int32_t>(Word(data + offset + 4));
            inFrame = true;
        } else if (kind == BlockKind::Image) {
            if (!inFrame) {
                frame = GIF_FRAME_SPAN{};
                frame.nBegin = offset;
            }
            frame.nLeft = static_cast<int>(Word(data + offset + 1));
            frame.nTop = static_cast<int>(Word(data + offset + 3));
            frame.nWidth = static_cast<int>(Word(data + offset + 5));
            frame.nHeight = static_cast<int>(Word(data + offset + 7));
            frame.nEnd = offset + length;
            frames.push_back(frame);
            inFrame = false;
        }
        offset += length;
    }
    return frames;
}

std::vector<uint8_t> BuildFrameGif(const uint8_t* data, const GIF_SCREEN& screen, const GIF_FRAME_SPAN& frame)
{
    std::vector<uint8_t> gif;
    gif.reserve(screen.nFirstBlock + (frame.nEnd - frame.nBegin) + 1);
    gif.insert(gif.end(), data, data + screen.nFirstBlock);
    gif.insert(gif.end(), data + frame.nBegin, data + frame.nEnd);
    gif.push_back(kTrailer);
    return gif;
}

uint32_t GifFrameWait(int32_t delay)
{
    if (delay < 5)
        return 100;
    return static_cast<uint32_t>(delay) * 10;
}
