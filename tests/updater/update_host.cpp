// A stand-in for the main program: runs update checks through Patchwell with scripted answers and
// writes every event, one line each, to a log file that survives the process ending inside a check.
//
//   update_host.exe --log FILE [--accept NAME,NAME] [--hold FILE] [--install FOLDER] [URL...]
//
// --accept   products confirmed (all others are declined); --hold keeps FILE open without
// delete sharing while the checks run; --install calls InstallUpdates directly after the checks,
// with FOLDER as its command line, as rundll32 does.
// Message boxes are logged and closed at once.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "updater/patchwell.h"

namespace {

std::string g_logPath;
std::vector<std::string> g_accepted;
HHOOK g_hook = nullptr;

void Log(const std::string& line)
{
    FileHandle file(CreateFileA(g_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string text = line + "\n";
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool OnStatus(int code, const char* text)
{
    Log("status " + std::to_string(code) + (text ? std::string(" ") + text : std::string()));
    return true;
}

bool OnConfirm(const char* name, const char* version)
{
    if (!name && !version) {
        Log("confirm");
        return true;
    }
    bool accept = false;
    for (const std::string& wanted : g_accepted)
        accept = accept || (name && wanted == name);
    Log(std::string("confirm ") + (name ? name : "(null)") + " " + (version ? version : "(null)") +
        (accept ? " yes" : " no"));
    return accept;
}

BOOL CALLBACK CollectText(HWND child, LPARAM param)
{
    char className[32] = {};
    char text[512] = {};
    GetClassNameA(child, className, sizeof className);
    GetWindowTextA(child, text, sizeof text);
    if (lstrcmpiA(className, "Static") == 0 && text[0])
        *reinterpret_cast<std::string*>(param) += text;
    return TRUE;
}

LRESULT CALLBACK WatchMessageBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        char className[32] = {};
        GetClassNameA(box, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0) {
            char caption[256] = {};
            GetWindowTextA(box, caption, sizeof caption);
            std::string text;
            EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
            Log(std::string("msgbox ") + caption + ": " + text);
            PostMessageA(box, WM_CLOSE, 0, 0);
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

std::vector<std::string> SplitNames(const std::string& text)
{
    std::vector<std::string> names;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        names.push_back(text.substr(start, comma - start));
    names.push_back(text.substr(start));
    return names;
}

}  // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    std::vector<std::string> urls;
    std::string hold;
    bool install = false;
    std::string installFolder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--log" && i + 1 < argc)
            g_logPath = argv[++i];
        else if (arg == "--accept" && i + 1 < argc)
            g_accepted = SplitNames(argv[++i]);
        else if (arg == "--hold" && i + 1 < argc)
            hold = argv[++i];
        else if (arg == "--install" && i + 1 < argc) {
            install = true;
            installFolder = argv[++i];
        }
        else
            urls.push_back(arg);
    }
    if (g_logPath.empty())
        return 2;

    g_hook = SetWindowsHookExA(WH_CBT, WatchMessageBoxes, nullptr, GetCurrentThreadId());
    FileHandle held;
    if (!hold.empty())
        held.reset(CreateFileA(hold.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    for (const std::string& url : urls) {
        AuCheckForUpdates(url.c_str(), OnConfirm, OnStatus);
        Log("returned");
    }
    if (install) {
        // Reached by name, as rundll32 reaches it.
        using InstallProc = int(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);
        const auto proc =
            reinterpret_cast<InstallProc>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("Patchwell.dll"), "InstallUpdates")));
        Log(proc ? "installed " + std::to_string(proc(nullptr, nullptr, installFolder.data(), 0)) : std::string("no entry"));
    }
    if (g_hook)
        UnhookWindowsHookEx(g_hook);
    return 0;
}
