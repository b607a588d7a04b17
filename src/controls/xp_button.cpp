#include "controls/xp_button.h"

#include <string>

#include "controls/memdc.h"

namespace {

std::string WindowText(HWND wnd)
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(wnd)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(wnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A disabled button shows its face paled towards white.
void WashOut(HDC dc, const RECT& area)
{
    MemoryDC white(CreateCompatibleDC(dc));
    GdiBitmap pixel(CreateCompatibleBitmap(dc, 1, 1));
    if (!white || !pixel)
        return;
    SelectScope select(white.get(), pixel.get());
    SetPixel(white.get(), 0, 0, RGB(255, 255, 255));
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 150, 0};
    AlphaBlend(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, white.get(), 0, 0, 1, 1,
               blend);
}

} // namespace

bool CXPButton::SetBitmaps(UINT normalId, UINT hotId, UINT pressedId)
{
    m_normal = LoadBitmapResource(normalId);
    m_hot = LoadBitmapResource(hotId);
    m_pressed = LoadBitmapResource(pressedId);
    m_bLoaded = m_normal && m_hot && m_pressed;
    Invalidate();
    return m_bLoaded;
}

void CXPButton::SetCaptionMode(bool on, COLORREF colour)
{
    m_bCaptionMode = on;
    m_clrCaption = colour;
    Invalidate();
}

void CXPButton::SetGlyph(HBITMAP glyph, COLORREF transparent)
{
    m_hGlyph = glyph;
    m_clrGlyphTransparent = transparent;
    BITMAP info{};
    if (glyph && GetObjectA(glyph, sizeof info, &info)) {
        m_nGlyphWidth = info.bmWidth;
        m_nGlyphHeight = info.bmHeight;
    } else {
        m_hGlyph = nullptr;
        m_nGlyphWidth = m_nGlyphHeight = 0;
    }
    Invalidate();
}

void CXPButton::OnAttached()
{
    const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    SetWindowLongPtrA(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
}

bool CXPButton::Bind(HWND dialog, int id, UINT normalId, UINT hotId, UINT pressedId)
{
    if (!SubclassDlgItem(id, dialog))
        return false;
    m_bCaptionInBitmap = true;
    if (!SetBitmaps(normalId, hotId, pressedId ? pressedId : normalId))
        return false;
    // The picture is the button: the window takes its size, so that no edge of it is cut off (a
    // template's dialog units rarely map to its pixels exactly) and no margin is left unpainted.
    BITMAP info{};
    if (GetObjectA(m_normal.get(), sizeof info, &info))
        SetWindowPos(m_hWnd, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

LRESULT CXPButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_LBUTTONDBLCLK:
        // An owner-drawn button reports a quick second click as BN_DOUBLECLICKED; here it is a
        // click like any other.
        return Default(WM_LBUTTONDOWN, wParam, lParam);
    case WM_GETDLGCODE: {
        // An owner-drawn button tells the dialog manager only that it is a button, and Enter would
        // become the dialog's IDOK; it takes Enter itself and is pressed like a push button.
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        LRESULT code = Default(msg, wParam, lParam);
        if (message && (message->message == WM_KEYDOWN || message->message == WM_CHAR) &&
            message->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            if (IsWindowEnabled(m_hWnd))
                SendMessageA(GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED),
                             reinterpret_cast<LPARAM>(m_hWnd));
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == VK_RETURN)
            return 0;
        break;
    case WM_REFLECT_DRAWITEM:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_MOUSEMOVE:
        if (!m_bTracking) {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof track;
            track.dwFlags = TME_HOVER | TME_LEAVE;
            track.hwndTrack = m_hWnd;
            track.dwHoverTime = 1;
            m_bTracking = TrackMouseEvent(&track) != FALSE;
        }
        break;
    case WM_MOUSEHOVER:
        m_bHover = true;
        InvalidateRect(m_hWnd, nullptr, TRUE);
        break;
    case WM_MOUSELEAVE:
        m_bHover = false;
        m_bTracking = false;
        InvalidateRect(m_hWnd, nullptr, TRUE);
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

void CXPButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    if (!m_bLoaded)
        return;
    m_bLastFocus = (item.itemState & ODS_FOCUS) != 0;
    m_bLastPressed = (item.itemState & ODS_SELECTED) != 0;
    CMemDC dc(item.hDC, &item.rcItem);

    HBITMAP face = m_normal.get();
    if (item.itemState & (ODS_SELECTED | ODS_DEFAULT))
        face = m_pressed.get();
    else if ((item.itemState & ODS_FOCUS) || m_bHover)
        face = m_hot.get();
    DrawBitmap(dc, face, item.rcItem.left, item.rcItem.top);
    if (item.itemState & ODS_DISABLED)
        WashOut(dc, item.rcItem);

    RECT client = item.rcItem;
    // A caption the bitmap shows already is not painted again.
    const std::string text = m_bCaptionInBitmap ? std::string() : WindowText(m_hWnd);
    SetBkMode(dc, TRANSPARENT);
    if (m_bCaptionMode) {
        if (!text.empty()) {
            const auto parentFont = reinterpret_cast<HFONT>(SendMessageA(GetParent(m_hWnd), WM_GETFONT, 0, 0));
            SelectScope font(dc, parentFont);
            SetTextColor(dc, m_clrCaption);
            DrawTextA(dc, text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    } else if (!text.empty()) {
        GdiFont arial(CreateFontA(20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
        SelectScope font(dc, arial.get());
        SetTextColor(dc, RGB(255, 0, 0));
        DrawTextA(dc, text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

    if (m_hGlyph) {
        MemoryDC glyphDC(CreateCompatibleDC(dc));
        SelectScope select(glyphDC.get(), m_hGlyph);
        const int height = client.bottom - client.top;
        const int top = client.top + (m_nGlyphHeight < height ? (height - m_nGlyphHeight) / 2 : 0);
        TransparentBlt(dc, client.left + 12, top, m_nGlyphWidth, m_nGlyphHeight, glyphDC.get(), 0, 0, m_nGlyphWidth,
                       m_nGlyphHeight, m_clrGlyphTransparent);
    }

    // The hot face alone also marks the mouse: the focus gets the system's focus rectangle too,
    // whatever the keyboard cues say, so that it is always seen.
    if (item.itemState & ODS_FOCUS) {
        RECT mark = item.rcItem;
        InflateRect(&mark, -3, -3);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        DrawFocusRect(dc, &mark);
    }
}
