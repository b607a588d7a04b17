#pragma once

#include <cstdio>
#include <string>

// Removes registry items and files for the repair, recording each in the set's backup files.
class CCleanSweep {
public:
    CCleanSweep();
    virtual ~CCleanSweep();
    CCleanSweep(const CCleanSweep&) = delete;
    CCleanSweep& operator=(const CCleanSweep&) = delete;

    FILE* m_fpRegBackup = nullptr;
};
