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
    const bool measuring = (format & DT_CALCRECT) != 0;
    const bool singleLine = (format & DT_SINGLELINE) != 0;
    const bool wordBreak = (format & DT_WORDBREAK) != 0;

    const std::string normalized = NormalizeSlashes(source);

    // The fonts go after the device context has its own font back.
    StyleFonts fonts(dc);
    SavedDCState saved(dc);
    SetBkMode(dc, TRANSPARENT);
    const int lineHeight = Measure(dc, std::string_view(normalized).substr(0, 2)).cy;
    ColourStack colours(GetTextColor(dc));

    unsigned style = 0;
    int x = area.left;
    int y = 0;
    int widest = 0;
    bool spaceBefore = false;
    bool skipSpace = false;
    bool atStart = true;
    const auto newLine = [&](int advance) {
        widest = std::max(widest, static_cast<int>(x - area.left));
        x = area.left;
        y += advance;
        spaceBefore = false;
    };

    for (const MarkupToken& token : TokenizeMarkup(normalized)) {
        if (token.kind == MarkupTokenKind::Space) {
            if (!skipSpace)
                spaceBefore = true;
            continue;
        }
        if (token.kind == MarkupTokenKind::Tag) {
            const MarkupTag tag = ParseMarkupTag(token.text);
            if (tag.kind != MarkupTagKind::Unknown) {
                const bool followedSpace = spaceBefore;
                skipSpace = followedSpace;
                const auto toggle = [&](unsigned bit) { style = tag.closing ? style & ~bit : style | bit; };
                switch (tag.kind) {
                case MarkupTagKind::Bold:
                    toggle(kBold);
                    break;
                case MarkupTagKind::Italic:
                    toggle(kItalic);
                    break;
                case MarkupTagKind::Underline:
                    toggle(kUnderline);
                    break;
                case MarkupTagKind::Subscript:
                    toggle(kSubscript);
                    break;
                case MarkupTagKind::Superscript:
                    toggle(kSuperscript);
                    break;
                case MarkupTagKind::Font:
                    if (tag.closing) {
                        colours.Pop();
                    } else if (uint32_t colour = 0; ParseFontColour(token.text, colour)) {
                        colours.Push(colour);
                    }
                    break;
                case MarkupTagKind::LineBreak:
                    if (!tag.closing) {
                        if (!singleLine)
                            newLine(lineHeight);
                        skipSpace = true;
                    }
                    break;
                case MarkupTagKind::Paragraph:
                    if (!tag.closing) {
                        if (!singleLine && !atStart)
                            newLine(lineHeight * 3 / 2);
                        skipSpace = true;
                    }
                    break;
                case MarkupTagKind::Unknown:
                    break;
                }
                continue;
            }
            if (tag.closing)
                continue;
            // An unknown opening tag is shown as it stands.
        }
        skipSpace = false;
        atStart = false;

        SelectObject(dc, fonts.Get(style));
        const SIZE word = Measure(dc, token.text);
        const int space = spaceBefore ? Measure(dc, " ").cx : 0;
        if (x + space + word.cx > area.right && x > area.left && wordBreak && !singleLine) {
            newLine(lineHeight);
        } else {
            x += space;
        }
        spaceBefore = false;
        if (x + word.cx > area.right)
            area.right = x + word.cx;
        if (!measuring) {
            RECT cell{x, area.top + y, x + word.cx, area.top + y + lineHeight};
            UINT cellFormat = DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP | DT_LEFT;
            cellFormat |= (style & kSubscript) ? DT_BOTTOM : DT_TOP;
            SetTextColor(dc, colours.Current());
            DrawTextA(dc, token.text.data(), static_cast<int>(token.text.size()), &cell, cellFormat);
        }
        x += word.cx;
    }
    widest = std::max(widest, static_cast<int>(x - area.left));

    if (measuring && box) {
        box->right = box->left + widest;
        box->bottom = box->top + y + lineHeight;
    }
    return y;
}
