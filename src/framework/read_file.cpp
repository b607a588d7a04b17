#include "framework/read_file.h"

#include <vector>

FileHandle ReadWholeFile(const std::string& path, std::string& text)
{
    text.clear();
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<char> buffer(64 * 1024);
    while (file) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            file.reset();
            text.clear();
        } else if (read == 0) {
            break;
        } else {
            text.append(buffer.data(), read);
        }
    }
    return file;
}
