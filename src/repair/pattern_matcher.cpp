#include "repair/pattern_matcher.h"

#include <deque>

CPatternMatcher::CPatternMatcher(const std::vector<std::string>& patterns, const CAnsiCase& textCase)
    : m_case(textCase)
{
    for (const std::string& pattern : patterns)
        for (char c : pattern) {
            auto& cls = m_anClass[static_cast<unsigned char>(c)];
            if (cls == 0)
                cls = static_cast<uint8_t>(m_nClasses++);
        }

    // The trie first: its edges are the only non-zero entries of the table so far.
    auto addState = [this](uint32_t depth) {
        m_anNext.resize(m_anNext.size() + m_nClasses, 0);
        m_anDepth.push_back(depth);
        m_abEnd.push_back(0);
        m_anOut.push_back(0);
        m_abHit.push_back(0);
        return static_cast<uint32_t>(m_anDepth.size() - 1);
    };
    addState(0);
    for (const std::string& pattern : patterns) {
        if (pattern.empty())
            continue;
        uint32_t state = 0;
        for (char c : pattern) {
            const size_t slot = state * m_nClasses + m_anClass[static_cast<unsigned char>(c)];
            if (m_anNext[slot] == 0) {
                const uint32_t child = addState(m_anDepth[state] + 1);
                m_anNext[slot] = child;
            }
            state = m_anNext[slot];
        }
        m_abEnd[state] = 1;
    }

    // Breadth first: each state's failure state is shallower and therefore complete when needed.
    std::vector<uint32_t> fail(m_anDepth.size(), 0);
    std::deque<uint32_t> queue;
    for (uint32_t cls = 0; cls < m_nClasses; ++cls)
        if (const uint32_t child = m_anNext[cls])
            queue.push_back(child);
    while (!queue.empty()) {
        const uint32_t state = queue.front();
        queue.pop_front();
        const uint32_t f = fail[state];
        m_anOut[state] = m_abEnd[f] ? f : m_anOut[f];
        m_abHit[state] = m_abEnd[state] || m_anOut[state] != 0;
        for (uint32_t cls = 0; cls < m_nClasses; ++cls) {
            uint32_t& slot = m_anNext[state * m_nClasses + cls];
            const uint32_t viaFail = m_anNext[f * m_nClasses + cls];
            if (slot != 0) {
                fail[slot] = viaFail;
                queue.push_back(slot);
            } else {
                slot = viaFail;
            }
        }
    }
}

bool CPatternMatcher::StartsOnBoundary(const std::vector<bool>& trail, size_t end, uint32_t state) const
{
    for (uint32_t s = m_abEnd[state] ? state : m_anOut[state]; s != 0; s = m_anOut[s])
        if (!trail[end + 1 - m_anDepth[s]])
            return true;
    return false;
}

bool CPatternMatcher::ContainsAny(std::string_view text) const
{
    const bool doubleByte = m_case.HasLeadBytes();
    std::vector<bool> trail;
    if (doubleByte)
        trail.resize(text.size(), false);
    uint32_t state = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (doubleByte && m_case.IsLeadByte(c) && i + 1 < text.size()) {
            // A double-byte character goes in unchanged, both bytes.
            state = Next(state, c);
            if (m_abHit[state] && StartsOnBoundary(trail, i, state))
                return true;
            trail[++i] = true;
            c = static_cast<unsigned char>(text[i]);
        } else {
            c = m_case.LowerByte(c);
        }
        state = Next(state, c);
        if (m_abHit[state] && (!doubleByte || StartsOnBoundary(trail, i, state)))
            return true;
    }
    return false;
}
