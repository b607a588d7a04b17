#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/wide_text.h"
#include "problems.h"
#include "sandbox.h"
#include "scan/checks.h"
#include "scan/scanner.h"
#include "tempdir.h"

namespace {

const std::string kCurrentVersion = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const std::string kUninstall = kCurrentVersion + "\\Uninstall";
const std::string kRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// "Программа" and "日本語": neither is in code page 1252.
const std::wstring kCyrillic = L"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u0430";
const std::wstring kCjk = L"\u65E5\u672C\u8A9E";

} // namespace

// Texts outside the ANSI code page reach the checks exactly or not at all: a file that exists is
// never reported because its name came through with question marks or look-alike letters, and no
// problem names a key or value that the ANSI calls of the repair could not find again.
TEST(UnicodeTexts, NoFindingRestsOnALossyConversion)
{
    ASSERT_EQ(GetACP(), 1252u) << "the test needs an ANSI code page without Cyrillic and CJK letters";
    RegistrySandbox sandbox;
    TempDir temp;
    g_arrProblems.clear();

    const std::wstring folder = Widen(temp.Path()) + L"\\" + kCyrillic;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\" + kCjk).c_str(), nullptr));
    const std::wstring app = folder + L"\\" + kCjk + L"\\app.exe";
    const HANDLE file = CreateFileW(app.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    const std::wstring gone = folder + L"\\gone.exe";
    const std::string asciiGone = "C:\\hv-unicode-missing\\app.exe";

    // Present files named in Cyrillic and CJK, directly and through an environment variable.
    SetWideString(kUninstall, L"HvPresent", L"UninstallString", L"\"" + app + L"\" /remove");
    SetWideString(kCurrentVersion + "\\App Paths", L"hvpresent.exe", L"", app);
    SetWideString(kRun, L"", L"HvPresent", app + L" -tray");
    ASSERT_TRUE(SetEnvironmentVariableW(L"HVUNICODE", (folder + L"\\" + kCjk).c_str()));
    SetString(kRun, "HvThroughVariable", "%HVUNICODE%\\app.exe");
    SetWideString(kCurrentVersion + "\\SharedDLLs", L"", app, L"1");
    SetWideString("HKEY_LOCAL_MACHINE\\SOFTWARE\\HvUnicode", L"Settings", L"Program", app);
    CreateKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\HvUnicode\\Settings\\Child");
    // Missing files, but named in text the code page cannot hold, or kept in a key or value so named.
    SetWideString(kUninstall, L"HvGone", L"UninstallString", gone);
    SetWideString(kUninstall, kCyrillic, L"UninstallString", Widen(asciiGone));
    SetWideString(kRun, L"", kCjk, Widen(asciiGone));
    // The control: plain text naming a missing file is reported by each check that reads it.
    SetString(kUninstall + "\\HvAsciiGone", "UninstallString", asciiGone);

    CRegistryScanner engine;
    CheckUninstall(engine);
    CheckSharedDlls(engine);
    CheckAppPaths(engine);
    CheckStartup(engine);
    CheckFilePaths(engine);
    CheckDeepScan(engine);
    SetEnvironmentVariableW(L"HVUNICODE", nullptr);

    EXPECT_EQ(Problems(), (std::vector<Found>{
                              {kUninstall, "HvAsciiGone", asciiGone, RPT_UNINSTALL},
                              {kUninstall + "\\HvAsciiGone", "UninstallString", asciiGone, RPT_DEEP_SCAN},
                          }));
    g_arrProblems.clear();
    DeleteFileW(app.c_str());
    RemoveDirectoryW((folder + L"\\" + kCjk).c_str());
    RemoveDirectoryW(folder.c_str());
}
