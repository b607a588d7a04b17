#include "updater/internet.h"

#include <cstdlib>

std::string MakeRandomName()
{
    static const char kCharacters[] = "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string name;
    for (int i = 0; i < 10; ++i)
        name += kCharacters[std::rand() % 36];
    return name;
}

bool ReadWholeBody(HINTERNET url, const std::function<bool(const char* data, DWORD size)>& sink,
                   unsigned long long& total)
{
    total = 0;
    DWORD status = 0;
    DWORD length = sizeof status;
    if (!HttpQueryInfoA(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) ||
        status < 200 || status > 299)
        return false;

    char buffer[512];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(url, buffer, sizeof buffer, &read))
            return false;
        if (read == 0)
            break;
        if (!sink(buffer, read))
            return false;
        total += read;
    }

    // A connection that drops early ends the body like a clean end does; the announced length
    // tells the two apart.
    char announced[32];
    length = sizeof announced;
    if (HttpQueryInfoA(url, HTTP_QUERY_CONTENT_LENGTH, announced, &length, nullptr))
        return std::strtoull(announced, nullptr, 10) == total;
    return true;
}

bool DownloadToTemp(std::string& name, int size, const char* url)
{
    char temp[MAX_PATH];
    const DWORD n = ExpandEnvironmentStringsA("%temp%", temp, sizeof temp);
    if (n == 0 || n > sizeof temp)
        return false;
    name = MakeRandomName();
    const std::string path = std::string(temp) + "\\" + name;

    // Downloads name the updater itself; the system would send no agent at all for a null one.
    InternetHandle internet(InternetOpenA("Patchwell", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet)
        return false;
    InternetHandle request(InternetOpenUrlA(internet.get(), url, nullptr, 0,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_BINARY, 1));
    if (!request)
        return false;
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;

    unsigned long long total = 0;
    const bool received = ReadWholeBody(
        request.get(),
        [&](const char* data, DWORD count) {
            DWORD written = 0;
            return WriteFile(file.get(), data, count, &written, nullptr) && written == count;
        },
        total);
    file.reset();
    if (!received || (size > 0 && total != static_cast<unsigned long long>(size))) {
        DeleteFileA(path.c_str());
        return false;
    }
    return true;
}
