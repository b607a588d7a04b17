#include "cli/commands.h"

namespace {

int RunScan(const std::vector<std::string>&)
{
    return 1;
}

} // namespace

const CLI_COMMAND g_cmdScan = {"scan", "hivora-cli scan [--categories=LIST] [--format=text|tsv]",
                               "scan the registry and print the problems found", "", RunScan};
