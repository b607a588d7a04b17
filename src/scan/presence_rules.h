#pragma once

// When a file test may call a file missing. A file named in the registry is missing only when the
// file system itself says so for a path on a local fixed drive that is there now: a share that does
// not answer, a mapped drive of another logon (an elevated program does not see it), a USB stick or a
// disc that is not inserted, a folder the program may not read are all "cannot check", and what
// cannot be checked is never a finding. Pure logic: the system's answers come in as numbers.

#include <string>

enum class FILE_STATE { FS_PRESENT, FS_MISSING, FS_CANNOT_CHECK };

// GetDriveType's answers, by their documented values (fileapi.h, GetDriveTypeA/W).
enum DRIVE_KIND : unsigned {
    DK_UNKNOWN = 0,
    DK_NO_ROOT_DIR = 1, // no volume there (a drive letter that is not present now)
    DK_REMOVABLE = 2,
    DK_FIXED = 3,
    DK_REMOTE = 4,
    DK_CDROM = 5,
    DK_RAMDISK = 6,
};

// The two system error codes that say a file is not there (winerror.h): the file, or a folder on its
// path, does not exist.
constexpr unsigned long kErrorFileNotFound = 2;
constexpr unsigned long kErrorPathNotFound = 3;

// The root GetDriveType is asked about for a full path: "C:\" for a path on drive C, written
// "C:\..." or "\\?\C:\..." (GetDriveType needs the trailing backslash). Empty for every path that
// names no drive letter: UNC paths ("\\server\share\...", "\\?\UNC\..."), device and volume names
// ("\\.\...", "\\?\Volume{...}\..."), Wine's "\\?\unix\...", relative paths.
std::string DriveRootOf(const std::string& fullPath);

// The state the file system's answer gives for a path on a local fixed drive: 0 (found) is present,
// the two not-found codes are missing, every other error (access denied, sharing, a bad name, a
// device not ready...) is cannot check.
FILE_STATE FileStateFromError(unsigned long error);

// The whole decision for a full path. driveType(root) is asked only for a path on a drive letter;
// probe(fullPath) only for a path on a local fixed drive, so that no share, removable drive or disc is
// ever touched. probe gives 0 when the file is found, else the system's error code.
template <typename DriveType, typename Probe>
FILE_STATE DecideFilePresence(const std::string& fullPath, DriveType&& driveType, Probe&& probe)
{
    const std::string root = DriveRootOf(fullPath);
    if (root.empty() || static_cast<unsigned>(driveType(root)) != DK_FIXED)
        return FILE_STATE::FS_CANNOT_CHECK;
    return FileStateFromError(static_cast<unsigned long>(probe(fullPath)));
}
