#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "repair/reg_file.h"
#include "scan/problem.h"

class CRegistryScanner;

// What the repair did with one selected problem.
struct REPAIR_OUTCOME {
    std::string strKey;
    std::string strValueName;
    std::string strData;
    REGPROBLEM_TYPE nType = RPT_COM_ACTIVEX;
    bool bFixed = false;
    bool bAlreadyRemoved = false; // gone before the repair reached it: neither fixed nor failed
    std::string strReason;        // why it was not removed
};

// Removes registry items for the repair, recording each in the set's registry backup file first.
class CCleanSweep {
public:
    CCleanSweep();
    virtual ~CCleanSweep();
    CCleanSweep(const CCleanSweep&) = delete;
    CCleanSweep& operator=(const CCleanSweep&) = delete;

    // Exports the value into m_fpRegBackup, then deletes it. Nothing is deleted unless the record
    // was written. False, with the reason, when the value was not removed. The ANSI names given
    // here and below are those of the problems, which the scan reports only where the ANSI code
    // page holds them exactly; everything below a key is reached by its real, wide name.
    bool DeleteValueWithBackup(HKEY root, const std::string& subkey, const std::string& valueName,
                               std::string& reason);
    // Exports the key with its whole subtree into m_fpRegBackup, then deletes it.
    bool DeleteKeyTreeWithBackup(HKEY root, const std::string& subkey, std::string& reason);
    // Removes parent\subkey with its subtree, depth first. 1 when removed, else the failing error.
    LONG DeleteKeyTree(HKEY parent, const std::string& subkey);

    // The streams and names of the open backup set.
    FILE* m_fpRegBackup = nullptr;
    FILE* m_fpFileList = nullptr;
    std::string m_strSetName;   // name of the registry backup file without ".reg"
    std::string m_strSetStamp;  // the time stamp that name was made from

    // Where the "Backup" folder lies, with a trailing backslash.
    std::string m_strProgramFolder;

    // Set when a tree removal failed part-way: the registry backup file must stay.
    bool m_bPartlyRemoved = false;

    // The last repair run: one entry per selected problem, and why it stopped if it removed nothing.
    std::vector<REPAIR_OUTCOME> m_arrRepairOutcomes;
    std::string m_strRepairError;
};

// The root's name as the registry editor writes it; empty for a handle that is no root.
const char* RootKeyName(HKEY root);

// "error N: message" for a Win32 error code, for log lines.
std::string ErrorText(LONG code);

// Deletes a file, or an empty folder, of a backup set that is no longer needed. What stays for any
// reason but being gone already is named in a WARN log line with its error: the user is not told.
void DeleteOrWarn(const std::string& path);
void RemoveFolderOrWarn(const std::string& path);

// The value's type and data, however large, as the wide calls read it (strings in UTF-16LE); the
// result of the registry call.
LONG ReadRegistryValueW(HKEY key, const std::wstring& name, DWORD& type, std::string& data);

// Writes one record (section line, typed value line) of root\subkey's value into stream, in the
// Unicode format, read through the wide registry calls.
bool ExportValue(HKEY root, const std::string& subkey, const std::string& valueName, FILE* stream,
                 std::string& reason);
// Writes root\subkey and everything below it: each key as a section, each value as a record.
bool ExportKeyTree(HKEY root, const std::string& subkey, FILE* stream, std::string& reason);

// Opens a new registry backup file "Backup\HVBak_<stamp>[_N].reg" and writes its byte order mark
// and the version 5 header (the Unicode format, whatever the system); the name
// is unique among the sets of the folder. Null, with m_strRepairError set, when it cannot be made.
FILE* CreateRegistryBackupFile(CRegistryScanner& scanner);
// Creates the set's file backup folder and its empty moved-files list; takes the registry backup
// file's name when both were made in the same second.
FILE* CreateFileBackupSet(CRegistryScanner& scanner);
// Records path in the moved-files list, then moves the file into the set's folder.
bool MoveFileToBackup(CRegistryScanner& scanner, const std::string& path, std::string& reason);
