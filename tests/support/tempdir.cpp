#include "tempdir.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "framework/format.h"
#include "framework/handles.h"

TempDir::TempDir()
{
    char base[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof base, base);
    if (n == 0 || n >= sizeof base)
        throw std::runtime_error("GetTempPathA failed");
    static int serial = 0;
    m_path = Format("%shivora-test-%lu-%d-%lu", base, GetCurrentProcessId(), ++serial, GetTickCount());
    RemoveTree(m_path);
    if (!CreateDirectoryA(m_path.c_str(), nullptr))
        throw std::runtime_error("cannot create " + m_path);
}

TempDir::~TempDir()
{
    RemoveTree(m_path);
}

std::string TempDir::WriteFile(const std::string& relative, const std::string& content) const
{
    const std::string path = *this / relative;
    for (size_t slash = path.find('\\', m_path.size() + 1); slash != std::string::npos;
         slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA((path + "\\*").c_str(), &entry));
    if (find) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find.get(), &entry));
    }
    find.reset();
    RemoveDirectoryA(path.c_str());
}
