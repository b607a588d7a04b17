#include "repair/backup_sets.h"

#include <windows.h>

#include <mbstring.h>
#include <shellapi.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <map>

#include "framework/ascii.h"
#include "framework/error.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/paths.h"
#include "framework/read_file.h"
#include "framework/security.h"
#include "framework/wide_text.h"
#include "repair/clean_sweep.h"
#include "scan/registry.h"
#include "scan/scanner.h"
#include "shell/logfile.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string CreationTimeText(const FILETIME& created)
{
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&created, &local) || !FileTimeToSystemTime(&local, &st))
        return {};
    struct tm when {};
    when.tm_year = st.wYear - 1900;
    when.tm_mon = st.wMonth - 1;
    when.tm_mday = st.wDay;
    when.tm_hour = st.wHour;
    when.tm_min = st.wMinute;
    when.tm_sec = st.wSecond;
    when.tm_wday = st.wDayOfWeek;
    return FormatTime("%B %d, %Y (%H:%M:%S)", when);
}

// Older backup files are 8-bit text in the ANSI code page.
std::u16string DecodeAnsi(const std::string& bytes)
{
    const std::wstring wide = Widen(bytes);
    return std::u16string(wide.begin(), wide.end());
}

// The registry editor of the Windows folder, by its full path: a bare name is searched in the
// current folder first.
std::string RegistryEditorPath()
{
    char windows[MAX_PATH];
    const UINT n = GetSystemWindowsDirectoryA(windows, sizeof windows);
    return n == 0 || n >= sizeof windows ? std::string() : std::string(windows) + "\\regedit.exe";
}

bool RunRegistryEditor(const std::string& path, std::string& reason)
{
    const std::string parameters = Format("/S \"%s\"", path.c_str());
    const std::string editor = RegistryEditorPath();
    SHELLEXECUTEINFOA info {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = editor.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        reason = "the registry editor could not be started (" + ErrorText(GetLastError()) + ")";
        return false;
    }
    const KernelHandle process(info.hProcess);
    if (!process) {
        reason = "the registry editor gave no process to wait for";
        return false;
    }
    WaitForSingleObject(process.get(), INFINITE);
    return true;
}

// The first folder on the way to path, from its drive down, that is a link to another place
// (a junction, a symbolic link: any reparse point), path itself included; empty when there is none.
std::string LinkOnTheWay(const std::string& path)
{
    // The root (C:\ or \\server\share\) is where the path starts, not a step on its way.
    size_t at = path.compare(0, 2, "\\\\") == 0 ? path.find('\\', path.find('\\', 2) + 1) : path.find('\\');
    while (at != std::string::npos) {
        const size_t next = path.find('\\', at + 1);
        const std::string step = path.substr(0, next);
        const DWORD attributes = GetFileAttributesA(step.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return {};
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return step;
        at = next;
    }
    return {};
}

std::string LinkRefusal(const std::string& original, const std::string& link)
{
    return "the shortcut " + original + " is not put back: " + link + " is a link to another place";
}

} // namespace

std::string MovedFilesRefusal(const std::string& listPath)
{
    std::ifstream list(listPath);
    const size_t dot = listPath.find_last_of('.');
    const std::string setFolder = dot == std::string::npos ? listPath : listPath.substr(0, dot);
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string original, copy;
        if (!line.empty() && SplitMovedFileLine(line, setFolder, original, copy) && Exists(copy))
            if (const std::string link = LinkOnTheWay(original); !link.empty())
                return LinkRefusal(original, link);
    }
    return {};
}

std::string BackupFolderPath(const std::string& programFolder)
{
    return Format("%sBackup", programFolder.c_str());
}

std::vector<BACKUP_SET_ROW> ListBackupSets(const std::string& backupFolder)
{
    std::vector<BACKUP_SET_ROW> rows;
    WIN32_FIND_DATAA entry;
    const FindHandle find(FindFirstFileA((backupFolder + "\\*.*").c_str(), &entry));
    if (!find)
        return rows;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (entry.nFileSizeLow == 0 && entry.nFileSizeHigh == 0))
            continue;
        const char* dot = strchr(entry.cFileName, '.');
        const std::string name = dot ? std::string(static_cast<const char*>(entry.cFileName), dot) : std::string();
        bool listed = false;
        for (const BACKUP_SET_ROW& row : rows)
            listed |= _mbsicmp(reinterpret_cast<const unsigned char*>(row.strName.c_str()),
                               reinterpret_cast<const unsigned char*>(name.c_str())) == 0;
        if (!listed)
            rows.insert(rows.begin(), BACKUP_SET_ROW{name, CreationTimeText(entry.ftCreationTime)});
    } while (FindNextFileA(find.get(), &entry));
    return rows;
}

bool IsRegFileImported(const std::vector<REG_FILE_KEY>& keys, std::string& difference)
{
    // A value recorded twice is checked against its last record: the import leaves that one.
    std::map<std::pair<std::string, std::string>, const REG_FILE_VALUE*> last;
    std::map<std::string, std::string> paths;
    for (const REG_FILE_KEY& key : keys) {
        paths.emplace(LowerAscii(key.strPath), key.strPath);
        for (const REG_FILE_VALUE& value : key.values)
            last[{LowerAscii(key.strPath), LowerAscii(value.strName)}] = &value;
    }
    difference.clear();
    constexpr int kListed = 20;
    int count = 0;
    const auto differs = [&](const std::string& what) {
        if (++count <= kListed)
            difference += (difference.empty() ? "" : "; ") + what;
    };
    for (const auto& [lowered, path] : paths) {
        const auto [rootName, subkey] = SplitKeyPath(path);
        const HKEY root = RootKeyFromName(rootName);
        RegKey key;
        if (!root || RegOpenKeyExW(root, Utf8ToWide(subkey).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
            differs("the key " + path + " is missing");
            continue;
        }
        for (auto it = last.lower_bound({lowered, std::string()}); it != last.end() && it->first.first == lowered;
             ++it) {
            const REG_FILE_VALUE& expected = *it->second;
            DWORD type = 0;
            std::string data;
            const std::string where = path + "\\" + (expected.strName.empty() ? "@" : expected.strName);
            if (ReadRegistryValueW(key.get(), Utf8ToWide(expected.strName), type, data) != ERROR_SUCCESS)
                differs("the value " + where + " is missing");
            else if (type != expected.nType || data != expected.data)
                differs("the value " + where + " differs in type or data");
        }
    }
    if (count > kListed)
        difference += Format("; and %d more", count - kListed);
    return count == 0;
}

bool RestoreRegistryFile(const std::string& path, std::string& reason)
{
    // The registry editor runs with administrator rights and does whatever the file says: it gets
    // the file only when this program's reader accepts it (values to write back, nothing to
    // delete), and the file stays open for reading only until the import is done, so that what was
    // checked is what is imported.
    std::string text;
    FileHandle held = ReadWholeFile(path, text);
    if (!held) {
        reason = "the file " + path + " could not be read";
        return false;
    }
    std::vector<REG_FILE_KEY> keys;
    std::string error;
    if (!ParseRegFile(text, keys, error, DecodeAnsi)) {
        reason = "the file " + path + " is not imported: it is no backup this program wrote (" + error + ")";
        return false;
    }
    if (!RunRegistryEditor(path, reason))
        return false;
    std::string difference;
    if (!IsRegFileImported(keys, difference)) {
        reason = "the registry editor did not import " + path + ": " + difference;
        return false;
    }
    held.reset();
    if (!DeleteFileA(path.c_str())) {
        reason = "the imported file " + path + " could not be deleted";
        return false;
    }
    return true;
}

bool SplitMovedFileLine(const std::string& line, const std::string& setFolder, std::string& original,
                        std::string& copy)
{
    if (!setFolder.empty()) {
        const size_t at = LowerAscii(line).find(LowerAscii("," + setFolder + "\\"));
        if (at != std::string::npos) {
            original = line.substr(0, at);
            copy = line.substr(at + 1);
            return !original.empty();
        }
    }
    const size_t comma = line.find(',');
    if (comma == std::string::npos || line.find(',', comma + 1) != std::string::npos)
        return false;
    original = line.substr(0, comma);
    copy = line.substr(comma + 1);
    return true;
}

bool RestoreMovedFiles(const std::string& listPath, std::string& reason)
{
    std::ifstream list(listPath);
    if (!list) {
        reason = "the list " + listPath + " could not be opened";
        return false;
    }
    const size_t dot = listPath.find_last_of('.');
    const std::string setFolder = dot == std::string::npos ? listPath : listPath.substr(0, dot);

    std::vector<std::string> kept;
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::string original, copy;
        if (!SplitMovedFileLine(line, setFolder, original, copy)) {
            reason = "the line " + line + " is not understood";
            kept.push_back(line);
            continue;
        }
        // A copy that was never made (its move failed during the repair) has nothing to give back.
        if (!Exists(copy))
            continue;
        // Written back as a new file, which takes the permissions of its folder, and never through
        // a link: an elevated write through a folder the user turned into a link would land
        // wherever the link leads.
        if (const std::string link = LinkOnTheWay(original); !link.empty()) {
            reason = LinkRefusal(original, link);
            kept.push_back(line);
            continue;
        }
        DWORD error = 0;
        if (!CopyAsNewFile(copy, original, error)) {
            reason = "the file " + copy + " could not be moved back to " + original + " (" +
                     ErrorText(error) + ")";
            kept.push_back(line);
            continue;
        }
        DeleteOrWarn(copy);
    }
    list.close();

    if (kept.empty()) {
        RemoveFolderOrWarn(setFolder);
        DeleteOrWarn(listPath);
        return true;
    }
    std::ofstream rewrite(listPath, std::ios::trunc);
    for (const std::string& rest : kept)
        rewrite << rest << "\n";
    return false;
}

int RestoreBackupSets(const std::string& backupFolder, const std::vector<std::string>& names,
                      std::vector<std::string>* failures, std::string* refusal)
{
    // Both the Backup page and hivora-cli restore come here: what the wrong build imported would
    // land in the registry's 32-bit half, and the backup file would be gone.
    std::string why;
    if (const char* wrongBuild = WrongBuildRefusal())
        why = wrongBuild;
    else if (const std::string program = FolderOf(backupFolder);
             !IsAdministratorsOnlyFolder(program.size() > 3 ? program.substr(0, program.size() - 1) : program, why) ||
             !IsAdministratorsOnlyFolder(backupFolder, why))
        why = "the folder of Hivora or its backups may be changed by others than SYSTEM and the Administrators (" +
              why + "). Only SYSTEM and the Administrators may be able to change the folder of Hivora (as under "
                    "Program Files).";
    if (!why.empty()) {
        LogMessage("Restore refused, nothing was restored: " + why, LOG_ERROR);
        if (refusal)
            *refusal = why;
        return -1;
    }
    int restored = 0;
    for (const std::string& name : names) {
        const std::string setPath = Format("%s\\%s", backupFolder.c_str(), name.c_str());
        LogMessage(Format("Restoring backup file %s", setPath.c_str()));
        bool whole = true;
        std::string reason;
        const std::string listPath = setPath + ".bak";
        // A set that would write through a link is not restored at all: nothing of it changes.
        if (Exists(listPath))
            reason = MovedFilesRefusal(listPath);
        if (!reason.empty()) {
            LogMessage("Restore of " + setPath + " refused: " + reason, LOG_WARN);
            if (failures)
                failures->push_back(name + ": " + reason);
            continue;
        }
        const std::string regPath = setPath + ".reg";
        if (Exists(regPath) && !RestoreRegistryFile(regPath, reason)) {
            LogMessage("Restore of " + setPath + " incomplete: " + reason, LOG_WARN);
            whole = false;
        }
        if (Exists(listPath) && !RestoreMovedFiles(listPath, reason)) {
            LogMessage("Restore of " + setPath + " incomplete: " + reason, LOG_WARN);
            whole = false;
        }
        if (!whole && failures)
            failures->push_back(name + ": " + reason);
        restored += whole;
    }
    // "Succesfully" is deliberate: readers of the logs look for the text so.
    LogMessage(restored > 0 ? "Succesfully Restored" : kCouldNotRestoreText);
    return restored;
}

int RemoveBackupSets(const std::string& backupFolder, const std::vector<std::string>& names)
{
    int removed = 0;
    for (const std::string& name : names) {
        // A dotless file lists with an empty name: its "set folder" would be the Backup folder itself.
        if (name.empty() || name.find_first_of("\\/:") != std::string::npos || name == "..") {
            LogMessage("Backup set name \"" + name + "\" refused: it names no set folder of its own", LOG_WARN);
            continue;
        }
        const std::string setPath = Format("%s\\%s", backupFolder.c_str(), name.c_str());
        DeleteOrWarn(setPath + ".reg");
        DeleteOrWarn(setPath + ".bak");
        if (!DeleteFolderTree(setPath)) {
            const DWORD error = GetLastError();
            if (Exists(setPath))
                LogMessage(Format("The folder %s could not be removed (%s)", setPath.c_str(),
                                  ErrorText(error).c_str()),
                           LOG_WARN);
        }
        LogMessage(Format("Removed Backup file %s", name.c_str()));
        removed += !Exists(setPath + ".reg") && !Exists(setPath + ".bak") && !Exists(setPath);
    }
    return removed;
}

bool DeleteFolderTree(const std::string& path)
{
    // A link is removed itself; what it leads to is never entered.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return RemoveDirectoryA(path.c_str()) != FALSE;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA((path + "\\*").c_str(), &entry));
    if (!find)
        return false;
    do {
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0)
            continue;
        const std::string child = path + "\\" + entry.cFileName;
        const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const bool deleted = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                                 ? (!link && DeleteFolderTree(child)) || RemoveDirectoryA(child.c_str())
                                 : DeleteFileA(child.c_str()) != FALSE;
        if (!deleted)
            return false;
    } while (FindNextFileA(find.get(), &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        return false;
    find.reset();
    return RemoveDirectoryA(path.c_str()) != FALSE;
}
