#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "update_fixture.h"

namespace {

using Events = std::vector<std::string>;

const char kListError[] = "status 10 Error occured while downloading info.";
// What the sandbox holds before a check: the host's log and the program folder's own files.
const Events kUntouched = {"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll", "prog\\update_host.exe"};

class UpdateFlow : public testing::Test {
protected:
    void SetUp() override { m_server.Reset(); }

    std::string ListUrl() const { return m_server.Url("/updates/updates.asp"); }
    // Serves the list as the update server does: signed with the key the build trusts.
    void PutList(const std::string& list) const { m_server.PutSigned("/updates/updates.asp", list); }
    // A file line for a document on the server.
    std::string FileLine(const std::string& target, const std::string& document, const std::string& content,
                         const std::string& flags = "0\t0", bool joinedWithoutSeparator = false) const
    {
        m_server.Put(document, content);
        return Fields({target, HashField(content, joinedWithoutSeparator), std::to_string(content.size()),
                       m_server.Url(document), flags});
    }
    HOST_RUN Check(const ProgramSandbox& prog, const std::string& accept) const
    {
        return prog.RunHost({"--accept", accept, ListUrl()});
    }

    UpdateServer m_server;
};

bool Contains(const Events& events, const std::string& event)
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

// The files below the sandbox that the system is to delete at the next restart, relative to it.
Events PendingDeletionsIn(const ProgramSandbox& prog)
{
    const std::string root = prog.Root().Path() + "\\";
    Events files;
    for (const std::string& path : PendingDeletions())
        if (path.size() > root.size() && lstrcmpiA(path.substr(0, root.size()).c_str(), root.c_str()) == 0)
            files.push_back(path.substr(root.size()));
    return files;
}

}  // namespace

TEST_F(UpdateFlow, EmptyReplyFinishesWithoutAList)
{
    ProgramSandbox prog;
    m_server.Put("/updates/updates.asp", "");
    const HOST_RUN run = Check(prog, "software");
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "status 11", "returned"}));
    EXPECT_EQ(prog.AllFiles(), kUntouched);
}

TEST_F(UpdateFlow, CountOfZeroIsAnError)
{
    ProgramSandbox prog;
    PutList("0\n");
    const HOST_RUN run = Check(prog, "software");
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", kListError, "returned"}));
}

TEST_F(UpdateFlow, AcceptedProductIsDownloadedAndInstalledInProcess)
{
    ProgramSandbox prog;
    prog.Root().WriteFile("prog\\readme.txt", "old readme");
    // Carriage returns before the line feeds, and a declined product whose file line is malformed.
    PutList("2\r\n"
            "software\t2.1.5\t1\t0\r\n"
            "not a file line\r\n"
            "database\t120\t2\t0\r\n" +
            FileLine("defs\\main.db", "/files/main.db", "definitions 120") + "\r\n" +
            FileLine("readme.txt", "/files/readme.txt", "new readme", "0\t0", true) + "\r\n");
    const HOST_RUN run = Check(prog, "database");
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm software 2.1.5 no",
                                     "confirm database 120 yes", "status 2 database", "status 2 database",
                                     "status 3 database", "status 8", "status 11", "returned"}));
    EXPECT_EQ(ReadFileText(prog.Prog("defs\\main.db")), "definitions 120");
    EXPECT_EQ(ReadFileText(prog.Prog("readme.txt")), "new readme");
    // The update folder is gone with the list and the downloads. The setup program that was in the
    // folder before is not this update's: it was not started.
    EXPECT_EQ(prog.AllFiles(), (Events{"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll", "prog\\defs\\main.db",
                                       "prog\\readme.txt", "prog\\update_host.exe"}));
    // The list is asked for like a browser does; downloads name the updater.
    EXPECT_EQ(m_server.Agents(), (Events{"/updates/updates.asp\tMicrosoft Internet Explorer", "/files/main.db\tPatchwell",
                                         "/files/readme.txt\tPatchwell"}));
}

TEST_F(UpdateFlow, AcceptedProductWithoutFilesInstallsNothing)
{
    ProgramSandbox prog;
    PutList("1\nsoftware\t9.0\t0\t0\n");
    const HOST_RUN run = Check(prog, "software");
    EXPECT_EQ(run.arrEvents,
              (Events{"status 7", "status 1", "confirm", "confirm software 9.0 yes", "status 3 software", "status 11",
                      "returned"}));
    EXPECT_EQ(prog.AllFiles(), kUntouched);
}

TEST_F(UpdateFlow, MalformedListsEndTheCheckWithAnError)
{
    struct CASE {
        const char* what;
        std::string list;
        std::string accept;
        // Counts the signing script refuses reach the reader only in a reply no one signed.
        bool signable = true;
    };
    const std::string file = FileLine("a.txt", "/files/a.txt", "aaa");
    const CASE cases[] = {
        {"product line with 3 fields", "1\nsoftware\t1.0\t0\n", "software"},
        {"product line with 5 fields", "1\nsoftware\t1.0\t0\t0\t0\n", "software"},
        {"empty product line", "2\n\nsoftware\t1.0\t0\t0\n", "software"},
        {"fewer products than counted", "2\nsoftware\t1.0\t0\t0\n", "software"},
        {"file line with 5 fields", "1\nsoftware\t1.0\t1\t0\na.txt\t" + HashField("aaa") + "\t3\turl\t0\n", "software"},
        {"file line with 7 fields", "1\nsoftware\t1.0\t1\t0\n" + file + "\t0\n", "software"},
        {"missing file line", "1\nsoftware\t1.0\t2\t0\n" + file + "\n", "software"},
        {"negative count", "-1\nsoftware\t1.0\t0\t0\n", "software", false},
        {"count that is no number", "<html>\nsoftware\t1.0\t0\t0\n", "software", false},
    };
    for (const CASE& c : cases) {
        ProgramSandbox prog;
        if (c.signable)
            PutList(c.list);
        else
            m_server.Put("/updates/updates.asp", c.list);
        const HOST_RUN run = Check(prog, c.accept);
        ASSERT_GE(run.arrEvents.size(), 2u) << c.what;
        EXPECT_EQ(run.arrEvents[run.arrEvents.size() - 2], kListError) << c.what;
        EXPECT_FALSE(Contains(run.arrEvents, "status 11")) << c.what;
        EXPECT_FALSE(Contains(run.arrEvents, "status 8")) << c.what;
        EXPECT_EQ(WithoutLogs(prog.AllFiles()), kUntouched) << c.what;
    }
}

TEST_F(UpdateFlow, DeclinedProductsSkipTheirFileLinesUnread)
{
    ProgramSandbox prog;
    PutList("2\nsoftware\t1.0\t2\t0\nbad\n\ndatabase\t7\t0\t0\n");
    const HOST_RUN run = Check(prog, "database");
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm software 1.0 no",
                                     "confirm database 7 yes", "status 3 database", "status 11", "returned"}));
}

TEST_F(UpdateFlow, FailedDownloadsEndTheCheckAndInstallNothing)
{
    struct CASE {
        const char* what;
        const char* how;
        int sizeDelta;
    };
    const CASE cases[] = {
        {"404", "status 404\n", 0},
        {"500", "status 500\n", 0},
        {"wrong size", "", 1},
        {"body cut short", "cut 5\n", 0},
    };
    for (const CASE& c : cases) {
        m_server.Reset();
        ProgramSandbox prog;
        prog.Root().WriteFile("prog\\data.bin", "old data");
        const std::string content(3000, 'd');
        m_server.Put("/files/data.bin", content);
        if (*c.how)
            m_server.How("/files/data.bin", c.how);
        const int size = static_cast<int>(content.size()) + c.sizeDelta;
        PutList("1\ndatabase\t2\t1\t0\n" +
                Fields({"data.bin", HashField(content), std::to_string(size), m_server.Url("/files/data.bin"), "0", "0"}) +
                "\n");
        const HOST_RUN run = Check(prog, "database");
        EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm database 2 yes",
                                         "status 2 database", "status 4 database", "returned"}))
            << c.what;
        EXPECT_EQ(ReadFileText(prog.Prog("data.bin")), "old data") << c.what;
        // The failed download took its update folder with it.
        EXPECT_EQ(prog.AllFiles(), (Events{"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll",
                                           "prog\\data.bin", "prog\\update_host.exe"}))
            << c.what;
    }
}

TEST_F(UpdateFlow, SlowBodyStillArrivesWhole)
{
    ProgramSandbox prog;
    std::string content;
    for (int i = 0; i < 400; ++i)
        content += "line " + std::to_string(i) + "\n";
    m_server.How("/files/slow.txt", "slow 40\n");
    PutList("1\ndatabase\t2\t1\t0\n" + FileLine("slow.txt", "/files/slow.txt", content) + "\n");
    const HOST_RUN run = Check(prog, "database");
    EXPECT_TRUE(Contains(run.arrEvents, "status 11"));
    EXPECT_EQ(ReadFileText(prog.Prog("slow.txt")), content);
}

TEST_F(UpdateFlow, ArchiveIsExtractedWithItsFoldersAndDates)
{
    ProgramSandbox prog;
    m_server.PutZip("/files/pack.zip", {"sub/dir/file.dll\t2020-05-17 10:20:30\tnew dll",
                                        "sub/\t2020-05-17 10:20:30\t", "top.txt\t2019-01-02 03:04:06\ttop"});
    const std::string zip = m_server.Get("/files/pack.zip");
    PutList("1\nsoftware\t3.0\t1\t0\n" +
            Fields({"pack.zip", HashField(zip), std::to_string(zip.size()), m_server.Url("/files/pack.zip"), "1", "0"}) +
            "\n");
    const HOST_RUN run = Check(prog, "software");
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm software 3.0 yes",
                                     "status 2 software", "status 3 software", "status 8", "status 11", "returned"}));
    EXPECT_EQ(ReadFileText(prog.Prog("sub\\dir\\file.dll")), "new dll");
    EXPECT_EQ(LocalWriteTime(prog.Prog("sub\\dir\\file.dll")), "2020-05-17 10:20:30");
    EXPECT_EQ(LocalCreationTime(prog.Prog("sub\\dir\\file.dll")), "2020-05-17 10:20:30");
    EXPECT_EQ(LocalWriteTime(prog.Prog("top.txt")), "2019-01-02 03:04:06");
    EXPECT_EQ(prog.AllFiles(), (Events{"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll",
                                       "prog\\sub\\dir\\file.dll", "prog\\top.txt", "prog\\update_host.exe"}));
}

TEST_F(UpdateFlow, RunFlagOpensTheInstalledFile)
{
    ProgramSandbox prog;
    PutList("1\nsoftware\t3.0\t1\t0\n" + FileLine("tools\\helper.exe", "/files/helper.exe", StandInProgram(), "0\t1") + "\n");
    const HOST_RUN run = Check(prog, "software");
    EXPECT_TRUE(Contains(run.arrEvents, "status 11"));
    EXPECT_TRUE(WaitForFile(prog.Prog("tools\\ran.txt"), 30000));
    // The setup program was there before: not this update's, so not started.
    EXPECT_FALSE(FileExists(prog.Prog("ran.txt")));
}

TEST_F(UpdateFlow, SetupProgramIsStartedOnceWhenTheUpdateBringsIt)
{
    // Brought by the update with its run flag, in process and through rundll32: it runs once, after
    // every file is in place.
    for (const char* restart : {"0", "1"}) {
        m_server.Reset();
        ProgramSandbox prog(false);
        PutList(std::string("1\nsoftware\t3.0\t2\t") + restart + "\n" +
                FileLine("HivoraSetup.exe", "/files/setup.exe", StandInProgram(), "0\t1") + "\n" +
                FileLine("readme.txt", "/files/readme.txt", "new readme") + "\n");
        const HOST_RUN run = Check(prog, "software");
        EXPECT_TRUE(Contains(run.arrEvents, "status 8")) << restart;
        ASSERT_TRUE(WaitForFile(prog.Prog("ran.txt"), 60000)) << restart;
        EXPECT_EQ(ReadFileText(prog.Prog("ran.txt")), "ran\n") << restart;
        EXPECT_EQ(ReadFileText(prog.Prog("readme.txt")), "new readme") << restart;
        EXPECT_EQ(prog.AllFiles(), (Events{"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll", "prog\\ran.txt",
                                           "prog\\readme.txt", "prog\\update_host.exe"}))
            << restart;
        // Not waited for, it stays until the next restart, which deletes it.
        EXPECT_EQ(PendingDeletionsIn(prog), Events{"prog\\HivoraSetup.exe"}) << restart;
    }
}

TEST_F(UpdateFlow, SetupProgramThatCannotStartIsSaidAndDeleted)
{
    ProgramSandbox prog(false);
    PutList("1\nsoftware\t3.0\t1\t0\n" + FileLine("HivoraSetup.exe", "/files/setup.exe", "no program", "0\t1") + "\n");
    const HOST_RUN run = Check(prog, "software");
    EXPECT_TRUE(Contains(run.arrEvents, "msgbox Hivora: Unable to run the program after update. Please restart Hivora."));
    EXPECT_TRUE(Contains(run.arrEvents, "status 11"));
    EXPECT_FALSE(FileExists(prog.Prog("HivoraSetup.exe")));
    EXPECT_TRUE(prog.Logged("WARN ", "The installed setup " + prog.Prog("HivoraSetup.exe") + " could not be started"));
    EXPECT_EQ(PendingDeletionsIn(prog), Events{});
}

TEST_F(UpdateFlow, RestartFlagOfADeclinedProductStillInstallsThroughRundll32)
{
    ProgramSandbox prog;
    prog.Root().WriteFile("prog\\defs.db", "old definitions");
    PutList("2\nsoftware\t3.0\t1\t1\n" + FileLine("Hivora.exe", "/files/Hivora.exe", "program") + "\ndatabase\t5\t2\t0\n" +
            FileLine("defs.db", "/files/defs.db", "definitions 5") + "\n" +
            FileLine("HivoraSetup.exe", "/files/setup.exe", StandInProgram()) + "\n");
    const HOST_RUN run = Check(prog, "database");
    // The check ends the host at once after the ready event, with exit code 0.
    ASSERT_TRUE(run.bEnded);
    EXPECT_EQ(run.dwExitCode, 0u);
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm software 3.0 no",
                                     "confirm database 5 yes", "status 2 database", "status 2 database",
                                     "status 3 database", "status 8"}));
    // The installation waits for the host to end, then runs in rundll32, which finds the update
    // folder beside Patchwell.dll by the name on its command line.
    EXPECT_FALSE(FileExists(prog.Prog("ran.txt")));
    EXPECT_EQ(ReadFileText(prog.Prog("defs.db")), "old definitions");
    ASSERT_TRUE(WaitForFile(prog.Prog("ran.txt"), 60000));
    EXPECT_EQ(ReadFileText(prog.Prog("defs.db")), "definitions 5");
    EXPECT_EQ(prog.AllFiles(), (Events{"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll", "prog\\defs.db",
                                       "prog\\ran.txt", "prog\\update_host.exe"}));
}

TEST_F(UpdateFlow, SecondCheckInTheSameProcessSeesOnlyItsOwnReply)
{
    ProgramSandbox prog;
    PutList("1\nsoftware\t1.0\t0\t0\n");
    m_server.PutSigned("/second/updates/updates.asp", "1\ndatabase\t2.0\t0\t0\n");
    const HOST_RUN run = prog.RunHost({"--accept", "none", ListUrl(), m_server.Url("/second/updates/updates.asp")});
    EXPECT_EQ(run.arrEvents,
              (Events{"status 7", "status 1", "confirm", "confirm software 1.0 no", "status 11", "returned", "status 7",
                      "status 1", "confirm", "confirm database 2.0 no", "status 11", "returned"}));
}

TEST_F(UpdateFlow, InstallerReadsTheListItsOwnWay)
{
    ProgramSandbox prog;
    const std::string folder = prog.MakeUpdateFolder();
    prog.Root().WriteFile("prog\\" + folder + "\\DOWNLOAD01", "joined plainly");
    prog.Root().WriteFile("prog\\" + folder + "\\DOWNLOAD02", "joined with a separator");
    // An empty first line gives way to the folder on the second; the hint decides the separator.
    prog.Root().WriteFile("prog\\" + folder + "\\updatetmp.tmp",
                          "\r\n" + prog.Prog() + "\\\r\n" + "plain.txt\t" + HashField("joined plainly", true) +
                              "\t0\turl\t0\t0\tDOWNLOAD01\r\n" + "deep\\sep.txt\t" +
                              HashField("joined with a separator") + "\t0\turl\t0\t0\tDOWNLOAD02\r\n");
    const HOST_RUN run = prog.RunHost({"--install", folder});
    EXPECT_EQ(run.arrEvents, (Events{"installed 1"}));
    EXPECT_EQ(ReadFileText(prog.Prog("plain.txt")), "joined plainly");
    EXPECT_EQ(ReadFileText(prog.Prog("deep\\sep.txt")), "joined with a separator");
    EXPECT_EQ(prog.AllFiles(), (Events{"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll", "prog\\deep\\sep.txt",
                                       "prog\\plain.txt", "prog\\update_host.exe"}));
}

TEST_F(UpdateFlow, InstallerWithoutAListSaysSo)
{
    ProgramSandbox prog;
    EXPECT_EQ(prog.RunHost({"--install", ""}).arrEvents, (Events{"msgbox Hivora: Error in open file", "installed 0"}));
    const std::string folder = prog.MakeUpdateFolder();
    EXPECT_EQ(prog.RunHost({"--install", folder}).arrEvents,
              (Events{"msgbox Hivora: Error in open file", "installed 0"}));
    EXPECT_FALSE(FileExists(prog.Prog(folder)));
}

TEST_F(UpdateFlow, InstallerWithOnlyTheFolderStartsNothing)
{
    // A setup program the run did not install, there or not, is never started and nothing is said.
    for (const bool withSetup : {true, false}) {
        ProgramSandbox prog(withSetup);
        const std::string folder = prog.MakeUpdateFolder();
        prog.Root().WriteFile("prog\\" + folder + "\\updatetmp.tmp", prog.Prog() + "\\\r\n");
        const HOST_RUN run = prog.RunHost({"--install", folder});
        EXPECT_EQ(run.arrEvents, (Events{"installed 1"})) << withSetup;
        EXPECT_FALSE(FileExists(prog.Prog(folder))) << withSetup;
        EXPECT_FALSE(FileExists(prog.Prog("ran.txt"))) << withSetup;
        EXPECT_EQ(FileExists(prog.Prog("HivoraSetup.exe")), withSetup);
        EXPECT_EQ(PendingDeletionsIn(prog), Events{}) << withSetup;
    }
}

TEST_F(UpdateFlow, FailedReplacementKeepsTheOldFile)
{
    ProgramSandbox prog;
    prog.Root().WriteFile("prog\\keep.dll", "old dll");
    const std::string folder = prog.MakeUpdateFolder();
    prog.Root().WriteFile("prog\\" + folder + "\\HELDOPEN01", "new dll");
    prog.Root().WriteFile("prog\\" + folder + "\\updatetmp.tmp",
                          prog.Prog() + "\\\r\nkeep.dll\t" + HashField("new dll") + "\t7\turl\t0\t0\tHELDOPEN01\r\n");
    // The host holds the old file open without delete sharing, so it cannot be replaced.
    const HOST_RUN run = prog.RunHost({"--hold", prog.Prog("keep.dll"), "--install", folder});
    EXPECT_EQ(run.arrEvents, (Events{"installed 1"}));
    EXPECT_EQ(ReadFileText(prog.Prog("keep.dll")), "old dll");
    EXPECT_TRUE(prog.Logged("WARN ", "Install of keep.dll failed: "));
    EXPECT_FALSE(FileExists(prog.Prog(folder)));
}
