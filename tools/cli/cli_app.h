#pragma once

// What the command files share in registering their commands with CLI11.

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace telvane::cli {

// A command of the app, with its description and a --help of its own.
CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& description);

// A flag: "--json=0" would read as "not --json", so a flag takes no value.
CLI::Option* Flag(CLI::App* command, const std::string& name, bool& value, const std::string& description);

// --adapter IPV4|INDEX, as every command that talks to devices takes it.
CLI::Option* AdapterOption(CLI::App* command, std::optional<std::string>& adapter);

// A line CLI11 read but the command cannot run: a usage error with this message.
[[noreturn]] void RefuseLine(const std::string& message);

// CLI11 takes the words an option needs whatever they look like, so "--dns4 --json"
// would swallow the flag and the run fail later, in text, on a bad address: refused.
void RefuseOptionsAsValues(const CLI::App& command);

}  // namespace telvane::cli
