#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <string>

#include "framework/handles.h"
#include "updater/install_list.h"
#include "updater/patchwell.h"
#include "updater/unzipper.h"

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

void InstallEntry(const std::string& folder, const std::string& temp, const INSTALL_ENTRY& entry)
{
    // The list is a plain file in the user's temporary folder: its names get the same scrutiny
    // as the server's. The download's name must be a bare name.
    if (!IsSafeRelativeName(entry.strTempName) || entry.strTempName.find_first_of("\\/") != std::string::npos)
        return;
    const std::string download = temp + "\\" + entry.strTempName;
    if (!IsSafeRelativeName(entry.strTarget)) {
        DeleteFileA(download.c_str());
        return;
    }
    const std::string target = JoinTargetPath(folder, entry);

    if (entry.bArchive) {
        DeleteFileA(target.c_str());
        CUnzipper unzipper;
        if (!unzipper.Open(download.c_str()) || !unzipper.ExtractAll(folder.c_str(), false))
            MessageBoxA(nullptr, "Zip Open Failed", "Install", MB_ICONINFORMATION);
    } else if (IsFolder(folder) && CUnzipper::EnsureParentFolder(target.c_str())) {
        // One step, so that a failed replacement keeps the old file.
        MoveFileExA(download.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
    }
    DeleteFileA(download.c_str());

    if (entry.bRun)
        ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

int RunInstall()
{
    char temp[MAX_PATH];
    const DWORD n = ExpandEnvironmentStringsA("%temp%", temp, sizeof temp);
    if (n == 0 || n > sizeof temp)
        temp[0] = '\0';
    Sleep(4000);

    const std::string listPath = std::string(temp) + "\\updatetmp.tmp";
    std::string text;
    if (!ReadWholeFile(listPath, text)) {
        MessageBoxA(nullptr, "Error in open file", "Hivora", MB_ICONINFORMATION);
        return 0;
    }
    const INSTALL_LIST list = ParseInstallList(text);
    for (const INSTALL_ENTRY& entry : list.arrEntries)
        InstallEntry(list.strFolder, temp, entry);
    DeleteFileA(listPath.c_str());

    std::string setup = list.strFolder + "\\HivoraSetup.exe";
    if (setup.front() != '"')
        setup.insert(setup.begin(), '"');
    if (setup.back() != '"')
        setup += '"';
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", setup.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (started <= 32)
        MessageBoxA(nullptr, "Unable to run the program after update. Please restart Hivora.", "Hivora",
                    MB_ICONINFORMATION);
    return 1;
}

}  // namespace

extern "C" int CALLBACK InstallUpdates(HWND, HINSTANCE, LPSTR, int)
{
    try {
        return RunInstall();
    } catch (const std::exception&) {
        return 0;
    }
}
