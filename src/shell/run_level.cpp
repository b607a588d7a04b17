#include "shell/run_level.h"

#include "framework/ascii.h"

namespace {

// The scheduler may keep a path in quotes.
std::string Unquoted(const std::string& text)
{
    std::string path = Trim(text);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    return path;
}

// File names compare without regard to case; only ASCII letters are folded, so a name that
// differs in any other character never counts as the same.
bool SamePath(const std::string& a, const std::string& b)
{
    return !a.empty() && EqualsAsciiNoCase(a, b);
}

} // namespace

RUNLEVEL_STEP DecideRunLevelStep(const SCHEDULED_TASK_STATE& task, const std::string& program)
{
    if (task.nActions != 1 || !task.bExecAction || !SamePath(Unquoted(task.strCommand), program) ||
        Trim(task.strArguments) != "-t")
        return RUNLEVEL_NOT_OURS;
    if (task.nRunLevel == kRunLevelHighest)
        return RUNLEVEL_ALREADY_HIGHEST;
    if (task.nLogonType == kLogonPassword || task.nLogonType == kLogonInteractiveTokenOrPassword)
        return RUNLEVEL_NEEDS_PASSWORD;
    return RUNLEVEL_RAISE;
}
