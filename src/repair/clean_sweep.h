#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/error.h"
#include "framework/security.h"
#include "repair/reg_file.h"
#include "repair/restore_point.h"
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
    // The error of the first backup write that failed (the disk is full, say); the repair stops there.
    DWORD m_nBackupWriteError = ERROR_SUCCESS;

    // Whether the repair asks for a restore point before its first removal, and what that came to.
    bool m_bRestorePointFirst = false;
    RESTORE_POINT_OUTCOME m_restorePoint;
    // The user chose not to repair without a restore point: nothing was removed.
    bool m_bRepairCancelled = false;

    // The last repair run: one entry per selected problem, and why it stopped if it removed nothing.
    std::vector<REPAIR_OUTCOME> m_arrRepairOutcomes;
    std::string m_strRepairError;
};

// The root's name as the registry editor writes it; empty for a handle that is no root.
const char* RootKeyName(HKEY root);

// Deletes a file, or an empty folder, of a backup set that is no longer needed. What stays for any
// reason but being gone already is named in a WARN log line with its error: the user is not told.
void DeleteOrWarn(const std::string& path);
void RemoveFolderOrWarn(const std::string& path);

// The value's type and data, however large, as the wide calls read it (strings in UTF-16LE); the
// result of the registry call.
LONG ReadRegistryValueW(HKEY key, const std::wstring& name, DWORD& type, std::string& data);

// The write every record of a backup set goes through: WriteFile, unless a test puts a stand-in
// here (a disk that fills part-way through a write).
using BACKUP_WRITE = BOOL(WINAPI*)(HANDLE file, const void* data, DWORD size, DWORD* written);
extern BACKUP_WRITE g_pfnBackupWrite;

bool IsDiskFull(DWORD error);

// Appends bytes at the end of the file in one write. When the write fails, the file is cut back to
// its former end, so that it always ends after a whole record; a process killed meanwhile leaves
// the record whole or absent. The write's error, or ERROR_SUCCESS.
DWORD AppendWhole(HANDLE file, const std::string& bytes);

// Writes one record (section line, typed value line) of root\subkey's value into stream, in the
// Unicode format, read through the wide registry calls. A failed write leaves its error in
// writeError when given.
bool ExportValue(HKEY root, const std::string& subkey, const std::string& valueName, FILE* stream,
                 std::string& reason, DWORD* writeError = nullptr);
// Writes root\subkey and everything below it: each key as a section, each value as a record.
bool ExportKeyTree(HKEY root, const std::string& subkey, FILE* stream, std::string& reason,
                   DWORD* writeError = nullptr);

// Opens a new registry backup file "Backup\HVBak_<stamp>[_N].reg" and writes its byte order mark
// and the version 5 header (the Unicode format, whatever the system); the name
// is unique among the sets of the folder. Null, with m_strRepairError set, when it cannot be made.
FILE* CreateRegistryBackupFile(CRegistryScanner& scanner);
// Creates the set's file backup folder and its empty moved-files list; takes the registry backup
// file's name when both were made in the same second.
FILE* CreateFileBackupSet(CRegistryScanner& scanner);
// Records path in the moved-files list, copies the file into the set's folder as a new file (which
// takes the folder's permissions) and deletes the original. A link is never moved.
bool MoveFileToBackup(CRegistryScanner& scanner, const std::string& path, std::string& reason);

// ERROR_REPARSE_POINT_ENCOUNTERED, which the headers lack.
constexpr DWORD kErrorReparsePointEncountered = 4395;

// Writes the bytes of the file from into a new file to (never replacing one), read through a handle
// that does not follow a link: a link or folder at from is refused (kErrorReparsePointEncountered).
// False with the error when nothing was made.
bool CopyAsNewFile(const std::string& from, const std::string& to, DWORD& error);

// Backup sets hold the user's registry data and are imported with administrator rights.
constexpr FOLDER_ACCESS kBackupFolderAccess = FA_ADMINS_ONLY;
