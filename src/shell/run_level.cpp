#include "shell/run_level.h"

namespace {

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The scheduler may keep a path in quotes.
std::string Unquoted(const std::string& text)
{
    std::string path = Trimmed(text);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    return path;
}

// File names compare without regard to case; only ASCII letters are folded, so a name that
// differs in any other character never counts as the same.
bool SamePath(const std::string& a, const std::string& b)
{
    if (a.size() != b.size() || a.empty())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

} // namespace

RUNLEVEL_STEP DecideRunLevelStep(const SCHEDULED_TASK_STATE& task, const std::string& program)
{
    if (task.nActions != 1 || !task.bExecAction || !SamePath(Unquoted(task.strCommand), program) ||
        Trimmed(task.strArguments) != "-t")
        return RUNLEVEL_NOT_OURS;
    if (task.nRunLevel == kRunLevelHighest)
        return RUNLEVEL_ALREADY_HIGHEST;
    if (task.nLogonType == kLogonPassword || task.nLogonType == kLogonInteractiveTokenOrPassword)
        return RUNLEVEL_NEEDS_PASSWORD;
    return RUNLEVEL_RAISE;
}
