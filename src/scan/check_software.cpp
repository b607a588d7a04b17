#include "scan/checks.h"

#include <cstring>
#include <string_view>

#include <shlwapi.h>

#include "scan/check_support.h"
#include "scan/path_rules.h"
#include "scan/registry.h"
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

// The file search of the font check: FindFirstFileA on folder\file, which also takes wildcards.
bool FindsFont(CFolderListings& listings, const std::string& folder, const char* file, std::string& pattern)
{
    const CFolderListings::Answer known = listings.Lookup(folder, file);
    if (known != CFolderListings::kUnknown)
        return known == CFolderListings::kPresent;
    pattern.assign(folder).append("\\").append(file);
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA(pattern.c_str(), &found));
    return static_cast<bool>(search);
}

// FileReferenceExists, with the folder listings answering for the file itself where they can.
bool ReferenceExists(CFolderListings& listings, const std::string& path)
{
    if (FoundOnSearchPath(path))
        return true;
    const size_t slash = path.rfind('\\');
    if (slash != std::string::npos) {
        const CFolderListings::Answer known = listings.Lookup(path.substr(0, slash), path.c_str() + slash + 1);
        if (known != CFolderListings::kUnknown)
            return known == CFolderListings::kPresent;
    }
    return !path.empty() && PathFileExistsA(path.c_str());
}

} // namespace

void CheckUninstall(CRegistryScanner& engine)
{
    // Thousands of entries name a few uninstallers: each file is tested once.
    CFileTestCache files;
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
    // The folder texts are used as stored: an environment reference in them is not expanded.
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
    CFolderListings listings;
    std::string pattern;
    WalkValues(fonts.get(), [&](const char* name, const char* file) {
        if (engine.StopRequested())
            return false;
        // Installers (and Wine) register fonts kept elsewhere with their full path.
        const std::string path = Win32PathFromNtPath(file);
        const bool fullPath = (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.compare(0, 2, "\\\\") == 0;
        bool found;
        if (fullPath) {
            const size_t slash = path.rfind('\\');
            found = FindsFont(listings, path.substr(0, slash), path.c_str() + slash + 1, pattern);
        } else {
            found = (haveShellFolder && FindsFont(listings, shellFolder, file, pattern)) ||
                    (haveUserFolder && FindsFont(listings, userFolder, file, pattern));
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
    CFolderListings listings;
    std::string file;
    WalkValues(shared.get(), [&](const char* name, const char*) {
        if (engine.StopRequested())
            return false;
        file.assign(name);
        engine.SendPath(file);
        if (!ReferenceExists(listings, file))
            Report(engine, kSharedDllsKey, file, std::string(), RPT_SHARED_DLLS);
        return true;
    });
}

void CheckAppPaths(CRegistryScanner& engine)
{
    CFileTestCache files;
    WalkSubkeyValues(engine, kAppPathsKey, "", [&](const char* program, const std::string& target) {
        if (!files.ReferenceExists(ResolveFile(target)))
            Report(engine, kAppPathsKey, program, target, RPT_APP_PATHS);
    });
}

void CheckHelpFiles(CRegistryScanner& engine)
{
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
            if (!FileReferenceExists(path))
                Report(engine, keyPath, file, folder, RPT_HELP_FILES);
            return true;
        });
    }
}
