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

bool ParseRegFile(const std::string& file, std::vector<REG_FILE_KEY>& keys, std::string& error,
                  REG_FILE_ANSI_DECODER decode)
{
    const bool unicode = file.compare(0, 2, kRegFileBom) == 0;
    if (unicode && file.size() % 2 != 0) {
        error = "odd length of a UTF-16 file";
        return false;
    }
    const std::string text = unicode ? Utf16ToUtf8(ToUnits(file.substr(2))) : file;
    // Names of 8-bit files to UTF-8, their strings to the wide form.
    const auto name = [&](const std::string& raw) { return unicode ? raw : Utf16ToUtf8(Decode8Bit(raw, decode)); };
    const auto wide = [&](const std::string& raw) {
        return ToBytes(unicode ? Utf8ToUtf16(raw) : Decode8Bit(raw, decode));
    };

    std::vector<std::string> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // The registry editor may end a line at a lone carriage return or a NUL where this reader
        // would not, and so import lines this reader never saw: such a file is refused.
        if (line.find_first_of(std::string("\r\0", 2)) != std::string::npos) {
            error = Format("line %zu: a carriage return without a line feed, or a NUL, inside the line",
                           lines.size() + 1);
            return false;
        }
        lines.push_back(line);
        start = end + 1;
    }

    size_t n = 0;
    while (n < lines.size() && TrimLeft(lines[n]).empty())
        ++n;
    REG_FILE_VERSION version;
    if (n < lines.size() && TrimRight(lines[n]) == RegFileHeader(REGFILE_REGEDIT4))
        version = REGFILE_REGEDIT4;
    else if (n < lines.size() && TrimRight(lines[n]) == RegFileHeader(REGFILE_VERSION5))
        version = REGFILE_VERSION5;
    else {
        error = "not a registry file";
        return false;
    }

    for (++n; n < lines.size(); ++n) {
        const std::string line = Trim(lines[n]);
        const auto fail = [&](const char* what) {
            error = Format("line %zu: %s", n + 1, what);
            return false;
        };
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            // Backups only ever write values back: a file that deletes is none of them.
            if (line.size() > 1 && line[1] == '-')
                return fail("it deletes a key ([-...]), which a backup never does");
            if (line.size() < 3 || line.back() != ']')
                return fail("section not understood");
            keys.push_back(REG_FILE_KEY{name(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        if (keys.empty())
            return fail("value outside a section");

        REG_FILE_VALUE value;
        size_t pos = 0;
        std::string rawName;
        if (line[0] == '@')
            pos = 1;
        else if (line[0] != '"' || !ParseQuotedName(line, pos, rawName))
            return fail("value name not understood");
        value.strName = name(rawName);
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos == line.size() || line[pos] != '=')
            return fail("'=' missing");
        std::string rest = TrimLeft(line.substr(pos + 1));
        if (!rest.empty() && rest[0] == '-')
            return fail("it deletes a value (=-), which a backup never does");

        if (!rest.empty() && rest[0] == '"') {
            value.nType = kRegSz;
            std::string quoted;
            if (!ParseQuotedData(rest, quoted))
                return fail("string not closed");
            value.data = wide(quoted).append(2, '\0');
        } else if (rest.compare(0, 6, "dword:") == 0) {
            std::string digits = rest.substr(6);
            if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return fail("dword not understood");
            const unsigned long number = std::stoul(digits, nullptr, 16);
            value.nType = kRegDword;
            for (int i = 0; i < 4; ++i)
                value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
        } else if (rest.compare(0, 3, "hex") == 0) {
            size_t colon = rest.find(':');
            if (colon == std::string::npos)
                return fail("hex data not understood");
            const std::string kind = rest.substr(3, colon - 3);
            if (kind.empty())
                value.nType = kRegBinary;
            else if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' ||
                     !ParseHexType(kind.substr(1, kind.size() - 2), value.nType))
                return fail("hex type not understood");
            std::string hex = rest.substr(colon + 1);
            while (!hex.empty() && hex.back() == '\\') {
                hex.pop_back();
                if (++n == lines.size())
                    return fail("continued past the end");
                hex += Trim(lines[n]);
            }
            std::string bytes;
            if (!ParseHexBytes(hex, bytes))
                return fail("hex bytes not understood");
            // REGEDIT4 holds the string types in the ANSI code page; version 5 as UTF-16 already.
            value.data = version == REGFILE_REGEDIT4 && IsStringType(value.nType) ? wide(bytes) : bytes;
        } else {
            return fail("value data not understood");
        }
        keys.back().values.push_back(std::move(value));
    }
    return true;
}
