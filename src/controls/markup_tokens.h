#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The window-free half of the list control's markup renderer: text rules and tokens.

// Backslashes become forward slashes, then every doubled slash a single one.
std::string NormalizeSlashes(std::string_view text);

enum class MarkupTokenKind { Space, Tag, Word };

struct MarkupToken {
    MarkupTokenKind kind;
    std::string_view text;  // a tag includes its "<" and ">" (the ">" is missing at the end of the text)
};

// Runs of white space, tags from "<" to ">", and words (up to white space or "<").
std::vector<MarkupToken> TokenizeMarkup(std::string_view text);

enum class MarkupTagKind { Unknown, Bold, Italic, Underline, Subscript, Superscript, Font, LineBreak, Paragraph };

struct MarkupTag {
    MarkupTagKind kind = MarkupTagKind::Unknown;
    bool closing = false;
};

// Matches the tag's name, case-insensitively and as a prefix, against the known tags.
MarkupTag ParseMarkupTag(std::string_view tag);

// The colour of a "<font color=RRGGBB>" tag (optional quote and "#"), as 0x00BBGGRR; false when
// the tag gives none.
bool ParseFontColour(std::string_view tag, uint32_t& colour);
