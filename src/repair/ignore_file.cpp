#include "repair/ignore_file.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "framework/format.h"

namespace {

// The line from start up to its line feed, without a CR before it; start moves past the line feed.
std::string NextLine(std::string_view text, size_t& start)
{
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
        end = text.size();
    std::string line(text.substr(start, end - start));
    start = end + 1;
    // The file is written with CR LF; a CR left by another writer is part of the line end too.
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// The key length a type line gives after a tab, for a key that spans lines.
bool KeyLength(const std::string& typeLine, size_t& length)
{
    const size_t tab = typeLine.find('\t');
    if (tab == std::string::npos)
        return false;
    const char* first = typeLine.data() + tab + 1;
    const char* last = typeLine.data() + typeLine.size();
    const auto result = std::from_chars(first, last, length);
    return result.ec == std::errc() && result.ptr == last && first != last;
}

} // namespace

void ParseIgnoreFile(std::string_view text, std::vector<REGPROBLEM_TYPE>& types, std::vector<std::string>& keys)
{
    size_t start = 0;
    while (start < text.size()) {
        const std::string typeLine = NextLine(text, start);
        types.push_back(static_cast<REGPROBLEM_TYPE>(std::atoi(typeLine.c_str())));
        if (start >= text.size())
            break;
        size_t length = 0;
        if (!KeyLength(typeLine, length)) {
            keys.push_back(NextLine(text, start));
            continue;
        }
        length = std::min(length, text.size() - start);
        keys.emplace_back(text.substr(start, length));
        start += length;
        if (text.substr(start, 2) == "\r\n")
            start += 2;
        else if (text.substr(start, 1) == "\n")
            start += 1;
    }
}

std::string FormatIgnoreFile(const std::vector<REGPROBLEM_TYPE>& types, const std::vector<std::string>& keys)
{
    std::string text;
    for (size_t i = 0; i < keys.size(); ++i) {
        const int type = i < types.size() ? static_cast<int>(types[i]) : 0;
        // A key with a line feed (value data of several lines) carries its length on the type line,
        // where atoi stops before it.
        if (keys[i].find('\n') == std::string::npos)
            text += Format("%d\r\n", type);
        else
            text += Format("%d\t%zu\r\n", type, keys[i].size());
        text += keys[i] + "\r\n";
    }
    return text;
}
