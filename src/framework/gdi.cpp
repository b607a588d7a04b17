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
