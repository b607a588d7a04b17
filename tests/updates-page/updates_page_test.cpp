#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "gui_driver.h"
#include "screenshot.h"
#include "update_fixture.h"

namespace {

using Lines = std::vector<std::string>;

constexpr int kCheckButton = 1000;
constexpr int kStatusLabel = 1175;
constexpr int kLinkAbout = 1004;
constexpr int kAboutUpdate = 1000;
constexpr int kAboutVersion = 1660;
const char kList[] = "/updates/updates.asp";

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 60000)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!condition()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(50);
    }
    return true;
}

void WriteSetting(HKEY key, const char* name, const std::string& text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
}

std::string ReadSetting(const char* name)
{
    char text[1024] = {};
    DWORD size = sizeof text - 1;
    RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Hivora", name, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

// A fresh settings key with the values given (and no splash, no first run).
void ResetSettings(const std::vector<std::pair<const char*, std::string>>& values)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Hivora");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Hivora", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    WriteSetting(key, "lastScan", "01-01-2026 10:00:00");
    WriteSetting(key, "splshscrn", "0");
    for (const auto& [name, text] : values)
        WriteSetting(key, name, text);
    RegCloseKey(key);
}

struct WindowSearch {
    DWORD dwProcess;
    const char* pszCaption;
    HWND hExclude;
    HWND hFound;
};

BOOL CALLBACK FindDialog(HWND wnd, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(wnd, &process);
    char className[64] = {};
    GetClassNameA(wnd, className, sizeof className);
    if (process == search->dwProcess && wnd != search->hExclude && IsWindowVisible(wnd) &&
        lstrcmpA(className, "#32770") == 0 && gui::Text(wnd) == search->pszCaption) {
        search->hFound = wnd;
        return FALSE;
    }
    return TRUE;
}

// Hivora.exe started from a program folder of its own, with Patchwell, the animation and a
// stand-in setup program beside it, and a private temporary folder.
class HivoraProcess {
public:
    explicit HivoraProcess(const ProgramSandbox& prog)
    {
        CopyFileA(DosPath(HIVORA_EXE).c_str(), prog.Prog("Hivora.exe").c_str(), FALSE);
        CopyFileA(DosPath(HIVORA_ANIMATION).c_str(), prog.Prog("update animation.gif").c_str(), FALSE);
        const std::string exe = prog.Prog("Hivora.exe");
        std::string command = "\"" + exe;
        command += "\"";
        // The program and what it starts get a temporary folder of their own.
        char oldTemp[MAX_PATH] = {};
        char oldTmp[MAX_PATH] = {};
        GetEnvironmentVariableA("TEMP", oldTemp, sizeof oldTemp);
        GetEnvironmentVariableA("TMP", oldTmp, sizeof oldTmp);
        SetEnvironmentVariableA("TEMP", prog.Temp().c_str());
        SetEnvironmentVariableA("TMP", prog.Temp().c_str());
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                            prog.Prog().c_str(), &startup, &process);
        SetEnvironmentVariableA("TEMP", oldTemp);
        SetEnvironmentVariableA("TMP", oldTmp);
        if (started) {
            m_process.reset(process.hProcess);
            CloseHandle(process.hThread);
            m_dwProcess = process.dwProcessId;
        }
        WaitFor([&] { return (m_hMain = Find("Hivora")) != nullptr; });
    }

    ~HivoraProcess()
    {
        if (!Close() && m_process)
            TerminateProcess(m_process.get(), 1);
    }

    // Closes the main window as its close box does; true when the program has ended.
    bool Close()
    {
        if (m_hMain && IsWindow(m_hMain))
            PostMessageA(m_hMain, WM_CLOSE, 0, 0);
        return m_process && WaitForSingleObject(m_process.get(), 60000) == WAIT_OBJECT_0;
    }

    HWND Main() const { return m_hMain; }

    // The updates page: the child dialog that holds the status label.
    HWND Page() const
    {
        for (HWND child = GetWindow(m_hMain, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (GetDlgItem(child, kStatusLabel))
                return child;
        }
        return nullptr;
    }
    std::string Status() const { return gui::Text(GetDlgItem(Page(), kStatusLabel)); }
    HWND CheckButton() const { return GetDlgItem(Page(), kCheckButton); }

    bool WaitForBox() const
    {
        return WaitFor([&] { return Find("Hivora", m_hMain) != nullptr; });
    }

    // Waits for a message box of this program, gives its text and presses the button.
    std::string Answer(int button) const
    {
        HWND box = nullptr;
        WaitFor([&] { return (box = Find("Hivora", m_hMain)) != nullptr; });
        if (!box)
            return "(no message box)";
        std::string text;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            char className[64] = {};
            GetClassNameA(child, className, sizeof className);
            if (lstrcmpiA(className, "Static") == 0 && gui::Text(child).size() > text.size())
                text = gui::Text(child);
        }
        gui::ClickButton(box, button);
        WaitFor([&] { return !IsWindow(box); });
        return text;
    }

    bool WaitForStatus(const std::string& text) const
    {
        return WaitFor([&] { return Status().find(text) != std::string::npos; });
    }
    bool WaitForCheckEnd() const
    {
        return WaitFor([&] { return IsWindowEnabled(CheckButton()) != FALSE; });
    }

private:
    HWND Find(const char* caption, HWND exclude = nullptr) const
    {
        WindowSearch search{m_dwProcess, caption, exclude, nullptr};
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        return search.hFound;
    }

    KernelHandle m_process;
    DWORD m_dwProcess = 0;
    HWND m_hMain = nullptr;
};

class UpdatesPage : public testing::Test {
protected:
    void SetUp() override { m_server.Reset(); }

    std::string Host() const { return m_server.Url("").substr(7); }
    // A list whose reply trickles in, so that the check is seen running.
    void PutSlowList(const std::string& list) const
    {
        m_server.Put(kList, list + std::string(1024, '\n'));
        m_server.How(kList, "slow 300");
    }
    std::string FileLine(const std::string& target, const std::string& document, const std::string& content) const
    {
        m_server.Put(document, content);
        return Fields({target, "x", std::to_string(content.size()), m_server.Url(document), "0", "0"});
    }
    size_t Count(const std::string& path) const
    {
        const Lines requests = m_server.Requests();
        return static_cast<size_t>(std::count(requests.begin(), requests.end(), path));
    }

    UpdateServer m_server;
};

} // namespace

TEST_F(UpdatesPage, ChecksByHandAnswerEveryOfferAndOnlyOneRunsAtATime)
{
    ProgramSandbox prog;
    ResetSettings({{"autoupdts", "0"}, {"updatesrv", Host()}});
    const HivoraProcess hivora(prog);
    ASSERT_TRUE(hivora.Main());
    gui::ClickButton(hivora.Main(), kLinkAbout);
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (HWND child = GetWindow(hivora.Main(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            about = IsWindowVisible(child) && GetDlgItem(child, kAboutVersion) ? child : about;
        return about != nullptr;
    }));
    gui::ClickButton(about, kAboutUpdate);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(hivora.Page()) != FALSE; }));
    EXPECT_EQ(hivora.Status(), "Check for availability of update from Hivora Server");
    SaveScreenshot(hivora.Main(), "updates-idle");

    // The same version: up to date. The button pressed twice makes one check, and shows it runs.
    PutSlowList("1\nsoftware\t2.1.4\t0\t0\n");
    gui::ClickButton(hivora.Page(), kCheckButton);
    gui::ClickButton(hivora.Page(), kCheckButton);
    ASSERT_TRUE(hivora.WaitForStatus("Connecting to update server...."));
    EXPECT_FALSE(IsWindowEnabled(hivora.CheckButton()));
    SaveScreenshot(hivora.Main(), "updates-checking");
    EXPECT_EQ(hivora.Answer(IDOK), "Latest software already installed");
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_EQ(hivora.Status(), "You are already running latest version of Hivora.\r\nChecking for new database updates...");
    SaveScreenshot(hivora.Main(), "updates-latest");
    // No check ran at start.
    EXPECT_EQ(m_server.Requests(), Lines{kList});

    // A newer program, declined.
    m_server.Reset();
    m_server.Put(kList, "1\nsoftware\t2.1.5\t1\t0\n" + FileLine("readme.txt", "/files/readme.txt", "new readme") + "\n");
    gui::ClickButton(hivora.Page(), kCheckButton);
    EXPECT_EQ(hivora.Answer(IDNO), "New software updates found.\nDo you want to download and install?");
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_TRUE(hivora.WaitForStatus("New software update cancelled by user."));
    EXPECT_EQ(m_server.Requests(), Lines{kList});

    // Newer definitions are stored before their download and fetched without a question; the
    // newer program, accepted, is downloaded and installed in the running program's folder.
    m_server.Reset();
    m_server.Put(kList, "2\ndatabase\t121\t1\t0\n" + FileLine("defs\\main.db", "/files/main.db", std::string(2048, 'd')) +
                            "\nsoftware\t2.1.5\t1\t0\n" + FileLine("readme.txt", "/files/readme.txt", "new readme") + "\n");
    m_server.How("/files/main.db", "slow 200");
    gui::ClickButton(hivora.Page(), kCheckButton);
    ASSERT_TRUE(WaitFor([&] { return Count("/files/main.db") == 1; }));
    EXPECT_EQ(ReadSetting("database"), "121");
    EXPECT_EQ(hivora.Answer(IDYES), "New software updates found.\nDo you want to download and install?");
    EXPECT_EQ(hivora.Answer(IDOK),
              "New downloaded updates are ready to be installed.\n[Note: This may restart application.]");
    EXPECT_EQ(hivora.Status(), "Software updates completed ....\r\nDatabase updates completed ....");
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_EQ(ReadFileText(prog.Prog("readme.txt")), "new readme");
    EXPECT_EQ(ReadFileText(prog.Prog("defs\\main.db")), std::string(2048, 'd'));
    EXPECT_TRUE(WaitForFile(prog.Prog("ran.txt"), 30000));
    SaveScreenshot(hivora.Main(), "updates-installed");

    // The same definitions again: nothing new.
    m_server.Reset();
    m_server.Put(kList, "1\ndatabase\t121\t0\t0\n");
    gui::ClickButton(hivora.Page(), kCheckButton);
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_TRUE(hivora.WaitForStatus("Latest database definitions already installed."));

    // A server that cannot be reached.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Hivora", 0, KEY_WRITE, &key), ERROR_SUCCESS);
    WriteSetting(key, "updatesrv", "127.0.0.1:1");
    RegCloseKey(key);
    gui::ClickButton(hivora.Page(), kCheckButton);
    ASSERT_TRUE(hivora.WaitForStatus("Unable to connect to update server ..."));
    ASSERT_TRUE(hivora.WaitForCheckEnd());
    EXPECT_EQ(hivora.Status(), "Unable to connect to update server ...");
    SaveScreenshot(hivora.Main(), "updates-error");
}

TEST_F(UpdatesPage, AutomaticCheckRunsOnceAtStartAndTheButtonWaitsForIt)
{
    ProgramSandbox prog;
    PutSlowList("1\nsoftware\t2.1.5\t1\t0\n" + FileLine("readme.txt", "/files/readme.txt", "new readme"));
    ResetSettings({{"autoupdts", "1"}, {"updatesrv", Host()}});
    HivoraProcess hivora(prog);
    ASSERT_TRUE(hivora.Main());
    ASSERT_TRUE(WaitFor([&] { return Count(kList) == 1; }));
    // Pressed while the automatic check runs: no second check.
    ASSERT_FALSE(IsWindowEnabled(hivora.CheckButton()));
    SendMessageA(hivora.Page(), WM_COMMAND, MAKEWPARAM(kCheckButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(hivora.CheckButton()));
    // Closed while the check asks its question: the program ends without downloading anything.
    ASSERT_TRUE(hivora.WaitForBox());
    EXPECT_TRUE(hivora.Close());
    EXPECT_EQ(m_server.Requests(), Lines{kList});
}
