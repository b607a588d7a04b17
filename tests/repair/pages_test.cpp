// The Backup tab and the Ignore List page of the real Hivora.exe: backup sets left by real repairs of
// hivora-cli restored and removed, and the ignore list file kept in step with the page's Remove.
#include <gtest/gtest.h>

#include <windows.h>

#include <ctime>
#include <fstream>
#include <string>

#include "../cli/cli_runner.h"
#include "framework/com_ptr.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "gui_driver.h"
#include "hivora_app.h"
#include "repair/backup_sets.h"
#include "resources/resource.h"
#include "scan/problem.h"
#include "shortcut.h"

namespace {

const HivoraApp::Settings kScannedBefore = {{"lastScan", "01-02-2026 10:11:12"}, {"autoupdts", "0"}};

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string ReadRunValue(const std::string& name)
{
    char data[MAX_PATH] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, kRunKey, name.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return {};
    return data;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Repairs the start-up items and shortcuts the prefix has; the name of the backup set it left.
std::string RepairWithCli(const CliCopy& cli)
{
    std::string out, err;
    const DWORD code = cli.Run("repair --categories=winstrt,shrtcut", out, err);
    const size_t at = out.find("\nBackup set: ");
    if (at == std::string::npos)
        return "no set (exit status " + std::to_string(code) + "): " + out + err;
    return out.substr(at + 13, out.find('\n', at + 1) - at - 13);
}

int RowOf(HWND list, const std::string& name)
{
    for (int row = 0, count = gui::ListCount(list); row < count; ++row) {
        if (gui::ListText(list, row, 0) == name)
            return row;
    }
    return -1;
}

std::string Today()
{
    const time_t now = time(nullptr);
    char text[64];
    strftime(text, sizeof text, "%B %d, %Y (", localtime(&now));
    return text;
}

TEST(BackupPage, RestoreAndRemoveSetsOfRealRepairs)
{
    HivoraApp app(kScannedBefore);
    CliCopy cli(app.Dir());
    ASSERT_TRUE(cli.Ok());
    const ComApartment com;

    // A start-up item and a desktop shortcut whose programs are gone.
    const std::string id = Format("%lu", GetCurrentProcessId());
    const std::string runName = "HvPages" + id;
    const std::string runData = "C:\\hvpages-missing-" + id + "\\run.exe -q";
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, runName.c_str(), REG_SZ, runData.c_str(),
                              static_cast<DWORD>(runData.size() + 1)),
              ERROR_SUCCESS);
    const std::string desktop = DesktopFolder();
    ASSERT_FALSE(desktop.empty());
    const std::string shortcut = desktop + "\\hvpages" + id + ".lnk";
    ASSERT_TRUE(MakeShortcut(shortcut, "C:\\hvpages-missing-" + id + "\\target.exe"));
    const std::string shortcutBytes = ReadFileText(shortcut);

    const std::string set = RepairWithCli(cli);
    const std::string setPath = app.Folder() + "Backup\\" + set;
    ASSERT_TRUE(Exists(setPath + ".reg")) << set;
    ASSERT_TRUE(Exists(setPath + ".bak")) << set;
    ASSERT_EQ(ReadRunValue(runName), "");
    ASSERT_FALSE(Exists(shortcut));

    // A set whose saved file cannot go back: its place is taken.
    const std::string blocked = "HVBak_Blocked";
    const std::string blockedPath = app.Folder() + "Backup\\" + blocked;
    ASSERT_TRUE(CreateDirectoryA(blockedPath.c_str(), nullptr));
    for (const std::string& copy : {app.Folder() + "note.txt", blockedPath + "\\note.txt"})
        std::ofstream(copy) << "note";
    std::ofstream(blockedPath + ".bak") << app.Folder() << "note.txt," << blockedPath << "\\note.txt\n";

    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_BACKUP));
    HWND list = gui::FindControl(main, IDC_BACKUP_LIST);
    ASSERT_NE(list, nullptr);
    HWND page = GetParent(list);

    // The repair's two files and folder make one row, dated today.
    ASSERT_TRUE(gui::WaitFor([&] { return gui::ListCount(list) == 2; }));
    const int row = RowOf(list, set);
    ASSERT_GE(row, 0);
    EXPECT_GE(RowOf(list, blocked), 0);
    EXPECT_EQ(gui::ListText(list, row, 1).rfind(Today(), 0), 0u) << gui::ListText(list, row, 1);

    std::string text;
    ASSERT_TRUE(gui::Click(page, IDC_BACKUP_RESTORE));
    ASSERT_TRUE(gui::AnswerMessageBox("Error", IDOK, &text));
    EXPECT_EQ(text, kRestoreNoneTickedText);

    // Restore both: the value and the shortcut come back and their set leaves the list; the
    // blocked set is named, not counted, and stays.
    ASSERT_TRUE(gui::ListSetChecked(list, 0, true));
    ASSERT_TRUE(gui::ListSetChecked(list, 1, true));
    ASSERT_TRUE(gui::Click(page, IDC_BACKUP_RESTORE));
    ASSERT_TRUE(gui::WaitFor([] { return !gui::MessageBoxText("Hivora").empty(); }, 120000));
    gui::SaveScreenshot("backup-restored");
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text));
    EXPECT_EQ(text.rfind(Format(kRestoredText, 1) + "\n\nNot restored, kept in the list:\n" + blocked + ": ", 0), 0u)
        << text;
    EXPECT_EQ(ReadRunValue(runName), runData);
    EXPECT_EQ(ReadFileText(shortcut), shortcutBytes);
    EXPECT_TRUE(gui::WaitFor([&] { return gui::ListCount(list) == 1 && RowOf(list, blocked) == 0; }));
    EXPECT_FALSE(Exists(setPath + ".reg"));
    EXPECT_FALSE(Exists(setPath + ".bak"));
    EXPECT_FALSE(Exists(setPath));

    // A second repair while another tab is up; the Backup tab shows its set when brought back.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SCANNOW));
    EXPECT_TRUE(gui::WaitFor([&] { return !IsWindowVisible(page); }));
    EXPECT_EQ(SendDlgItemMessageA(main, IDC_TAB_BACKUP, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    const std::string second = RepairWithCli(cli);
    const std::string secondPath = app.Folder() + "Backup\\" + second;
    ASSERT_TRUE(Exists(secondPath + ".bak")) << second;
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_BACKUP));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::ListCount(list) == 2 && RowOf(list, second) >= 0; }));
    gui::SaveScreenshot("backup-sets");

    // Remove both: the sets' files and folders go, and nothing is restored.
    ASSERT_TRUE(gui::ListSetChecked(list, 0, true));
    ASSERT_TRUE(gui::ListSetChecked(list, 1, true));
    ASSERT_TRUE(gui::Click(page, IDC_BACKUP_REMOVE));
    EXPECT_TRUE(gui::WaitFor([&] { return gui::ListCount(list) == 0; }));
    for (const std::string& path : {secondPath, blockedPath}) {
        EXPECT_FALSE(Exists(path + ".reg")) << path;
        EXPECT_FALSE(Exists(path + ".bak")) << path;
        EXPECT_FALSE(Exists(path)) << path;
    }
    EXPECT_EQ(ReadRunValue(runName), "");
    EXPECT_FALSE(Exists(shortcut));

    ASSERT_TRUE(gui::Click(page, IDC_BACKUP_RESTORE));
    ASSERT_TRUE(gui::AnswerMessageBox("Error", IDOK, &text));
    EXPECT_EQ(text, kRestoreNoItemsText);

    EXPECT_TRUE(app.Close());
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, runName.c_str());
    DeleteFileA(shortcut.c_str());
}

TEST(IgnorePage, NewestFirstAndRemoveKeepsTheFileInStep)
{
    HivoraApp app(kScannedBefore);
    const std::string entry0 = "HKEY_CLASSES_ROOT\\CLSID\\{0}\\InprocServer32\\|C:\\gone.dll";
    const std::string entry1 = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Tool|C:\\tool.exe";
    const std::string entry2 = "HKEY_CLASSES_ROOT\\TypeLib\\{2}\\1.0\\0\\win32\\|C:\\gone.tlb";
    const std::string file = app.Folder() + "ignorelist.dat";
    {
        std::ofstream out(file, std::ios::binary);
        out << "0\r\n" << entry0 << "\r\n6\r\n" << entry1 << "\r\n13\r\n" << entry2 << "\r\n";
    }

    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SETTINGS));
    ASSERT_TRUE(gui::Click(main, IDC_TAB_IGNORE));
    HWND list = gui::FindControl(main, IDC_IGNORE_LIST);
    ASSERT_NE(list, nullptr);
    HWND page = GetParent(list);

    ASSERT_TRUE(gui::WaitFor([&] { return gui::ListCount(list) == 3; }));
    EXPECT_EQ(gui::ListText(list, 0, 0), CategoryInfo(RPT_TYPE_LIBS).pszLogName);
    EXPECT_EQ(gui::ListText(list, 0, 1), entry2);
    EXPECT_EQ(gui::ListText(list, 1, 1), entry1);
    EXPECT_EQ(gui::ListText(list, 2, 0), CategoryInfo(RPT_COM_ACTIVEX).pszLogName);
    EXPECT_EQ(gui::ListText(list, 2, 1), entry0);
    gui::SaveScreenshot("ignore-list");

    std::string text;
    ASSERT_TRUE(gui::Click(page, IDC_IGNORE_REMOVE));
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text));
    EXPECT_EQ(text, "Please select at least one item.");
    EXPECT_EQ(gui::ListCount(list), 3);

    // The middle row is the middle entry; the others keep their order in the file.
    ASSERT_TRUE(gui::ListSelect(list, 1, true));
    ASSERT_TRUE(gui::Click(page, IDC_IGNORE_REMOVE));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::ListCount(list) == 2; }));
    EXPECT_EQ(ReadFileText(file), "0\r\n" + entry0 + "\r\n13\r\n" + entry2 + "\r\n");

    ASSERT_TRUE(gui::ListSelect(list, 0, true));
    ASSERT_TRUE(gui::ListSelect(list, 1, true));
    ASSERT_TRUE(gui::Click(page, IDC_IGNORE_REMOVE));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::ListCount(list) == 0; }));
    EXPECT_EQ(ReadFileText(file), "");
    EXPECT_TRUE(app.Close());
}

} // namespace
