#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "framework/format.h"
#include "framework/paths.h"
#include "shell/settings.h"
#include "updater/crypto.h"
#include "updater/field_list.h"
#include "updater/install.h"
#include "updater/install_list.h"
#include "updater/internet.h"
#include "updater/patchwell.h"
#include "updater/signed_list.h"
#include "updater/update_log.h"
#include "updater/work_folder.h"

namespace {

const char kConnectError[] = "Unable to connect to update server ...";
// "occured" is deliberate: the pages and their users know the text so.
const char kListError[] = "Error occured while downloading info.";

AuConfirmProc g_pfnConfirm = nullptr;
AuStatusProc g_pfnStatus = nullptr;
std::vector<std::string> g_arrReplyLines;

void SendStatus(int code, const char* text = nullptr)
{
    if (g_pfnStatus)
        g_pfnStatus(code, text);
}

bool Confirm(const char* name, const char* version)
{
    return g_pfnConfirm && g_pfnConfirm(name, version);
}

// Lines past the end of the reply read as empty, which every caller treats as malformed.
const std::string& ReplyLine(uint64_t index)
{
    static const std::string empty;
    return index < g_arrReplyLines.size() ? g_arrReplyLines[static_cast<size_t>(index)] : empty;
}

constexpr unsigned long long kMaxReply = 1 << 20;

enum FETCH_RESULT { FETCH_OK, FETCH_FAILED, FETCH_TOO_LARGE };

// The reply is read up to kMaxReply bytes; a longer one is refused before it is all read.
FETCH_RESULT FetchText(const char* url, std::string& text)
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

void CopyName(char (&buffer)[1024], const std::string& text)
{
    lstrcpynA(buffer, text.c_str(), sizeof buffer);
}

// A list that fails the check: logged with its reason, reported as the list error.
void RefuseList(const std::string& why)
{
    LogUpdateWarning("Update list refused: " + why);
    SendStatus(AuError, kListError);
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

// A signed list may still be an old one served again: only the newest, and only before its last
// day, is acted on.
bool AcceptStamp(const std::string& line0)
{
    LIST_STAMP stamp;
    std::string why;
    const uint64_t highest = HighestAcceptedSerial();
    if (!ParseListStamp(line0, stamp, why) || !IsListCurrent(stamp, highest, TodayUtc(), why)) {
        RefuseList(why);
        return false;
    }
    if (stamp.nSerial > highest)
        WriteSettingString(kSerialSetting, std::to_string(stamp.nSerial));
    return true;
}

void RunCheck(const char* url)
{
    SendStatus(AuConnecting);
    std::string reply;
    const FETCH_RESULT fetched = url ? FetchText(url, reply) : FETCH_FAILED;
    if (fetched == FETCH_TOO_LARGE) {
        RefuseList("the reply is larger than 1 MiB");
        return;
    }
    if (fetched != FETCH_OK) {
        SendStatus(AuError, kConnectError);
        return;
    }
    Confirm(nullptr, nullptr);
    // An empty reply offers nothing to act on.
    if (reply.empty()) {
        SendStatus(AuFinished);
        return;
    }
    std::string list;
    SIGNATURE signature {};
    std::string why;
    if (!SplitSignedReply(reply, list, signature, why)) {
        RefuseList(why);
        return;
    }
    if (!VerifySignature(UpdateListKey(), list, signature)) {
        RefuseList("its signature does not match the update key");
        return;
    }
    reply = std::string();
    {
        const CFieldList lines(list, "\n");
        list = std::string();
        for (int i = 0; i < lines.GetCount(); ++i)
            g_arrReplyLines.push_back(lines[i]);
    }

    if (!AcceptStamp(g_arrReplyLines[0]))
        return;
    const int products = ReadNumber(g_arrReplyLines[0]);
    if (products < 1) {
        SendStatus(AuError, kListError);
        return;
    }
    const std::string dllPath = ModulePath();
    if (const std::string refusal = UpdateFolderRefusal(FolderOf(dllPath)); !refusal.empty()) {
        LogUpdateWarning(refusal);
        SendStatus(AuError, refusal.c_str());
        return;
    }
    CWorkFolder work;
    if (dllPath.empty() || !work.Create(FolderOf(dllPath))) {
        RefuseList("no folder for the downloads could be made beside " + dllPath);
        return;
    }
    FileHandle installList(CreateFileA(work.File("updatetmp.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!installList) {
        work.Remove();
        SendStatus(AuError, kListError);
        return;
    }
    // Whatever ends the check early takes the run's folder with it.
    const auto fail = [&](int code, const char* text) {
        installList.reset();
        work.Remove();
        SendStatus(code, text);
    };

    uint64_t index = 1;
    bool restart = false;
    bool downloaded = false;
    std::vector<std::string> entries;
    for (int product = 0; product < products; ++product) {
        const std::string& productLine = ReplyLine(index++);
        if (productLine.empty())
            return fail(AuError, kListError);
        const CFieldList fields(productLine, "\t");
        if (fields.GetCount() != 4)
            return fail(AuError, kListError);
        const int files = std::max(0, ReadNumber(fields[2]));
        if (ReadNumber(fields[3]) != 0)
            restart = true;
        char name[1024];
        char version[1024];
        CopyName(name, fields[0]);
        CopyName(version, fields[1]);
        if (!Confirm(name, version)) {
            index += static_cast<uint64_t>(files);
            continue;
        }
        for (int file = 0; file < files; ++file) {
            const std::string& fileLine = ReplyLine(index++);
            const CFieldList parts(fileLine, "\t");
            // A target that leads out of the program folder makes the whole list suspect.
            if (parts.GetCount() != 6 || !IsSafeRelativeName(parts[0]))
                return fail(AuError, kListError);
            SHA256_DIGEST digest {};
            if (!ParseFileHash(parts[1], digest)) {
                LogUpdateWarning("Update of " + std::string(name) + " refused: the list names no SHA-256 for " + parts[0]);
                return fail(AuDownloadFailed, name);
            }
            // The size bounds the download: a list without one is refused.
            const int size = ReadNumber(parts[2]);
            if (size < 1) {
                LogUpdateWarning("Update list refused: it names no size for " + parts[0]);
                return fail(AuError, kListError);
            }
            SendStatus(AuDownloading, name);
            std::string tempName;
            const DOWNLOAD_RESULT result = DownloadToTemp(work.Path(), tempName, size, parts[3].c_str(), digest);
            if (result == DL_WRONG_HASH)
                LogUpdateWarning("Update of " + std::string(name) + " refused: the download of " + parts[0] +
                                 " does not have the SHA-256 the list names");
            if (result == DL_TOO_LONG)
                LogUpdateWarning("Update of " + std::string(name) + " refused: the download of " + parts[0] +
                                 " was stopped, being longer than the " + std::to_string(size) +
                                 " bytes the list names");
            if (result != DL_OK)
                return fail(AuDownloadFailed, name);
            downloaded = true;
            entries.push_back(FormatInstallEntry(fileLine, tempName));
        }
        SendStatus(AuProductDone, name);
    }

    std::string text = ProgramFolder() + "\n";
    for (const std::string& entry : entries)
        text += entry;
    const bool written = WriteInstallList(installList.get(), text);
    installList.reset();
    if (!written)
        return fail(AuError, kListError);

    if (!downloaded) {
        work.Remove();
        SendStatus(AuFinished);
        return;
    }
    SendStatus(AuReadyToInstall);
    if (restart) {
        // rundll32 from the system folder, never one found by a search; it takes the run's folder
        // by name and finds it beside Patchwell.dll.
        char system[MAX_PATH];
        const UINT n = GetSystemDirectoryA(system, sizeof system);
        if (n == 0 || n >= sizeof system)
            return fail(AuError, kListError);
        const std::string rundll32 = std::string(system) + "\\rundll32.exe";
        const std::string parameters = "\"" + dllPath + "\",InstallUpdates " + work.Name();
        if (reinterpret_cast<INT_PTR>(
                ShellExecuteA(nullptr, "open", rundll32.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL)) <= 32) {
            LogUpdateWarning(Format("The installation could not be started through %s (error %lu)", rundll32.c_str(),
                                    GetLastError()));
            return fail(AuError, kListError);
        }
        // The installation replaces this program's files: it goes on once this process has ended.
        ExitProcess(0);
    }
    InstallFromFolder(work);
    SendStatus(AuFinished);
}

}  // namespace

extern "C" void AuCheckForUpdates(const char* url, AuConfirmProc confirm, AuStatusProc status)
{
    g_pfnConfirm = confirm;
    g_pfnStatus = status;
    g_arrReplyLines.clear();
    try {
        RunCheck(url);
    } catch (const std::exception&) {
        SendStatus(AuError, kListError);
    }
}
