#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"
#include "framework/result.h"

// The backup set of one repair in the program's "Backup" folder: the registry backup file
// "<name>.reg", the moved-files list "<name>.bak" and the folder "<name>" that holds the moved
// files. It owns the two open files, which are closed when it ends at the latest.
class CBackupSet {
public:
    CBackupSet() = default;
    CBackupSet(const CBackupSet&) = delete;
    CBackupSet& operator=(const CBackupSet&) = delete;

    // Opens a new registry backup file "Backup\HVBak_<stamp>[_N].reg" below programFolder (with its
    // trailing backslash) and writes its byte order mark and the version 5 header (the Unicode
    // format, whatever the system); the name is unique among the sets of the folder.
    Result CreateRegistryBackupFile(const std::string& programFolder);
    // Creates the set's file backup folder and its empty moved-files list; takes the registry backup
    // file's name when both were made in the same second.
    Result CreateFileBackupSet(const std::string& programFolder);
    // Both halves of a new set, after forgetting the paths of any earlier one. On failure nothing
    // of the new set is left.
    Result Open(const std::string& programFolder);

    bool RegistryFileOpen() const { return static_cast<bool>(m_fpRegBackup); }
    // Appends one whole record (UTF-8 text, written in the file's UTF-16) to the registry backup file.
    Result AppendRegistryRecord(const std::string& text);
    // Records path in the moved-files list, copies the file into the set's folder as a new file
    // (which takes the folder's permissions) and deletes the original. A link is never moved. A
    // failed write of the list or the copy leaves its error in writeError.
    bool MoveFileToBackup(const std::string& path, std::string& reason, DWORD& writeError);

    // Closes both files; the paths stay, so that what the set holds can be read or kept.
    void Close();
    // Closes both files, then removes the halves not kept: the folder and the list unless
    // keepMovedFiles, the registry backup file unless keepRegistryFile.
    void Finish(bool keepMovedFiles, bool keepRegistryFile);

    const std::string& RegBackupPath() const { return m_strRegBackupPath; }
    const std::string& FileListPath() const { return m_strFileListPath; }
    const std::string& FileBackupFolder() const { return m_strFileBackupFolder; }
    // The registry backup file's name without ".reg", and the time stamp it was made from.
    const std::string& Name() const { return m_strSetName; }
    const std::string& Stamp() const { return m_strSetStamp; }

private:
    FileStream m_fpRegBackup;
    FileStream m_fpFileList;
    std::string m_strRegBackupPath = "\\0";
    std::string m_strFileListPath = "\\0";
    std::string m_strFileBackupFolder = "\\0";
    std::string m_strSetName;
    std::string m_strSetStamp;
};
