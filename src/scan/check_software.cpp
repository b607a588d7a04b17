#include "scan/checks.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

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

// A value of the user's shell folders key; empty when the key or the value is missing.
bool ReadFontFolder(CRegistryScanner& engine, const char* keyPath, std::string& folder)
{
    engine.SendPath(keyPath);
    const RegKey key = OpenKey(HKEY_CURRENT_USER, keyPath);
    return key && ReadValueText(key.get(), "Fonts", kDataBytes, folder);
}

// The file search of the font check, FindFirstFileA on folder\file (wildcards allowed), for one
// font folder. A thousand fonts share one folder, so the folder is listed once and a plain name is
// looked up in the listing. The listing is used only where it gives exactly the search's answer:
// every name in it plain ASCII (compared without case, as the file system does), and the file name
// free of wildcards, stream and folder parts, short-name marks, device names and trailing dots or
// blanks. Anything else goes to the file system.
class CFontFolder {
public:
    CFontFolder(std::string folder) : m_folder(std::move(folder)) {}

    bool Finds(const char* file)
    {
        m_pattern.assign(m_folder).append("\\").append(file);
        if (IsPlainName(file) && m_pattern.size() < MAX_PATH && Listed()) {
            m_key.assign(file);
            return m_names.count(Upper(m_key)) != 0;
        }
        WIN32_FIND_DATAA found;
        const FindHandle search(FindFirstFileA(m_pattern.c_str(), &found));
        return static_cast<bool>(search);
    }

private:
    static std::string& Upper(std::string& text)
    {
        for (char& c : text)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return text;
    }

    static bool IsPlainName(const char* file)
    {
        const size_t len = strlen(file);
        if (len == 0 || strchr(". ", file[len - 1]))
            return false;
        for (const char* p = file; *p; ++p)
            if (*p < 0x20 || *p > 0x7E || strchr("*?<>\"|:\\/~", *p))
                return false;
        std::string base(file, strcspn(file, "."));
        Upper(base);
        static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
        for (const char* device : devices)
            if (base == device)
                return false;
        return !((base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                  base[3] >= '0' && base[3] <= '9'));
    }

    // Lists the folder on first use; false when it cannot be listed or holds a name the plain
    // comparison could misjudge.
    bool Listed()
    {
        if (m_listState == 0) {
            m_listState = List() ? 1 : -1;
            if (m_listState < 0)
                m_names.clear();
        }
        return m_listState > 0;
    }

    bool List()
    {
        const std::string pattern = m_folder + "\\*";
        const int wideLen = MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, nullptr, 0);
        if (wideLen <= 0)
            return false;
        std::wstring widePattern(static_cast<size_t>(wideLen), L'\0');
        MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, widePattern.data(), wideLen);
        WIN32_FIND_DATAW entry;
        const FindHandle search(FindFirstFileW(widePattern.c_str(), &entry));
        if (!search)
            return false;
        do {
            std::string name;
            for (const wchar_t* p = entry.cFileName; *p; ++p) {
                if (*p < 0x20 || *p > 0x7E)
                    return false;
                name.push_back(static_cast<char>(*p));
            }
            m_names.insert(Upper(name));
        } while (FindNextFileW(search.get(), &entry));
        return GetLastError() == ERROR_NO_MORE_FILES;
    }

    std::string m_folder;
    std::string m_pattern;
    std::string m_key;
    int m_listState = 0; // 0: not listed yet, 1: listed, -1: not usable
    std::unordered_set<std::string> m_names;
};

} // namespace

void CheckUninstall(CRegistryScanner& engine)
{
    WalkSubkeyValues(engine, kUninstallKey, "UninstallString", [&](const char* entry, const std::string& command) {
        for (const char* trusted : kTrustedUninstallers)
            if (command.find(trusted) != std::string::npos)
                return;
        if (!FileReferenceExists(ResolveFile(command)))
            Report(engine, kUninstallKey, entry, command, RPT_UNINSTALL);
    });
}

void CheckFonts(CRegistryScanner& engine)
{
    // The folder texts are used as stored: an environment reference in them is not expanded.
    std::string userFolder;
    std::string shellFolder;
    const bool haveUserFolder = ReadFontFolder(engine, kUserShellFolders, userFolder);
    const bool haveShellFolder = ReadFontFolder(engine, kShellFolders, shellFolder);

    engine.SendPath(kFontsKey);
    const RegKey fonts = OpenKey(HKEY_LOCAL_MACHINE, kFontsKey);
    if (!fonts)
        return;
    CFontFolder user(userFolder);
    CFontFolder shell(shellFolder);
    WalkValues(fonts.get(), [&](const char* name, const char* file) {
        if (engine.StopRequested())
            return false;
        if (!(haveShellFolder && shell.Finds(file)) && !(haveUserFolder && user.Finds(file)))
            Report(engine, kFontsKey, name, file, RPT_FONTS);
        return true;
    });
}

void CheckSharedDlls(CRegistryScanner& engine)
{
    const RegKey shared = OpenKey(HKEY_LOCAL_MACHINE, kSharedDllsKey);
    if (!shared)
        return;
    std::string file;
    WalkValues(shared.get(), [&](const char* name, const char*) {
        if (engine.StopRequested())
            return false;
        file.assign(name);
        engine.SendPath(file);
        if (!FileReferenceExists(file))
            Report(engine, kSharedDllsKey, file, std::string(), RPT_SHARED_DLLS);
        return true;
    });
}

void CheckAppPaths(CRegistryScanner& engine)
{
    WalkSubkeyValues(engine, kAppPathsKey, "", [&](const char* program, const std::string& target) {
        if (!FileReferenceExists(ResolveFile(target)))
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
