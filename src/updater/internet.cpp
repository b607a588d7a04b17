#include "updater/internet.h"

#include <cstdlib>

#include "updater/crypto.h"
#include "framework/files.h"

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

DOWNLOAD_RESULT DownloadToTemp(const std::string& folder, std::string& name, int size, const char* url,
                               const SHA256_DIGEST& digest)
{
    // Downloads name the updater itself; the system would send no agent at all for a null one.
    if (size <= 0)
        return DL_FAILED;
    InternetHandle internet(InternetOpenA("Patchwell", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet)
        return DL_FAILED;
    InternetHandle request(InternetOpenUrlA(internet.get(), url, nullptr, 0,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_BINARY, 1));
    if (!request)
        return DL_FAILED;
    std::string path;
    FileHandle file;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        name = MakeRandomName();
        path = folder + "\\" + name;
        file = OpenFile(path, GENERIC_WRITE, 0, CREATE_NEW);
        if (!file && GetLastError() != ERROR_FILE_EXISTS)
            return DL_FAILED;
    }
    if (!file)
        return DL_FAILED;

    // The digest is taken of the bytes as they are written, so no one can change them in between.
    CSha256 sha;
    const unsigned long long expected = static_cast<unsigned long long>(size);
    unsigned long long total = 0;
    unsigned long long arrived = 0;
    const bool received = ReadWholeBody(
        request.get(),
        [&](const char* data, DWORD count) {
            arrived += count;
            if (arrived > expected)
                return false;
            DWORD written = 0;
            return sha.Update(data, count) && WriteFile(file.get(), data, count, &written, nullptr) && written == count;
        },
        total);
    file.reset();
    SHA256_DIGEST actual {};
    DOWNLOAD_RESULT result = DL_OK;
    if (arrived > expected)
        result = DL_TOO_LONG;
    else if (!received || total != expected || !sha.Finish(actual))
        result = DL_FAILED;
    else if (actual != digest)
        result = DL_WRONG_HASH;
    if (result != DL_OK)
        DeleteFileA(path.c_str());
    return result;
}
