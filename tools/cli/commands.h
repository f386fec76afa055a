#pragma once

// The commands of telvane-cli, one file each. Each file adds its command to the app with
// its options and their help; the command's callback checks what CLI11 does not and
// chooses the command's run, which gets the arguments read and returns the exit code.

#include <optional>
#include <string>
#include <vector>

#include "procedures/set_options.h"
#include "tools/cli/cli_options.h"

namespace telvane::cli {

struct ADAPTERS_ARGS {};

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

void AddAdaptersCommand(CLI::App& app, COMMAND_LINE& line);
void AddEnumerateCommand(CLI::App& app, COMMAND_LINE& line);
void AddSetCommand(CLI::App& app, COMMAND_LINE& line);
void AddHistoryCommand(CLI::App& app, COMMAND_LINE& line);
// The options of how set sends (--json, --ensure, --dry-run, --force, --wait-reenumerate,
// --no-journal, --with-settings), which restore takes too.
void AddSetRunOptions(CLI::App* command, SET_ARGS& args);
void AddRestoreCommand(CLI::App& app, COMMAND_LINE& line);
void AddDoctorCommand(CLI::App& app, COMMAND_LINE& line);

EXIT_CODE RunAdapters(const ADAPTERS_ARGS& args);
EXIT_CODE RunEnumerate(const ENUMERATE_ARGS& args);
EXIT_CODE RunSet(const SET_ARGS& args);
EXIT_CODE RunDoctor(const DOCTOR_ARGS& args);
EXIT_CODE RunHistory(const HISTORY_ARGS& args);
EXIT_CODE RunRestore(const RESTORE_ARGS& args);

}  // namespace telvane::cli
