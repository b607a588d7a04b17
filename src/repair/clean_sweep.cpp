#include "repair/clean_sweep.h"

CCleanSweep::CCleanSweep() = default;

CCleanSweep::~CCleanSweep()
{
    if (m_fpRegBackup)
        fclose(m_fpRegBackup);
}
