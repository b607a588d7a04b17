#pragma once

#include <string>

// The three status lines of an update check (1 program, 2 definitions, 3 general) as one text for
// one label: the last text given for a line replaces the earlier one.
class CStatusLines {
public:
    // Lines outside 1..3 are ignored.
    void Set(int line, const std::string& text);
    void Clear();
    // The lines in order, one per row; blank lines and a text already shown above are left out
    // (an error or an up-to-date notice arrives on two lines at once).
    std::string Text() const;

private:
    std::string m_strLines[3];
};
