#pragma once

// What every command of telvane-cli shares: option reading, the choice of adapter,
// opening the discovery socket, messages and exit codes.

#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/adapters.h"
#include "procedures/discovery.h"

namespace telvane::cli {

// Exit codes.
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILURE_RUNTIME = 1;  // the socket could not be opened, a send failed
inline constexpr int EXIT_USAGE = 2;            // unknown command or option, bad value
inline constexpr int EXIT_NO_ADAPTER = 3;       // no adapter at all, or not the one asked for

struct OPTION_DEF {
    std::string name;  // "--adapter"
    bool takes_value = false;
};

struct PARSED_OPTIONS {
    std::map<std::string, std::string> values;  // options with a value, by name
    std::set<std::string> flags;                // options without one
    std::vector<std::string> positional;
    std::string error;  // empty when the arguments were read

    bool Has(const std::string& name) const { return flags.contains(name) || values.contains(name); }
    std::optional<std::string> Value(const std::string& name) const;
};

// Reads "--name value", "--name=value" and flags; "--" ends the options.
PARSED_OPTIONS ParseOptions(std::span<const std::string> args, const std::vector<OPTION_DEF>& known);

struct ADAPTER_CHOICE {
    std::optional<ADAPTER> adapter;
    int index = -1;
    int exit_code = EXIT_OK;
    std::string error;
};

// The adapter that "--adapter IPV4|INDEX" names among the usable ones, as the window's
// combo box lists them; without one named, the first.
ADAPTER_CHOICE ChooseAdapter(const std::vector<ADAPTER>& usable, const std::optional<std::string>& wanted);

// Opens the discovery socket on the adapter; prints the failure and gives the exit
// code, or EXIT_OK.
int OpenSocketOrReport(CTelvaneSocket& socket, const ADAPTER& adapter, IDatagramSink* owner);

// "telvane-cli: <message>" on standard error; returns code.
int Fail(int code, const std::string& message);

}  // namespace telvane::cli
