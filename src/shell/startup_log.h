#pragma once

#include <string>

// The log set-up of program start: the log folder "Logs" in programFolder is created (a failure is
// ignored) and pruned, and g_pLog becomes the process's log "Logs\HV_<start time>.log", which lives
// until the process ends. The file itself appears with the first record. An exception stopped at a
// window procedure or a thread entry is logged there as an ERROR (framework/fault.h).
void StartProcessLog(const std::string& programFolder);
