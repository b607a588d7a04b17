#include "framework/fault.h"

#include <atomic>
#include <exception>

namespace {

// One per process: a fault may be caught on any thread, before or after the program's objects exist.
std::atomic<FaultReporter>& Reporter()
{
    static std::atomic<FaultReporter> reporter{nullptr};
    return reporter;
}

} // namespace

void SetFaultReporter(FaultReporter reporter)
{
    Reporter() = reporter;
}

void ReportCaughtFault(const char* where) noexcept
{
    const FaultReporter reporter = Reporter();
    if (!reporter)
        return;
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            reporter(where, e.what());
        } catch (...) {
            reporter(where, "unknown exception");
        }
    } catch (...) {
    }
}
