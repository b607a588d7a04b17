#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"
#include "cli/console_text.h"
#include "cli/write_access.h"
#include "framework/format.h"
#include "repair/ignore_list.h"

namespace {

// "number  category  key" as `ignore list` shows entry index (numbers count from the newest).
std::string ListLine(size_t index)
{
    const size_t number = g_arrIgnoreKeys.size() - index;
    const int type = index < g_arrIgnoreTypes.size() ? static_cast<int>(g_arrIgnoreTypes[index]) : 0;
    const std::string category = type >= 0 && type < kCategoryCount
                                     ? CategoryInfo(static_cast<REGPROBLEM_TYPE>(type)).pszLogName
                                     : Format("%d", type);
    return Format("%4zu  %-20s  %s\n", number, category.c_str(), g_arrIgnoreKeys[index].c_str());
}

int ListEntries(const std::vector<std::string>& args)
{
    if (args.size() > 1)
        return UsageError("unexpected argument '" + args[1] + "'", &g_cmdIgnore);
    if (g_arrIgnoreKeys.empty()) {
        PrintText(stdout, "The ignore list is empty.\n");
        return 0;
    }
    for (size_t i = g_arrIgnoreKeys.size(); i-- > 0;)
        PrintText(stdout, "%s", ListLine(i).c_str());
    return 0;
}

int AddEntry(const std::vector<std::string>& args)
{
    if (args.size() != 5)
        return UsageError(args.size() < 5 ? "ignore add needs CATEGORY KEY VALUENAME DATA"
                                          : "unexpected argument '" + args[5] + "'",
                          &g_cmdIgnore);
    REGPROBLEM_TYPE type;
    if (!CategoryFromSettingKey(args[1], type))
        return UsageError("unknown category '" + args[1] + "'", &g_cmdIgnore);
    const CRegistryProblem problem(args[2], args[3], args[4], type, 0);
    if (!IgnoreProblem(problem)) {
        PrintText(stderr, "hivora-cli: cannot write %s\n", IgnoreListPath().c_str());
        return 1;
    }
    PrintText(stdout, "%s", ListLine(g_arrIgnoreKeys.size() - 1).c_str());
    return 0;
}

bool ParseNumber(const std::string& text, size_t& number)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    number = std::strtoul(text.c_str(), nullptr, 10);
    return true;
}

int RemoveEntries(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return UsageError("ignore remove needs the numbers of the entries", &g_cmdIgnore);
    const size_t count = g_arrIgnoreKeys.size();
    std::vector<size_t> indices;
    for (size_t i = 1; i < args.size(); ++i) {
        size_t number = 0;
        if (!ParseNumber(args[i], number))
            return UsageError("not an entry number: '" + args[i] + "'", &g_cmdIgnore);
        if (number < 1 || number > count)
            return UsageError(Format("no entry numbered %zu (the list has %zu)", number, count), &g_cmdIgnore);
        indices.push_back(count - number);
    }
    if (!RemoveFromIgnoreList(indices)) {
        PrintText(stderr, "hivora-cli: cannot write %s\n", IgnoreListPath().c_str());
        return 1;
    }
    const size_t removed = count - g_arrIgnoreKeys.size();
    PrintText(stdout, "Removed %zu %s.\n", removed, removed == 1 ? "entry" : "entries");
    return 0;
}

int RunIgnore(const std::vector<std::string>& args)
{
    if (args.empty())
        return UsageError("ignore needs list, add or remove", &g_cmdIgnore);
    ClearIgnoreList();
    LoadIgnoreList();
    if (args[0] == "list")
        return ListEntries(args);
    if (args[0] == "add")
        return AddEntry(args);
    if (args[0] == "remove")
        return RemoveEntries(args);
    return UsageError("unknown command 'ignore " + args[0] + "'", &g_cmdIgnore);
}

} // namespace

const CLI_COMMAND g_cmdIgnore = {
    "ignore",
    "hivora-cli ignore list\n"
    "       hivora-cli ignore add CATEGORY KEY VALUENAME DATA\n"
    "       hivora-cli ignore remove NUMBER...",
    "show or change the ignore list",
    "The ignore list (ignorelist.dat beside Hivora.exe) holds the problems that scans no\n"
    "longer report; the Ignore link of the results page adds to it.\n"
    "\n"
    "  list                      the entries, newest first: number, category, ignore key\n"
    "                            (key path\\value name|data).\n"
    "  add CATEGORY KEY VALUENAME DATA\n"
    "                            adds the problem as the Ignore link does. CATEGORY is a\n"
    "                            setting key (comactx, uninsta, ... deepscn, see\n"
    "                            'hivora-cli help scan'); KEY the key path with its root name;\n"
    "                            VALUENAME and DATA as the problem shows them (\"\" for none).\n"
    "  remove NUMBER...          removes the entries with these numbers of 'ignore list'.\n"
    "\n"
    "Exit status: 0 done, 1 the list could not be written, 2 usage error.",
    RunIgnore,
    [](const std::vector<std::string>& args) -> unsigned {
        if (!args.empty() && args[0] == "add")
            return CW_LOG | CW_IGNORE_LIST;
        if (!args.empty() && args[0] == "remove")
            return CW_IGNORE_LIST;
        return 0;
    },
};
