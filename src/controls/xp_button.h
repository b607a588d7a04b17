#pragma once

#include <windows.h>

#include "framework/gdi.h"
#include "framework/window.h"

// A push button drawn from three bitmaps (normal, hot, pressed) that follows the mouse.
class CXPButton : public CWindow {
public:
    CXPButton() = default;

    // Frees bitmaps loaded before and loads the three bitmap resources; false when one is missing.
    bool SetBitmaps(UINT normalId, UINT hotId, UINT pressedId);
    // Takes over the dialog's button id, gives it its bitmaps (the pressed form defaults to the
    // normal one) and the normal bitmap's size. Its bitmaps carry the caption: the window text is only
    // its name (with its access key), for the keyboard and screen readers, and is not painted.
    bool Bind(HWND dialog, int id, UINT normalId, UINT hotId, UINT pressedId = 0);
    // Draws the window text in colour with the parent's font instead of the default red Arial.
    void SetCaptionMode(bool on, COLORREF colour = RGB(7, 78, 140));
    // A bitmap drawn at the left, with colour transparent; the object does not take ownership.
    void SetGlyph(HBITMAP glyph, COLORREF transparent);

    bool IsHovering() const { return m_bHover; }

protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void DrawItem(const DRAWITEMSTRUCT& item);

    GdiBitmap m_normal;
    GdiBitmap m_hot;
    GdiBitmap m_pressed;
    bool m_bLoaded = false;
    bool m_bHover = false;
    bool m_bTracking = false;
    bool m_bLastFocus = false;
    bool m_bLastPressed = false;
    bool m_bCaptionMode = false;
    bool m_bCaptionInBitmap = false;
    COLORREF m_clrCaption = RGB(7, 78, 140);
    HBITMAP m_hGlyph = nullptr;
    int m_nGlyphWidth = 0;
    int m_nGlyphHeight = 0;
    COLORREF m_clrGlyphTransparent = 0;
};
