#include "updater/install.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "framework/ascii.h"
#include "framework/error.h"
#include "framework/files.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/paths.h"
#include "framework/product_name.h"
#include "framework/read_file.h"
#include "framework/wide_text.h"
#include "updater/crypto.h"
#include "updater/install_list.h"
#include "updater/patchwell.h"
#include "updater/signed_list.h"
#include "updater/unzipper.h"
#include "updater/update_log.h"

namespace {

// A step the installation skips without a word to the user is logged with its error.
void WarnFailed(const std::string& what, DWORD error)
{
    LogUpdateWarning(what + " (" + ErrorText(error) + ")");
}

// Deletes a file the installation is done with; one that stays for any reason but being gone already
// is logged.
void DeleteOrWarn(const std::string& path)
{
    if (DeleteFileA(path.c_str()))
        return;
    const DWORD error = GetLastError();
    if (!IsGone(error))
        WarnFailed("The file " + path + " could not be deleted", error);
}

// Folders a target needs are made below the program folder only, never the folder itself.
bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string WithBackslash(std::string folder)
{
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

// Renames the file of an open handle (opened with DELETE access) to target, replacing it.
bool RenameOpenFile(HANDLE file, const std::string& target)
{
    const std::wstring name = Widen(target);
    if (name.empty())
        return false;
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (name.size() + 1) * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    memcpy(info->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

// The setup program an update brings: started once, after every file is in place, and only when
// this run installed it.
constexpr char kSetupName[] = "HivoraSetup.exe";

bool IsSetupProgram(const INSTALL_ENTRY& entry)
{
    return !entry.bArchive && lstrcmpiA(entry.strTarget.c_str(), kSetupName) == 0;
}

// Starts the setup this run installed without waiting for it: this process holds Patchwell.dll,
// which the setup replaces. A setup left in the program folder could be started again later, so it
// goes at the next restart (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT and no new name, which the
// system does for an administrator's process); one that cannot be started goes at once.
void RunSetup(const std::string& setup)
{
    SHELLEXECUTEINFOA info {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = setup.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        WarnFailed("The installed setup " + setup + " could not be started", GetLastError());
        MessageBoxA(nullptr, "Unable to run the program after update. Please restart Hivora.", HV_PRODUCT_NAME,
                    MB_ICONINFORMATION);
        DeleteOrWarn(setup);
        return;
    }
    if (!MoveFileExA(setup.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        WarnFailed("The installed setup " + setup + " could not be marked for deletion at the next restart",
                   GetLastError());
}

// True when the entry's file is now in place.
bool InstallEntry(const std::string& folder, const CWorkFolder& work, const INSTALL_ENTRY& entry)
{
    // The download's name must be a bare name in the run's folder.
    if (!IsSafeRelativeName(entry.strTempName) || entry.strTempName.find_first_of("\\/") != std::string::npos)
        return false;
    const std::string download = work.File(entry.strTempName);
    SHA256_DIGEST expected {};
    if (!IsSafeRelativeName(entry.strTarget) || !ParseFileHash(entry.strSeparatorHint, expected)) {
        LogUpdateWarning("Install of " + entry.strTarget + " refused: its line names no SHA-256 or a place outside " +
                         folder);
        DeleteOrWarn(download);
        return false;
    }
    const std::string target = JoinTargetPath(folder, entry);

    // The file waited on disk since its download: it is checked again, and used through the handle
    // that checked it, which no one can write, replace or delete while it is open.
    FileHandle file = OpenFile(download, GENERIC_READ | (entry.bArchive ? 0 : DELETE), FILE_SHARE_READ, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN);
    SHA256_DIGEST actual {};
    if (!file || !HashFile(file.get(), actual) || actual != expected) {
        LogUpdateWarning("Install of " + entry.strTarget + " refused: the downloaded file " +
                         (file ? "does not have the SHA-256 the list names" : "cannot be opened"));
        file.reset();
        DeleteOrWarn(download);
        return false;
    }

    bool installed = true;
    if (entry.bArchive) {
        DeleteOrWarn(target);
        CUnzipper unzipper;
        if (!unzipper.Open(download.c_str()) || !unzipper.ExtractAll(folder.c_str(), false)) {
            MessageBoxA(nullptr, "Zip Open Failed", "Install", MB_ICONINFORMATION);
            installed = false;
        }
    } else if (!IsFolder(folder) || !CUnzipper::EnsureParentFolder(target.c_str())) {
        const DWORD error = GetLastError();
        WarnFailed("Install of " + entry.strTarget + " failed: the folder of " + target + " could not be made", error);
        installed = false;
    } else if (!RenameOpenFile(file.get(), target)) {
        // One step, so that a failed replacement keeps the old file.
        const DWORD error = GetLastError();
        WarnFailed("Install of " + entry.strTarget + " failed: " + target + " could not be replaced and stays as it was",
                   error);
        installed = false;
    }
    file.reset();
    DeleteOrWarn(download);

    // The setup is started once, at the end of the run (its run flag is that start).
    if (entry.bRun && !IsSetupProgram(entry) &&
        reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) <= 32) {
        const DWORD error = GetLastError();
        WarnFailed("The installed file " + target + " could not be started", error);
    }
    return installed;
}

} // namespace

int InstallFromFolder(CWorkFolder& work)
{
    Sleep(4000);
    std::string text;
    if (!ReadWholeFile(work.File("updatetmp.tmp"), text)) {
        work.Remove();
        MessageBoxA(nullptr, "Error in open file", HV_PRODUCT_NAME, MB_ICONINFORMATION);
        return 0;
    }
    const INSTALL_LIST list = ParseInstallList(text);
    // Only the folder this library was loaded from is ever written to or started from.
    const std::string own = FolderOf(ModulePath());
    if (own.empty() || lstrcmpiA(WithBackslash(list.strFolder).c_str(), own.c_str()) != 0) {
        LogUpdateWarning("Install list refused: it names the folder " + list.strFolder + ", not " + own);
        work.Remove();
        return 0;
    }
    bool setupInstalled = false;
    if (const std::string refusal = UpdateFolderRefusal(own, &work); !refusal.empty()) {
        LogUpdateWarning(refusal);
        work.Remove();
        MessageBoxA(nullptr, refusal.c_str(), HV_PRODUCT_NAME, MB_ICONERROR);
        return 0;
    }
    for (const INSTALL_ENTRY& entry : list.arrEntries)
        if (InstallEntry(own, work, entry) && IsSetupProgram(entry))
            setupInstalled = true;
    work.Remove();

    // A HivoraSetup.exe that was there before is not this update's: it is never started.
    if (setupInstalled)
        RunSetup(own + kSetupName);
    return 1;
}

extern "C" int CALLBACK InstallUpdates(HWND, HINSTANCE, LPSTR commandLine, int)
{
    try {
        // rundll32 passes the name of the run's folder, which lies beside this library.
        const std::string name = Trim(commandLine ? commandLine : "");
        const std::string own = FolderOf(ModulePath());
        CWorkFolder work;
        if (own.empty() || !work.Open(own, name)) {
            if (!name.empty())
                LogUpdateWarning("Install refused: " + name + " is no update folder beside " + own + "Patchwell.dll");
            MessageBoxA(nullptr, "Error in open file", HV_PRODUCT_NAME, MB_ICONINFORMATION);
            return 0;
        }
        return InstallFromFolder(work);
    } catch (const std::exception&) {
        return 0;
    }
}
