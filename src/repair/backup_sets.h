#pragma once

#include <string>
#include <vector>

#include "repair/reg_file.h"

// Texts of the backup page's message boxes.
constexpr const char* kRestoreNoItemsText = "Restore Error \n\n There Are No Items To Restore.";
constexpr const char* kRestoreNoneTickedText = "Restore Error \n\n Please Select At Least One Item To Restore";
constexpr const char* kRemoveNoItemsText = "Remove Error \n\n There Are No Items To Remove.";
constexpr const char* kRemoveNoneTickedText = "Remove Error \n\n Please Select At Least One Item To Remove";
constexpr const char* kRestoredText = "%d Item(s) have been successfully restored";
constexpr const char* kCouldNotRestoreText = "Could not restore";

// One row of the backup page: a set's name and the creation time of the first of its files found.
struct BACKUP_SET_ROW {
    std::string strName;
    std::string strDateTime;
};

// "%sBackup" of the program folder.
std::string BackupFolderPath(const std::string& programFolder);

// The rows as the page lists them, top first: one per set name (the file name up to its first dot),
// folders and empty files skipped, newest-enumerated on top.
std::vector<BACKUP_SET_ROW> ListBackupSets(const std::string& backupFolder);

// True when every key and value of the parsed backup file is in the registry with the same type
// and data, names and data compared through the wide registry calls; otherwise every difference,
// separated by "; " (names in UTF-8).
bool IsRegFileImported(const std::vector<REG_FILE_KEY>& keys, std::string& difference);

// Imports a registry backup file with the registry editor, waits for it, checks the import and
// deletes the file only then. False, with the reason, when the file stays.
bool RestoreRegistryFile(const std::string& path, std::string& reason);

// Splits a moved-files line into (place before the repair, copy in the set's folder): at the comma
// before the set's folder path, so that paths holding commas survive; failing that, at the only
// comma of the line.
bool SplitMovedFileLine(const std::string& line, const std::string& setFolder, std::string& original,
                        std::string& copy);

// Why the moved-files list may not be restored: the first listed place whose path passes through a
// link (a reparse point), in one line; empty when every place may be written.
std::string MovedFilesRefusal(const std::string& listPath);

// Puts the listed files back, each as a new file in its old place (never through a link); removes
// the set's folder and the list when every file is back, otherwise keeps the lines that failed. False, with the reason, when something stays.
bool RestoreMovedFiles(const std::string& listPath, std::string& reason);

// Restores the named sets; returns how many came back whole. Logs as the backup page does; each set
// that stays incomplete adds "NAME: reason" to failures when given. Where this build may not restore
// (WrongBuildRefusal), or others than SYSTEM and the Administrators may change the program folder or
// the backup folder (the registry editor runs elevated on what it finds there), nothing is touched,
// -1 is returned and refusal, when given, gets the one line that says why.
int RestoreBackupSets(const std::string& backupFolder, const std::vector<std::string>& names,
                      std::vector<std::string>* failures = nullptr, std::string* refusal = nullptr);

// Deletes the named sets' files and folders; returns how many are gone completely.
int RemoveBackupSets(const std::string& backupFolder, const std::vector<std::string>& names);

// Deletes a folder with everything in it.
bool DeleteFolderTree(const std::string& path);
