#pragma once

#include <windows.h>

#include "framework/handles.h"

// GDI objects: deleted with DeleteObject, or DeleteDC for memory device contexts.
template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};
struct MemoryDCTraits {
    using Type = HDC;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { DeleteDC(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { DestroyIcon(h); }
};

using GdiFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using GdiBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using GdiBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using GdiPen = UniqueHandle<GdiObjectTraits<HPEN>>;
using MemoryDC = UniqueHandle<MemoryDCTraits>;

// Selects an object into a device context for the scope's lifetime.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hOld(object ? SelectObject(dc, object) : nullptr) {}
    ~SelectScope()
    {
        if (m_hOld)
            SelectObject(m_hDC, m_hOld);
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// Saves the whole state of a device context and restores it at the end of the scope.
class SavedDCState {
public:
    explicit SavedDCState(HDC dc) : m_hDC(dc), m_nSaved(SaveDC(dc)) {}
    ~SavedDCState()
    {
        if (m_nSaved)
            RestoreDC(m_hDC, m_nSaved);
    }
    SavedDCState(const SavedDCState&) = delete;
    SavedDCState& operator=(const SavedDCState&) = delete;

private:
    HDC m_hDC;
    int m_nSaved;
};

// GetDC / ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND wnd) : m_hWnd(wnd), m_hDC(GetDC(wnd)) {}
    ~WindowDC()
    {
        if (m_hDC)
            ReleaseDC(m_hWnd, m_hDC);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// BeginPaint / EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND wnd) : m_hWnd(wnd) { m_hDC = BeginPaint(wnd, &m_ps); }
    ~PaintDC() { EndPaint(m_hWnd, &m_ps); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return m_hDC; }
    const RECT& area() const { return m_ps.rcPaint; }

private:
    HWND m_hWnd;
    HDC m_hDC = nullptr;
    PAINTSTRUCT m_ps{};
};

// Copies a whole bitmap unscaled to (x, y); false when it could not be drawn.
bool DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);

// A bitmap resource of the running program; empty when missing.
GdiBitmap LoadBitmapResource(UINT id);

// A font of points in face, as a point font (tenths of points) measures on the screen.
GdiFont CreatePointFont(const char* face, int points);
