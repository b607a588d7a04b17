#include "controls/label.h"

#include <shellapi.h>
#include <windowsx.h>

namespace {

constexpr UINT_PTR kFlashTimer = 1;
constexpr UINT kFlashPeriod = 500;

} // namespace

CLabel::CLabel()
    : m_clrText(GetSysColor(COLOR_WINDOWTEXT)),
      m_clrErase(GetSysColor(COLOR_BTNFACE)),
      m_backBrush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))),
      m_clrBack(GetSysColor(COLOR_BTNFACE))
{
}

CLabel::~CLabel() = default;

void CLabel::OnAttached()
{
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    if (!dialogFont)
        dialogFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GetObjectA(dialogFont, sizeof m_lf, &m_lf);
    m_font.reset(CreateFontIndirectA(&m_lf));
}

std::string CLabel::Text() const
{
    if (!m_hWnd)
        return m_strText;
    std::string text(static_cast<size_t>(GetWindowTextLengthA(m_hWnd)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

CLabel& CLabel::Changed()
{
    if (!m_hWnd)
        return *this;
    if (m_bTransparent) {
        // The parent draws what lies under a transparent label.
        RECT area{};
        GetWindowRect(m_hWnd, &area);
        const HWND parent = GetParent(m_hWnd);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
        InvalidateRect(parent, &area, TRUE);
        UpdateWindow(parent);
    }
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return *this;
}

void CLabel::RemakeFont()
{
    m_font.reset(CreateFontIndirectA(&m_lf));
}

void CLabel::ChangeStyle(bool add, LONG_PTR bits, bool extended)
{
    if (!m_hWnd)
        return;
    const int index = extended ? GWL_EXSTYLE : GWL_STYLE;
    const LONG_PTR style = GetWindowLongPtrA(m_hWnd, index);
    SetWindowLongPtrA(m_hWnd, index, add ? style | bits : style & ~bits);
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

CLabel& CLabel::SetBackColour(COLORREF colour, COLORREF value, BOOL flag)
{
    m_clrBack = colour;
    m_clrBackValue = value;
    m_bBackFlag = flag;
    if (!flag) {
        m_backBrush.reset(CreateSolidBrush(colour));
        m_bOwnBackColour = true;
    }
    return Changed();
}

CLabel& CLabel::SetForeColour(COLORREF colour)
{
    m_clrText = colour;
    return Changed();
}

CLabel& CLabel::SetCaption(const std::string& text)
{
    if (!m_hWnd)
        return *this;
    m_strText = text;
    SetWindowTextA(m_hWnd, text.c_str());  // repaints through WM_SETTEXT
    return *this;
}

CLabel& CLabel::SetBold(bool on)
{
    m_lf.lfWeight = on ? FW_BOLD : FW_NORMAL;
    RemakeFont();
    return Changed();
}

CLabel& CLabel::SetFaceName(const std::string& name, BYTE charSet)
{
    lstrcpynA(m_lf.lfFaceName, name.c_str(), LF_FACESIZE);
    m_lf.lfCharSet = charSet;
    RemakeFont();
    return Changed();
}

CLabel& CLabel::SetUnderline(bool on)
{
    m_lf.lfUnderline = on;
    RemakeFont();
    return Changed();
}

CLabel& CLabel::SetItalic(bool on)
{
    m_lf.lfItalic = on;
    RemakeFont();
    return Changed();
}

CLabel& CLabel::SetPointSize(int points)
{
    // A point font of points * 10 tenths in the current face, measured on the screen.
    HDC screen = GetDC(nullptr);
    POINT size{0, MulDiv(points * 10, GetDeviceCaps(screen, LOGPIXELSY), 720)};
    ReleaseDC(nullptr, screen);
    m_lf.lfHeight = -size.y;
    m_lf.lfWidth = 0;
    RemakeFont();
    return Changed();
}

CLabel& CLabel::SetSunkenEdge(bool on)
{
    ChangeStyle(on, WS_EX_STATICEDGE, true);
    return Changed();
}

CLabel& CLabel::SetThinBorder(bool on)
{
    ChangeStyle(on, WS_BORDER, false);
    return Changed();
}

CLabel& CLabel::SetTransparentBack(bool on)
{
    m_bTransparent = on;
    ChangeStyle(on, WS_EX_TRANSPARENT, true);
    return Changed();
}

void CLabel::StartFlash(FlashMode mode, bool on)
{
    if (m_hWnd)
        KillTimer(m_hWnd, kFlashTimer);
    m_nFlashMode = kFlashNone;
    m_bFlashDark = false;
    if (on && m_hWnd) {
        m_nFlashMode = mode;
        SetTimer(m_hWnd, kFlashTimer, kFlashPeriod, nullptr);
    }
}

CLabel& CLabel::SetTextFlash(bool on)
{
    StartFlash(kFlashText, on);
    return Changed();
}

CLabel& CLabel::SetBackFlash(bool on)
{
    StartFlash(kFlashBack, on);
    return Changed();
}

CLabel& CLabel::SetWebLink(bool on, bool notify)
{
    m_nLinkMode = on ? kLinkWeb : kLinkNone;
    m_bNotify = notify;
    ChangeStyle(on, SS_NOTIFY, false);
    return Changed();
}

CLabel& CLabel::SetHandCursor(HCURSOR cursor)
{
    m_hLinkCursor = cursor;
    return Changed();
}

CLabel& CLabel::SetRaisedText(bool on, bool sunken)
{
    m_b3dText = on;
    m_bSunken = sunken;
    return Changed();
}

CLabel& CLabel::SetAngle(int degrees, bool on)
{
    m_lf.lfEscapement = m_lf.lfOrientation = degrees * 10;
    m_bRotation = on;
    RemakeFont();
    return Changed();
}

CLabel& CLabel::SetRaisedTextColour(COLORREF colour)
{
    m_clrHighlight = colour;
    return Changed();
}

CLabel& CLabel::SetLogFont(const LOGFONTA& font)
{
    m_lf = font;
    RemakeFont();
    return Changed();
}

CLabel& CLabel::SetMailLink(bool on, bool notify)
{
    m_nLinkMode = on ? kLinkMail : kLinkNone;
    m_bNotify = notify;
    ChangeStyle(on, SS_NOTIFY, false);
    return Changed();
}

CLabel& CLabel::SetLinkTarget(const std::string& target)
{
    m_strLinkTarget = target;
    return *this;
}

void CLabel::SetEraseColour(COLORREF colour)
{
    m_clrErase = colour;
}

void CLabel::NotifyParent(UINT code) const
{
    NMHDR record{};
    record.hwndFrom = m_hWnd;
    record.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(m_hWnd));
    record.code = code;
    SendMessageA(GetParent(m_hWnd), WM_NOTIFY, record.idFrom, reinterpret_cast<LPARAM>(&record));
}

LRESULT CLabel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        if (!m_bTransparent) {
            RECT client{};
            GetClientRect(m_hWnd, &client);
            GdiBrush brush(CreateSolidBrush(m_clrErase));
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush.get());
        }
        return 1;
    case WM_TIMER:
        if (wParam == kFlashTimer) {
            m_bFlashDark = !m_bFlashDark;
            Changed();
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        return 0;
    case WM_LBUTTONDBLCLK:
        // The static class turns a quick second click into a double click: for a caption that
        // toggles its box it is a click like the first. A link opens once.
        if (m_bNotify) {
            OnLButtonDown();
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (m_hLinkCursor) {
            SetCursor(m_hLinkCursor);
            return TRUE;
        }
        break;
    case WM_SYSCOLORCHANGE:
        if (!m_bOwnBackColour) {
            m_clrBack = GetSysColor(COLOR_BTNFACE);
            m_backBrush.reset(CreateSolidBrush(m_clrBack));
        }
        break;
    case WM_SETTEXT: {
        const LRESULT result = Default(msg, wParam, lParam);
        Changed();
        return result;
    }
    case WM_DESTROY:
        KillTimer(m_hWnd, kFlashTimer);
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

void CLabel::OnPaint()
{
    PaintDC paint(m_hWnd);
    HDC dc = paint.get();
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const std::string text = Text();

    SetBkMode(dc, TRANSPARENT);
    COLORREF colour = (m_bHover && !m_bNotify) ? m_clrHover : m_clrText;
    if (m_nFlashMode == kFlashText && m_bFlashDark)
        colour = m_clrBack;
    SetTextColor(dc, colour);
    SelectScope font(dc, m_font.get());

    const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    const LONG_PTR align = style & SS_TYPEMASK;
    UINT format = DT_WORDBREAK;
    if (align == SS_CENTER)
        format = DT_CENTER | DT_WORDBREAK;
    else if (align == SS_RIGHT)
        format = DT_RIGHT | DT_WORDBREAK;
    else if (align == SS_LEFTNOWORDWRAP)
        format = 0;
    if (text.find('\t') != std::string::npos)
        format |= DT_EXPANDTABS;
    if (style & SS_CENTERIMAGE) {
        format = text.find("\r\n") == std::string::npos ? DT_CENTER | DT_VCENTER | DT_SINGLELINE : DT_CENTER;
    }
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;

    if (m_bRotation) {
        const UINT oldAlign = SetTextAlign(dc, TA_BASELINE | TA_CENTER);
        POINT oldOrigin{};
        SetViewportOrgEx(dc, client.right / 2, client.bottom / 2, &oldOrigin);
        TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
        SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
        SetTextAlign(dc, oldAlign);
        return;
    }
    DrawTextA(dc, text.c_str(), -1, &client, format);
    if (m_b3dText) {
        const int offset = m_bSunken ? 1 : -1;
        RECT shifted = client;
        OffsetRect(&shifted, offset, offset);
        SetTextColor(dc, m_clrHighlight);
        DrawTextA(dc, text.c_str(), -1, &shifted, format);
    }
}

void CLabel::OnMouseMove(POINT point)
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    if (!m_bHover) {
        SetCapture(m_hWnd);
        m_bHover = true;
        NotifyParent(LABEL_MOUSE_ENTER);
        Changed();
    } else if (!PtInRect(&client, point)) {
        ReleaseCapture();
        m_bHover = false;
        NotifyParent(LABEL_MOUSE_LEAVE);
        Changed();
    }
}

void CLabel::OnLButtonDown()
{
    ReleaseCapture();
    if (m_bNotify) {
        NotifyParent(LABEL_CLICKED);
        return;
    }
    if (m_nLinkMode == kLinkWeb) {
        const std::string target = m_strLinkTarget.empty() ? Text() : m_strLinkTarget;
        ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } else if (m_nLinkMode == kLinkMail) {
        const std::string target = "mailto:" + Text();
        ShellExecuteA(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

void StyleLabel(CLabel& label, const std::string& face, int points, COLORREF colour, COLORREF erase)
{
    label.SetTransparentBack(true).SetFaceName(face, 0).SetPointSize(points).SetForeColour(colour);
    label.SetEraseColour(erase);
}
