#include "repair/backup_set.h"

#include <fcntl.h>
#include <io.h>

#include <ctime>

#include "framework/error.h"
#include "framework/files.h"
#include "framework/format.h"
#include "framework/security.h"
#include "repair/clean_sweep.h"
#include "repair/reg_file.h"

namespace {

constexpr int kMaxSetSuffix = 1000;
constexpr const char* kLinkNotMoved = "the shortcut is a link to another place (a reparse point) and is not moved";

bool SetNameTaken(const std::string& folder, const std::string& name)
{
    for (const char* ext : {".reg", ".bak", ""})
        if (GetFileAttributesA((folder + name + ext).c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
    return false;
}

std::string SetName(const std::string& stamp, int n)
{
    return n == 1 ? stamp : Format("%s_%d", stamp.c_str(), n);
}

struct tm LocalNow()
{
    const time_t t = time(nullptr);
    struct tm now {};
    localtime_s(&now, &t);
    return now;
}

// A new file opened as a binary stream with the mode "w+b"; never replaces an existing file.
FileStream CreateNewFile(const std::string& path, DWORD& error)
{
    FileHandle file = OpenFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
    if (!file) {
        error = GetLastError();
        return {};
    }
    FileStream stream = StreamOf(std::move(file), _O_RDWR | _O_BINARY, "w+b");
    if (!stream)
        error = ERROR_TOO_MANY_OPEN_FILES;
    return stream;
}

std::string WriteErrorText(const char* what, DWORD error)
{
    return IsDiskFull(error) ? Format("%s could not be written: the disk is full", what)
                             : Format("%s could not be written (%s)", what, ErrorText(error).c_str());
}

// Appends bytes of the file as they are.
Result WriteBytes(FILE* stream, const std::string& bytes)
{
    DWORD error = ERROR_SUCCESS;
    if (fflush(stream) != 0)
        error = ERROR_WRITE_FAULT;
    else
        error = AppendWhole(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), bytes);
    if (error == ERROR_SUCCESS)
        return {};
    return Result::Failure(WriteErrorText("the registry backup file", error), error);
}

} // namespace

Result CBackupSet::CreateRegistryBackupFile(const std::string& programFolder)
{
    const std::string folder = Format("%sBackup\\", programFolder.c_str());
    const std::string stamp = FormatTime("HVBak_%B_%d_%y_%H_%M_%S", LocalNow());
    bool folderCreated = false;
    for (int n = 1; n <= kMaxSetSuffix; ++n) {
        const std::string name = SetName(stamp, n);
        if (SetNameTaken(folder, name))
            continue;
        const std::string path = folder + name + ".reg";
        DWORD error = 0;
        FileStream stream = CreateNewFile(path, error);
        if (!stream && error == ERROR_PATH_NOT_FOUND && !folderCreated) {
            folderCreated = true;
            // Backups are imported with administrator rights and hold the user's registry data: only
            // administrators may read or write them.
            CreateProtectedFolder(folder, kBackupFolderAccess);
            stream = CreateNewFile(path, error);
        }
        if (stream) {
            if (!WriteBytes(stream.get(),
                            kRegFileBom + EncodeRegFileText(std::string(RegFileHeader(REGFILE_VERSION5)) + "\n"))) {
                stream.reset();
                DeleteFileA(path.c_str());
                return Result::Failure(Format("The registry backup file %s could not be written", path.c_str()));
            }
            m_fpRegBackup = std::move(stream);
            m_strRegBackupPath = path;
            m_strSetName = name;
            m_strSetStamp = stamp;
            return {};
        }
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return Result::Failure(Format("The registry backup file %s could not be created (%s)", path.c_str(),
                                          ErrorText(error).c_str()),
                                   error);
    }
    return Result::Failure(Format("No free backup set name in %s", folder.c_str()));
}

Result CBackupSet::CreateFileBackupSet(const std::string& programFolder)
{
    const std::string folder = Format("%sBackup\\", programFolder.c_str());
    const std::string stamp = "HVBak" + FormatTime("_%B_%d_%y_%H_%M_%S", LocalNow());
    std::string name;
    if (stamp == m_strSetStamp && !m_strSetName.empty()) {
        name = m_strSetName;
    } else {
        for (int n = 1; n <= kMaxSetSuffix && name.empty(); ++n)
            if (!SetNameTaken(folder, SetName(stamp, n)))
                name = SetName(stamp, n);
    }
    if (name.empty())
        return Result::Failure(Format("No free backup set name in %s", folder.c_str()));
    const std::string setFolder = folder + name;
    if (!CreateDirectoryA(setFolder.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        return Result::Failure(Format("The file backup folder %s could not be created (%s)", setFolder.c_str(),
                                      ErrorText(error).c_str()),
                               error);
    }
    m_strFileBackupFolder = setFolder;
    const std::string listPath = setFolder + ".bak";
    // Shared for reading and writing: each move appends its line through a handle of its own.
    FileStream stream = StreamOf(OpenFile(listPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          CREATE_ALWAYS),
                                 _O_RDWR | _O_TEXT, "w+");
    if (!stream) {
        RemoveDirectoryA(setFolder.c_str());
        return Result::Failure(Format("The moved-files list %s could not be created", listPath.c_str()));
    }
    m_fpFileList = std::move(stream);
    m_strFileListPath = listPath;
    return {};
}

Result CBackupSet::Open(const std::string& programFolder)
{
    m_strRegBackupPath.clear();
    m_strFileListPath.clear();
    m_strFileBackupFolder.clear();
    Result opened = CreateRegistryBackupFile(programFolder);
    if (opened)
        opened = CreateFileBackupSet(programFolder);
    if (opened)
        return opened;
    // Nothing is recorded yet: what was made of the set goes again.
    Close();
    if (!m_strRegBackupPath.empty())
        DeleteOrWarn(m_strRegBackupPath);
    if (!m_strFileListPath.empty())
        DeleteOrWarn(m_strFileListPath);
    if (!m_strFileBackupFolder.empty())
        RemoveFolderOrWarn(m_strFileBackupFolder);
    return opened;
}

Result CBackupSet::AppendRegistryRecord(const std::string& text)
{
    if (!m_fpRegBackup)
        return Result::Failure("no registry backup file is open");
    return WriteBytes(m_fpRegBackup.get(), EncodeRegFileText(text));
}

bool CBackupSet::MoveFileToBackup(const std::string& path, std::string& reason, DWORD& writeError)
{
    // A link (symbolic link, junction, any reparse point) stands for something elsewhere, which an
    // elevated move must not carry off.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        reason = kLinkNotMoved;
        return false;
    }
    const size_t slash = path.find_last_of('\\');
    const std::string tail = slash == std::string::npos ? "\\" + path : path.substr(slash);
    // Shortcuts of the same name from different folders each keep their own copy.
    std::string copy = m_strFileBackupFolder + tail;
    const size_t dot = tail.find_last_of('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? tail : tail.substr(0, dot);
    const std::string ext = tail.substr(stem.size());
    for (int n = 2; GetFileAttributesA(copy.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        copy = m_strFileBackupFolder + Format("%s_%d%s", stem.c_str(), n, ext.c_str());

    const FileHandle list(
        OpenFile(m_strFileListPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS));
    if (!list) {
        reason = "the moved-files list could not be opened";
        return false;
    }
    // One whole line or nothing: a list cut short would name a file of the set wrongly.
    DWORD error = AppendWhole(list.get(), Format("%s,%s\r\n", path.c_str(), copy.c_str()));
    if (error != ERROR_SUCCESS) {
        reason = WriteErrorText("the moved-files list", error);
        writeError = error;
        return false;
    }
    // A new file, not the moved one: a moved file keeps its permissions, and whoever could change
    // the shortcut could then change what an elevated restore writes back.
    if (!CopyAsNewFile(path, copy, error)) {
        reason = error == kErrorReparsePointEncountered
                     ? kLinkNotMoved
                     : "the file could not be copied into the backup set (" +
                           (IsDiskFull(error) ? std::string("the disk is full") : ErrorText(error)) + ")";
        if (IsDiskFull(error))
            writeError = error;
        return false;
    }
    if (!DeleteFileA(path.c_str())) {
        error = GetLastError();
        DeleteFileA(copy.c_str());
        reason = "the file could not be deleted (" + ErrorText(error) + ")";
        return false;
    }
    return true;
}

void CBackupSet::Close()
{
    m_fpRegBackup.reset();
    m_fpFileList.reset();
}

void CBackupSet::Finish(bool keepMovedFiles, bool keepRegistryFile)
{
    Close();
    if (!keepMovedFiles) {
        RemoveFolderOrWarn(m_strFileBackupFolder);
        DeleteOrWarn(m_strFileListPath);
    }
    if (!keepRegistryFile)
        DeleteOrWarn(m_strRegBackupPath);
}
