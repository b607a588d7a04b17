#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The registry editor's import format, as the backup files use it: a header line, then records of a
// section line "\n[KEY]\n" and one value line each. Values are written in the typed notations
// (dword:, hex:, hex(N):) so that an import gives back the same type and bytes.
//
// Backups are written in the Unicode format (version 5): the file is UTF-16LE after a byte order
// mark, so that key names, value names and data of any script come back exactly. The functions
// below build its text as UTF-8 (EncodeRegFileText turns it into the file's bytes); value data is
// the byte form the wide registry calls use (the string types as UTF-16LE). REGEDIT4 text is 8-bit
// throughout, its data the byte form of the ANSI calls; it is only read back, from older backups.

enum REG_FILE_VERSION { REGFILE_REGEDIT4, REGFILE_VERSION5 };

// The byte order mark that starts a Unicode registry file.
constexpr char kRegFileBom[] = "\xFF\xFE";

// The bytes of Unicode-format text: UTF-8 to UTF-16LE, each line feed written as CR LF.
std::string EncodeRegFileText(const std::string& utf8);

const char* RegFileHeader(REG_FILE_VERSION version);

// A key path or value name the file can hold: the notation has no escape for a line break or a NUL,
// and a file holding one is refused when read back (the registry editor would split the line).
bool RegFileCanHoldName(const std::string& name);

// "\n[keyPath]\n": starts one record.
std::string FormatSectionLine(const std::string& keyPath);

// The value line without a line end: "@ = ..." for the default value (empty name), "\"name\" = ..."
// otherwise. Long hex data is continued over lines ending in a backslash. A string is written in
// quotes only where the quoted notation gives back every byte; otherwise as hex(N).
std::string FormatValueLine(const std::string& name, uint32_t type, const std::string& data,
                            REG_FILE_VERSION version);

struct REG_FILE_VALUE {
    std::string strName; // UTF-8; empty for the default value
    uint32_t nType = 0;
    std::string data;    // as the wide registry calls read it back (string types in UTF-16LE)
};

struct REG_FILE_KEY {
    std::string strPath; // UTF-8: root name, backslash, subkey
    std::vector<REG_FILE_VALUE> values;
};

// Turns the 8-bit text of a file without a byte order mark into UTF-16: on Windows the ANSI code
// page, which the registry editor reads such files in.
using REG_FILE_ANSI_DECODER = std::u16string (*)(const std::string& bytes);

// Reads a backup file back, as bytes: Unicode (byte order mark, UTF-16LE) or 8-bit. Every section
// comes in file order (a key written twice appears twice) with the values that follow it, in the
// form of REG_FILE_KEY whatever the file's. The 8-bit text of older files goes through decode
// (without one, each byte is taken as the character of the same number). False, with the reason,
// when a line is not understood.
bool ParseRegFile(const std::string& text, std::vector<REG_FILE_KEY>& keys, std::string& error,
                  REG_FILE_ANSI_DECODER decode = nullptr);
