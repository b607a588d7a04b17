#include "cli/report_format.h"

#include "framework/ascii.h"
#include "framework/format.h"

std::string StripMarkup(const std::string& markup)
{
    std::string text;
    for (size_t i = 0; i < markup.size(); ++i) {
        if (markup[i] != '<') {
            text += markup[i];
            continue;
        }
        const size_t close = markup.find('>', i);
        if (close == std::string::npos) {
            text += markup.substr(i);
            break;
        }
        const std::string tag = LowerAscii(markup.substr(i + 1, close - i - 1));
        if (tag == "br" || tag == "br/" || tag == "br /")
            text += '\n';
        i = close;
    }
    return text;
}

std::string EscapeTsvField(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string TsvLine(const CRegistryProblem& problem)
{
    return Format("%s\t%s\t%s\t%s\n", CategoryInfo(problem.m_nType).pszSettingKey,
                  EscapeTsvField(problem.m_strKey).c_str(), EscapeTsvField(problem.m_strValueName).c_str(),
                  EscapeTsvField(problem.m_strData).c_str());
}

std::string CategoryDisplayName(REGPROBLEM_TYPE type)
{
    std::string name;
    const char* panel = CategoryInfo(type).pszPanelName;
    for (const char* p = panel; *p; ++p) {
        if (p[0] == '&' && p[1] == '&')
            ++p;
        name += *p;
    }
    const size_t first = name.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first);
}

bool ParseCategoryList(const std::string& list, uint8_t selected[kCategoryCount], std::string& unknown)
{
    for (int i = 0; i < kCategoryCount; ++i)
        selected[i] = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        REGPROBLEM_TYPE type;
        if (item == "all" || item == "recommended") {
            for (int i = 0; i < kCategoryCount; ++i)
                if (item == "all" || (i != RPT_SHORTCUTS && i != RPT_DEEP_SCAN))
                    selected[i] = 1;
        } else if (CategoryFromSettingKey(item, type)) {
            selected[type] = 1;
        } else {
            unknown = item;
            return false;
        }
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}
