#include "cli/commands.h"

namespace {

int RunIgnore(const std::vector<std::string>&)
{
    return 1;
}

} // namespace

const CLI_COMMAND g_cmdIgnore = {"ignore", "hivora-cli ignore list|add|remove ...",
                                 "show or change the ignore list", "", RunIgnore};
