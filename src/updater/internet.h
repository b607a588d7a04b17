#pragma once

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <string>

#include "framework/handles.h"
#include "updater/signed_list.h"

struct InternetTraits {
    using Type = HINTERNET;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { InternetCloseHandle(h); }
};
using InternetHandle = UniqueHandle<InternetTraits>;

// Reads the body of an opened URL to its end, handing each piece to sink (which may refuse it).
// Fails when the server answered with a status other than 2xx, when a read fails, or when the body
// is shorter or longer than the length the server announced.
bool ReadWholeBody(HINTERNET url, const std::function<bool(const char* data, DWORD size)>& sink,
                   unsigned long long& total);

// A name of 10 characters from the runtime's generator.
std::string MakeRandomName();

enum DOWNLOAD_RESULT { DL_OK, DL_FAILED, DL_WRONG_HASH, DL_TOO_LONG };

// Downloads url into folder under a new random name (given back in name), into a file made for it
// (never one that exists). The length received must be size (above 0), and the bytes must have
// the SHA-256 digest; the transfer stops as soon as more than size bytes arrive, so that no server
// fills the disk. A failed download leaves no file behind.
DOWNLOAD_RESULT DownloadToTemp(const std::string& folder, std::string& name, int size, const char* url,
                               const SHA256_DIGEST& digest);
