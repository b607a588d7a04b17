#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "framework/error.h"
#include "framework/files.h"
#include "framework/format.h"
#include "framework/paths.h"
#include "shell/settings.h"
#include "updater/crypto.h"
#include "updater/install.h"
#include "updater/install_list.h"
#include "updater/internet.h"
#include "updater/patchwell.h"
#include "updater/signed_list.h"
#include "updater/update_plan.h"
#include "updater/update_log.h"
#include "updater/work_folder.h"

namespace {

const char kConnectError[] = "Unable to connect to update server ...";
// "occured" is deliberate: the pages and their users know the text so.
const char kListError[] = "Error occured while downloading info.";

constexpr unsigned long long kMaxReply = 1 << 20;

enum FETCH_RESULT { FETCH_OK, FETCH_FAILED, FETCH_TOO_LARGE };

// Writes the install list in text mode: each line feed as carriage return and line feed.
bool WriteInstallList(HANDLE file, const std::string& text)
{
    std::string bytes;
    for (const char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

// The highest serial of a list this machine accepted, kept with the program's settings in HKLM,
// where only administrators can change it.
const char kSerialSetting[] = "updateserial";

uint64_t HighestAcceptedSerial()
{
    return std::strtoull(ReadSettingString(kSerialSetting).c_str(), nullptr, 10);
}

int64_t TodayUtc()
{
    SYSTEMTIME now {};
    GetSystemTime(&now);
    int64_t day = 0;
    DayNumber(now.wYear, now.wMonth, now.wDay, day);
    return day;
}

// The run's folder and its install list, open while the files are downloaded; whatever ends the
// check early takes the folder with it.
struct CHECK_FOLDER {
    CWorkFolder work;
    FileHandle installList;
    std::string strDllPath;
};

// One update check: the caller's callbacks, the reply fetched, read (update_plan.h) and acted on.
class CUpdateCheck {
public:
    CUpdateCheck(AuConfirmProc confirm, AuStatusProc status) : m_pfnConfirm(confirm), m_pfnStatus(status) {}
    void Run(const char* url) const;
    void SendStatus(int code, const char* text = nullptr) const
    {
        if (m_pfnStatus)
            m_pfnStatus(code, text);
    }

private:
    bool Confirm(const char* name, const char* version) const { return m_pfnConfirm && m_pfnConfirm(name, version); }
    FETCH_RESULT FetchText(const char* url, std::string& text) const;
    void RefuseList(const std::string& why) const;
    void Fail(CHECK_FOLDER& folder, int code, const char* text) const;
    bool OpenFolder(CHECK_FOLDER& folder) const;
    void Act(const UPDATE_PLAN& plan) const;
    bool Download(CHECK_FOLDER& folder, const PLANNED_PRODUCT& product, std::string& entries) const;
    void Install(CHECK_FOLDER& folder, bool restart) const;

    AuConfirmProc m_pfnConfirm;
    AuStatusProc m_pfnStatus;
};

// The reply is read up to kMaxReply bytes; a longer one is refused before it is all read.
FETCH_RESULT CUpdateCheck::FetchText(const char* url, std::string& text) const
{
    text.clear();
    InternetHandle internet(InternetOpenA("Microsoft Internet Explorer", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet)
        return FETCH_FAILED;
    SendStatus(AuConnected);
    static const char kHeaders[] = "Accept: */*\r\n\r\n";
    InternetHandle request(InternetOpenUrlA(internet.get(), url, kHeaders, sizeof kHeaders - 1,
                                            INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request)
        return FETCH_FAILED;
    bool tooLarge = false;
    unsigned long long total = 0;
    if (ReadWholeBody(
            request.get(),
            [&](const char* data, DWORD size) {
                tooLarge = text.size() + size > kMaxReply;
                if (!tooLarge)
                    text.append(data, size);
                return !tooLarge;
            },
            total))
        return FETCH_OK;
    text.clear();
    return tooLarge ? FETCH_TOO_LARGE : FETCH_FAILED;
}

// A list that fails the check: logged with its reason, reported as the list error.
void CUpdateCheck::RefuseList(const std::string& why) const
{
    LogUpdateWarning("Update list refused: " + why);
    SendStatus(AuError, kListError);
}

void CUpdateCheck::Fail(CHECK_FOLDER& folder, int code, const char* text) const
{
    folder.installList.reset();
    folder.work.Remove();
    SendStatus(code, text);
}

void CUpdateCheck::Run(const char* url) const
{
    SendStatus(AuConnecting);
    std::string reply;
    const FETCH_RESULT fetched = url ? FetchText(url, reply) : FETCH_FAILED;
    if (fetched == FETCH_TOO_LARGE)
        return RefuseList("the reply is larger than 1 MiB");
    if (fetched != FETCH_OK)
        return SendStatus(AuError, kConnectError);
    Confirm(nullptr, nullptr);
    // An empty reply offers nothing to act on.
    if (reply.empty())
        return SendStatus(AuFinished);
    const uint64_t highest = HighestAcceptedSerial();
    const UPDATE_PLAN plan = ReadUpdateReply(
        reply, [](std::string_view list, const SIGNATURE& signature) { return VerifySignature(UpdateListKey(), list, signature); },
        highest, TodayUtc());
    reply = std::string();
    if (plan.nState == UPDATE_PLAN::UP_REFUSED)
        return RefuseList(plan.strRefusal);
    if (plan.stamp.nSerial > highest)
        WriteSettingString(kSerialSetting, std::to_string(plan.stamp.nSerial));
    if (plan.nState == UPDATE_PLAN::UP_NO_PRODUCTS)
        return SendStatus(AuError, kListError);
    Act(plan);
}

// The run's folder beside Patchwell.dll, in a program folder only administrators can change, and
// its install list. False, reported, when there is none.
bool CUpdateCheck::OpenFolder(CHECK_FOLDER& folder) const
{
    folder.strDllPath = ModulePath();
    if (const std::string refusal = UpdateFolderRefusal(FolderOf(folder.strDllPath)); !refusal.empty()) {
        LogUpdateWarning(refusal);
        SendStatus(AuError, refusal.c_str());
        return false;
    }
    if (folder.strDllPath.empty() || !folder.work.Create(FolderOf(folder.strDllPath))) {
        RefuseList("no folder for the downloads could be made beside " + folder.strDllPath);
        return false;
    }
    folder.installList = OpenFile(folder.work.File("updatetmp.tmp"), GENERIC_WRITE, 0, CREATE_NEW);
    if (!folder.installList) {
        Fail(folder, AuError, kListError);
        return false;
    }
    return true;
}

// Offers each product of the list, downloads the accepted ones, writes the install list and
// installs what came.
void CUpdateCheck::Act(const UPDATE_PLAN& plan) const
{
    CHECK_FOLDER folder;
    if (!OpenFolder(folder))
        return;
    std::string entries;
    for (const PLANNED_PRODUCT& product : plan.products)
        if (Confirm(product.strName.c_str(), product.strVersion.c_str()) && !Download(folder, product, entries))
            return;
    if (plan.bBadProductLine)
        return Fail(folder, AuError, kListError);

    const bool written = WriteInstallList(folder.installList.get(), ProgramFolder() + "\n" + entries);
    folder.installList.reset();
    if (!written)
        return Fail(folder, AuError, kListError);
    if (entries.empty()) {
        folder.work.Remove();
        return SendStatus(AuFinished);
    }
    SendStatus(AuReadyToInstall);
    Install(folder, plan.bRestart);
}

// Downloads the product's files and adds their install entries. False, reported, when a download
// failed or the list turned out faulty.
bool CUpdateCheck::Download(CHECK_FOLDER& folder, const PLANNED_PRODUCT& product, std::string& entries) const
{
    const char* name = product.strName.c_str();
    for (const PLANNED_FILE& file : product.files) {
        SendStatus(AuDownloading, name);
        std::string tempName;
        const DOWNLOAD_RESULT result =
            DownloadToTemp(folder.work.Path(), tempName, file.nSize, file.strUrl.c_str(), file.digest);
        if (result == DL_WRONG_HASH)
            LogUpdateWarning("Update of " + product.strName + " refused: the download of " + file.strTarget +
                             " does not have the SHA-256 the list names");
        if (result == DL_TOO_LONG)
            LogUpdateWarning("Update of " + product.strName + " refused: the download of " + file.strTarget +
                             " was stopped, being longer than the " + std::to_string(file.nSize) +
                             " bytes the list names");
        if (result != DL_OK) {
            Fail(folder, AuDownloadFailed, name);
            return false;
        }
        entries += FormatInstallEntry(file.strLine, tempName);
    }
    switch (product.nFault) {
    case FF_NONE:
        SendStatus(AuProductDone, name);
        return true;
    case FF_NO_HASH:
        LogUpdateWarning("Update of " + product.strName + " refused: the list names no SHA-256 for " +
                         product.strFaultTarget);
        Fail(folder, AuDownloadFailed, name);
        return false;
    case FF_NO_SIZE:
        LogUpdateWarning("Update list refused: it names no size for " + product.strFaultTarget);
        break;
    case FF_MALFORMED:
        break;
    }
    Fail(folder, AuError, kListError);
    return false;
}

// Installs on this thread, or, when a product must replace the running program's files, through
// rundll32 after this process has ended.
void CUpdateCheck::Install(CHECK_FOLDER& folder, bool restart) const
{
    if (!restart) {
        InstallFromFolder(folder.work);
        return SendStatus(AuFinished);
    }
    // rundll32 from the system folder, never one found by a search; it takes the run's folder by
    // name and finds it beside Patchwell.dll.
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, sizeof system);
    if (n == 0 || n >= sizeof system)
        return Fail(folder, AuError, kListError);
    const std::string rundll32 = std::string(system) + "\\rundll32.exe";
    const std::string parameters = "\"" + folder.strDllPath + "\",InstallUpdates " + folder.work.Name();
    if (reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", rundll32.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL)) <= 32) {
        LogUpdateWarning(Format("The installation could not be started through %s (%s)", rundll32.c_str(),
                                ErrorText(GetLastError()).c_str()));
        return Fail(folder, AuError, kListError);
    }
    // The installation replaces this program's files: it goes on once this process has ended.
    ExitProcess(0);
}

}  // namespace

extern "C" void AuCheckForUpdates(const char* url, AuConfirmProc confirm, AuStatusProc status)
{
    const CUpdateCheck check(confirm, status);
    try {
        check.Run(url);
    } catch (const std::exception&) {
        check.SendStatus(AuError, kListError);
    }
}
