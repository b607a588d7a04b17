#include "cli/write_access.h"

#include <windows.h>

#include "framework/error.h"
#include "framework/files.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "repair/backup_sets.h"
#include "repair/clean_sweep.h"
#include "shell/logfile.h"

namespace {

// Whether a file can be made in folder: one is made and deleted again when it is closed.
DWORD TryCreateIn(const std::string& folder)
{
    const std::string probe =
        Format("%s\\~hivora-cli-%lu-%llu.tmp", folder.c_str(), GetCurrentProcessId(), GetTickCount64());
    FileHandle file(OpenFile(probe, GENERIC_WRITE, 0, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE));
    return file ? ERROR_SUCCESS : GetLastError();
}

bool IsAdministrator()
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
           CheckTokenMembership(nullptr, sid, &member) && member;
}

// A folder of the program's: written when it exists; made for administrators only when missing.
DWORD FolderError(const std::string& folder, const std::string& programFolder)
{
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!IsAdministrator())
            return ERROR_ACCESS_DENIED;
        return TryCreateIn(programFolder.empty() ? std::string(".") : programFolder.substr(0, programFolder.size() - 1));
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ERROR_DIRECTORY;
    return TryCreateIn(folder);
}

DWORD FileError(const std::string& path, const std::string& programFolder)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TryCreateIn(programFolder.empty() ? std::string(".") : programFolder.substr(0, programFolder.size() - 1));
    // Opening for writing changes nothing; the file is rewritten later.
    FileHandle file(OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    return file ? ERROR_SUCCESS : GetLastError();
}

std::string Refusal(const char* what, const std::string& path, DWORD error)
{
    return Format("hivora-cli: cannot write %s %s (%s); nothing was changed: run it as an administrator",
                  what, path.c_str(), ErrorText(error).c_str());
}

} // namespace

std::string WriteRefusal(const std::string& programFolder, unsigned writes)
{
    if (writes & CW_LOG) {
        const std::string folder = LogFolderPath(programFolder);
        if (const DWORD error = FolderError(folder, programFolder))
            return Refusal("its log in", folder, error);
    }
    if (writes & CW_BACKUP) {
        const std::string folder = BackupFolderPath(programFolder);
        if (const DWORD error = FolderError(folder, programFolder))
            return Refusal("backup sets in", folder, error);
    }
    if (writes & CW_IGNORE_LIST) {
        const std::string path = programFolder + "ignorelist.dat";
        if (const DWORD error = FileError(path, programFolder))
            return Refusal("the ignore list", path, error);
    }
    return {};
}
