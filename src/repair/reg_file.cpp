#include "repair/reg_file.h"

#include "framework/ascii.h"
#include "framework/format.h"
#include "framework/hex.h"
#include "framework/utf16.h"

namespace {

constexpr size_t kHexLineWidth = 76;

// The registry's type numbers, kept here so that the format builds without windows.h.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

bool IsStringType(uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::u16string ToUnits(const std::string& bytes)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return units;
}

std::string ToBytes(const std::u16string& units)
{
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t c : units) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::u16string Decode8Bit(const std::string& bytes, REG_FILE_ANSI_DECODER decode)
{
    if (decode)
        return decode(bytes);
    std::u16string units;
    for (char c : bytes)
        units += static_cast<char16_t>(static_cast<unsigned char>(c));
    return units;
}

bool IsWellFormed(const std::u16string& units)
{
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c >= 0xDC00 && c < 0xE000)
            return false;
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] >= 0xE000)
                return false;
            ++i;
        }
    }
    return true;
}

// The text in double quotes, its backslashes and double quotes escaped.
std::string Quote(const std::string& text)
{
    std::string out(1, '"');
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// The text of a string the quoted notation gives back byte for byte: one terminator at the end,
// none inside, and no line breaks (the notation has no escape for them); in the Unicode format
// whole UTF-16 characters as well. False for any other data.
bool QuotedText(uint32_t type, const std::string& data, REG_FILE_VERSION version, std::string& text)
{
    if (type != kRegSz)
        return false;
    if (version == REGFILE_REGEDIT4) {
        if (data.empty() || data.back() != '\0' ||
            data.find_first_of(std::string("\0\r\n", 3)) != data.size() - 1)
            return false;
        text = data.substr(0, data.size() - 1);
        return true;
    }
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    std::u16string units = ToUnits(data);
    if (units.back() != 0)
        return false;
    units.pop_back();
    if (units.find_first_of(std::u16string(u"\0\r\n", 3)) != std::u16string::npos || !IsWellFormed(units))
        return false;
    text = Utf16ToUtf8(units);
    return true;
}

std::string FormatHex(std::string line, const std::string& bytes)
{
    size_t width = line.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        AppendHex(line, static_cast<uint8_t>(bytes[i]));
        width += 2;
        if (i + 1 == bytes.size())
            break;
        line += ',';
        ++width;
        if (width > kHexLineWidth) {
            line += "\\\n  ";
            width = 2;
        }
    }
    return line;
}

bool ParseHexBytes(const std::string& text, std::string& bytes)
{
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i == text.size())
            break;
        int value = 0;
        size_t digits = 0;
        for (; i < text.size() && HexDigit(text[i]) >= 0; ++i, ++digits)
            if (digits < 2)
                value = value * 16 + HexDigit(text[i]);
        if (digits == 0 || digits > 2)
            return false;
        bytes += static_cast<char>(value);
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i < text.size() && text[i++] != ',')
            return false;
    }
    return true;
}

// A value type in hex digits; false when it is not one or does not fit 32 bits.
bool ParseHexType(const std::string& digits, uint32_t& type)
{
    if (digits.empty())
        return false;
    type = 0;
    for (char c : digits) {
        if (HexDigit(c) < 0 || type > 0x0FFFFFFF)
            return false;
        type = type << 4 | static_cast<uint32_t>(HexDigit(c));
    }
    return true;
}

// The quoted name from text[pos] (an opening quote) to its closing quote; pos ends after it.
bool ParseQuotedName(const std::string& text, size_t& pos, std::string& name)
{
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"'))
            ++pos;
        name += text[pos];
    }
    return false;
}

// Quoted data runs to the last quote of the line: older backup files left quotes in the data
// unescaped. The text comes without a terminator.
bool ParseQuotedData(const std::string& text, std::string& data)
{
    const size_t close = text.find_last_of('"');
    if (close == 0 || close == std::string::npos || !TrimLeft(text.substr(close + 1)).empty())
        return false;
    for (size_t i = 1; i < close; ++i) {
        if (text[i] == '\\' && i + 1 < close && (text[i + 1] == '\\' || text[i + 1] == '"'))
            ++i;
        data += text[i];
    }
    return true;
}

} // namespace

bool RegFileCanHoldName(const std::string& name)
{
    return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

const char* RegFileHeader(REG_FILE_VERSION version)
{
    return version == REGFILE_VERSION5 ? "Windows Registry Editor Version 5.00" : "REGEDIT4";
}

std::string EncodeRegFileText(const std::string& utf8)
{
    std::string text;
    text.reserve(utf8.size() + 16);
    for (char c : utf8) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    return ToBytes(Utf8ToUtf16(text));
}

std::string FormatSectionLine(const std::string& keyPath)
{
    return "\n[" + keyPath + "]\n";
}

std::string FormatValueLine(const std::string& name, uint32_t type, const std::string& data,
                            REG_FILE_VERSION version)
{
    const std::string line = (name.empty() ? std::string("@") : Quote(name)).append(" = ");
    std::string text;
    if (QuotedText(type, data, version, text))
        return line + Quote(text);
    if (type == kRegDword && data.size() == 4) {
        uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
        return line + Format("dword:%08x", static_cast<unsigned>(value));
    }
    const std::string prefix = type == kRegBinary ? std::string("hex:") : Format("hex(%x):", static_cast<unsigned>(type));
    return FormatHex(line + prefix, data);
}

namespace {

// Text of the file to the UTF-8 names and the wide string data of REG_FILE_VALUE.
struct REG_TEXT {
    bool bUnicode = false;
    REG_FILE_ANSI_DECODER decode = nullptr;
    // Names of 8-bit files to UTF-8, their strings to the wide form.
    std::string Name(const std::string& raw) const { return bUnicode ? raw : Utf16ToUtf8(Decode8Bit(raw, decode)); }
    std::string Wide(const std::string& raw) const
    {
        return ToBytes(bUnicode ? Utf8ToUtf16(raw) : Decode8Bit(raw, decode));
    }
};

// The lines of the text, without their carriage returns. False, with the reason, when a line holds
// a carriage return or a NUL: the registry editor may end a line there where this reader would
// not, and so import lines this reader never saw.
bool SplitLines(const std::string& text, std::vector<std::string>& lines, std::string& error)
{
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_of(std::string("\r\0", 2)) != std::string::npos) {
            error = Format("line %zu: a carriage return without a line feed, or a NUL, inside the line",
                           lines.size() + 1);
            return false;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return true;
}

// The data of a value after its "=" (rest, trimmed on the left) into value; hex data ending in a
// backslash goes on on the next lines, and n ends at the last line read. Null when understood,
// otherwise what was not.
const char* ParseValueData(const std::string& rest, const std::vector<std::string>& lines, size_t& n,
                           REG_FILE_VERSION version, const REG_TEXT& text, REG_FILE_VALUE& value)
{
    if (!rest.empty() && rest[0] == '"') {
        value.nType = kRegSz;
        std::string quoted;
        if (!ParseQuotedData(rest, quoted))
            return "string not closed";
        value.data = text.Wide(quoted).append(2, '\0');
        return nullptr;
    }
    if (rest.compare(0, 6, "dword:") == 0) {
        std::string digits = rest.substr(6);
        if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return "dword not understood";
        const unsigned long number = std::stoul(digits, nullptr, 16);
        value.nType = kRegDword;
        for (int i = 0; i < 4; ++i)
            value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
        return nullptr;
    }
    if (rest.compare(0, 3, "hex") != 0)
        return "value data not understood";
    size_t colon = rest.find(':');
    if (colon == std::string::npos)
        return "hex data not understood";
    const std::string kind = rest.substr(3, colon - 3);
    if (kind.empty())
        value.nType = kRegBinary;
    else if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' ||
             !ParseHexType(kind.substr(1, kind.size() - 2), value.nType))
        return "hex type not understood";
    std::string hex = rest.substr(colon + 1);
    while (!hex.empty() && hex.back() == '\\') {
        hex.pop_back();
        if (++n == lines.size())
            return "continued past the end";
        hex += Trim(lines[n]);
    }
    std::string bytes;
    if (!ParseHexBytes(hex, bytes))
        return "hex bytes not understood";
    // REGEDIT4 holds the string types in the ANSI code page; version 5 as UTF-16 already.
    value.data = version == REGFILE_REGEDIT4 && IsStringType(value.nType) ? text.Wide(bytes) : bytes;
    return nullptr;
}

// One value line (trimmed) of lines[n] into value; n ends at the last line the value took. Null
// when understood, otherwise what was not.
const char* ParseValueLine(const std::string& line, const std::vector<std::string>& lines, size_t& n,
                           REG_FILE_VERSION version, const REG_TEXT& text, REG_FILE_VALUE& value)
{
    size_t pos = 0;
    std::string rawName;
    if (line[0] == '@')
        pos = 1;
    else if (line[0] != '"' || !ParseQuotedName(line, pos, rawName))
        return "value name not understood";
    value.strName = text.Name(rawName);
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    if (pos == line.size() || line[pos] != '=')
        return "'=' missing";
    const std::string rest = TrimLeft(line.substr(pos + 1));
    if (!rest.empty() && rest[0] == '-')
        return "it deletes a value (=-), which a backup never does";
    return ParseValueData(rest, lines, n, version, text, value);
}

// The version of the header, the first line that is not blank; n ends at it. False when there is
// none.
bool ReadHeader(const std::vector<std::string>& lines, size_t& n, REG_FILE_VERSION& version)
{
    n = 0;
    while (n < lines.size() && TrimLeft(lines[n]).empty())
        ++n;
    if (n == lines.size())
        return false;
    for (const REG_FILE_VERSION known : {REGFILE_REGEDIT4, REGFILE_VERSION5})
        if (TrimRight(lines[n]) == RegFileHeader(known)) {
            version = known;
            return true;
        }
    return false;
}

} // namespace

bool ParseRegFile(const std::string& file, std::vector<REG_FILE_KEY>& keys, std::string& error,
                  REG_FILE_ANSI_DECODER decode)
{
    const REG_TEXT text{file.compare(0, 2, kRegFileBom) == 0, decode};
    if (text.bUnicode && file.size() % 2 != 0) {
        error = "odd length of a UTF-16 file";
        return false;
    }
    std::vector<std::string> lines;
    if (!SplitLines(text.bUnicode ? Utf16ToUtf8(ToUnits(file.substr(2))) : file, lines, error))
        return false;
    size_t n = 0;
    REG_FILE_VERSION version = REGFILE_VERSION5;
    if (!ReadHeader(lines, n, version)) {
        error = "not a registry file";
        return false;
    }

    for (++n; n < lines.size(); ++n) {
        const std::string line = Trim(lines[n]);
        const char* failure = nullptr;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            // Backups only ever write values back: a file that deletes is none of them.
            if (line.size() > 1 && line[1] == '-')
                failure = "it deletes a key ([-...]), which a backup never does";
            else if (line.size() < 3 || line.back() != ']')
                failure = "section not understood";
            else
                keys.push_back(REG_FILE_KEY{text.Name(line.substr(1, line.size() - 2)), {}});
        } else if (keys.empty()) {
            failure = "value outside a section";
        } else {
            REG_FILE_VALUE value;
            failure = ParseValueLine(line, lines, n, version, text, value);
            if (!failure)
                keys.back().values.push_back(std::move(value));
        }
        if (failure) {
            error = Format("line %zu: %s", n + 1, failure);
            return false;
        }
    }
    return true;
}
