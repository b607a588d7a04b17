// Stands in for "HivoraSetup.exe" (and for any program an update opens): notes in its own folder
// that it ran.
#include <windows.h>

#include <string>

#include "framework/handles.h"
#include "framework/paths.h"

int main()
{
    const std::string path = ProgramFolder() + "ran.txt";
    FileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), "ran\n", 4, &written, nullptr) ? 0 : 1;
}
