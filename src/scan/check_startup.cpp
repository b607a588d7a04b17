#include "scan/checks.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "framework/ascii.h"
#include "framework/com_ptr.h"
#include "framework/files.h"
#include "framework/handles.h"
#include "framework/known_folder.h"
#include "framework/wide_text.h"
#include "scan/check_support.h"
#include "scan/file_presence.h"
#include "scan/path_rules.h"
#include "scan/scanner.h"
#include "scan/sync_folder.h"
#include "scan/walk.h"

namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kMenuOrderKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs";
constexpr char kMenuOrder2Key[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";

void Report(CRegistryScanner& engine, std::string key, std::string valueName, std::string data, REGPROBLEM_TYPE type)
{
    engine.ReportProblem(
        std::make_unique<CRegistryProblem>(std::move(key), std::move(valueName), std::move(data), type, 0));
}

// Every value of a Run key whose program is found neither on the search path nor at its path.
void CheckRunList(CRegistryScanner& engine, HKEY root, const char* rootName)
{
    engine.SendPath(kRunKey);
    RegKey key;
    if (RegOpenKeyExA(root, kRunKey, 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
        return;
    const std::string problemKey = std::string(rootName) + "\\" + kRunKey;
    CFilePresence files;
    char name[kPathBuffer];
    char data[kPathBuffer];
    for (DWORD index = 0;; ++index) {
        DWORD nameLen = sizeof name;
        const LONG rc = EnumValue(key.get(), index, name, &nameLen, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS && rc != ERROR_NO_UNICODE_TRANSLATION)
            break;
        DWORD size = sizeof data;
        if (rc == ERROR_SUCCESS &&
            QueryValue(key.get(), name, nullptr, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
            const std::string command(data, strnlen(data, size));
            std::string target = ExtractCommandTarget(command);
            if (!files.ReferenceExists(NormalizeFilePath(target)))
                Report(engine, problemKey, name, command, RPT_STARTUP);
        }
        if (engine.StopRequested())
            break;
    }
}

// The all-users programs folder; empty when it is not registered. False when its name is outside
// the ANSI code page, so that no entry can be tested against it.
bool AllUsersProgramsFolder(std::string& folder)
{
    folder.clear();
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kShellFoldersKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return true;
    char data[kPathBuffer];
    DWORD size = sizeof data;
    const LONG rc = QueryValue(key.get(), "Common Programs", nullptr, reinterpret_cast<BYTE*>(data), &size);
    if (rc == ERROR_NO_UNICODE_TRANSLATION)
        return false;
    if (rc == ERROR_SUCCESS)
        folder.assign(data, strnlen(data, size));
    return true;
}

// The user's programs folder; empty when unknown, false when outside the ANSI code page.
bool UserProgramsFolder(std::string& folder)
{
    folder.clear();
    wchar_t user[MAX_PATH] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, user, CSIDL_PROGRAMS, FALSE))
        return true;
    return ExactAnsi(user, wcslen(user), folder);
}

// A start-menu order list: one subkey per menu entry, which must exist in the all-users or the
// user's programs folder.
void CheckMenuOrderList(CRegistryScanner& engine, const char* menuKey, bool announceFolders)
{
    engine.SendPath(kShellFoldersKey);
    std::string allUsers;
    std::string user;
    if (!AllUsersProgramsFolder(allUsers) || !UserProgramsFolder(user))
        return;

    engine.SendPath(menuKey);
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, menuKey, 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
        return;
    const std::string problemKey = std::string("HKEY_CURRENT_USER\\") + menuKey;
    CFilePresence files;
    char entry[kPathBuffer];
    for (DWORD index = 0;; ++index) {
        const LONG rc = EnumKeyName(key.get(), index, entry, sizeof entry);
        if (rc == ERROR_NO_UNICODE_TRANSLATION)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        const std::string a = allUsers + "\\" + entry;
        const std::string b = user + "\\" + entry;
        if (announceFolders) {
            engine.SendPath(b);
            engine.SendPath(a);
        }
        if (!files.ReferenceExists(a) && !files.ReferenceExists(b))
            Report(engine, problemKey, entry, a, RPT_STARTUP);
        if (engine.StopRequested())
            break;
    }
}

// What names one file or folder whatever path it is reached by: its volume and file index, else
// (where the file system gives none) its path without regard to case.
std::string FileIdentity(const std::string& path)
{
    const FileHandle file = OpenFile(Widen(path), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file.get(), &info))
        return "path " + UpperAscii(path);
    char id[48];
    wsprintfA(id, "file %08lx %08lx%08lx", info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
    return id;
}

// One shell link object serves the whole walk: loading a file replaces what the last one held.
class CShortcutReader {
public:
    CShortcutReader()
    {
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, m_link.put())) ||
            FAILED(m_link->QueryInterface(IID_IPersistFile, m_file.put())))
            m_file.reset();
    }

    // True when the shortcut loads, names a file target and that file is gone; any failure on
    // the way counts as a working shortcut.
    bool IsBroken(const std::string& path)
    {
        if (!m_file)
            return false;
        const std::wstring widePath = Widen(path);
        if (widePath.empty() || widePath.size() >= MAX_PATH || FAILED(m_file->Load(widePath.c_str(), STGM_READ)))
            return false;
        // Resolving may find a moved target; what counts is the target it holds afterwards. The
        // file itself is never rewritten (an elevated scan must not change what other users own).
        m_link->Resolve(nullptr, SLR_NO_UI | SLR_NOUPDATE);
        wchar_t target[MAX_PATH] = L"";
        // S_FALSE: the link has no file target (a control panel item, a web page).
        if (m_link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK)
            return false;
        // A target the ANSI code page cannot name is never taken as missing.
        std::string text;
        if (!ExactAnsi(target, wcslen(target), text))
            return false;
        return !m_files.Exists(NormalizeFilePath(text));
    }

    // The folders walked may coincide or hold one another (Wine gives several of them one place):
    // true only the first time the walk meets the file at path, under whatever name.
    bool FirstMeeting(const std::string& path) { return m_met.insert(FileIdentity(path)).second; }

private:
    ComPtr<IShellLinkW> m_link;
    ComPtr<IPersistFile> m_file;
    CFilePresence m_files;
    std::set<std::string> m_met;
};

bool EndsWithLnk(const char* name)
{
    const size_t length = strlen(name);
    return length >= 4 && strcmp(name + length - 4, ".lnk") == 0;
}

void WalkShortcutFolder(CRegistryScanner& engine, CShortcutReader& reader, const std::string& folder,
                        const std::vector<std::string>& syncRoots)
{
    WIN32_FIND_DATAA found;
    const FindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &found));
    if (!find)
        return;
    do {
        if (engine.StopRequested())
            break;
        const std::string path = folder + "\\" + found.cFileName;
        engine.SendPath(path);
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
            continue;
        // What changes in a synchronised folder changes on the user's other PCs too: left alone.
        if (IsInSynchronisedFolder(path, found.dwFileAttributes, found.dwReserved0, syncRoots))
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Junctions and symbolic links lead to other places, maybe out of the profile: not entered.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && lstrcmpiA(found.cFileName, "sendto") != 0 &&
                !IsUnderCloudFilesSyncRoot(path))
                WalkShortcutFolder(engine, reader, path, syncRoots);
        } else if (EndsWithLnk(found.cFileName) && reader.IsBroken(path) && !engine.StopRequested() &&
                   reader.FirstMeeting(path)) {
            Report(engine, path, "", "", RPT_SHORTCUTS);
        }
    } while (FindNextFileA(find.get(), &found));
}

// A known folder by its ANSI name; empty when the system has none or its name is outside the code page.
std::string KnownFolder(REFKNOWNFOLDERID id)
{
    const std::wstring wide = KnownFolderPath(id);
    std::string folder;
    if (wide.empty() || !ExactAnsi(wide.c_str(), wide.size(), folder))
        return {};
    return folder;
}

} // namespace

void CheckShortcutsUnder(CRegistryScanner& engine, const std::vector<std::string>& folders)
{
    const std::vector<std::string> syncRoots = ReadSyncRoots();
    const ComApartment com;
    CShortcutReader reader;
    // A folder met again under another name is not walked again.
    std::set<std::string> walked;
    for (const std::string& folder : folders) {
        const DWORD attributes = GetFileAttributesA(folder.c_str());
        if ((attributes != INVALID_FILE_ATTRIBUTES && IsInSynchronisedFolder(folder, attributes, 0, syncRoots)) ||
            IsUnderCloudFilesSyncRoot(folder))
            continue;
        if (walked.insert(FileIdentity(folder)).second)
            WalkShortcutFolder(engine, reader, folder, syncRoots);
    }
}

void CheckShortcutsUnder(CRegistryScanner& engine, const std::string& folder)
{
    CheckShortcutsUnder(engine, std::vector<std::string>{folder});
}

void CheckStartup(CRegistryScanner& engine)
{
    // Both Run lists are examined from their first value.
    CheckRunList(engine, HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE");
    CheckRunList(engine, HKEY_CURRENT_USER, "HKEY_CURRENT_USER");
    CheckMenuOrderList(engine, kMenuOrderKey, false);
    CheckMenuOrderList(engine, kMenuOrder2Key, true);
}

void CheckShortcuts(CRegistryScanner& engine)
{
    // A profile folder named outside the ANSI code page cannot be walked by name: nothing is tested.
    wchar_t profile[MAX_PATH] = L"";
    std::string folder;
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile)) &&
        !ExactAnsi(profile, wcslen(profile), folder))
        return;
    std::vector<std::string> folders{folder};
    // Setups for all users put their Start menu entries and desktop icons outside every profile.
    for (const KNOWNFOLDERID* id : {&FOLDERID_CommonPrograms, &FOLDERID_PublicDesktop}) {
        std::string common = KnownFolder(*id);
        if (!common.empty())
            folders.push_back(std::move(common));
    }
    CheckShortcutsUnder(engine, folders);
}
