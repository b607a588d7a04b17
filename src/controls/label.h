#pragma once

#include <windows.h>

#include <string>

#include "framework/gdi.h"
#include "framework/window.h"

// The notification codes a label sends its parent (WM_NOTIFY with an NMHDR).
enum LABEL_NOTIFY : UINT {
    LABEL_CLICKED = 0x8200,
    LABEL_MOUSE_ENTER = 0x8201,
    LABEL_MOUSE_LEAVE = 0x8202,
};

// A static text control with its own font and colours, transparency, flashing, raised or sunken
// text, rotated text, and a link mode that opens a web or mail address when clicked.
class CLabel : public CWindow {
public:
    CLabel();
    ~CLabel() override;

    virtual CLabel& SetBackColour(COLORREF colour, COLORREF value = 0, BOOL flag = FALSE);
    virtual CLabel& SetForeColour(COLORREF colour);
    virtual CLabel& SetCaption(const std::string& text);
    virtual CLabel& SetBold(bool on);
    virtual CLabel& SetFaceName(const std::string& name, BYTE charSet = DEFAULT_CHARSET);
    virtual CLabel& SetUnderline(bool on);
    virtual CLabel& SetItalic(bool on);
    virtual CLabel& SetPointSize(int points);
    virtual CLabel& SetSunkenEdge(bool on);
    virtual CLabel& SetThinBorder(bool on);
    virtual CLabel& SetTransparentBack(bool on);
    virtual CLabel& SetTextFlash(bool on);
    virtual CLabel& SetBackFlash(bool on);
    virtual CLabel& SetWebLink(bool on, bool notify);
    virtual CLabel& SetHandCursor(HCURSOR cursor);
    virtual CLabel& SetRaisedText(bool on, bool sunken);
    virtual CLabel& SetAngle(int degrees, bool on);
    virtual CLabel& SetRaisedTextColour(COLORREF colour);
    virtual CLabel& SetLogFont(const LOGFONTA& font);
    virtual CLabel& SetMailLink(bool on, bool notify);
    virtual CLabel& SetLinkTarget(const std::string& target);

    void SetEraseColour(COLORREF colour);
    const LOGFONTA& GetLogFont() const { return m_lf; }
    COLORREF GetForeColour() const { return m_clrText; }
    bool IsHovering() const { return m_bHover; }

protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    enum FlashMode { kFlashNone = 0, kFlashText = 1, kFlashBack = 2 };
    enum LinkMode { kLinkNone = 0, kLinkWeb = 1, kLinkMail = 2 };

    CLabel& Changed();
    void RemakeFont();
    void ChangeStyle(bool add, LONG_PTR bits, bool extended);
    void StartFlash(FlashMode mode, bool on);
    void OnPaint();
    void OnMouseMove(POINT point);
    void OnLButtonDown();
    void NotifyParent(UINT code) const;
    std::string Text() const;

    COLORREF m_clrText;
    COLORREF m_clrHighlight = RGB(255, 255, 255);
    COLORREF m_clrHover = RGB(0, 0, 255);
    COLORREF m_clrErase;
    GdiBrush m_backBrush;
    COLORREF m_clrBack;
    COLORREF m_clrBackValue = 0;
    BOOL m_bBackFlag = FALSE;
    bool m_bOwnBackColour = false;
    LOGFONTA m_lf{};
    GdiFont m_font;
    bool m_bTransparent = false;
    bool m_bFlashDark = false;
    FlashMode m_nFlashMode = kFlashNone;
    LinkMode m_nLinkMode = kLinkNone;
    bool m_bNotify = true;
    bool m_b3dText = false;
    bool m_bSunken = false;
    bool m_bRotation = false;
    bool m_bHover = false;
    HCURSOR m_hLinkCursor = nullptr;
    std::string m_strLinkTarget;
    std::string m_strText;
};

// Makes a label a transparent text in one face, size and colour, with the erase colour given.
void StyleLabel(CLabel& label, const std::string& face, int points, COLORREF colour, COLORREF erase);
