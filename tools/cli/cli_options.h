#pragma once

// What every command of telvane-cli shares: the exit codes, errors, reading the command
// line, the choice of adapter and opening the discovery socket.

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/adapters.h"
#include "procedures/discovery.h"
#include "tools/cli/cli_output.h"

namespace CLI {
class App;
}

namespace telvane::cli {

// Exit codes, the same for every command. --help lists them from ExitCodeHelp.
enum class EXIT_CODE {
    OK = 0,          // done, accepted or unchanged
    DEVICE = 1,      // the device refused, did not answer or was not confirmed
    USAGE = 2,       // bad input: usage, a value, an unknown or locked device
    NO_ADAPTER = 3,  // no usable adapter, or not the one asked for
    LOCAL = 4,       // the local socket, a send, the output or the journal failed
    DOCTOR = 5,      // doctor: a check warned or failed
};

// The number the process exits with.
constexpr int ExitStatus(EXIT_CODE code) {
    return static_cast<int>(code);
}

struct EXIT_CODE_HELP {
    EXIT_CODE code;
    const char* text;
};
// What each code means, in order, as --help documents them.
std::span<const EXIT_CODE_HELP> ExitCodeHelp();

// A failure of the run as a whole: its stable code for scripts, the text for people and
// the exit code.
struct CLI_ERROR {
    std::string code;  // usage, invalid, bad-csv, unknown-mac, locked, no-adapter, socket, ...
    std::string message;
    EXIT_CODE exit = EXIT_CODE::USAGE;
};

// {"code": ..., "message": ..., "exit": N}
void to_json(ordered_json& j, const CLI_ERROR& error);

// "telvane-cli: <message>" on standard error and, with --json, the error document on
// standard output; returns the exit code.
EXIT_CODE ReportError(bool json, const CLI_ERROR& error);

// What the command line asks for: a command bound to its arguments, a text to print
// (--help, --version), or an error.
struct COMMAND_LINE {
    bool json = false;               // --json was asked for, also when the line could not be read
    std::optional<CLI_ERROR> error;  // the line cannot be run; error->code is "usage"
    // --help's or --version's answer; with an error, the help that goes to standard error.
    std::string text;
    std::function<EXIT_CODE()> run;  // the command asked for
    bool sockets = false;            // run needs the sockets layer
    std::any args;                   // run's arguments, for a look at what was read

    // Called by a command's callback once its line is read and checked.
    template <class ARGS>
    void Choose(std::shared_ptr<const ARGS> arguments, EXIT_CODE (*command)(const ARGS&), bool needs_sockets) {
        args = arguments;
        run = [arguments, command] { return command(*arguments); };
        sockets = needs_sockets;
    }
    // The arguments of the command chosen, if it takes ARGS.
    template <class ARGS>
    const ARGS* Args() const {
        const auto* held = std::any_cast<std::shared_ptr<const ARGS>>(&args);
        return held ? held->get() : nullptr;
    }
};

// The program's command line, every command with its options and their help; the
// callbacks fill line.
std::unique_ptr<CLI::App> MakeApp(COMMAND_LINE& line);

// Reads the arguments after the program's name.
COMMAND_LINE ParseCommandLine(std::span<const std::string> args);

struct ADAPTER_CHOICE {
    std::optional<ADAPTER> adapter;
    int index = -1;
    std::optional<CLI_ERROR> error;
};

// The adapter that "--adapter IPV4|INDEX" names among the usable ones, as the window's
// combo box lists them; without one named, the first.
ADAPTER_CHOICE ChooseAdapter(const std::vector<ADAPTER>& usable, const std::optional<std::string>& wanted);

// Opens the discovery socket on the adapter; the failure, if it did not open.
std::optional<CLI_ERROR> OpenSocket(CTelvaneSocket& socket, const ADAPTER& adapter, IDatagramSink* owner);

// An adapter that is switched off or has no link hears nothing, and the system may
// still take its sends: "adapter 192.0.2.1 (eth1) is down" (exit 4, code adapter-down).
std::optional<CLI_ERROR> AdapterDownError(const ADAPTER& adapter);
// Leaves out the adapters that are down, each named on standard error; the error of the
// first when none is left.
std::optional<CLI_ERROR> DropAdaptersDown(std::vector<ADAPTER>& adapters);
// A request that could not be sent on the adapter: a local failure (exit 4) with the
// system's reason, named as the adapter being down when it is.
CLI_ERROR SendError(const ADAPTER& adapter, const std::string& reason);

}  // namespace telvane::cli
