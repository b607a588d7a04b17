#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <exception>
#include <string>
#include <vector>

#include "framework/paths.h"
#include "updater/field_list.h"
#include "updater/install_list.h"
#include "updater/internet.h"
#include "updater/patchwell.h"

namespace {

const char kConnectError[] = "Unable to connect to update server ...";
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

bool FetchText(const char* url, std::string& text)
{
    text.clear();
    InternetHandle internet(InternetOpenA("Microsoft Internet Explorer", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet)
        return false;
    SendStatus(AuConnected);
    static const char kHeaders[] = "Accept: */*\r\n\r\n";
    InternetHandle request(InternetOpenUrlA(internet.get(), url, kHeaders, sizeof kHeaders - 1,
                                            INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request)
        return false;
    unsigned long long total = 0;
    if (ReadWholeBody(
            request.get(),
            [&](const char* data, DWORD size) {
                text.append(data, size);
                return true;
            },
            total))
        return true;
    text.clear();
    return false;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

void CopyName(char (&buffer)[1024], const std::string& text)
{
    lstrcpynA(buffer, text.c_str(), sizeof buffer);
}

void RunCheck(const char* url)
{
    SendStatus(AuConnecting);
    std::string reply;
    if (!url || !FetchText(url, reply)) {
        SendStatus(AuError, kConnectError);
        return;
    }
    Confirm(nullptr, nullptr);
    if (!reply.empty()) {
        const CFieldList lines(reply, "\n");
        reply = std::string();
        for (int i = 0; i < lines.GetCount(); ++i)
            g_arrReplyLines.push_back(lines[i]);
    }
    if (g_arrReplyLines.empty()) {
        SendStatus(AuFinished);
        return;
    }

    char temp[1024];
    const DWORD n = GetTempPathA(sizeof temp, temp);
    const int products = ReadNumber(g_arrReplyLines[0]);
    if (n == 0 || n >= sizeof temp || products < 1) {
        SendStatus(AuError, kListError);
        return;
    }
    std::unique_ptr<FILE, FileCloser> list(std::fopen((std::string(temp) + "\\updatetmp.tmp").c_str(), "w"));
    if (!list) {
        SendStatus(AuError, kListError);
        return;
    }

    uint64_t index = 1;
    bool restart = false;
    bool downloaded = false;
    std::vector<std::string> entries;
    for (int product = 0; product < products; ++product) {
        const std::string& productLine = ReplyLine(index++);
        if (productLine.empty()) {
            SendStatus(AuError, kListError);
            return;
        }
        const CFieldList fields(productLine, "\t");
        if (fields.GetCount() != 4) {
            SendStatus(AuError, kListError);
            return;
        }
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
            if (parts.GetCount() != 6 || !IsSafeRelativeName(parts[0])) {
                SendStatus(AuError, kListError);
                return;
            }
            SendStatus(AuDownloading, name);
            std::string tempName;
            if (!DownloadToTemp(tempName, ReadNumber(parts[2]), parts[3].c_str())) {
                SendStatus(AuDownloadFailed, name);
                return;
            }
            downloaded = true;
            entries.push_back(FormatInstallEntry(fileLine, tempName));
        }
        SendStatus(AuProductDone, name);
    }

    const std::string folder = ProgramFolder();
    std::fputs((folder + "\n").c_str(), list.get());
    for (const std::string& entry : entries)
        std::fputs(entry.c_str(), list.get());
    std::fflush(list.get());
    list.reset();

    if (downloaded) {
        SendStatus(AuReadyToInstall);
        if (restart) {
            const std::string parameters = "\"" + folder + "\\Patchwell.dll\",InstallUpdates";
            ShellExecuteA(nullptr, "open", "rundll32", parameters.c_str(), nullptr, SW_SHOWNORMAL);
            ExitProcess(0);
        }
        InstallUpdates(nullptr, nullptr, nullptr, 0);
    }
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
