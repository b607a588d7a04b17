#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "scan/file_presence.h"
#include "scan/presence_rules.h"
#include "scan/volatile_places.h"
#include "tempdir.h"

namespace {

const char* Name(FILE_STATE state)
{
    switch (state) {
    case FILE_STATE::FS_PRESENT:
        return "present";
    case FILE_STATE::FS_MISSING:
        return "missing";
    case FILE_STATE::FS_CANNOT_CHECK:
        return "cannot check";
    }
    return "?";
}

// One shape a Windows machine has: a full path, the type GetDriveType gives its drive, the error the
// file system answers (0: found), what must be decided, and whether the file system may be asked.
struct SHAPE {
    const char* path;
    unsigned driveType;
    unsigned long error;
    FILE_STATE expected;
    bool probed;
};

// Error codes of winerror.h the file calls give, beside the two not-found codes.
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kSharingViolation = 32;
constexpr unsigned long kNotReady = 21;
constexpr unsigned long kBadNetPath = 53;
constexpr unsigned long kInvalidName = 123;

} // namespace

// Missing needs the file system's own "not found" for a drive that is local, fixed and there;
// everything else cannot be checked, and shares, removable drives and discs are never touched.
TEST(FilePresenceRules, OnlyANotFoundOnAPresentFixedDriveIsMissing)
{
    const SHAPE shapes[] = {
        {"C:\\Program Files\\App\\app.exe", DK_FIXED, 0, FILE_STATE::FS_PRESENT, true},
        {"C:\\Program Files\\App\\app.exe", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_MISSING, true},
        {"C:\\Program Files\\Gone\\app.exe", DK_FIXED, kErrorPathNotFound, FILE_STATE::FS_MISSING, true},
        {"c:/program files/app/app.exe", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_MISSING, true},
        {"\\\\?\\C:\\Deep\\Folders\\app.exe", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_MISSING, true},
        // A file the program may not look at, one in use, a bad name: the system did not say "gone".
        {"C:\\Windows\\System32\\config\\SAM", DK_FIXED, kAccessDenied, FILE_STATE::FS_CANNOT_CHECK, true},
        {"C:\\pagefile.sys", DK_FIXED, kSharingViolation, FILE_STATE::FS_CANNOT_CHECK, true},
        {"C:\\App\\app.exe <arg>", DK_FIXED, kInvalidName, FILE_STATE::FS_CANNOT_CHECK, true},
        {"C:\\Mount\\Card\\app.exe", DK_FIXED, kNotReady, FILE_STATE::FS_CANNOT_CHECK, true},
        // A USB drive, a card, a disc: whether inserted or not, what is not there now may be later.
        {"E:\\PortableApps\\app.exe", DK_REMOVABLE, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"D:\\setup.exe", DK_CDROM, kNotReady, FILE_STATE::FS_CANNOT_CHECK, false},
        // A mapped drive, seen or not: an elevated program does not see the user's own mappings, and
        // a letter that is not there now is DRIVE_NO_ROOT_DIR.
        {"Z:\\Tools\\tool.exe", DK_REMOTE, kBadNetPath, FILE_STATE::FS_CANNOT_CHECK, false},
        {"Z:\\Tools\\tool.exe", DK_NO_ROOT_DIR, kErrorPathNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"R:\\Scratch\\tool.exe", DK_RAMDISK, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"Y:\\tool.exe", DK_UNKNOWN, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        // No drive letter at all: shares, devices, volume names, Wine's own files, relative paths.
        {"\\\\server\\share\\app.exe", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"\\\\?\\UNC\\server\\share\\app.exe", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"\\\\.\\PhysicalDrive0", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"\\\\?\\Volume{12345678-0000-0000-0000-000000000000}\\app.exe", DK_FIXED, kErrorFileNotFound,
         FILE_STATE::FS_CANNOT_CHECK, false},
        {"\\\\?\\unix\\usr\\share\\fonts\\x.ttf", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"app.exe", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"C:", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
        {"", DK_FIXED, kErrorFileNotFound, FILE_STATE::FS_CANNOT_CHECK, false},
    };
    for (const SHAPE& shape : shapes) {
        std::vector<std::string> roots;
        bool probed = false;
        const FILE_STATE state = DecideFilePresence(
            shape.path,
            [&](const std::string& root) {
                roots.push_back(root);
                return shape.driveType;
            },
            [&](const std::string& path) {
                probed = true;
                EXPECT_EQ(path, shape.path);
                return shape.error;
            });
        EXPECT_STREQ(Name(state), Name(shape.expected)) << shape.path << " on drive type " << shape.driveType;
        EXPECT_EQ(probed, shape.probed) << shape.path;
        const std::string root = DriveRootOf(shape.path);
        EXPECT_EQ(roots, root.empty() ? std::vector<std::string>{} : std::vector<std::string>{root}) << shape.path;
    }
    EXPECT_EQ(DriveRootOf("\\\\?\\c:\\x"), "c:\\");
    EXPECT_EQ(DriveRootOf("C:/x"), "C:\\");
    EXPECT_EQ(DriveRootOf("C:x"), "");
}

// The engine's file test on this machine: a missing file on the fixed system drive is missing, and
// stays so; a share, a drive letter that is not there and a long path are asked as the rules say.
TEST(FilePresence, MissingOnlyWhereTheSystemSaysSo)
{
    TempDir dir;
    const std::string kept = dir.WriteFile("kept\\app.exe");
    const std::string gone = dir / "kept\\gone.exe";
    ASSERT_EQ(GetDriveTypeA(DriveRootOf(dir.Path()).c_str()), static_cast<UINT>(DRIVE_FIXED)) << dir.Path();

    // A letter no drive has now.
    std::string absent;
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Z'; letter >= 'D' && absent.empty(); --letter)
        if (!(drives & (1u << (letter - 'A'))))
            absent = std::string(1, letter) + ":\\hvapp\\gone.exe";
    ASSERT_FALSE(absent.empty());

    CFilePresence files;
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(files.Exists(kept));
        EXPECT_FALSE(files.Exists(gone));
        EXPECT_FALSE(files.ReferenceExists(gone));
        EXPECT_FALSE(files.CommandLineTargetExists("\"" + gone + "\" /run"));
        EXPECT_TRUE(files.Exists(absent)) << absent;
        EXPECT_TRUE(files.ReferenceExists(absent));
        EXPECT_TRUE(files.CommandLineTargetExists(absent + " /run"));
        EXPECT_TRUE(files.Exists("\\\\hivora-nowhere.invalid\\share\\app.exe"));
        EXPECT_TRUE(files.Exists("\\??\\UNC\\hivora-nowhere.invalid\\share\\app.exe"));
        EXPECT_TRUE(files.DrivePathPresent("\\\\hivora-nowhere.invalid\\share\\app.exe -x", false));
        EXPECT_TRUE(files.Matches(absent.substr(0, 8), "*.ttf"));
        EXPECT_TRUE(files.Matches(dir / "kept", "*.exe"));
        EXPECT_FALSE(files.Matches(dir / "kept", "*.ttf"));
        EXPECT_FALSE(files.Matches(dir / "nothing", "app.exe"));
    }
    EXPECT_FALSE(FileReferenceExists(gone));
    EXPECT_TRUE(FileReferenceExists(absent));

    // Past MAX_PATH, through the "\\?\" form.
    std::string folder = dir.Path();
    while (folder.size() < MAX_PATH + 20)
        folder += "\\hivora-long-folder-name";
    std::wstring wide = L"\\\\?\\" + std::wstring(folder.begin(), folder.end());
    for (size_t at = wide.find(L'\\', 4 + dir.Path().size()); at != std::wstring::npos; at = wide.find(L'\\', at + 1))
        CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
    const HANDLE file = CreateFileW((wide + L"\\long.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    CFilePresence deep;
    EXPECT_TRUE(deep.Exists(folder + "\\long.exe"));
    EXPECT_FALSE(deep.Exists(folder + "\\gone.exe"));
    EXPECT_TRUE(deep.Matches(folder, "long.*"));
    EXPECT_FALSE(deep.Matches(folder, "gone.*"));
    EXPECT_TRUE(deep.CommandLineTargetExists(folder + "\\long.exe -x"));
}

// The key's flags decide where the system gives them; else the places where Windows keeps volatile
// keys, the keys below them included.
TEST(VolatileKeys, FlagsFirstThenThePlacesWindowsKeepsThem)
{
    const std::string run = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    EXPECT_TRUE(IsVolatileKeyAt(KEY_VOLATILITY::KV_VOLATILE, run));
    EXPECT_FALSE(IsVolatileKeyAt(KEY_VOLATILITY::KV_NOT_VOLATILE, "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION"));
    EXPECT_FALSE(IsVolatileKeyAt(KEY_VOLATILITY::KV_UNKNOWN, run));

    for (const char* place : {
             "HKEY_LOCAL_MACHINE\\HARDWARE",
             "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM",
             "HKEY_CURRENT_USER\\Volatile Environment",
             "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Volatile Environment\\1",
             "HKEY_USERS\\S-1-5-21-1-2-3-1001\\software\\microsoft\\windows\\currentversion\\explorer\\sessioninfo\\1",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\"
             "RebootPending\\Packages",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\"
             "RebootRequired",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\disk\\Enum",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1234&PID_5678\\0001\\Control",
         }) {
        EXPECT_TRUE(IsVolatileKeyPlace(place)) << place;
        EXPECT_TRUE(IsVolatileKeyAt(KEY_VOLATILITY::KV_UNKNOWN, place)) << place;
    }
    for (const char* place : {
             "HKEY_LOCAL_MACHINE\\HARDWAREX",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
             "HKEY_USERS\\S-1-5-21-1-2-3-1001\\Environment",
             "HKEY_USERS\\\\Volatile Environment",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\disk",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1234&PID_5678\\0001",
             "HKEY_CLASSES_ROOT\\CLSID",
             "",
         })
        EXPECT_FALSE(IsVolatileKeyPlace(place)) << place;
}
