#include "framework/gdi.h"

bool DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y)
{
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info))
        return false;
    MemoryDC source(CreateCompatibleDC(dc));
    if (!source)
        return false;
    SelectScope select(source.get(), bitmap);
    return BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY) != FALSE;
}

GdiBitmap LoadBitmapResource(UINT id)
{
    return GdiBitmap(static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

GdiFont CreatePointFont(const char* face, int points)
{
    WindowDC screen(nullptr);
    LOGFONTA font{};
    font.lfHeight = -MulDiv(points * 10, GetDeviceCaps(screen.get(), LOGPIXELSY), 720);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    return GdiFont(CreateFontIndirectA(&font));
}
