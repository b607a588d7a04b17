#include <gtest/gtest.h>

#include <windows.h>

#include "framework/utf16.h"
#include "repair/reg_file.h"
#include "repair_support.h"

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

// Writes one value as a record under keyPath, reads the file back, and returns what the parser
// saw. Version 5 files are written as the backups are: UTF-16 after a byte order mark.
REG_FILE_VALUE RoundTrip(const std::string& name, DWORD type, const std::string& data, REG_FILE_VERSION version,
                         const std::string& keyPath = "HKEY_CURRENT_USER\\K")
{
    std::string text = std::string(RegFileHeader(version)) + "\n" + FormatSectionLine(keyPath) +
                       FormatValueLine(name, type, data, version);
    if (version == REGFILE_VERSION5)
        text = kRegFileBom + EncodeRegFileText(text);
    std::vector<REG_FILE_KEY> keys;
    std::string error;
    EXPECT_TRUE(ParseRegFile(text, keys, error)) << error << "\n" << text;
    if (keys.size() != 1 || keys[0].values.size() != 1)
        return {};
    EXPECT_EQ(keys[0].strPath, keyPath);
    return keys[0].values[0];
}

} // namespace

TEST(RegFileFormat, StringValuesUseTheQuotedNotationWithEscapes)
{
    EXPECT_EQ(FormatValueLine("Path", REG_SZ, Sz("C:\\Tools\\x.exe"), REGFILE_REGEDIT4),
              "\"Path\" = \"C:\\\\Tools\\\\x.exe\"");
    EXPECT_EQ(FormatValueLine("", REG_SZ, Sz("x"), REGFILE_REGEDIT4), "@ = \"x\"");
    EXPECT_EQ(FormatValueLine("a\"b\\c", REG_SZ, Sz("say \"hi\""), REGFILE_REGEDIT4),
              "\"a\\\"b\\\\c\" = \"say \\\"hi\\\"\"");
    EXPECT_EQ(FormatSectionLine("HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme"), "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n");
}

TEST(RegFileFormat, OtherTypesKeepTheirTypeAndBytes)
{
    EXPECT_EQ(FormatValueLine("d", REG_DWORD, Bytes({1, 0, 0, 0}), REGFILE_REGEDIT4), "\"d\" = dword:00000001");
    EXPECT_EQ(FormatValueLine("d", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12}), REGFILE_REGEDIT4),
              "\"d\" = dword:12345678");
    EXPECT_EQ(FormatValueLine("b", REG_BINARY, Bytes({0, 0xff, 0x10}), REGFILE_REGEDIT4), "\"b\" = hex:00,ff,10");
    EXPECT_EQ(FormatValueLine("e", REG_EXPAND_SZ, Sz("%a%"), REGFILE_REGEDIT4), "\"e\" = hex(2):25,61,25,00");
    EXPECT_EQ(FormatValueLine("m", REG_MULTI_SZ, Bytes({'a', 0, 'b', 0, 0}), REGFILE_REGEDIT4),
              "\"m\" = hex(7):61,00,62,00,00");
    EXPECT_EQ(FormatValueLine("q", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}), REGFILE_REGEDIT4),
              "\"q\" = hex(b):01,00,00,00,00,00,00,00");
    EXPECT_EQ(FormatValueLine("n", REG_NONE, "", REGFILE_REGEDIT4), "\"n\" = hex(0):");
    // A DWORD value of the wrong length cannot use dword: notation.
    EXPECT_EQ(FormatValueLine("d", REG_DWORD, Bytes({1, 2}), REGFILE_REGEDIT4), "\"d\" = hex(4):01,02");
    // Strings the quoted notation would change: no terminator, an inner zero, a line break.
    EXPECT_EQ(FormatValueLine("s", REG_SZ, "ab", REGFILE_REGEDIT4), "\"s\" = hex(1):61,62");
    EXPECT_EQ(FormatValueLine("s", REG_SZ, Bytes({'a', 0, 'b', 0}), REGFILE_REGEDIT4), "\"s\" = hex(1):61,00,62,00");
    EXPECT_EQ(FormatValueLine("s", REG_SZ, Sz("a\r\nb"), REGFILE_REGEDIT4), "\"s\" = hex(1):61,0d,0a,62,00");
}

TEST(RegFileFormat, Version5StoresStringTypesAsUtf16)
{
    EXPECT_EQ(FormatValueLine("e", REG_EXPAND_SZ, Wide(u"%a"), REGFILE_VERSION5), "\"e\" = hex(2):25,00,61,00,00,00");
    EXPECT_EQ(FormatValueLine("b", REG_BINARY, Bytes({'%', 'a'}), REGFILE_VERSION5), "\"b\" = hex:25,61");
    EXPECT_EQ(FormatValueLine("\xD0\x98\xD0\xBC\xD1\x8F", REG_SZ, Wide(u"\u041F\u0443\u0442\u044C"), REGFILE_VERSION5),
              "\"\xD0\x98\xD0\xBC\xD1\x8F\" = \"\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C\"");
    // An unpaired surrogate has no text form: hex keeps it.
    EXPECT_EQ(FormatValueLine("s", REG_SZ, Wide(u"a\xD800"), REGFILE_VERSION5), "\"s\" = hex(1):61,00,00,d8,00,00");
    EXPECT_EQ(EncodeRegFileText("a\n\xE6\x97\xA5"), Wide(u"a\r\n\u65E5", false));
    EXPECT_EQ(RegFileHeader(REGFILE_VERSION5), std::string("Windows Registry Editor Version 5.00"));
    EXPECT_EQ(RegFileHeader(REGFILE_REGEDIT4), std::string("REGEDIT4"));
}

TEST(RegFileFormat, LongHexDataIsContinuedOverLines)
{
    const std::string data(200, '\x5a');
    const std::string line = FormatValueLine("big", REG_BINARY, data, REGFILE_REGEDIT4);
    size_t start = 0;
    int lines = 0;
    for (size_t end; (end = line.find('\n', start)) != std::string::npos; start = end + 1, ++lines) {
        EXPECT_LE(end - start, 80u);
        EXPECT_EQ(line[end - 1], '\\');
        EXPECT_EQ(line.substr(end + 1, 2), "  ");
    }
    EXPECT_GT(lines, 2);
    EXPECT_NE(line.back(), ',');
}

TEST(RegFileParse, EveryNotationComesBackWithTheSameTypeAndBytes)
{
    const struct {
        DWORD type;
        std::string data;
    } cases[] = {
        {REG_SZ, Sz("C:\\Program Files\\\"quoted\" \\\\server")},
        {REG_SZ, Sz("")},
        {REG_SZ, "no terminator"},
        {REG_SZ, Sz("two\nlines")},
        {REG_EXPAND_SZ, Sz("%SystemRoot%\\x.dll")},
        {REG_MULTI_SZ, Bytes({'a', 0, 'b', 'c', 0, 0})},
        {REG_DWORD, Bytes({0, 0, 0, 0})},
        {REG_DWORD, Bytes({0xef, 0xbe, 0xad, 0xde})},
        {REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
        {REG_BINARY, std::string(3000, '\x07')},
        {REG_BINARY, ""},
        {REG_NONE, Bytes({1})},
        {0x1234, Bytes({9, 8})},
    };
    for (REG_FILE_VERSION version : {REGFILE_REGEDIT4, REGFILE_VERSION5})
        for (const auto& c : cases) {
            // REGEDIT4 strings are 8-bit text; they come back in the wide form.
            const bool widens = version == REGFILE_REGEDIT4 &&
                                (c.type == REG_SZ || c.type == REG_EXPAND_SZ || c.type == REG_MULTI_SZ);
            const std::string expected = widens ? Widened(c.data) : c.data;
            for (const std::string name : {"", "plain", "odd \"name\" \\ here"}) {
                const REG_FILE_VALUE value = RoundTrip(name, c.type, c.data, version);
                EXPECT_EQ(value.strName, name);
                EXPECT_EQ(value.nType, c.type) << name;
                EXPECT_EQ(value.data, expected) << name << " type " << c.type;
            }
        }
}

TEST(RegFileParse, UnicodeBackupsKeepEveryScriptExactly)
{
    // Cyrillic, CJK, a character beyond the Basic Multilingual Plane, and an unpaired surrogate.
    const std::u16string texts[] = {u"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u0430", u"\u65E5\u672C\u8A9E",
                                    u"\U0001F600 x", std::u16string(u"a\xDC00" u"b")};
    for (const std::u16string& text : texts) {
        const std::string name = Utf16ToUtf8(text);
        for (DWORD type : {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ}) {
            const REG_FILE_VALUE value =
                RoundTrip(name, type, Wide(text), REGFILE_VERSION5, "HKEY_LOCAL_MACHINE\\" + name + "\\" + name);
            EXPECT_EQ(Utf8ToUtf16(value.strName), text);
            EXPECT_EQ(value.nType, type);
            EXPECT_EQ(value.data, Wide(text));
        }
    }
}

TEST(RegFileParse, ReadsFilesAsTheRegistryEditorWritesThem)
{
    const std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\r\n\"Path\"=\"C:\\\\x.exe\"\r\n"
                             "@=dword:0000000A\r\n; comment\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Empty]\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\r\n\"bin\" = hex:01,02,\\\r\n  03\r\n";
    std::vector<REG_FILE_KEY> keys;
    std::string error;
    ASSERT_TRUE(ParseRegFile(text, keys, error)) << error;
    ASSERT_EQ(keys.size(), 3u);
    ASSERT_EQ(keys[0].values.size(), 2u);
    EXPECT_EQ(keys[0].values[0].data, Widened(Sz("C:\\x.exe")));
    EXPECT_EQ(keys[0].values[1].strName, "");
    EXPECT_EQ(keys[0].values[1].data, Bytes({10, 0, 0, 0}));
    EXPECT_EQ(keys[1].strPath, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Empty");
    EXPECT_TRUE(keys[1].values.empty());
    EXPECT_EQ(keys[2].values[0].data, Bytes({1, 2, 3}));
}

TEST(RegFileParse, ReadsOlderBackupsWithUnescapedQuotes)
{
    const std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"Run\" = \"\"C:\\\\a b\\\\x.exe\" -s\"";
    std::vector<REG_FILE_KEY> keys;
    std::string error;
    ASSERT_TRUE(ParseRegFile(text, keys, error)) << error;
    EXPECT_EQ(keys[0].values[0].data, Widened(Sz("\"C:\\a b\\x.exe\" -s")));

    // 8-bit names and strings come back as UTF-8 names and wide data, through the decoder given.
    const auto decode = [](const std::string& bytes) {
        std::u16string units;
        for (char c : bytes)
            units += c == '\xE9' ? u'\u00E9' : c == '\x80' ? u'\u20AC' : static_cast<char16_t>(c);
        return units;
    };
    keys.clear();
    ASSERT_TRUE(ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\Caf\xE9]\n\"\x80\"=\"\xE9\"\n\"e\"=hex(2):80,00", keys, error,
                             decode))
        << error;
    EXPECT_EQ(keys[0].strPath, "HKEY_CURRENT_USER\\Caf\xC3\xA9");
    EXPECT_EQ(keys[0].values[0].strName, "\xE2\x82\xAC");
    EXPECT_EQ(keys[0].values[0].data, Wide(u"\u00E9"));
    EXPECT_EQ(keys[0].values[1].data, Wide(u"\u20AC"));
}

TEST(RegFileParse, RejectsWhatItCannotCheck)
{
    std::vector<REG_FILE_KEY> keys;
    std::string error;
    EXPECT_FALSE(ParseRegFile("", keys, error));
    EXPECT_FALSE(ParseRegFile("Hello\n[HKEY_CURRENT_USER\\A]", keys, error));
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n\"x\"=\"y\"", keys, error));
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[-HKEY_CURRENT_USER\\A]", keys, error));
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=-", keys, error));
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,\\", keys, error));
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:1", keys, error));
    // Numbers too long for their field are refused, not thrown or wrapped.
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex(100000000):00", keys, error));
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:0000000001", keys, error));
    EXPECT_FALSE(ParseRegFile(kRegFileBom + Widened("Windows Registry Editor Version 5.00") + "x", keys, error));
    // A line that a lone carriage return or a NUL might split for another reader; CR LF is fine.
    EXPECT_TRUE(ParseRegFile("REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n", keys, error)) << error;
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\r\"y\"=\"2\"\n", keys, error));
    EXPECT_EQ(error, "line 3: a carriage return without a line feed, or a NUL, inside the line");
    EXPECT_FALSE(ParseRegFile("REGEDIT4\r\r\n[HKEY_CURRENT_USER\\A]\n", keys, error));
    EXPECT_FALSE(ParseRegFile(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1") + '\0' + "\"\n", keys, error));
    EXPECT_EQ(error, "line 3: a carriage return without a line feed, or a NUL, inside the line");
}
