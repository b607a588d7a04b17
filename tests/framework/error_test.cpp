// The one "already gone" rule, read from what the system really answers for a missing file, path,
// key and value, and the one way a code is named in the log; the file helpers that own what they
// open.
#include <gtest/gtest.h>

#include <windows.h>
#include <fcntl.h>

#include <string>

#include "framework/error.h"
#include "framework/files.h"
#include "sandbox.h"
#include "tempdir.h"

TEST(ErrorTest, GoneIsWhatTheSystemSaysOfAMissingFileFolderKeyOrValue)
{
    const TempDir dir;
    const RegistrySandbox sandbox;

    // Files: a missing file, and a file in a missing folder.
    ASSERT_FALSE(DeleteFileA((dir / "missing.txt").c_str()));
    EXPECT_TRUE(IsGone(GetLastError()));
    EXPECT_FALSE(OpenFile(dir / "no folder\\file.txt", GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_TRUE(IsGone(GetLastError()));
    ASSERT_FALSE(RemoveDirectoryA((dir / "no folder").c_str()));
    EXPECT_TRUE(IsGone(GetLastError()));

    // The registry: a missing key, and a missing value of a key that is there.
    RegKey key;
    EXPECT_TRUE(IsGone(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Missing", 0, KEY_READ, key.put())));
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\There", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(IsGone(RegQueryValueExA(key.get(), "missing", nullptr, nullptr, nullptr, nullptr)));
    EXPECT_TRUE(IsGone(RegDeleteValueA(key.get(), "missing")));
    EXPECT_TRUE(IsGone(RegDeleteKeyA(key.get(), "missing")));

    // The same through COM, as the Task Scheduler gives them.
    EXPECT_TRUE(IsGone(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))));
    EXPECT_TRUE(IsGone(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))));

    // What is there but cannot be had is no gone thing: it stays and is reported.
    const std::string held = dir.WriteFile("held.txt");
    const FileHandle lock = OpenFile(held, GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_TRUE(lock);
    ASSERT_FALSE(DeleteFileA(held.c_str()));
    EXPECT_FALSE(IsGone(GetLastError()));
    for (const DWORD code : {ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_INVALID_NAME,
                             ERROR_DISK_FULL, ERROR_FILE_EXISTS})
        EXPECT_FALSE(IsGone(code)) << code;
    EXPECT_FALSE(IsGone(static_cast<DWORD>(E_ACCESSDENIED)));
    EXPECT_FALSE(IsGone(static_cast<DWORD>(E_FAIL)));
    // A code of another facility whose low word happens to be 2 is not a missing file.
    EXPECT_FALSE(IsGone(static_cast<DWORD>(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, ERROR_FILE_NOT_FOUND))));
}

TEST(ErrorTest, CodesAreNamedOneWayAndResultsCarryThem)
{
    // The system's text follows the number where it has one.
    EXPECT_EQ(ErrorText(ERROR_ACCESS_DENIED).rfind("error 5: ", 0), 0u) << ErrorText(ERROR_ACCESS_DENIED);
    EXPECT_EQ(HresultText(E_ACCESSDENIED).rfind("error 0x80070005", 0), 0u) << HresultText(E_ACCESSDENIED);
    const std::string text = ErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    // A code the system has no text for is named by its number alone.
    EXPECT_EQ(ErrorText(0x2FFFFFFF), "error 805306367");

    const Result ok;
    EXPECT_TRUE(ok);
    const Result failed = Failed("the key could not be opened", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.Code(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(failed.Reason(), "the key could not be opened (" + ErrorText(ERROR_ACCESS_DENIED) + ")");
    const Result refused = Result::Failure("a refusal of our own");
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.Code(), 0u);
}

TEST(ErrorTest, FilesAndStreamsAreOwnedFromTheirOpening)
{
    const TempDir dir;
    const std::string path = dir / "new.txt";
    {
        FileStream stream = StreamOf(OpenFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW),
                                     _O_RDWR | _O_TEXT, "w+");
        ASSERT_TRUE(stream);
        ASSERT_GE(fputs("line\n", stream.get()), 0);
        // A new file is never one that was there before.
        EXPECT_FALSE(OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    }
    // Closed with the stream, in text mode: the line feed became CR LF and the file may go.
    EXPECT_EQ(ReadFileText(path), "line\r\n");
    EXPECT_TRUE(DeleteFileA(path.c_str()));

    // A file that cannot be opened gives an empty stream, and the error stays the opening's.
    EXPECT_FALSE(StreamOf(OpenFile(path, GENERIC_READ, 0, OPEN_EXISTING), _O_RDONLY, "r"));
    EXPECT_FALSE(OpenFile(path, GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_TRUE(IsGone(GetLastError()));
}
