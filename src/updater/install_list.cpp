#include "updater/install_list.h"

#include <climits>
#include <utility>

#include "framework/ascii.h"
#include "updater/field_list.h"

int ReadNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

namespace {

// The digit of COM and LPT device names: 1 to 9, and the superscripts 1, 2 and 3, which Windows
// takes for devices too. Names arrive in the ANSI code page: the superscripts are the bytes B9, B2
// and B3 in the Western, Central European, Greek, Turkish and Baltic code pages, and C2 B9, C2 B2,
// C2 B3 in UTF-8. Elsewhere these bytes are other letters; refusing them there too costs nothing.
bool IsDeviceDigit(std::string_view digit)
{
    if (digit.size() == 2 && digit[0] == '\xC2')
        digit.remove_prefix(1);
    return digit.size() == 1 && ((digit[0] >= '1' && digit[0] <= '9') || digit[0] == '\xB9' || digit[0] == '\xB2' ||
                                 digit[0] == '\xB3');
}

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-COM9, LPT1-LPT9 (and COM and LPT with a superscript
// digit): Windows opens the device whatever extension follows, and ignores blanks before the
// extension.
bool IsDeviceName(std::string_view part)
{
    std::string_view base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    const std::string upper = UpperAscii(std::string(base));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (upper == device)
            return true;
    return upper.size() >= 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           IsDeviceDigit(std::string_view(upper).substr(3));
}

} // namespace

bool IsSafeRelativeName(std::string_view name)
{
    if (!name.empty() && (name[0] == '\\' || name[0] == '/'))
        return false;
    if (name.find(':') != std::string_view::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view part = name.substr(start, end - start);
        // Windows drops trailing dots and blanks, so "..", ". ." and "... " all name a parent or
        // a folder itself; no file of an update is named like that.
        if (part.find_first_not_of(". ") == std::string_view::npos && part.find('.') != std::string_view::npos &&
            part != ".")
            return false;
        if (IsDeviceName(part))
            return false;
        start = end + 1;
    }
    return true;
}

std::string FormatInstallEntry(std::string_view fileLine, std::string_view tempName)
{
    std::string line(fileLine);
    line += '\t';
    line += tempName;
    line += '\n';
    return line;
}

INSTALL_LIST ParseInstallList(std::string_view text)
{
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\n')
            lines.push_back(std::exchange(current, std::string()));
        else
            current += text[i];
    }
    if (!current.empty())
        lines.push_back(std::move(current));

    INSTALL_LIST list;
    size_t next = 0;
    if (next < lines.size())
        list.strFolder = lines[next++];
    if (list.strFolder.size() < 3 && next < lines.size())
        list.strFolder = lines[next++];
    for (; next < lines.size(); ++next) {
        const CFieldList fields(lines[next], "\t");
        if (fields.GetCount() != 7)
            continue;
        INSTALL_ENTRY entry;
        entry.strTarget = fields[0];
        entry.strSeparatorHint = fields[1];
        entry.nSize = ReadNumber(fields[2]);
        entry.strUrl = fields[3];
        entry.bArchive = ReadNumber(fields[4]) != 0;
        entry.bRun = ReadNumber(fields[5]) != 0;
        entry.strTempName = fields[6];
        list.arrEntries.push_back(std::move(entry));
    }
    return list;
}

std::string JoinTargetPath(const std::string& folder, const INSTALL_ENTRY& entry)
{
    const bool hinted = !entry.strSeparatorHint.empty() && entry.strSeparatorHint.back() == '\\';
    return hinted ? folder + entry.strTarget : folder + "\\" + entry.strTarget;
}
