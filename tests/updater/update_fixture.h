#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tempdir.h"

// The update server of this test program (started by the ctest fixture; its state folder is named
// by HIVORA_UPDATE_SERVER). Its documents are rewritten by each test.
class UpdateServer {
public:
    UpdateServer();

    // "http://127.0.0.1:PORT" + path.
    std::string Url(const std::string& path) const;
    // Empties the document folder and the request log.
    void Reset() const;
    // Serves content at path (such as "/updates/updates.asp"), as it is.
    void Put(const std::string& path, const std::string& content) const;
    // Serves list at path as the reply scripts/sign-update-list makes of it with the key
    // tests/keys/KEY.pem (the development key by default, which the build trusts) and its options
    // ("--serial N --expires YYYY-MM-DD"; by default the time of the request and 90 days on).
    void PutSigned(const std::string& path, const std::string& list, const std::string& key = "update-dev",
                   const std::string& options = "") const;
    // Directives for the answer at path: "status 404", "slow 50", "cut 10", "flip 7" (one per line).
    void How(const std::string& path, const std::string& directives) const;
    // What the server answers at path (a zip archive is built by the server, so its bytes are
    // known only from there). The request is logged like any other.
    std::string Get(const std::string& path) const;
    // Serves a zip archive built from entries "NAME\tYYYY-MM-DD HH:MM:SS\tCONTENT".
    void PutZip(const std::string& path, const std::vector<std::string>& entries) const;
    // Paths requested since the last Reset.
    std::vector<std::string> Requests() const;
    // The same requests, each as its path, a tab and its user agent.
    std::vector<std::string> Agents() const;

private:
    std::string Local(const std::string& path) const;
    void Write(const std::string& path, const std::string& content) const;

    std::string m_strState;
    int m_nPort = 0;
};

// What a run of the test host left behind.
struct HOST_RUN {
    bool bEnded = false;
    DWORD dwExitCode = 0;
    std::vector<std::string> arrEvents;
};

// A program folder ("prog", holding the test host, Patchwell.dll and the stand-in setup program)
// and a private temporary folder ("temp") that the host gets as TEMP and TMP.
class ProgramSandbox {
public:
    explicit ProgramSandbox(bool withSetup = true);
    // Programs the updater started (the setup stand-in) may still hold their files for a moment.
    ~ProgramSandbox();
    ProgramSandbox(const ProgramSandbox&) = delete;
    ProgramSandbox& operator=(const ProgramSandbox&) = delete;

    const TempDir& Root() const { return m_dir; }
    std::string Prog(const std::string& name = "") const { return m_dir / "prog" + (name.empty() ? "" : "\\" + name); }
    std::string Temp(const std::string& name = "") const { return m_dir / "temp" + (name.empty() ? "" : "\\" + name); }

    // Runs the host with arguments (a log file is added) and waits for it.
    HOST_RUN RunHost(const std::vector<std::string>& arguments) const;

    // Makes an update folder beside Patchwell.dll, as a check makes one, and gives back its name.
    std::string MakeUpdateFolder() const;
    // The program folder's logs, where the updater writes its warnings, hold a record at level
    // ("WARN ") whose message begins with text.
    bool Logged(const std::string& level, const std::string& text) const;

    // Every file below the root, relative to it, sorted.
    std::vector<std::string> AllFiles() const;

private:
    TempDir m_dir;
};

// The files of AllFiles but those of the program folder's logs.
std::vector<std::string> WithoutLogs(const std::vector<std::string>& files);
// The stand-in setup program's bytes, to be served as a download.
std::string StandInProgram();
// True when the file appears (or, with present false, is gone) within the time given.
bool WaitForFile(const std::string& path, DWORD milliseconds, bool present = true);
bool FileExists(const std::string& path);
// The second field of a file line for content: "sha256:" and its digest, and a backslash when the
// target is joined to the folder without a separator.
std::string HashField(const std::string& content, bool joinedWithoutSeparator = false);
// Joins fields with tabs.
std::string Fields(const std::vector<std::string>& fields);
// The last-write time of a file in local time, as "YYYY-MM-DD HH:MM:SS"; empty on failure.
std::string LocalWriteTime(const std::string& path);
std::string LocalCreationTime(const std::string& path);
// The files the system is to delete at the next restart (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT
// and no new name), as DOS paths.
std::vector<std::string> PendingDeletions();
// Takes the operations on files below folder off that list (the sandbox does so for its own).
void ForgetPendingOperations(const std::string& folder);
