// telvane-cli: discovery and configuration of the devices from a shell.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/system_checks.h"
#include "tools/cli/cli_options.h"
#include "tools/cli/commands.h"

namespace {

using namespace telvane::cli;

void PrintHelp() {
    std::printf("Usage: telvane-cli COMMAND [OPTIONS]\n\nCommands:\n");
    for (const COMMAND& c : COMMANDS) std::printf("  %s\n", c.synopsis);
    std::printf(
        "\n"
        "Options of enumerate:\n"
        "  --adapter IPV4|INDEX  the adapter's IPv4 address or its number (default 0)\n"
        "  --json                a JSON array in table order, one object per device\n"
        "  --csv                 a CSV table with a header line\n"
        "\n"
        "Options of set:\n"
        "%s"
        "\n"
        "  --help                this text\n"
        "  --version             the version\n"
        "\n"
        "Exit codes: 0 done, 1 the socket could not be opened, 2 wrong usage,\n"
        "3 no adapter, or not the one asked for.\n",
        SetCommandHelp().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintHelp();
        return EXIT_USAGE;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp();
        return EXIT_OK;
    }
    if (args[0] == "--version") {
        std::printf("telvane-cli %s\n", TELVANE_VERSION);
        return EXIT_OK;
    }
    if (!telvane::StartSockets()) return Fail(EXIT_FAILURE_RUNTIME, "the sockets layer cannot be used");
    for (const COMMAND& c : COMMANDS) {
        if (args[0] == c.name) return c.run(std::span<const std::string>(args).subspan(1));
    }
    return Fail(EXIT_USAGE, "unknown command \"" + args[0] + "\" (see telvane-cli --help)");
}
