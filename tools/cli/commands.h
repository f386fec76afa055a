#pragma once

// The commands of telvane-cli, one file each. A command gets the arguments after its
// name and returns the exit code.

#include <span>
#include <string>

namespace telvane::cli {

struct COMMAND {
    const char* name;
    const char* synopsis;  // for the usage text
    int (*run)(std::span<const std::string> args);
};

int RunAdapters(std::span<const std::string> args);
int RunEnumerate(std::span<const std::string> args);
int RunSet(std::span<const std::string> args);
// The options of set, for the usage text.
std::string SetCommandHelp();

inline constexpr COMMAND COMMANDS[] = {
    {"adapters", "adapters                 the adapters, numbered from 0 as the window lists them", RunAdapters},
    {"enumerate", "enumerate [--adapter IPV4|INDEX] [--json | --csv]\n"
                  "                           find the devices (three requests, 150 ms apart)",
     RunEnumerate},
    {"set", "set --mac MAC [--adapter IPV4|INDEX] [SETTINGS] [--json] [--wait-reenumerate]\n"
            "  set --from-csv FILE [--adapter IPV4|INDEX] [--json] [--wait-reenumerate]\n"
            "                           send one device (or each row's device) new settings",
     RunSet},
};

}  // namespace telvane::cli
