#include "repair/ansi_case.h"

CAnsiCase::CAnsiCase(const bool leadBytes[256], const unsigned char lower[256]) : m_bDoubleByte(false)
{
    for (int c = 0; c < 256; ++c) {
        m_abLead[c] = leadBytes[c];
        m_abLower[c] = lower[c];
        m_bDoubleByte = m_bDoubleByte || leadBytes[c];
    }
}

std::string CAnsiCase::Lower(std::string_view text) const
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (m_abLead[c] && i + 1 < out.size())
            ++i;
        else
            out[i] = static_cast<char>(m_abLower[c]);
    }
    return out;
}
