#include "framework/files.h"

#include <fcntl.h>
#include <io.h>

#include <cstdint>

FileHandle OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return FileHandle(CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr));
}

FileHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return FileHandle(CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr));
}

FileStream StreamOf(FileHandle file, int descriptorFlags, const char* mode)
{
    if (!file)
        return FileStream();
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.get()), descriptorFlags);
    if (fd == -1)
        return FileStream();
    // The descriptor owns the handle now, and the stream the descriptor.
    file.release();
    FILE* stream = _fdopen(fd, mode);
    if (!stream)
        _close(fd);
    return FileStream(stream);
}
