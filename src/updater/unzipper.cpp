#include "updater/unzipper.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/files.h"
#include "framework/handles.h"
#include "updater/install_list.h"

CUnzipper::~CUnzipper()
{
    Close();
}

bool CUnzipper::Open(const char* path)
{
    Close();
    if (!path)
        return false;
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full)
        return false;
    m_hArchive = unzOpen(full);
    if (!m_hArchive)
        return false;
    lstrcpynA(m_szOutputFolder, full, sizeof m_szOutputFolder);
    PathRemoveExtensionA(m_szOutputFolder);
    return true;
}

void CUnzipper::Close()
{
    if (m_hArchive) {
        unzCloseCurrentFile(m_hArchive);
        unzClose(m_hArchive);
        m_hArchive = nullptr;
    }
    m_szOutputFolder[0] = '\0';
}

bool CUnzipper::FirstEntry(const char* name)
{
    if (!m_hArchive)
        return false;
    if (name)
        return FindEntry(name, true);
    return unzGoToFirstFile(m_hArchive) == UNZ_OK;
}

bool CUnzipper::NextEntry(const char* name)
{
    if (!m_hArchive)
        return false;
    if (name)
        return FindEntry(name, false);
    return unzGoToNextFile(m_hArchive) == UNZ_OK;
}

bool CUnzipper::FindEntry(const char* name, bool fromFirst)
{
    int rc = fromFirst ? unzGoToFirstFile(m_hArchive) : unzGoToNextFile(m_hArchive);
    for (; rc == UNZ_OK; rc = unzGoToNextFile(m_hArchive)) {
        UnzipEntryInfo info;
        if (ReadEntryInfo(info) && lstrcmpiA(PathFindFileNameA(info.szFileName), name) == 0)
            return true;
    }
    return false;
}

bool CUnzipper::ReadEntryInfo(UnzipEntryInfo& info)
{
    if (!m_hArchive)
        return false;
    unz_file_info raw;
    // minizip leaves a name that fills its buffer unterminated: the extra byte holds the end.
    if (unzGetCurrentFileInfo(m_hArchive, &raw, info.szFileName, MAX_PATH, nullptr, 0, info.szComment,
                              sizeof info.szComment - 1) != UNZ_OK)
        return false;
    info.szFileName[std::min<uLong>(raw.size_filename, MAX_PATH)] = '\0';
    info.szComment[std::min<uLong>(raw.size_file_comment, sizeof info.szComment - 1)] = '\0';
    std::replace(info.szFileName, info.szFileName + std::strlen(info.szFileName), '/', '\\');
    info.dwVersion = raw.version;
    info.dwVersionNeeded = raw.version_needed;
    info.dwFlags = raw.flag;
    info.dwCompressionMethod = raw.compression_method;
    info.dwDosDate = raw.dosDate;
    info.dwCRC = raw.crc;
    info.dwCompressedSize = raw.compressed_size;
    info.dwUncompressedSize = raw.uncompressed_size;
    info.dwInternalAttrib = raw.internal_fa;
    info.dwExternalAttrib = raw.external_fa;
    info.bFolder = (raw.external_fa & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

bool CUnzipper::ExtractAll(const char* folder, bool dropPaths)
{
    if (!m_hArchive || !folder || !EnsureFolder(folder))
        return false;
    unz_global_info global;
    if (unzGetGlobalInfo(m_hArchive, &global) != UNZ_OK || global.number_entry == 0)
        return false;
    if (!FirstEntry())
        return false;
    do {
        if (!ExtractEntry(folder, dropPaths))
            return false;
    } while (NextEntry());
    return true;
}

bool CUnzipper::ExtractEntry(const char* folder, bool dropPaths)
{
    if (!m_hArchive)
        return false;
    if (!folder)
        folder = m_szOutputFolder;
    if (!EnsureFolder(folder))
        return false;
    UnzipEntryInfo info;
    if (!ReadEntryInfo(info))
        return false;

    std::string name = info.szFileName;
    if (dropPaths && !info.bFolder)
        name = PathFindFileNameA(info.szFileName);
    if (!IsSafeRelativeName(name))
        return false;

    std::string path = folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    path += name;
    if (info.bFolder)
        return EnsureFolder(path.c_str());
    if (!EnsureParentFolder(path.c_str()))
        return false;

    FileHandle file(OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    if (!file || unzOpenCurrentFile(m_hArchive) != UNZ_OK)
        return false;
    char buffer[2048];
    int read;
    while ((read = unzReadCurrentFile(m_hArchive, buffer, sizeof buffer)) > 0) {
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer, static_cast<DWORD>(read), &written, nullptr) ||
            written != static_cast<DWORD>(read)) {
            read = -1;
            break;
        }
    }
    file.reset();
    // A CRC mismatch shows only when the entry is closed.
    const bool clean = unzCloseCurrentFile(m_hArchive) == UNZ_OK && read == 0;
    if (clean)
        StampFileTime(path.c_str(), info.dwDosDate);
    return clean;
}

bool CUnzipper::EnsureFolder(const char* path)
{
    if (!path || !*path)
        return false;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::string text = path;
    const size_t slash = text.find_last_of('\\');
    if (slash != std::string::npos && slash > 0 && !EnsureFolder(text.substr(0, slash).c_str()))
        return false;
    if (CreateDirectoryA(path, nullptr))
        return true;
    // "a\b\" names the folder its parent step just made.
    const DWORD now = GetFileAttributesA(path);
    return now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CUnzipper::EnsureParentFolder(const char* path)
{
    if (!path)
        return false;
    const std::string text = path;
    const size_t slash = text.find_last_of('\\');
    if (slash == std::string::npos)
        return false;
    return EnsureFolder(text.substr(0, slash).c_str());
}

bool CUnzipper::StampFileTime(const char* path, DWORD dosDate)
{
    FileHandle file(OpenFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0));
    if (!file)
        return false;
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(HIWORD(dosDate), LOWORD(dosDate), &local) || !LocalFileTimeToFileTime(&local, &utc))
        return false;
    return SetFileTime(file.get(), &utc, nullptr, &utc) != FALSE;
}
