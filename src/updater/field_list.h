#pragma once

#include <string>
#include <string_view>
#include <vector>

// A text split on a one-character separator. Empty fields count: n separators give n + 1 fields,
// an empty text gives one empty field. A separator that is not exactly one character gives one
// empty field.
class CFieldList {
public:
    CFieldList(std::string_view text, std::string_view separator);

    int GetCount() const { return m_nCount; }
    // Throws std::out_of_range ("Index out of Bounds") outside 0 .. count - 1.
    const std::string& GetAt(int index) const;
    const std::string& operator[](int index) const { return GetAt(index); }

private:
    int m_nCount = 0;
    std::vector<std::string> m_arrFields;
};
