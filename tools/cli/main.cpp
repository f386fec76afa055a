// telvane-cli: discovery and configuration of the devices from a shell.
#include <cstdio>
#include <string>
#include <vector>

#include "net/console.h"
#include "net/system_checks.h"
#include "tools/cli/cli_options.h"

using namespace telvane::cli;

namespace {

// What was printed must have reached its file: on a full disk the run is a local
// failure, not a success with nothing to show for it.
EXIT_CODE Finish(EXIT_CODE exit_code) {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return exit_code;
    std::fprintf(stderr, "telvane-cli: the output could not be written\n");
    return exit_code == EXIT_CODE::OK ? EXIT_CODE::LOCAL : exit_code;
}

EXIT_CODE Run(const std::vector<std::string>& args) {
    const COMMAND_LINE line = ParseCommandLine(args);
    if (line.error) {
        std::fputs(line.text.c_str(), stderr);
        return ReportError(line.json, *line.error);
    }
    if (!line.run) {
        std::fputs(line.text.c_str(), stdout);
        return EXIT_CODE::OK;
    }
    if (line.sockets && !telvane::StartSockets())
        return ReportError(line.json, CLI_ERROR{"socket", "the sockets layer cannot be used", EXIT_CODE::LOCAL});
    return line.run();
}

}  // namespace

int main(int argc, char** argv) {
    telvane::UseUtf8Console();
    return ExitStatus(Finish(Run(telvane::ProgramArguments(argc, argv))));
}
