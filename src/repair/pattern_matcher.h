#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "repair/ansi_case.h"

// Finds whether any of a fixed set of text fragments occurs in a text, in one pass over the text
// (Aho-Corasick automaton). The text is compared in lower case as textCase lowers it, and a
// fragment never matches from the second byte of a double-byte character; so the result is that
// of lower-casing the text and running a multibyte-aware substring search for every fragment.
class CPatternMatcher {
public:
    // patterns must already be in the lower case of textCase; empty ones are ignored.
    CPatternMatcher(const std::vector<std::string>& patterns, const CAnsiCase& textCase);

    bool ContainsAny(std::string_view text) const;

private:
    uint32_t Next(uint32_t state, unsigned char c) const { return m_anNext[state * m_nClasses + m_anClass[c]]; }
    bool StartsOnBoundary(const std::vector<bool>& trail, size_t end, uint32_t state) const;

    const CAnsiCase& m_case;
    uint8_t m_anClass[256] = {};     // byte -> column of the transition table; 0 for bytes in no pattern
    uint32_t m_nClasses = 1;
    std::vector<uint32_t> m_anNext;  // state * m_nClasses + class -> state
    std::vector<uint32_t> m_anDepth; // length of the text that leads to the state
    std::vector<uint8_t> m_abEnd;    // a fragment ends exactly at this state
    std::vector<uint32_t> m_anOut;   // the nearest shorter suffix state where a fragment ends; 0 for none
    std::vector<uint8_t> m_abHit;    // any fragment ends here (m_abEnd or m_anOut)
};
