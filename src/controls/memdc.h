#pragma once

#include <windows.h>

#include "framework/gdi.h"

// An off-screen device context over the target's clip box (or the area given). Drawing goes to a
// bitmap that is copied to the target when the object is destroyed; when printing it draws
// straight onto the target.
class CMemDC {
public:
    explicit CMemDC(HDC target, const RECT* area = nullptr);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    const RECT& GetRect() const { return m_rect; }

private:
    HDC m_hTarget;
    HDC m_hDC;
    MemoryDC m_memory;
    GdiBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr;
    RECT m_rect{};
};
