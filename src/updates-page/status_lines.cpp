#include "updates-page/status_lines.h"

void CStatusLines::Set(int line, const std::string& text)
{
    if (line >= 1 && line <= 3)
        m_strLines[line - 1] = text;
}

void CStatusLines::Clear()
{
    for (std::string& line : m_strLines)
        line.clear();
}

std::string CStatusLines::Text() const
{
    std::string text;
    for (int i = 0; i < 3; ++i) {
        const std::string& line = m_strLines[i];
        if (line.find_first_not_of(' ') == std::string::npos)
            continue;
        bool shown = false;
        for (int above = 0; above < i; ++above)
            shown = shown || m_strLines[above] == line;
        if (shown)
            continue;
        if (!text.empty())
            text += "\r\n";
        text += line;
    }
    return text;
}
