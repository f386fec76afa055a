// telvane-cli: discovery and configuration of the devices from a shell.
#include <cstdio>
#include <string>
#include <vector>

#include "net/console.h"
#include "net/system_checks.h"
#include "tools/cli/cli_options.h"
#include "tools/cli/commands.h"

using namespace telvane::cli;

namespace {

// What was printed must have reached its file: on a full disk the run is a local
// failure, not a success with nothing to show for it.
int Finish(int exit_code) {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return exit_code;
    std::fprintf(stderr, "telvane-cli: the output could not be written\n");
    return exit_code == EXIT_OK ? EXIT_SOCKET : exit_code;
}

int Run(const std::vector<std::string>& args) {
    const COMMAND_LINE line = ParseCommandLine(args);
    if (line.error) {
        if (args.empty()) std::fputs(HelpText().c_str(), stderr);
        return ReportError(line.json, *line.error);
    }
    switch (line.kind) {
        case CommandKind::Help:
            std::fputs(HelpText().c_str(), stdout);
            return EXIT_OK;
        case CommandKind::Version:
            std::printf("telvane-cli %s\n", TELVANE_VERSION);
            return EXIT_OK;
        case CommandKind::History:
            return RunHistory(line.history);
        default:
            break;
    }
    if (!telvane::StartSockets())
        return ReportError(line.json, CLI_ERROR{"socket", "the sockets layer cannot be used", EXIT_SOCKET});
    switch (line.kind) {
        case CommandKind::Adapters:
            return RunAdapters();
        case CommandKind::Enumerate:
            return RunEnumerate(line.enumerate);
        case CommandKind::Doctor:
            return RunDoctor(line.doctor);
        case CommandKind::Restore:
            return RunRestore(line.restore);
        default:
            return RunSet(line.set);
    }
}

}  // namespace

int main(int argc, char** argv) {
    telvane::UseUtf8Console();
    return Finish(Run(telvane::ProgramArguments(argc, argv)));
}
