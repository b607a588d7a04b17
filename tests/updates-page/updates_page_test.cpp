// Hivora.exe checking for updates against the loopback update server: every kind of offer from
// the page's button, one check at a time, and the automatic check at start.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "hivora_app.h"
#include "hivora_version.h"
#include "resources/resource.h"
#include "scope_guard.h"
#include "update_fixture.h"

namespace {

using Lines = std::vector<std::string>;

const char kList[] = "/updates/updates.asp";
const char kQuestion[] = "New software updates found.\nDo you want to download and install?";
// Downloads and the in-process installation (which waits four seconds) take their time.
constexpr DWORD kCheckTime = 60000;
// How long a close may take when nothing is left to install: the update check is given three
// seconds, the rest is the process's own end on a busy machine.
constexpr DWORD kFewSeconds = 10000;

// Downloads and the install list wait in a folder "Update-..." beside Patchwell.dll until installed.
bool HasUpdateFolder(const std::string& programFolder)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((programFolder + "Update-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

// The program as a user has it after a first scan, with a stand-in setup program beside it and a
// temporary folder of its own for downloads and the install list.
class UpdatingHivora {
public:
    UpdatingHivora(const std::string& autoCheck, const std::string& server, const HivoraApp::Settings& more = {})
        : m_app(Settings(autoCheck, server, more))
    {
        m_app.Dir().WriteFile("HivoraSetup.exe", StandInProgram());
        const std::string temp = m_app.Dir().WriteFile("temp\\keep");
        const std::string folder = temp.substr(0, temp.rfind('\\'));
        char oldTemp[MAX_PATH] = {};
        char oldTmp[MAX_PATH] = {};
        GetEnvironmentVariableA("TEMP", oldTemp, sizeof oldTemp);
        GetEnvironmentVariableA("TMP", oldTmp, sizeof oldTmp);
        SetEnvironmentVariableA("TEMP", folder.c_str());
        SetEnvironmentVariableA("TMP", folder.c_str());
        m_app.Start();
        SetEnvironmentVariableA("TEMP", oldTemp);
        SetEnvironmentVariableA("TMP", oldTmp);
        m_hMain = m_app.MainWindow();
    }

    static HivoraApp::Settings Settings(const std::string& autoCheck, const std::string& server,
                                        const HivoraApp::Settings& more)
    {
        HivoraApp::Settings settings = {{"lastScan", "01-02-2026 10:11:12"}, {"autoupdts", autoCheck}, {"updatesrv", server}};
        settings.insert(settings.end(), more.begin(), more.end());
        return settings;
    }

    HivoraApp& App() { return m_app; }
    HWND Main() const { return m_hMain; }
    // The updates page, shown or not: the child dialog that holds the status label. Found in one
    // listing of the main window's descendants: a walk from sibling to sibling misses the page when
    // a page switch moves it to the top of its siblings meanwhile.
    HWND Page() const
    {
        HWND status = nullptr;
        EnumChildWindows(m_hMain, FindStatus, reinterpret_cast<LPARAM>(&status));
        return status ? GetParent(status) : nullptr;
    }
    HWND CheckButton() const { return GetDlgItem(Page(), IDC_UPDATES_CHECK); }
    std::string Status() const { return gui::Text(GetDlgItem(Page(), IDC_UPDATES_STATUS)); }

    bool WaitForStatus(const std::string& text) const
    {
        return gui::WaitFor([&] { return Status() == text; }, kCheckTime);
    }
    // The button comes back when the check has ended.
    bool WaitForCheckEnd() const
    {
        return gui::WaitFor([&] { return IsWindowEnabled(CheckButton()) != FALSE; }, kCheckTime);
    }
    // The text of the program's next message box, answered with button.
    static std::string Answer(int button)
    {
        std::string text = "(no message box)";
        gui::AnswerMessageBox("Hivora", button, &text, kCheckTime);
        return text;
    }

private:
    static BOOL CALLBACK FindStatus(HWND wnd, LPARAM found)
    {
        if (GetDlgCtrlID(wnd) != IDC_UPDATES_STATUS)
            return TRUE;
        *reinterpret_cast<HWND*>(found) = wnd;
        return FALSE;
    }

    HivoraApp m_app;
    HWND m_hMain = nullptr;
};

class UpdatesPage : public testing::Test {
protected:
    void SetUp() override { m_server.Reset(); }

    std::string Server() const { return m_server.Url("").substr(std::string("http://").size()); }
    // A list whose reply trickles in, so that the check is seen running.
    void PutSlowList(const std::string& list) const
    {
        m_server.PutSigned(kList, list + std::string(1024, '\n'));
        m_server.How(kList, "slow 300");
    }
    std::string FileLine(const std::string& target, const std::string& document, const std::string& content) const
    {
        m_server.Put(document, content);
        return Fields({target, HashField(content), std::to_string(content.size()), m_server.Url(document), "0", "0"});
    }
    size_t Count(const std::string& path) const
    {
        const Lines requests = m_server.Requests();
        return static_cast<size_t>(std::count(requests.begin(), requests.end(), path));
    }

    UpdateServer m_server;
};

} // namespace

TEST_F(UpdatesPage, ChecksByHandAnswerEveryOfferOneAtATime)
{
    UpdatingHivora hivora("0", Server());
    HWND main = hivora.Main();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::Click(main, IDC_LINK_ABOUT));
    HWND version = gui::FindControl(main, IDC_ABOUT_VERSION);
    ASSERT_NE(version, nullptr);
    ASSERT_TRUE(gui::Click(GetParent(version), IDC_PAGE_UPDATE));
    HWND page = hivora.Page();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowVisible(page) != FALSE; }, kCheckTime));
    EXPECT_EQ(hivora.Status(), "Check for availability of update from Hivora Server");
    gui::SaveScreenshot("updates-idle");

    // The program's own version: up to date. Pressed twice, the button makes one check and shows
    // that it runs.
    PutSlowList("1\nsoftware\t" HIVORA_VERSION "\t0\t0\n");
    gui::Click(page, IDC_UPDATES_CHECK);
    gui::Click(page, IDC_UPDATES_CHECK);
    ASSERT_TRUE(gui::WaitFor([&] { return hivora.Status() == "Connected to server\r\nConnecting to update server...."; }));
    EXPECT_FALSE(IsWindowEnabled(hivora.CheckButton()));
    gui::SaveScreenshot("updates-checking");
    EXPECT_EQ(hivora.Answer(IDOK), "Latest software already installed");
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_EQ(hivora.Status(), "You are already running latest version of Hivora.\r\nChecking for new database updates...");
    gui::SaveScreenshot("updates-latest");
    // Nothing was checked at start.
    EXPECT_EQ(m_server.Requests(), Lines{kList});

    // A newer program, declined.
    m_server.Reset();
    m_server.PutSigned(kList, "1\nsoftware\t2.1.5\t1\t0\n" + FileLine("readme.txt", "/files/readme.txt", "new readme") + "\n");
    gui::Click(page, IDC_UPDATES_CHECK);
    EXPECT_EQ(hivora.Answer(IDNO), kQuestion);
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_EQ(hivora.Status(), "New software update cancelled by user.\r\nChecking for new database updates...");
    EXPECT_EQ(m_server.Requests(), Lines{kList});

    // Newer definitions are stored before their download and fetched without a question; the newer
    // program, accepted, is downloaded and installed into the running program's folder.
    m_server.Reset();
    const std::string definitions(2048, 'd');
    m_server.PutSigned(kList, "2\ndatabase\t121\t1\t0\n" + FileLine("defs\\main.db", "/files/main.db", definitions) +
                            "\nsoftware\t2.1.5\t2\t0\n" + FileLine("readme.txt", "/files/readme.txt", "new readme") + "\n" +
                            FileLine("HivoraSetup.exe", "/files/setup.exe", StandInProgram()) + "\n");
    m_server.How("/files/main.db", "slow 200");
    gui::Click(page, IDC_UPDATES_CHECK);
    ASSERT_TRUE(gui::WaitFor([&] { return Count("/files/main.db") == 1; }, kCheckTime));
    EXPECT_EQ(ReadHivoraSetting("database"), "121");
    EXPECT_EQ(hivora.Answer(IDYES), kQuestion);
    EXPECT_EQ(hivora.Answer(IDOK),
              "New downloaded updates are ready to be installed.\n[Note: This may restart application.]");
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_EQ(hivora.Status(), "Software updates completed ....\r\nDatabase updates completed ....");
    EXPECT_EQ(ReadFileText(hivora.App().Folder() + "readme.txt"), "new readme");
    EXPECT_EQ(ReadFileText(hivora.App().Folder() + "defs\\main.db"), definitions);
    // The setup program the update brought ran.
    EXPECT_TRUE(WaitForFile(hivora.App().Folder() + "ran.txt", kCheckTime));
    gui::SaveScreenshot("updates-installed");

    // The same definitions again: nothing new.
    m_server.Reset();
    m_server.PutSigned(kList, "1\nDATABASE\t121\t0\t0\n");
    gui::Click(page, IDC_UPDATES_CHECK);
    EXPECT_TRUE(hivora.WaitForStatus("Checking for new software updates...\r\nLatest database definitions already installed."));
    ASSERT_TRUE(hivora.WaitForCheckEnd());

    // Newer definitions in a list that is not signed with the update key: the list error, and
    // nothing is offered, stored or fetched.
    m_server.Reset();
    m_server.PutSigned(kList, "1\ndatabase\t122\t1\t0\n" + FileLine("defs\\main.db", "/files/main.db", "forged") + "\n",
                       "update-other");
    gui::Click(page, IDC_UPDATES_CHECK);
    EXPECT_TRUE(hivora.WaitForStatus("Error occured while downloading info."));
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_EQ(ReadHivoraSetting("database"), "121");
    EXPECT_EQ(m_server.Requests(), Lines{kList});
    EXPECT_EQ(ReadFileText(hivora.App().Folder() + "defs\\main.db"), definitions);

    // A server that cannot be reached.
    WriteHivoraSetting("updatesrv", "127.0.0.1:1");
    gui::Click(page, IDC_UPDATES_CHECK);
    EXPECT_TRUE(hivora.WaitForStatus("Unable to connect to update server ..."));
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    gui::SaveScreenshot("updates-error");

    // A tab that hides the page keeps its own pressed look.
    HWND settings = GetDlgItem(main, IDC_TAB_SETTINGS);
    PostMessageA(settings, BM_CLICK, 0, 0);
    EXPECT_TRUE(gui::WaitFor([&] {
        return !IsWindowVisible(page) && (SendMessageA(settings, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    }));
    EXPECT_TRUE(hivora.App().Close());
}

TEST_F(UpdatesPage, AutomaticCheckRunsOnceAtStartAndTheButtonWaitsForIt)
{
    PutSlowList("1\nsoftware\t2.1.5\t1\t0\n" + FileLine("readme.txt", "/files/readme.txt", "new readme"));
    UpdatingHivora hivora("1", Server());
    ASSERT_NE(hivora.Main(), nullptr);
    ASSERT_TRUE(gui::WaitFor([&] { return Count(kList) == 1; }, kCheckTime));
    // Pressed while the automatic check runs: no second check.
    ASSERT_FALSE(IsWindowEnabled(hivora.CheckButton()));
    SendMessageA(hivora.Page(), WM_COMMAND, MAKEWPARAM(IDC_UPDATES_CHECK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(hivora.CheckButton()));
    // Closed while the check asks its question: the question counts as declined, and the program
    // ends within a few seconds, having downloaded nothing.
    ASSERT_TRUE(gui::WaitFor([] { return gui::MessageBoxText("Hivora") == kQuestion; }, kCheckTime));
    PostMessageA(hivora.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(hivora.App().WaitForExit(kFewSeconds));
    EXPECT_TRUE(hivora.App().Close());
    EXPECT_EQ(m_server.Requests(), Lines{kList});
}

TEST_F(UpdatesPage, ClosingDuringAnInstallationWaitsForItsEnd)
{
    UpdatingHivora hivora("0", Server());
    ASSERT_NE(hivora.Main(), nullptr);
    const std::string definitions(4096, 'd');
    m_server.PutSigned(kList, "1\ndatabase\t121\t2\t0\n" + FileLine("defs\\main.db", "/files/main.db", definitions) + "\n" +
                                  FileLine("HivoraSetup.exe", "/files/setup.exe", StandInProgram()) + "\n");
    HWND first = gui::FindControl(hivora.Main(), IDC_SCAN_SELECTED);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(gui::Click(GetParent(first), IDC_PAGE_UPDATE));
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowVisible(hivora.Page()) != FALSE; }));
    ASSERT_TRUE(gui::Click(hivora.Page(), IDC_UPDATES_CHECK));
    ASSERT_TRUE(gui::WaitFor(
        [] {
            return gui::MessageBoxText("Hivora") ==
                   "New downloaded updates are ready to be installed.\n[Note: This may restart application.]";
        },
        kCheckTime));
    // End task over the notice: the installation that follows runs to its end before the process
    // does, so that every file is in place and the setup program runs.
    PostMessageA(hivora.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(hivora.App().WaitForExit(kCheckTime));
    EXPECT_EQ(ReadFileText(hivora.App().Folder() + "defs\\main.db"), definitions);
    EXPECT_TRUE(WaitForFile(hivora.App().Folder() + "ran.txt", kCheckTime));
    EXPECT_FALSE(HasUpdateFolder(hivora.App().Folder()));
}

TEST_F(UpdatesPage, ShutdownAfterARepairLeavesASlowCheckBehind)
{
    // A list that trickles in for minutes, and one start-up entry to repair.
    PutSlowList("1\nsoftware\t2.1.5\t0\t0\n" + std::string(64 * 1024, '\n'));
    m_server.How(kList, "slow 1000");
    const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const char kEntry[] = "HivoraShutdownTest";
    const char kMissing[] = "C:\\hivora-shutdown-missing\\app.exe";
    const ScopeGuard removeEntry([&] { RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kEntry); });
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, kEntry, REG_SZ, kMissing, sizeof kMissing), ERROR_SUCCESS);
    UpdatingHivora hivora("1", Server(), {{"winstrt", "1"}, {"autorpar", "1"}, {"shutdown", "1"}});
    ASSERT_NE(hivora.Main(), nullptr);
    ASSERT_TRUE(gui::WaitFor([&] { return Count(kList) == 1; }, kCheckTime));

    // The scan repairs at once; after its message the program closes as "shutdown" asks, without
    // waiting for the list, which is still arriving.
    ASSERT_TRUE(gui::Click(hivora.Main(), IDC_SCAN_SELECTED));
    std::string text;
    ASSERT_TRUE(gui::AnswerMessageBox("Hivora", IDOK, &text, kCheckTime));
    EXPECT_EQ(text, "Hivora has Successfully fixed 1 Critical Error(s) in your system registry.Click OK to view "
                    "Statistics.");
    EXPECT_TRUE(hivora.App().WaitForExit(kFewSeconds));
    char data[MAX_PATH] = {};
    DWORD size = sizeof data;
    EXPECT_NE(RegGetValueA(HKEY_CURRENT_USER, kRunKey, kEntry, RRF_RT_REG_SZ, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_FALSE(HasUpdateFolder(hivora.App().Folder()));
    EXPECT_EQ(m_server.Requests(), Lines{kList});
    EXPECT_TRUE(hivora.App().Close());
}
