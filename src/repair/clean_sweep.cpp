#include "repair/clean_sweep.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/error.h"
#include "framework/files.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/paths.h"
#include "framework/security.h"
#include "framework/wide_text.h"
#include "repair/windows_keys.h"
#include "scan/walk.h"
#include "shell/logfile.h"

namespace {

// The key's path as the backup file names it, in UTF-8.
std::string KeyPath(HKEY root, const std::wstring& subkey)
{
    return std::string(RootKeyName(root)) + "\\" + WideToUtf8(subkey);
}

// The name the open key is stored under, as the registry enumerates it; false when it cannot tell.
bool StoredKeyName(HKEY key, std::wstring& name)
{
    // KEY_BASIC_INFORMATION: times, title index, name length in bytes, then the name. The name of
    // the key's own node keeps the case it was created with.
    constexpr int kKeyBasicInformation = 0;
    constexpr size_t kNameOffset = 16;
    alignas(8) BYTE info[kNameOffset + 256 * sizeof(wchar_t)];
    ULONG length = 0;
    if (QueryKeyInformation(key, kKeyBasicInformation, info, sizeof info, &length) != 0 || length < kNameOffset)
        return false;
    ULONG nameBytes = 0;
    memcpy(&nameBytes, info + 12, sizeof nameBytes);
    if (nameBytes > length - kNameOffset)
        return false;
    name.assign(reinterpret_cast<const wchar_t*>(info + kNameOffset), nameBytes / sizeof(wchar_t));
    return true;
}

// A key of the process's HKEY_CURRENT_USER by the hive it lies in, as HKEY_USERS\<SID>\...: under
// elevation with another account's password, HKEY_CURRENT_USER is that account's hive, and a restore
// run by anyone must write back into the same hive. Empty when the registry does not tell the
// key's full name or the key lies in no user's hive.
std::string UserHivePath(HKEY key)
{
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name, as \REGISTRY\USER\<SID>\...
    using QueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const QueryKey queryKey = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll ? reinterpret_cast<QueryKey>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryKey")))
                     : nullptr;
    }();
    constexpr int kKeyNameInformation = 3;
    std::vector<BYTE> info(sizeof(ULONG) + 65536);
    ULONG length = 0;
    if (!queryKey || queryKey(key, kKeyNameInformation, info.data(), static_cast<ULONG>(info.size()), &length) != 0 ||
        length < sizeof(ULONG))
        return {};
    ULONG nameBytes = 0;
    memcpy(&nameBytes, info.data(), sizeof nameBytes);
    if (nameBytes > length - sizeof(ULONG))
        return {};
    const std::wstring name(reinterpret_cast<const wchar_t*>(info.data() + sizeof(ULONG)), nameBytes / sizeof(wchar_t));
    const std::wstring prefix = L"\\REGISTRY\\USER\\";
    if (name.size() <= prefix.size() ||
        CompareStringOrdinal(name.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                             static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL)
        return {};
    return "HKEY_USERS\\" + WideToUtf8(name.substr(prefix.size()));
}

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// root\subkey with every key name as the registry stores it, not as the caller spelled it: a
// restore must make the keys it makes again under their own names. A name that cannot be asked,
// or that is stored differently because the path passed through a link, stays as spelled.
std::wstring StoredSubkey(HKEY root, const std::wstring& subkey)
{
    std::wstring stored;
    RegKey parent;
    for (size_t start = 0; start < subkey.size();) {
        size_t end = subkey.find(L'\\', start);
        if (end == std::wstring::npos)
            end = subkey.size();
        const std::wstring name = subkey.substr(start, end - start);
        RegKey key;
        std::wstring own;
        if (name.empty() ||
            RegOpenKeyExW(parent ? parent.get() : root, name.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS ||
            !StoredKeyName(key.get(), own) || !SameNameIgnoringCase(own, name))
            return stored + subkey.substr(start);
        stored += own;
        if (end < subkey.size())
            stored += L'\\';
        parent = std::move(key);
        start = end + 1;
    }
    return stored;
}

// The name a value of the open key is stored under; name itself when the key holds no other
// spelling of it.
std::wstring StoredValueName(HKEY key, const std::wstring& name)
{
    if (name.empty())
        return name;
    std::vector<wchar_t> buffer(16384);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (RegEnumValueW(key, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return name;
        const std::wstring found(buffer.data(), length);
        if (SameNameIgnoringCase(found, name))
            return found;
    }
}

BOOL WINAPI WriteWholeFile(HANDLE file, const void* data, DWORD size, DWORD* written)
{
    return WriteFile(file, data, size, written, nullptr);
}

// A write's result as the export functions give it: the reason, and the write's error, on which
// the repair stops.
bool Written(const Result& result, std::string& reason, DWORD& writeError)
{
    if (result)
        return true;
    reason = result.Reason();
    writeError = result.Code();
    return false;
}

// Writes root\subkey and its tree; path is the key's path as the file names it.
Result ExportKeyTreeW(HKEY root, const std::wstring& subkey, const std::string& path, std::string& records)
{
    if (!RegFileCanHoldName(path))
        return Result::Failure("the name of " + path + " holds a line break, which a backup file cannot keep");
    RegKey key;
    LONG rc = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, key.put());
    if (rc != ERROR_SUCCESS)
        return Failed("the key " + path + " could not be opened", rc);

    // On the heap: the walk recurses once per key level.
    std::vector<wchar_t> name(16384);
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        rc = RegEnumValueW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return Failed("the values of " + path + " could not be listed", rc);
        names.emplace_back(name.data(), length);
    }
    const size_t start = records.size();
    for (const std::wstring& valueName : names) {
        DWORD type = 0;
        std::string data;
        rc = ReadRegistryValueW(key.get(), valueName, type, data);
        const std::string utf8Name = WideToUtf8(valueName);
        if (rc != ERROR_SUCCESS)
            return Failed("the value " + path + "\\" + utf8Name + " could not be read", rc);
        if (!RegFileCanHoldName(utf8Name))
            return Result::Failure("the name of " + path + "\\" + utf8Name +
                                   " holds a line break, which a backup file cannot keep");
        records += FormatSectionLine(path) + FormatValueLine(utf8Name, type, data, REGFILE_VERSION5);
    }
    if (records.size() == start)
        records += FormatSectionLine(path);

    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        rc = RegEnumKeyExW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return Failed("the subkeys of " + path + " could not be listed", rc);
        children.emplace_back(name.data(), length);
    }
    for (const std::wstring& child : children)
        if (Result result = ExportKeyTreeW(root, subkey + L"\\" + child, path + "\\" + WideToUtf8(child), records);
            !result)
            return result;
    return {};
}

// Key names are at most 255 characters.
LONG DeleteKeyTreeW(HKEY parent, const std::wstring& subkey)
{
    RegKey key;
    LONG rc = RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, key.put());
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD index = 0;
    for (;;) {
        wchar_t name[256];
        DWORD length = 256;
        rc = RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            break;
        if (DeleteKeyTreeW(key.get(), std::wstring(name, length)) != 1)
            ++index;
    }
    if (rc == ERROR_NO_MORE_ITEMS || rc == ERROR_KEY_DELETED) {
        rc = RegDeleteKeyW(parent, subkey.c_str());
        if (rc == ERROR_SUCCESS)
            rc = 1;
    }
    return rc;
}

} // namespace

CCleanSweep::CCleanSweep() : m_strProgramFolder(ProgramFolder()) {}

CCleanSweep::~CCleanSweep() = default;

const char* RootKeyName(HKEY root)
{
    static const std::pair<HKEY, const char*> roots[] = {
        {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},   {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"}, {HKEY_USERS, "HKEY_USERS"},
        {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"}, {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
        {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
    };
    for (const auto& [key, name] : roots)
        if (key == root)
            return name;
    return "";
}

namespace {

BACKUP_WRITE& BackupWrite()
{
    static BACKUP_WRITE write = WriteWholeFile;
    return write;
}

} // namespace

void UseBackupWriteStandIn(BACKUP_WRITE standIn)
{
    BackupWrite() = standIn ? standIn : WriteWholeFile;
}

bool IsDiskFull(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

DWORD AppendWhole(HANDLE file, const std::string& bytes)
{
    LARGE_INTEGER end {};
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &end) ||
        !SetFilePointerEx(file, end, nullptr, FILE_BEGIN))
        return ERROR_INVALID_HANDLE;
    DWORD written = 0;
    if (BackupWrite()(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written) &&
        written == bytes.size())
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    if (error == ERROR_SUCCESS)
        error = ERROR_WRITE_FAULT;
    // Whatever part of the record reached the disk goes again: the file ends after a whole record.
    if (!SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
        LogMessage(Format("A backup file could not be cut back after a failed write (%s)",
                          ErrorText(GetLastError()).c_str()),
                   LOG_ERROR);
    return error;
}

namespace {

void WarnUnlessGone(const char* what, const std::string& path, DWORD error)
{
    if (!IsGone(error))
        LogMessage(Format("The %s %s could not be removed (%s)", what, path.c_str(),
                          ErrorText(error).c_str()),
                   LOG_WARN);
}

} // namespace

void DeleteOrWarn(const std::string& path)
{
    if (!DeleteFileA(path.c_str()))
        WarnUnlessGone("file", path, GetLastError());
}

void RemoveFolderOrWarn(const std::string& path)
{
    if (!RemoveDirectoryA(path.c_str()))
        WarnUnlessGone("folder", path, GetLastError());
}

LONG ReadRegistryValueW(HKEY key, const std::wstring& name, DWORD& type, std::string& data)
{
    data.assign(1024, '\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        const LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_MORE_DATA) {
            data.assign(std::max<size_t>(size, data.size() * 2), '\0');
            continue;
        }
        if (rc == ERROR_SUCCESS)
            data.resize(size);
        return rc;
    }
}

namespace {

// Writes one record (section line, typed value line) of root\subkey's value into the set's registry
// backup file, in the Unicode format, read through the wide registry calls. A failed write leaves
// its error in writeError.
bool ExportValue(HKEY root, const std::string& subkey, const std::string& valueName, CBackupSet& set,
                 std::string& reason, DWORD& writeError)
{
    if (!set.RegistryFileOpen()) {
        reason = "no registry backup file is open";
        return false;
    }
    const std::wstring wideSubkey = Widen(subkey);
    RegKey key;
    LONG rc = RegOpenKeyExW(root, wideSubkey.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (rc != ERROR_SUCCESS) {
        reason = "the key could not be opened (" + ErrorText(rc) + ")";
        return false;
    }
    DWORD type = 0;
    std::string data;
    rc = ReadRegistryValueW(key.get(), Widen(valueName), type, data);
    if (rc != ERROR_SUCCESS) {
        reason = "the value could not be read (" + ErrorText(rc) + ")";
        return false;
    }
    std::string path = root == HKEY_CURRENT_USER ? UserHivePath(key.get()) : std::string();
    if (path.empty())
        path = KeyPath(root, StoredSubkey(root, wideSubkey));
    const std::string storedName = WideToUtf8(StoredValueName(key.get(), Widen(valueName)));
    if (!RegFileCanHoldName(path) || !RegFileCanHoldName(storedName)) {
        reason = "the name holds a line break, which a backup file cannot keep";
        return false;
    }
    return Written(set.AppendRegistryRecord(FormatSectionLine(path) +
                                            FormatValueLine(storedName, type, data, REGFILE_VERSION5)),
                   reason, writeError);
}

// Writes root\subkey and everything below it: each key as a section, each value as a record.
bool ExportKeyTree(HKEY root, const std::string& subkey, CBackupSet& set, std::string& reason, DWORD& writeError)
{
    if (!set.RegistryFileOpen()) {
        reason = "no registry backup file is open";
        return false;
    }
    // The whole tree is read first and written at once: the file never holds part of it.
    const std::wstring wideSubkey = Widen(subkey);
    std::string path;
    if (root == HKEY_CURRENT_USER) {
        RegKey key;
        if (RegOpenKeyExW(root, wideSubkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS)
            path = UserHivePath(key.get());
    }
    if (path.empty())
        path = KeyPath(root, StoredSubkey(root, wideSubkey));
    std::string records;
    if (const Result read = ExportKeyTreeW(root, wideSubkey, path, records); !read) {
        reason = read.Reason();
        return false;
    }
    return Written(set.AppendRegistryRecord(records), reason, writeError);
}

} // namespace

bool CCleanSweep::DeleteValueWithBackup(HKEY root, const std::string& subkey, const std::string& valueName,
                                        std::string& reason)
{
    RegKey key;
    LONG rc = RegOpenKeyExW(root, Widen(subkey).c_str(), 0, KEY_READ | KEY_WRITE, key.put());
    if (rc != ERROR_SUCCESS) {
        reason = "the key could not be opened (" + ErrorText(rc) + ")";
        return false;
    }
    if (!ExportValue(root, subkey, valueName, m_backupSet, reason, m_nBackupWriteError))
        return false;
    rc = RegDeleteValueW(key.get(), Widen(valueName).c_str());
    if (rc != ERROR_SUCCESS) {
        reason = "the value could not be deleted (" + ErrorText(rc) + ")";
        return false;
    }
    return true;
}

bool CCleanSweep::DeleteKeyTreeWithBackup(HKEY root, const std::string& subkey, std::string& reason)
{
    if (subkey.empty()) {
        reason = "a whole root key is never removed";
        return false;
    }
    if (IsProtectedKey(std::string(RootKeyName(root)) + "\\" + subkey)) {
        reason = "the key is a hive or holds the entries of other programs: it is never removed";
        return false;
    }
    if (!ExportKeyTree(root, subkey, m_backupSet, reason, m_nBackupWriteError))
        return false;
    const LONG rc = DeleteKeyTree(root, subkey);
    if (rc != 1) {
        m_bPartlyRemoved = true;
        reason = "the key could not be deleted (" + ErrorText(rc) + ")";
        return false;
    }
    return true;
}

LONG CCleanSweep::DeleteKeyTree(HKEY parent, const std::string& subkey)
{
    return DeleteKeyTreeW(parent, Widen(subkey));
}

bool CCleanSweep::MoveFileToBackup(const std::string& path, std::string& reason)
{
    return m_backupSet.MoveFileToBackup(path, reason, m_nBackupWriteError);
}

Result CCleanSweep::CreateRegistryBackupFile()
{
    return m_backupSet.CreateRegistryBackupFile(m_strProgramFolder);
}

Result CCleanSweep::CreateFileBackupSet()
{
    return m_backupSet.CreateFileBackupSet(m_strProgramFolder);
}

void CCleanSweep::CloseBackupFiles()
{
    m_backupSet.Close();
}

void CCleanSweep::ResetRemovalState()
{
    m_bPartlyRemoved = false;
    m_nBackupWriteError = ERROR_SUCCESS;
}

void CCleanSweep::FinishBackupSet(bool shortcutsMoved, bool registryFixed)
{
    m_backupSet.Finish(shortcutsMoved, registryFixed || m_bPartlyRemoved);
}

bool CopyAsNewFile(const std::string& from, const std::string& to, DWORD& error)
{
    // Shortcuts are small; anything larger is no file this program moves.
    constexpr LONGLONG kLargest = 16 * 1024 * 1024;
    const FileHandle source(OpenFile(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    BY_HANDLE_FILE_INFORMATION info {};
    if (!source || !GetFileInformationByHandle(source.get(), &info)) {
        error = GetLastError();
        return false;
    }
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
        error = kErrorReparsePointEncountered;
        return false;
    }
    const LONGLONG size = (static_cast<LONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > kLargest) {
        error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(source.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        error = read != bytes.size() ? ERROR_READ_FAULT : GetLastError();
        return false;
    }
    FileHandle target(OpenFile(to, GENERIC_WRITE, 0, CREATE_NEW));
    if (!target) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    if (!bytes.empty() &&
        (!BackupWrite()(target.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written) ||
         written != bytes.size())) {
        error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
        target.reset();
        DeleteFileA(to.c_str());
        return false;
    }
    return true;
}
