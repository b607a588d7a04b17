#include "updater/install.h"

#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "framework/paths.h"
#include "updater/crypto.h"
#include "updater/install_list.h"
#include "updater/patchwell.h"
#include "updater/signed_list.h"
#include "updater/unzipper.h"
#include "updater/update_log.h"

namespace {

bool ReadWholeFile(const std::string& path, std::string& text)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    text.clear();
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
        if (read == 0)
            return true;
        text.append(buffer, read);
    }
    return false;
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
    const int length = MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, nullptr, 0);
    if (length <= 1)
        return false;
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + static_cast<size_t>(length) * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>((length - 1) * sizeof(wchar_t));
    if (!MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, info->FileName, length))
        return false;
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

void InstallEntry(const std::string& folder, const CWorkFolder& work, const INSTALL_ENTRY& entry)
{
    // The download's name must be a bare name in the run's folder.
    if (!IsSafeRelativeName(entry.strTempName) || entry.strTempName.find_first_of("\\/") != std::string::npos)
        return;
    const std::string download = work.File(entry.strTempName);
    SHA256_DIGEST expected {};
    if (!IsSafeRelativeName(entry.strTarget) || !ParseFileHash(entry.strSeparatorHint, expected)) {
        LogUpdateWarning("Install of " + entry.strTarget + " refused: its line names no SHA-256 or a place outside " +
                         folder);
        DeleteFileA(download.c_str());
        return;
    }
    const std::string target = JoinTargetPath(folder, entry);

    // The file waited on disk since its download: it is checked again, and used through the handle
    // that checked it, which no one can write, replace or delete while it is open.
    FileHandle file(CreateFileA(download.c_str(), GENERIC_READ | (entry.bArchive ? 0 : DELETE), FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    SHA256_DIGEST actual {};
    if (!file || !HashFile(file.get(), actual) || actual != expected) {
        LogUpdateWarning("Install of " + entry.strTarget + " refused: the downloaded file " +
                         (file ? "does not have the SHA-256 the list names" : "cannot be opened"));
        file.reset();
        DeleteFileA(download.c_str());
        return;
    }

    if (entry.bArchive) {
        DeleteFileA(target.c_str());
        CUnzipper unzipper;
        if (!unzipper.Open(download.c_str()) || !unzipper.ExtractAll(folder.c_str(), false))
            MessageBoxA(nullptr, "Zip Open Failed", "Install", MB_ICONINFORMATION);
    } else if (IsFolder(folder) && CUnzipper::EnsureParentFolder(target.c_str())) {
        // One step, so that a failed replacement keeps the old file.
        RenameOpenFile(file.get(), target);
    }
    file.reset();
    DeleteFileA(download.c_str());

    if (entry.bRun)
        ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace

int InstallFromFolder(CWorkFolder& work)
{
    Sleep(4000);
    std::string text;
    if (!ReadWholeFile(work.File("updatetmp.tmp"), text)) {
        work.Remove();
        MessageBoxA(nullptr, "Error in open file", "Hivora", MB_ICONINFORMATION);
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
    for (const INSTALL_ENTRY& entry : list.arrEntries)
        InstallEntry(own, work, entry);
    work.Remove();

    const std::string setup = "\"" + own + "HivoraSetup.exe\"";
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", setup.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (started <= 32)
        MessageBoxA(nullptr, "Unable to run the program after update. Please restart Hivora.", "Hivora",
                    MB_ICONINFORMATION);
    return 1;
}

extern "C" int CALLBACK InstallUpdates(HWND, HINSTANCE, LPSTR commandLine, int)
{
    try {
        // rundll32 passes the name of the run's folder, which lies beside this library.
        std::string name = commandLine ? commandLine : "";
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.pop_back();
        while (!name.empty() && (name.front() == ' ' || name.front() == '\t'))
            name.erase(name.begin());
        const std::string own = FolderOf(ModulePath());
        CWorkFolder work;
        if (own.empty() || !work.Open(own, name)) {
            if (!name.empty())
                LogUpdateWarning("Install refused: " + name + " is no update folder beside " + own + "Patchwell.dll");
            MessageBoxA(nullptr, "Error in open file", "Hivora", MB_ICONINFORMATION);
            return 0;
        }
        return InstallFromFolder(work);
    } catch (const std::exception&) {
        return 0;
    }
}
