// telvane-cli history [--mac MAC] [--json]
#include <cstdio>
#include <string>

#include "protocol/text.h"
#include "tools/cli/cli_app.h"
#include "tools/cli/commands.h"
#include "tools/cli/set_journal.h"

namespace telvane::cli {

namespace {

std::string Outcome(const JOURNAL_ENTRY& e) {
    return e.outcome ? e.outcome->outcome : std::string("unknown");
}

// A journal entry as history --json lists it.
struct HISTORY_ENTRY {
    const JOURNAL_ENTRY& entry;
};

void to_json(ordered_json& j, const HISTORY_ENTRY& shown) {
    const JOURNAL_ENTRY& e = shown.entry;
    j = ordered_json::object();
    j["id"] = e.set.id;
    j["time"] = e.set.time;
    j["command"] = e.set.command;
    if (!e.set.restores.empty()) j["restores"] = e.set.restores;
    j["mac"] = e.set.mac;
    j["adapter"] = e.set.adapter;
    // null: the program stopped before the outcome was known.
    j["outcome"] = e.outcome ? ordered_json(e.outcome->outcome) : ordered_json(nullptr);
    j["sends"] = e.outcome ? e.outcome->sends : 0;
    j["result"] = e.outcome && e.outcome->result ? ordered_json(*e.outcome->result) : ordered_json(nullptr);
    j["changes"] = ChangedFields(e.set.before, e.set.request.value("fields", ordered_json::object()));
    j["before"] = e.set.before;
    j["request"] = e.set.request;
}

std::string HistoryLine(const JOURNAL_ENTRY& e) {
    std::string text = e.set.id + "  " + e.set.time + "  " + e.set.mac + "  " + e.set.command;
    if (!e.set.restores.empty()) text += " of " + e.set.restores;
    text += "  " + Outcome(e);
    const auto changes = ChangedFields(e.set.before, e.set.request.value("fields", ordered_json::object()));
    if (changes.empty()) text += "  no change";
    for (std::size_t i = 0; i < changes.size(); ++i) text += (i ? "; " : "  ") + changes[i];
    return text + "\n";
}

}  // namespace

void AddHistoryCommand(CLI::App& app, COMMAND_LINE& line) {
    CLI::App* command = AddCommand(app, "history", "the journal's sets, newest first");
    command->footer(
        "Each set of the journal (see set --help) with its id, time, device, what it changed and its outcome.");
    auto args = std::make_shared<HISTORY_ARGS>();
    command->add_option("--mac", args->mac, "only the sets of this device")->option_text("MAC");
    Flag(command, "--json", args->json, "a JSON array, one object per set");
    // The journal is a file: no sockets needed.
    command->callback([&line, command, args] {
        RefuseOptionsAsValues(*command);
        line.Choose<HISTORY_ARGS>(args, RunHistory, false);
    });
}

EXIT_CODE RunHistory(const HISTORY_ARGS& args) {
    std::optional<MAC> mac;
    if (args.mac) {
        mac = ParseMac(*args.mac);
        if (!mac)
            return ReportError(args.json,
                               CLI_ERROR{"invalid", "\"" + *args.mac + "\" is not a MAC address", EXIT_CODE::USAGE});
    }
    const std::string path = JournalPath();
    if (path.empty())
        return ReportError(args.json,
                           CLI_ERROR{"journal", "no journal: set TELVANE_JOURNAL or HOME", EXIT_CODE::USAGE});
    const JOURNAL_READING reading = ReadJournal(path, JOURNAL_ROTATION_POLICY.keep_files);
    for (const std::string& warning : reading.warnings)
        std::fprintf(stderr, "telvane-cli: warning: %s\n", warning.c_str());

    std::vector<const JOURNAL_ENTRY*> shown;
    for (auto it = reading.entries.rbegin(); it != reading.entries.rend(); ++it)
        if (!mac || ParseMac(it->set.mac) == mac) shown.push_back(&*it);
    std::string out;
    if (args.json) {
        out = shown.empty() ? "[]\n" : "[\n";
        for (std::size_t i = 0; i < shown.size(); ++i)
            out +=
                "  " + CompactJson(ordered_json(HISTORY_ENTRY{*shown[i]})) + (i + 1 < shown.size() ? ",\n" : "\n]\n");
    } else {
        for (const JOURNAL_ENTRY* e : shown) out += HistoryLine(*e);
        if (shown.empty()) std::fprintf(stderr, "telvane-cli: no sets in the journal %s\n", path.c_str());
    }
    std::fputs(out.c_str(), stdout);
    return EXIT_CODE::OK;
}

}  // namespace telvane::cli
