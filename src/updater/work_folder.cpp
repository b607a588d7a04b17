#include "updater/work_folder.h"

#include <windows.h>

#include <cstring>

#include "framework/error.h"
#include "framework/files.h"
#include "framework/format.h"
#include "framework/security.h"
#include "updater/crypto.h"
#include "updater/update_log.h"

namespace {

constexpr std::string_view kPrefix = "Update-";
constexpr size_t kRandomBytes = 16;

} // namespace

bool CWorkFolder::IsName(std::string_view name)
{
    if (name.size() != kPrefix.size() + 2 * kRandomBytes || name.substr(0, kPrefix.size()) != kPrefix)
        return false;
    for (const char c : name.substr(kPrefix.size()))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

bool CWorkFolder::Create(const std::string& parent)
{
    // A name that exists already is someone else's: another name is drawn.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string random = RandomHex(kRandomBytes);
        if (random.empty())
            return false;
        m_strName = std::string(kPrefix) + random;
        m_strPath = parent + m_strName;
        if (CreateProtectedFolder(m_strPath, FA_ADMINS_ONLY))
            return Hold();
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    m_strName.clear();
    m_strPath.clear();
    return false;
}

bool CWorkFolder::Open(const std::string& parent, const std::string& name)
{
    if (!IsName(name))
        return false;
    m_strName = name;
    m_strPath = parent + name;
    return Hold();
}

bool CWorkFolder::Hold()
{
    // No delete sharing: while held, the folder cannot be renamed away and another put in its place.
    m_folder = OpenFile(m_strPath, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    BY_HANDLE_FILE_INFORMATION info {};
    if (!m_folder || !GetFileInformationByHandle(m_folder.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        m_folder.reset();
        return false;
    }
    return true;
}

bool CWorkFolder::IsAdministratorsOnly(std::string& why) const
{
    return m_folder && ::IsAdministratorsOnly(m_folder.get(), why);
}

void CWorkFolder::Remove()
{
    if (m_strPath.empty())
        return;
    m_folder.reset();
    // Only the run's own files are in it; nothing below is followed.
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA((m_strPath + "\\*").c_str(), &entry));
    if (find) {
        do {
            const std::string file = File(entry.cFileName);
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !DeleteFileA(file.c_str())) {
                const DWORD error = GetLastError();
                LogUpdateWarning(Format("The file %s could not be deleted (%s)", file.c_str(), ErrorText(error).c_str()));
            }
        } while (FindNextFileA(find.get(), &entry));
        find.reset();
    }
    if (!RemoveDirectoryA(m_strPath.c_str())) {
        const DWORD error = GetLastError();
        LogUpdateWarning(
            Format("The update folder %s could not be removed (%s)", m_strPath.c_str(), ErrorText(error).c_str()));
    }
    m_strPath.clear();
    m_strName.clear();
}

std::string UpdateFolderRefusal(const std::string& programFolder, const CWorkFolder* work)
{
    std::string folder = programFolder;
    if (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    std::string why;
    if (!IsAdministratorsOnlyFolder(folder, why) || (work && !work->IsAdministratorsOnly(why)))
        return "Updates are not installed into " + folder + ": " + why +
               ". Only SYSTEM and the Administrators may be able to change the folder of Hivora (as under Program Files).";
    return {};
}
