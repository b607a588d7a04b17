#include "screenshot.h"

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "framework/gdi.h"
#include "update_fixture.h"

namespace {

void PutBig32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    PutBig32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

} // namespace

bool SaveScreenshot(HWND wnd, const std::string& name)
{
    RECT box{};
    if (!GetWindowRect(wnd, &box))
        return false;
    // Everything the window still has to paint is painted first.
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    HDC screen = GetDC(nullptr);
    MemoryDC memory(CreateCompatibleDC(screen));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    GdiBitmap bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool copied = false;
    if (memory && bitmap) {
        SelectScope select(memory.get(), bitmap.get());
        copied = BitBlt(memory.get(), 0, 0, width, height, screen, box.left, box.top, SRCCOPY) != FALSE;
    }
    ReleaseDC(nullptr, screen);
    if (!copied)
        return false;

    // Rows of filter byte 0 and RGB pixels.
    std::string raw;
    const auto* pixels = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x) {
            const uint8_t* bgra = pixels + (static_cast<size_t>(y) * width + x) * 4;
            raw += static_cast<char>(bgra[2]);
            raw += static_cast<char>(bgra[1]);
            raw += static_cast<char>(bgra[0]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<Bytef> packed(packedSize);
    if (compress(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size())) != Z_OK)
        return false;

    std::string header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
    PutChunk(png, "IEND", "");

    const std::string folder = DosPath(HIVORA_SCREENSHOTS);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::ofstream file(folder + "\\" + name + ".png", std::ios::binary);
    file.write(png.data(), static_cast<std::streamsize>(png.size()));
    return file.good();
}
