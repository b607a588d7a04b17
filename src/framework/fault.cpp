#include "framework/fault.h"

#include <atomic>
#include <exception>

namespace {

std::atomic<FaultReporter> g_reporter{nullptr};

} // namespace

void SetFaultReporter(FaultReporter reporter)
{
    g_reporter = reporter;
}

void ReportCaughtFault(const char* where) noexcept
{
    const FaultReporter reporter = g_reporter;
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
