#pragma once

// What every command of telvane-cli shares: reading the command line, the choice of
// adapter, opening the discovery socket, error reports and exit codes.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/adapters.h"
#include "procedures/discovery.h"
#include "procedures/set_options.h"
#include "tools/cli/cli_output.h"

namespace telvane::cli {

// Exit codes, the same for every command.
inline constexpr int EXIT_OK = 0;          // done, accepted or unchanged
inline constexpr int EXIT_DEVICE = 1;      // the device refused, did not answer or was not confirmed
inline constexpr int EXIT_USAGE = 2;       // bad input: usage, a value, an unknown or locked device
inline constexpr int EXIT_NO_ADAPTER = 3;  // no usable adapter, or not the one asked for
inline constexpr int EXIT_SOCKET = 4;      // the local socket could not be opened, bound or used
inline constexpr int EXIT_DOCTOR = 5;      // doctor: a check warned or failed

// A failure of the run as a whole: its stable code for scripts, the text for people and
// the exit code.
struct CLI_ERROR {
    std::string code;  // usage, invalid, bad-csv, unknown-mac, locked, no-adapter, socket, ...
    std::string message;
    int exit = EXIT_USAGE;
};

// "telvane-cli: <message>" on standard error and, with --json, the error document on
// standard output; returns the exit code.
int ReportError(bool json, const CLI_ERROR& error);
// {"code": ..., "message": ..., "exit": N}
ordered_json ErrorJson(const CLI_ERROR& error);

struct ENUMERATE_ARGS {
    std::optional<std::string> adapter;
    bool all_adapters = false;  // every usable adapter at once; excludes adapter
    bool json = false;
    bool csv = false;
    bool watch = false;           // enumerate again and again, printing what changed
    double interval_seconds = 5;  // between the starts of two watch rounds
};

struct DOCTOR_ARGS {
    std::optional<std::string> adapter;
    bool json = false;
};

struct SET_ARGS {
    std::optional<std::string> mac;
    std::optional<std::string> adapter;
    std::optional<std::string> csv_file;
    bool json = false;
    bool wait_reenumerate = false;
    bool ensure = false;
    bool dry_run = false;
    bool force = false;                    // set a static address even when it would break something
    std::vector<SET_OPTION> options;       // in the order of the option table
    std::optional<std::string> json_file;  // --from-json: enumerate --json's document
    bool no_journal = false;
    bool with_settings = false;  // JSON: each device's settings before and after
    std::string restores;        // restore: the journal entry it undoes
};

// history [--mac MAC] [--json]
struct HISTORY_ARGS {
    std::optional<std::string> mac;
    bool json = false;
};

// restore --mac MAC [--entry ID] [--adapter IPV4|INDEX] [--ensure] [--dry-run] [--force]
struct RESTORE_ARGS {
    std::string mac;
    std::optional<std::string> entry;
    SET_ARGS set;  // adapter, json, ensure, dry_run, force, no_journal, wait_reenumerate
};

enum class CommandKind { Help, Version, Adapters, Enumerate, Set, Doctor, History, Restore };

struct COMMAND_LINE {
    CommandKind kind = CommandKind::Help;
    bool json = false;  // --json was asked for, also when the line could not be read
    ENUMERATE_ARGS enumerate;
    SET_ARGS set;
    DOCTOR_ARGS doctor;
    HISTORY_ARGS history;
    RESTORE_ARGS restore;
    std::optional<CLI_ERROR> error;  // the line cannot be run; error->code is "usage"
};

// Reads the arguments after the program's name.
COMMAND_LINE ParseCommandLine(std::span<const std::string> args);

// The text of --help: every command with its options, and the exit codes.
std::string HelpText();

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
