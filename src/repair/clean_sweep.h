#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/error.h"
#include "framework/security.h"
#include "framework/result.h"
#include "repair/backup_set.h"
#include "repair/reg_file.h"
#include "scan/problem.h"

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

// Removes registry items and shortcut files for the repair, recording each in the engine's backup
// set first.
class CCleanSweep {
public:
    CCleanSweep();
    virtual ~CCleanSweep();
    CCleanSweep(const CCleanSweep&) = delete;
    CCleanSweep& operator=(const CCleanSweep&) = delete;

    // Exports the value into the registry backup file, then deletes it. Nothing is deleted unless
    // the record was written. False, with the reason, when the value was not removed. The ANSI
    // names given here and below are those of the problems, which the scan reports only where the
    // ANSI code page holds them exactly; everything below a key is reached by its real, wide name.
    bool DeleteValueWithBackup(HKEY root, const std::string& subkey, const std::string& valueName,
                               std::string& reason);
    // Exports the key with its whole subtree into the registry backup file, then deletes it.
    bool DeleteKeyTreeWithBackup(HKEY root, const std::string& subkey, std::string& reason);
    // Removes parent\subkey with its subtree, depth first. 1 when removed, else the failing error.
    LONG DeleteKeyTree(HKEY parent, const std::string& subkey);
    // Moves the shortcut file into the backup set (CBackupSet::MoveFileToBackup).
    bool MoveFileToBackup(const std::string& path, std::string& reason);

    // The halves of a backup set in the program folder's "Backup" folder, each on its own
    // (CBackupSet); the repair opens both at once.
    Result CreateRegistryBackupFile();
    Result CreateFileBackupSet();
    // Closes the set's files; its paths stay readable.
    void CloseBackupFiles();
    const CBackupSet& BackupSet() const { return m_backupSet; }

    // Backup sets go below this folder (with its trailing backslash) instead of the program's own.
    void UseProgramFolder(std::string folder) { m_strProgramFolder = std::move(folder); }

    // The error of the first backup write that failed (the disk is full, say), or ERROR_SUCCESS;
    // the repair stops there.
    DWORD BackupWriteError() const { return m_nBackupWriteError; }
    // Forgets what earlier removals left behind: a failed backup write, a tree removed in part.
    void ResetRemovalState();

protected:
    // Opens a new backup set, both halves; on failure nothing of it is left.
    Result OpenBackupSet() { return m_backupSet.Open(m_strProgramFolder); }
    // Closes the set and removes what of it holds nothing: the moved-files folder and list without
    // a moved shortcut, the registry backup file without a registry repair (unless a tree removal
    // failed part-way: then its record must stay).
    void FinishBackupSet(bool shortcutsMoved, bool registryFixed);

private:
    CBackupSet m_backupSet;
    // Where the "Backup" folder lies, with a trailing backslash.
    std::string m_strProgramFolder;
    // Set when a tree removal failed part-way: the registry backup file must stay.
    bool m_bPartlyRemoved = false;
    DWORD m_nBackupWriteError = ERROR_SUCCESS;
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
// in its place (a disk that fills part-way through a write); null puts WriteFile back.
using BACKUP_WRITE = BOOL(WINAPI*)(HANDLE file, const void* data, DWORD size, DWORD* written);
void UseBackupWriteStandIn(BACKUP_WRITE standIn);

bool IsDiskFull(DWORD error);

// Appends bytes at the end of the file in one write. When the write fails, the file is cut back to
// its former end, so that it always ends after a whole record; a process killed meanwhile leaves
// the record whole or absent. The write's error, or ERROR_SUCCESS.
DWORD AppendWhole(HANDLE file, const std::string& bytes);

// ERROR_REPARSE_POINT_ENCOUNTERED, which the headers lack.
constexpr DWORD kErrorReparsePointEncountered = 4395;

// Writes the bytes of the file from into a new file to (never replacing one), read through a handle
// that does not follow a link: a link or folder at from is refused (kErrorReparsePointEncountered).
// False with the error when nothing was made.
bool CopyAsNewFile(const std::string& from, const std::string& to, DWORD& error);

// Backup sets hold the user's registry data and are imported with administrator rights.
constexpr FOLDER_ACCESS kBackupFolderAccess = FA_ADMINS_ONLY;
