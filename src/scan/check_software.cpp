#include "scan/checks.h"

#include <windows.h>

#include <cstring>
#include <string_view>

#include "framework/known_folder.h"
#include "framework/wide_text.h"
#include "scan/check_support.h"
#include "scan/file_presence.h"
#include "scan/path_rules.h"
#include "scan/scanner.h"
#include "scan/walk.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kFontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kHelpKeys[] = {"SOFTWARE\\Microsoft\\Windows\\HELP", "SOFTWARE\\Microsoft\\Windows\\HTML Help"};

const std::string kMachineRoot = "HKEY_LOCAL_MACHINE\\";

// Uninstallers that take a product code or a script rather than naming a file of their own.
const char* const kTrustedUninstallers[] = {
    "rundll", "Rundll", "RunDll", "MsiExec.exe", "msiexec.exe", "s3uninst.exe", "S3uninst.exe",
};

void Report(CRegistryScanner& engine, const char* key, const std::string& valueName, const std::string& data,
            REGPROBLEM_TYPE type)
{
    engine.ReportProblem(std::make_unique<CRegistryProblem>(kMachineRoot + key, valueName, data, type, 0));
}

// The file a value names, as the engine resolves a command line.
std::string ResolveFile(const std::string& text)
{
    std::string extracted = ExtractCommandTarget(text);
    return NormalizeFilePath(extracted);
}

// The default value (or the value name) of every subkey of a machine key, with the key path sent
// before each subkey is read; visit(subkey, text) is called for each value found.
template <typename Visit>
void WalkSubkeyValues(CRegistryScanner& engine, const char* keyPath, const char* valueName, Visit&& visit)
{
    const RegKey root = OpenKey(HKEY_LOCAL_MACHINE, keyPath);
    if (!root)
        return;
    std::string place = std::string(keyPath) + "\\";
    const size_t below = place.size();
    std::string text;
    WalkSubkeys(root.get(), kLongNameChars, [&](const char* name) {
        if (engine.StopRequested())
            return false;
        place.resize(below);
        place.append(name);
        engine.SendPath(place);
        const RegKey key = OpenKey(root.get(), name);
        if (key && ReadValueText(key.get(), valueName, kDataBytes, text))
            visit(name, text);
        return true;
    });
}

// A value of the user's shell folders key; false when the key or the value is missing. unnamed is
// set when the folder's name is outside the ANSI code page: no font can be tested against it.
bool ReadFontFolder(CRegistryScanner& engine, const char* keyPath, std::string& folder, bool& unnamed)
{
    engine.SendPath(keyPath);
    const RegKey key = OpenKey(HKEY_CURRENT_USER, keyPath);
    if (!key)
        return false;
    char data[kDataBytes + 1];
    DWORD size = kDataBytes;
    const LONG rc = QueryValue(key.get(), "Fonts", nullptr, reinterpret_cast<BYTE*>(data), &size);
    unnamed |= rc == ERROR_NO_UNICODE_TRANSLATION;
    if (rc != ERROR_SUCCESS)
        return false;
    folder.assign(data, strnlen(data, size));
    return true;
}

// The folder Windows keeps fonts in: the known fonts folder, else the Windows folder's Fonts.
// Empty when neither is a folder, or its name is outside the ANSI code page.
std::string SystemFontsFolder()
{
    std::wstring folder = KnownFolderPath(FOLDERID_Fonts);
    if (folder.empty()) {
        wchar_t windows[MAX_PATH];
        const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            folder.assign(windows, length);
            if (folder.back() != L'\\')
                folder += L'\\';
            folder += L"Fonts";
        }
    }
    const DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.c_str());
    std::string ansi;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !ExactAnsi(folder.c_str(), folder.size(), ansi))
        return {};
    return ansi;
}

} // namespace

void CheckUninstall(CRegistryScanner& engine)
{
    // Thousands of entries name a few uninstallers: each file is tested once.
    CFilePresence files;
    WalkSubkeyValues(engine, kUninstallKey, "UninstallString", [&](const char* entry, const std::string& command) {
        for (const char* trusted : kTrustedUninstallers)
            if (command.find(trusted) != std::string::npos)
                return;
        if (!files.ReferenceExists(ResolveFile(command)))
            Report(engine, kUninstallKey, entry, command, RPT_UNINSTALL);
    });
}

void CheckFonts(CRegistryScanner& engine)
{
    CheckFontsIn(engine, SystemFontsFolder());
}

void CheckFontsIn(CRegistryScanner& engine, const std::string& systemFolder)
{
    // Without the folder Windows keeps fonts in, no font can be told missing.
    if (systemFolder.empty())
        return;
    // The user's folder texts are used as stored: an environment reference in them is not expanded.
    std::string userFolder;
    std::string shellFolder;
    bool unnamed = false;
    const bool haveUserFolder = ReadFontFolder(engine, kUserShellFolders, userFolder, unnamed);
    const bool haveShellFolder = ReadFontFolder(engine, kShellFolders, shellFolder, unnamed);
    if (unnamed)
        return;

    engine.SendPath(kFontsKey);
    const RegKey fonts = OpenKey(HKEY_LOCAL_MACHINE, kFontsKey);
    if (!fonts)
        return;
    // Fonts are the files of one to three folders: their listings answer.
    CFilePresence files;
    WalkValues(fonts.get(), [&](const char* name, const char* file) {
        if (engine.StopRequested())
            return false;
        // Installers (and Wine) register fonts kept elsewhere with their full path.
        const std::string path = Win32PathFromNtPath(file);
        const bool fullPath = (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.compare(0, 2, "\\\\") == 0;
        bool found;
        if (IsInstallerKeyPath(path)) {
            found = true;
        } else if (fullPath) {
            const size_t slash = path.rfind('\\');
            found = files.Matches(path.substr(0, slash), path.substr(slash + 1));
        } else {
            found = files.Matches(systemFolder, file) || (haveShellFolder && files.Matches(shellFolder, file)) ||
                    (haveUserFolder && files.Matches(userFolder, file));
        }
        if (!found)
            Report(engine, kFontsKey, name, file, RPT_FONTS);
        return true;
    });
}

void CheckSharedDlls(CRegistryScanner& engine)
{
    const RegKey shared = OpenKey(HKEY_LOCAL_MACHINE, kSharedDllsKey);
    if (!shared)
        return;
    CFilePresence files;
    std::string file;
    WalkValues(shared.get(), [&](const char* name, const char*) {
        if (engine.StopRequested())
            return false;
        file.assign(name);
        engine.SendPath(file);
        if (!files.ReferenceExists(file))
            Report(engine, kSharedDllsKey, file, std::string(), RPT_SHARED_DLLS);
        return true;
    });
}

void CheckAppPaths(CRegistryScanner& engine)
{
    CFilePresence files;
    WalkSubkeyValues(engine, kAppPathsKey, "", [&](const char* program, const std::string& target) {
        if (!files.ReferenceExists(ResolveFile(target)))
            Report(engine, kAppPathsKey, program, target, RPT_APP_PATHS);
    });
}

void CheckHelpFiles(CRegistryScanner& engine)
{
    CFilePresence files;
    std::string joined;
    for (const char* keyPath : kHelpKeys) {
        const RegKey help = OpenKey(HKEY_LOCAL_MACHINE, keyPath);
        if (!help)
            continue;
        WalkValues(help.get(), [&](const char* file, const char* folder) {
            if (engine.StopRequested())
                return false;
            const std::string_view folderText(folder);
            joined.assign(folder);
            if (folderText.empty() || folderText.back() != '\\')
                joined.append("\\");
            joined.append(file);
            const std::string path = ResolveFile(joined);
            engine.SendPath(path);
            if (!files.ReferenceExists(path))
                Report(engine, keyPath, file, folder, RPT_HELP_FILES);
            return true;
        });
    }
}
