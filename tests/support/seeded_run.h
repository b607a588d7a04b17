#pragma once

#include <string>

#include "scan/problem.h"

// The start-up key of HKEY_CURRENT_USER that the window tests seed.
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Start-up entries of HKEY_CURRENT_USER naming programs that do not exist, each test under a name
// prefix of its own; every entry of the prefix is removed when the object is made and when it goes.
class SeededRun {
public:
    explicit SeededRun(std::string prefix);
    ~SeededRun();
    SeededRun(const SeededRun&) = delete;
    SeededRun& operator=(const SeededRun&) = delete;

    // Adds count entries, numbered on from those added before.
    void Add(int count);
    // The name of entry i: the prefix and five digits.
    std::string Name(int i) const;
    // The entries of the prefix still in the key.
    int Count() const;
    void Clear() const;

private:
    std::string m_strPrefix;
    int m_nNext = 0;
};

// The row (screen order) of the category panel that holds the category's box.
int PanelRow(REGPROBLEM_TYPE type);
