#pragma once

#include <string>
#include <string_view>

// Letter case of 8-bit text in the system's ANSI code page. Double-byte characters are left whole:
// their trail bytes are never changed, even where they look like ASCII letters.
class CAnsiCase {
public:
    // The tables of the current ANSI code page, built once per process.
    static const CAnsiCase& System();

    // Builds the tables from explicit lead-byte and lower-case maps (code-page independent tests).
    CAnsiCase(const bool leadBytes[256], const unsigned char lower[256]);

    bool IsLeadByte(unsigned char c) const { return m_abLead[c]; }
    bool HasLeadBytes() const { return m_bDoubleByte; }
    unsigned char LowerByte(unsigned char c) const { return m_abLower[c]; }

    std::string Lower(std::string_view text) const;

private:
    bool m_abLead[256];
    unsigned char m_abLower[256];
    bool m_bDoubleByte;
};
