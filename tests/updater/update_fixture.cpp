#include "update_fixture.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "framework/format.h"
#include "framework/handles.h"
#include "framework/hex.h"
#include "updater/crypto.h"
#include "updater/internet.h"

namespace {

// Wine maps the Unix root to drive Z:.
std::string DosPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

void CopyOrThrow(const std::string& from, const std::string& to)
{
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + from + " to " + to);
}

void CollectFiles(const std::string& root, const std::string& relative, std::vector<std::string>& files)
{
    WIN32_FIND_DATAA entry;
    const std::string folder = relative.empty() ? root : root + "\\" + relative;
    FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (!find)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string child = relative.empty() ? name : relative + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectFiles(root, child, files);
        else
            files.push_back(child);
    } while (FindNextFileA(find.get(), &entry));
}

std::string FormatFileTime(const FILETIME& utc)
{
    FILETIME local;
    SYSTEMTIME when;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &when))
        return {};
    return Format("%04u-%02u-%02u %02u:%02u:%02u", when.wYear, when.wMonth, when.wDay, when.wHour, when.wMinute,
                  when.wSecond);
}

std::string FileTimeOf(const std::string& path, bool creation)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return {};
    return FormatFileTime(creation ? data.ftCreationTime : data.ftLastWriteTime);
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    const std::string text = ReadFileText(path);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// MoveFileEx's operations for the next restart: pairs of a file's NT path ("\\??\\C:\\...") and its
// new one, empty for a deletion. The system's value, outside any registry sandbox.
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingOperations[] = "PendingFileRenameOperations";
const char kNtPrefix[] = "\\??\\";

std::vector<std::string> ReadPendingOperations()
{
    std::vector<std::string> strings;
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return strings;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), kPendingOperations, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return strings;
    std::string data(size, '\0');
    if (RegQueryValueExA(key.get(), kPendingOperations, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
        return strings;
    data.resize(size);
    // Each string ends with a NUL, and the list with a second one; a deletion's empty new name is a
    // string too, so the list is read by pairs up to its size.
    for (size_t start = 0; start < data.size();) {
        const size_t end = data.find('\0', start);
        strings.push_back(data.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (strings.size() % 2 != 0 && strings.back().empty())
        strings.pop_back();
    return strings;
}

bool IsBelow(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path[folder.size()] == '\\' &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), static_cast<int>(folder.size()),
                          folder.c_str(), static_cast<int>(folder.size())) == CSTR_EQUAL;
}

std::string WithoutNtPrefix(const std::string& path)
{
    return path.rfind(kNtPrefix, 0) == 0 ? path.substr(sizeof kNtPrefix - 1) : path;
}

}  // namespace

UpdateServer::UpdateServer()
{
    const char* state = std::getenv("HIVORA_UPDATE_SERVER");
    if (!state)
        throw std::runtime_error("HIVORA_UPDATE_SERVER is not set: run the tests through ctest");
    m_strState = DosPath(state);
    m_nPort = std::atoi(ReadFileText(m_strState + "\\port").c_str());
    if (m_nPort <= 0)
        throw std::runtime_error("the update server has not written its port");
}

std::string UpdateServer::Url(const std::string& path) const
{
    return Format("http://127.0.0.1:%d%s", m_nPort, path.c_str());
}

std::string UpdateServer::Local(const std::string& path) const
{
    std::string local = m_strState + "\\root" + path;
    std::replace(local.begin(), local.end(), '/', '\\');
    return local;
}

void UpdateServer::Reset() const
{
    RemoveTree(m_strState + "\\root");
    CreateDirectoryA((m_strState + "\\root").c_str(), nullptr);
    DeleteFileA((m_strState + "\\requests.log").c_str());
    DeleteFileA((m_strState + "\\agents.log").c_str());
}

void UpdateServer::Put(const std::string& path, const std::string& content) const
{
    Write(path, content);
    DeleteFileA(Local(path + ".sign").c_str());
}

void UpdateServer::Write(const std::string& path, const std::string& content) const
{
    const std::string local = Local(path);
    for (size_t slash = local.find('\\', m_strState.size() + 6); slash != std::string::npos;
         slash = local.find('\\', slash + 1))
        CreateDirectoryA(local.substr(0, slash).c_str(), nullptr);
    FileHandle file(CreateFileA(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
        written != content.size())
        throw std::runtime_error("cannot write " + local);
}

void UpdateServer::PutSigned(const std::string& path, const std::string& list, const std::string& key,
                             const std::string& options) const
{
    Write(path, list);
    Write(path + ".sign", options.empty() ? key : key + " " + options);
}

void UpdateServer::How(const std::string& path, const std::string& directives) const
{
    Write(path + ".how", directives);
}

void UpdateServer::PutZip(const std::string& path, const std::vector<std::string>& entries) const
{
    std::string listing;
    for (const std::string& entry : entries)
        listing += entry + "\n";
    Write(path + ".entries", listing);
}

std::string UpdateServer::Get(const std::string& path) const
{
    InternetHandle internet(InternetOpenA("fixture", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    InternetHandle request(
        internet ? InternetOpenUrlA(internet.get(), Url(path).c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0) : nullptr);
    std::string body;
    unsigned long long total = 0;
    if (!request || !ReadWholeBody(
                        request.get(),
                        [&](const char* data, DWORD size) {
                            body.append(data, size);
                            return true;
                        },
                        total))
        throw std::runtime_error("cannot get " + path);
    return body;
}

std::vector<std::string> UpdateServer::Requests() const
{
    return ReadLines(m_strState + "\\requests.log");
}

std::vector<std::string> UpdateServer::Agents() const
{
    return ReadLines(m_strState + "\\agents.log");
}

ProgramSandbox::ProgramSandbox(bool withSetup)
{
    if (!CreateDirectoryA(Prog().c_str(), nullptr) || !CreateDirectoryA(Temp().c_str(), nullptr))
        throw std::runtime_error("cannot create the program and temporary folders");
    CopyOrThrow(DosPath(HIVORA_PATCHWELL_DLL), Prog("Patchwell.dll"));
    CopyOrThrow(DosPath(HIVORA_UPDATE_HOST), Prog("update_host.exe"));
    if (withSetup)
        CopyOrThrow(DosPath(HIVORA_SETUP_STANDIN), Prog("HivoraSetup.exe"));
}

ProgramSandbox::~ProgramSandbox()
{
    ForgetPendingOperations(m_dir.Path());
    for (int attempt = 0; attempt < 100 && FileExists(m_dir.Path()); ++attempt) {
        RemoveTree(m_dir.Path());
        if (FileExists(m_dir.Path()))
            Sleep(100);
    }
}

HOST_RUN ProgramSandbox::RunHost(const std::vector<std::string>& arguments) const
{
    const std::string log = m_dir / "host.log";
    DeleteFileA(log.c_str());
    std::string command = Format("\"%s\" --log \"%s\"", Prog("update_host.exe").c_str(), log.c_str());
    for (const std::string& argument : arguments)
        command += Format(" \"%s\"", argument.c_str());

    // The host and whatever it starts (rundll32, the setup program) inherit the private temporary
    // folder, so that parallel tests never share an install list.
    char oldTemp[MAX_PATH] = {};
    char oldTmp[MAX_PATH] = {};
    GetEnvironmentVariableA("TEMP", oldTemp, sizeof oldTemp);
    GetEnvironmentVariableA("TMP", oldTmp, sizeof oldTmp);
    SetEnvironmentVariableA("TEMP", Temp().c_str());
    SetEnvironmentVariableA("TMP", Temp().c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, Prog().c_str(), &startup, &process);
    SetEnvironmentVariableA("TEMP", oldTemp);
    SetEnvironmentVariableA("TMP", oldTmp);
    if (!started)
        throw std::runtime_error("cannot start " + command);
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);

    HOST_RUN run;
    run.bEnded = WaitForSingleObject(processHandle.get(), 120000) == WAIT_OBJECT_0;
    if (!run.bEnded)
        TerminateProcess(processHandle.get(), 1);
    GetExitCodeProcess(processHandle.get(), &run.dwExitCode);
    run.arrEvents = ReadLines(log);
    return run;
}

std::string ProgramSandbox::MakeUpdateFolder() const
{
    const std::string name = "Update-0123456789abcdef0123456789ABCDEF";
    if (!CreateDirectoryA(Prog(name).c_str(), nullptr))
        throw std::runtime_error("cannot create the update folder");
    return name;
}

bool ProgramSandbox::Logged(const std::string& level, const std::string& text) const
{
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(Prog("Logs\\*.log").c_str(), &entry));
    if (!find)
        return false;
    do {
        for (const std::string& line : ReadLines(Prog("Logs\\") + entry.cFileName))
            if (line.find("--" + level + "--" + text) != std::string::npos)
                return true;
    } while (FindNextFileA(find.get(), &entry));
    return false;
}

std::vector<std::string> ProgramSandbox::AllFiles() const
{
    std::vector<std::string> files;
    CollectFiles(m_dir.Path(), "", files);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> WithoutLogs(const std::vector<std::string>& files)
{
    std::vector<std::string> kept;
    for (const std::string& file : files)
        if (file.rfind("prog\\Logs\\", 0) != 0)
            kept.push_back(file);
    return kept;
}

std::string StandInProgram()
{
    return ReadFileText(DosPath(HIVORA_SETUP_STANDIN));
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitForFile(const std::string& path, DWORD milliseconds, bool present)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (FileExists(path) != present) {
        if (GetTickCount64() > end)
            return false;
        Sleep(100);
    }
    return true;
}

std::string HashField(const std::string& content, bool joinedWithoutSeparator)
{
    CSha256 sha;
    SHA256_DIGEST digest {};
    if (!sha.Update(content.data(), content.size()) || !sha.Finish(digest))
        throw std::runtime_error("SHA-256 failed");
    return "sha256:" + HexText(digest.data(), digest.size()) + (joinedWithoutSeparator ? "\\" : "");
}

std::string Fields(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i ? "\t" : "") + fields[i];
    return line;
}

std::string LocalWriteTime(const std::string& path)
{
    return FileTimeOf(path, false);
}

std::string LocalCreationTime(const std::string& path)
{
    return FileTimeOf(path, true);
}

std::vector<std::string> PendingDeletions()
{
    std::vector<std::string> deletions;
    const std::vector<std::string> strings = ReadPendingOperations();
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
        if (strings[i + 1].empty())
            deletions.push_back(WithoutNtPrefix(strings[i]));
    return deletions;
}

void ForgetPendingOperations(const std::string& folder)
{
    const std::vector<std::string> strings = ReadPendingOperations();
    std::string kept;
    bool changed = false;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (IsBelow(WithoutNtPrefix(strings[i]), folder)) {
            changed = true;
            continue;
        }
        kept += strings[i] + '\0' + strings[i + 1] + '\0';
    }
    // Other programs' operations are written back only when some of the folder's went.
    if (!changed)
        return;
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
        return;
    if (kept.empty())
        RegDeleteValueA(key.get(), kPendingOperations);
    else {
        kept += '\0';
        RegSetValueExA(key.get(), kPendingOperations, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                       static_cast<DWORD>(kept.size()));
    }
}
