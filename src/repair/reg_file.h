#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The registry editor's import format, as the backup files use it: a header line, then records of a
// section line "\n[KEY]\n" and one value line each. Values are written in the typed notations
// (dword:, hex:, hex(N):) so that an import gives back the same type and bytes. Value data is the
// byte form the ANSI registry calls use; in the Unicode format (version 5) the string types are
// stored as UTF-16 in hex notation, as the registry editor expects there.

enum REG_FILE_VERSION { REGFILE_REGEDIT4, REGFILE_VERSION5 };

const char* RegFileHeader(REG_FILE_VERSION version);

// "\n[keyPath]\n": starts one record.
std::string FormatSectionLine(const std::string& keyPath);

// The value line without a line end: "@ = ..." for the default value (empty name), "\"name\" = ..."
// otherwise. Long hex data is continued over lines ending in a backslash.
std::string FormatValueLine(const std::string& name, uint32_t type, const std::string& data,
                            REG_FILE_VERSION version);

struct REG_FILE_VALUE {
    std::string strName; // empty for the default value
    uint32_t nType = 0;
    std::string data;    // as the ANSI registry calls read it back
};

struct REG_FILE_KEY {
    std::string strPath; // root name, backslash, subkey
    std::vector<REG_FILE_VALUE> values;
};

// Reads a backup file back: every section in file order (a key written twice appears twice) with
// the values that follow it. False, with the reason, when a line is not understood.
bool ParseRegFile(const std::string& text, std::vector<REG_FILE_KEY>& keys, std::string& error);
