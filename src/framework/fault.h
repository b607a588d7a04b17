#pragma once

// What happens to an exception stopped at a window procedure or a thread entry: it is handed to
// the reporter the program installs (the main program logs it as an ERROR line).
using FaultReporter = void (*)(const char* where, const char* what);

void SetFaultReporter(FaultReporter reporter);

// Call only inside a catch block: reports the exception being handled.
void ReportCaughtFault(const char* where) noexcept;
