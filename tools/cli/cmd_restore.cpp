// telvane-cli restore --mac MAC [--entry ID] [--adapter IPV4|INDEX] [--ensure] [--dry-run]
//                     [--json] [--force] [--wait-reenumerate] [--no-journal]
#include <cstdio>
#include <string>

#include "procedures/snapshot.h"
#include "protocol/text.h"
#include "tools/cli/cli_app.h"
#include "tools/cli/commands.h"
#include "tools/cli/set_journal.h"

namespace telvane::cli {

namespace {

CLI_ERROR NoEntry(std::string message) {
    return CLI_ERROR{"no-entry", std::move(message), EXIT_CODE::USAGE};
}

// The set to undo: the one named, else the device's latest that may have changed
// something (a refused request changed nothing, one held back never left).
const JOURNAL_ENTRY* FindEntry(const JOURNAL_READING& reading, const MAC& mac, const std::optional<std::string>& id,
                               std::optional<CLI_ERROR>& error) {
    for (auto it = reading.entries.rbegin(); it != reading.entries.rend(); ++it) {
        if (id) {
            if (it->set.id != *id) continue;
            if (ParseMac(it->set.mac) != mac) {
                error = NoEntry("entry " + *id + " is a set of device " + it->set.mac + ", not of " + FormatMac(mac));
                return nullptr;
            }
            return &*it;
        }
        if (ParseMac(it->set.mac) != mac) continue;
        if (it->outcome && it->outcome->outcome == "refused") continue;
        return &*it;
    }
    error = id ? NoEntry("the journal holds no entry " + *id)
               : NoEntry("the journal holds no set of device " + FormatMac(mac) + " to undo");
    return nullptr;
}

}  // namespace

void AddRestoreCommand(CLI::App& app, COMMAND_LINE& line) {
    CLI::App* command = AddCommand(app, "restore", "set a device back to what it reported before a set");
    command->footer(
        "Sends the device what it reported before its latest set that it did not refuse (--entry ID: before that "
        "one), found by its MAC wherever its address now is, on the adapter of that set unless --adapter is given. "
        "The options are set's, and so are the checks, messages and exit codes.");
    auto args = std::make_shared<RESTORE_ARGS>();
    command->add_option("--mac", args->mac, "the device whose set to undo")->option_text("MAC")->required();
    command->add_option("--entry", args->entry, "undo this set of the journal (its id, as history lists it)")
        ->option_text("ID");
    AdapterOption(command, args->set.adapter);
    AddSetRunOptions(command, args->set);
    command->callback([&line, command, args] {
        RefuseOptionsAsValues(*command);
        line.Choose<RESTORE_ARGS>(args, RunRestore, true);
    });
}

EXIT_CODE RunRestore(const RESTORE_ARGS& args) {
    const bool json = args.set.json;
    const auto mac = ParseMac(args.mac);
    if (!mac)
        return ReportError(json, CLI_ERROR{"invalid", "\"" + args.mac + "\" is not a MAC address", EXIT_CODE::USAGE});
    const std::string path = JournalPath();
    if (path.empty()) return ReportError(json, NoEntry("no journal: set TELVANE_JOURNAL or HOME"));
    const JOURNAL_READING reading = ReadJournal(path, JOURNAL_ROTATION_POLICY.keep_files);
    for (const std::string& warning : reading.warnings)
        std::fprintf(stderr, "telvane-cli: warning: %s\n", warning.c_str());
    std::optional<CLI_ERROR> error;
    const JOURNAL_ENTRY* entry = FindEntry(reading, *mac, args.entry, error);
    if (entry == nullptr) return ReportError(json, *error);

    SNAPSHOT_ROW before = SnapshotOptions(JsonFieldTexts(entry->set.before));
    if (!before.error.empty() || before.options.empty())
        return ReportError(json, CLI_ERROR{"invalid",
                                           "entry " + entry->set.id + " does not hold the device's settings" +
                                               (before.error.empty() ? std::string() : ": " + before.error),
                                           EXIT_CODE::USAGE});
    // The rest is set's own road: the device found by its MAC wherever it now answers.
    SET_ARGS set = args.set;
    set.mac = FormatMac(*mac);
    set.options = std::move(before.options);
    set.restores = entry->set.id;
    if (!set.adapter) {
        // The adapter the set went out on, while this computer still has it.
        for (const ADAPTER& a : UsableAdapters(QueryAdapters(), ALL_ADAPTERS))
            if (a.ipv4_text == entry->set.adapter) set.adapter = a.ipv4_text;
    }
    return RunSet(set);
}

}  // namespace telvane::cli
