#include "controls/markup.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "controls/markup_tokens.h"
#include "framework/gdi.h"

namespace {

enum Style : unsigned { kBold = 1, kItalic = 2, kUnderline = 4, kSubscript = 8, kSuperscript = 16, kStyles = 32 };

// One font per style combination, made on first use from the starting font.
class StyleFonts {
public:
    explicit StyleFonts(HDC dc)
    {
        GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof m_base, &m_base);
    }
    HFONT Get(unsigned style)
    {
        GdiFont& font = m_fonts[style];
        if (!font) {
            LOGFONTA lf = m_base;
            lf.lfWeight = (style & kBold) ? FW_BOLD : FW_NORMAL;
            lf.lfItalic = (style & kItalic) ? TRUE : FALSE;
            lf.lfUnderline = (style & kUnderline) ? TRUE : FALSE;
            if (style & (kSubscript | kSuperscript))
                lf.lfHeight = lf.lfHeight * 7 / 10;
            font.reset(CreateFontIndirectA(&lf));
        }
        return font.get();
    }

private:
    LOGFONTA m_base{};
    std::array<GdiFont, kStyles> m_fonts;
};

class ColourStack {
public:
    explicit ColourStack(COLORREF current) : m_current(current) {}
    COLORREF Current() const { return m_current; }
    void Push(COLORREF colour)
    {
        if (m_nDepth == 0 && !m_bPushedOnce) {
            m_first = m_current;
            m_bPushedOnce = true;
        }
        if (m_nDepth < m_stack.size())
            m_stack[m_nDepth++] = m_current;
        m_current = colour;
    }
    void Pop()
    {
        if (m_nDepth > 0)
            m_current = m_stack[--m_nDepth];
        else if (m_bPushedOnce)
            m_current = m_first;
    }

private:
    COLORREF m_current;
    COLORREF m_first = 0;
    bool m_bPushedOnce = false;
    std::array<COLORREF, 8> m_stack{};
    size_t m_nDepth = 0;
};

SIZE Measure(HDC dc, std::string_view text)
{
    SIZE size{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

// Lays out the words of one text line by line, drawing them unless it only measures.
class MarkupLayout {
public:
    MarkupLayout(HDC dc, const RECT& area, UINT format, int lineHeight, StyleFonts& fonts)
        : m_dc(dc), m_area(area), m_bMeasuring((format & DT_CALCRECT) != 0),
          m_bSingleLine((format & DT_SINGLELINE) != 0), m_bWordBreak((format & DT_WORDBREAK) != 0),
          m_nLineHeight(lineHeight), m_fonts(fonts), m_colours(GetTextColor(dc)), m_x(area.left)
    {
    }

    void Space()
    {
        if (!m_bSkipSpace)
            m_bSpaceBefore = true;
    }

    // False for a tag this markup does not know, which is then shown as text if it opens.
    bool Tag(const MarkupTag& tag, std::string_view text)
    {
        if (tag.kind == MarkupTagKind::Unknown)
            return false;
        m_bSkipSpace = m_bSpaceBefore;
        switch (tag.kind) {
        case MarkupTagKind::Bold:
            Toggle(kBold, tag.closing);
            break;
        case MarkupTagKind::Italic:
            Toggle(kItalic, tag.closing);
            break;
        case MarkupTagKind::Underline:
            Toggle(kUnderline, tag.closing);
            break;
        case MarkupTagKind::Subscript:
            Toggle(kSubscript, tag.closing);
            break;
        case MarkupTagKind::Superscript:
            Toggle(kSuperscript, tag.closing);
            break;
        case MarkupTagKind::Font:
            if (tag.closing) {
                m_colours.Pop();
            } else if (uint32_t colour = 0; ParseFontColour(text, colour)) {
                m_colours.Push(colour);
            }
            break;
        case MarkupTagKind::LineBreak:
            Break(tag.closing, m_nLineHeight, false);
            break;
        case MarkupTagKind::Paragraph:
            Break(tag.closing, m_nLineHeight * 3 / 2, m_bAtStart);
            break;
        case MarkupTagKind::Unknown:
            break;
        }
        return true;
    }

    void Word(std::string_view text)
    {
        m_bSkipSpace = false;
        m_bAtStart = false;
        SelectObject(m_dc, m_fonts.Get(m_style));
        const SIZE word = Measure(m_dc, text);
        const int space = m_bSpaceBefore ? Measure(m_dc, " ").cx : 0;
        if (m_x + space + word.cx > m_area.right && m_x > m_area.left && m_bWordBreak && !m_bSingleLine)
            NewLine(m_nLineHeight);
        else
            m_x += space;
        m_bSpaceBefore = false;
        if (m_x + word.cx > m_area.right)
            m_area.right = m_x + word.cx;
        if (!m_bMeasuring) {
            RECT cell{m_x, m_area.top + m_y, m_x + word.cx, m_area.top + m_y + m_nLineHeight};
            UINT cellFormat = DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP | DT_LEFT;
            cellFormat |= (m_style & kSubscript) ? DT_BOTTOM : DT_TOP;
            SetTextColor(m_dc, m_colours.Current());
            DrawTextA(m_dc, text.data(), static_cast<int>(text.size()), &cell, cellFormat);
        }
        m_x += word.cx;
    }

    // The height above the last line, and the box the text took when measuring.
    int Finish(RECT* box)
    {
        m_nWidest = std::max(m_nWidest, static_cast<int>(m_x - m_area.left));
        if (m_bMeasuring && box) {
            box->right = box->left + m_nWidest;
            box->bottom = box->top + m_y + m_nLineHeight;
        }
        return m_y;
    }

private:
    void Toggle(unsigned bit, bool closing) { m_style = closing ? m_style & ~bit : m_style | bit; }

    void Break(bool closing, int advance, bool suppressed)
    {
        if (closing)
            return;
        if (!m_bSingleLine && !suppressed)
            NewLine(advance);
        m_bSkipSpace = true;
    }

    void NewLine(int advance)
    {
        m_nWidest = std::max(m_nWidest, static_cast<int>(m_x - m_area.left));
        m_x = m_area.left;
        m_y += advance;
        m_bSpaceBefore = false;
    }

    HDC m_dc;
    RECT m_area;
    const bool m_bMeasuring;
    const bool m_bSingleLine;
    const bool m_bWordBreak;
    const int m_nLineHeight;
    StyleFonts& m_fonts;
    ColourStack m_colours;
    unsigned m_style = 0;
    int m_x;
    int m_y = 0;
    int m_nWidest = 0;
    bool m_bSpaceBefore = false;
    bool m_bSkipSpace = false;
    bool m_bAtStart = true;
};

} // namespace

int RenderMarkup(const char* text, int length, RECT* box, UINT format, HDC dc)
{
    if (!text || !dc)
        return 0;
    const std::string_view source = length < 0 ? std::string_view(text) : std::string_view(text, length);

    RECT area{};
    if (box) {
        area = *box;
    } else {
        POINT pos{};
        GetCurrentPositionEx(dc, &pos);
        area = {pos.x, pos.y, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
    }
    format &= ~(DT_CENTER | DT_RIGHT | DT_EXPANDTABS);
    format |= DT_NOPREFIX;
    const std::string normalized = NormalizeSlashes(source);

    // The fonts go after the device context has its own font back.
    StyleFonts fonts(dc);
    SavedDCState saved(dc);
    SetBkMode(dc, TRANSPARENT);
    const int lineHeight = Measure(dc, std::string_view(normalized).substr(0, 2)).cy;
    MarkupLayout layout(dc, area, format, lineHeight, fonts);
    for (const MarkupToken& token : TokenizeMarkup(normalized)) {
        if (token.kind == MarkupTokenKind::Space) {
            layout.Space();
            continue;
        }
        if (token.kind == MarkupTokenKind::Tag) {
            const MarkupTag tag = ParseMarkupTag(token.text);
            // An unknown closing tag is dropped; an unknown opening tag is shown as it stands.
            if (layout.Tag(tag, token.text) || tag.closing)
                continue;
        }
        layout.Word(token.text);
    }
    return layout.Finish(box);
}
