#include "updater/field_list.h"

#include <stdexcept>
#include <utility>

CFieldList::CFieldList(std::string_view text, std::string_view separator)
{
    if (separator.size() != 1) {
        m_arrFields.emplace_back();
        m_nCount = 1;
        return;
    }
    std::string field;
    for (const char c : text) {
        if (c == separator[0])
            m_arrFields.push_back(std::exchange(field, std::string()));
        else
            field += c;
    }
    m_arrFields.push_back(std::move(field));
    m_nCount = static_cast<int>(m_arrFields.size());
}

const std::string& CFieldList::GetAt(int index) const
{
    if (index < 0 || index >= m_nCount)
        throw std::out_of_range("Index out of Bounds");
    return m_arrFields[static_cast<size_t>(index)];
}
