#pragma once

#include <string>

// A fresh folder under the temporary folder, deleted with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, without a trailing backslash.
    const std::string& Path() const { return m_path; }
    // Path() + "\\" + name.
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

    // Writes a file below the folder (creating its folders) and returns its full path.
    std::string WriteFile(const std::string& relative, const std::string& content = "x") const;

private:
    std::string m_path;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFileText(const std::string& path);
// Deletes a folder and everything below it.
void RemoveTree(const std::string& path);
