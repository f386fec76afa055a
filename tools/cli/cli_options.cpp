#include "tools/cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "net/network_state.h"
#include "protocol/text.h"
#include "tools/cli/cli_output.h"

namespace telvane::cli {

namespace {

// "--json=0" would read as "not --json": a flag takes no value.
CLI::Option* Flag(CLI::App* app, const std::string& name, bool& value) {
    return app->add_flag(name, value)->disable_flag_override();
}

CLI::App* Subcommand(CLI::App& app, const char* name, bool& help) {
    CLI::App* sub = app.add_subcommand(name);
    sub->set_help_flag("");
    Flag(sub, "--help,-h", help);
    sub->allow_windows_style_options(false);
    return sub;
}

std::string SettingsHelp() {
    std::string text;
    for (const SET_OPTION_DEF& def : SetOptionDefs()) {
        std::string left = "    --";
        left += def.name;
        if (!def.values_help.empty()) {
            left += ' ';
            left += def.values_help;
        }
        if (left.size() < 36)
            left.resize(36, ' ');
        else
            left += "  ";
        text += left + std::string(def.help) + "\n";
    }
    return text;
}

}  // namespace

ordered_json ErrorJson(const CLI_ERROR& error) {
    ordered_json j;
    j["code"] = error.code;
    j["message"] = error.message;
    j["exit"] = error.exit;
    return j;
}

int ReportError(bool json, const CLI_ERROR& error) {
    if (json) {
        ordered_json doc;
        doc["error"] = ErrorJson(error);
        std::fputs((CompactJson(doc) + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
    std::fprintf(stderr, "telvane-cli: %s\n", error.message.c_str());
    return error.exit;
}

COMMAND_LINE ParseCommandLine(std::span<const std::string> args) {
    COMMAND_LINE line;
    // A line that cannot be read still answers in the form asked for.
    const auto options_end = std::find(args.begin(), args.end(), "--");
    line.json = std::find(args.begin(), options_end, "--json") != options_end;
    const auto usage = [&line](std::string message) {
        line.error = CLI_ERROR{"usage", std::move(message) + " (see telvane-cli --help)", EXIT_USAGE};
        return line;
    };
    if (args.empty()) return usage("no command given");

    CLI::App app;
    app.set_help_flag("");
    bool help = false;
    bool version = false;
    Flag(&app, "--help,-h", help);
    Flag(&app, "--version", version);
    app.require_subcommand(0, 1);
    app.allow_windows_style_options(false);

    // "help set" reads as a user means it: the one help text covers every command.
    std::string help_topic;
    Subcommand(app, "help", help)->add_option("command", help_topic);
    CLI::App* adapters = Subcommand(app, "adapters", help);

    CLI::App* enumerate = Subcommand(app, "enumerate", help);
    ENUMERATE_ARGS& e = line.enumerate;
    enumerate->add_option("--adapter", e.adapter);
    Flag(enumerate, "--all-adapters", e.all_adapters)->excludes(enumerate->get_option("--adapter"));
    Flag(enumerate, "--json", e.json);
    Flag(enumerate, "--csv", e.csv)->excludes(enumerate->get_option("--json"));
    // Events are lines of text or JSON; a CSV table has no place for them.
    Flag(enumerate, "--watch", e.watch)->excludes(enumerate->get_option("--csv"));
    enumerate->add_option("--interval", e.interval_seconds)
        ->check(CLI::Validator(
            [](std::string& text) {
                // CLI::Range only compares, and no comparison with NaN is true.
                double value = 0;
                if (CLI::detail::lexical_cast(text, value) && std::isfinite(value)) return std::string();
                return "Value " + text + " is not a finite number of seconds";
            },
            "SECONDS"))
        ->check(CLI::Range(0.5, 86400.0))
        ->needs(enumerate->get_option("--watch"));

    CLI::App* set = Subcommand(app, "set", help);
    SET_ARGS& s = line.set;
    set->add_option("--mac", s.mac);
    set->add_option("--adapter", s.adapter);
    set->add_option("--from-csv", s.csv_file)->excludes(set->get_option("--mac"));
    set->add_option("--from-json", s.json_file)
        ->excludes(set->get_option("--mac"))
        ->excludes(set->get_option("--from-csv"));
    Flag(set, "--no-journal", s.no_journal);
    Flag(set, "--with-settings", s.with_settings);
    Flag(set, "--json", s.json);
    Flag(set, "--wait-reenumerate", s.wait_reenumerate);
    Flag(set, "--ensure", s.ensure);
    Flag(set, "--force", s.force);
    // A dry run is accepted by nobody, so there is nothing to confirm.
    Flag(set, "--dry-run", s.dry_run)->excludes(set->get_option("--wait-reenumerate"));
    // The settings keep the option table's order; ApplySetOptions judges their combinations.
    std::map<std::string_view, std::vector<std::string>> values;
    std::map<std::string_view, bool> flags;
    std::vector<std::pair<const SET_OPTION_DEF*, CLI::Option*>> settings;
    for (const SET_OPTION_DEF& def : SetOptionDefs()) {
        const std::string name = "--" + std::string(def.name);
        CLI::Option* option = def.max_values == 0
                                  ? Flag(set, name, flags[def.name])
                                  : set->add_option(name, values[def.name])->expected(def.min_values, def.max_values);
        settings.emplace_back(&def, option);
    }

    CLI::App* history = Subcommand(app, "history", help);
    history->add_option("--mac", line.history.mac);
    Flag(history, "--json", line.history.json);

    CLI::App* restore = Subcommand(app, "restore", help);
    RESTORE_ARGS& r = line.restore;
    restore->add_option("--mac", r.mac)->required();
    restore->add_option("--entry", r.entry);
    restore->add_option("--adapter", r.set.adapter);
    Flag(restore, "--json", r.set.json);
    Flag(restore, "--ensure", r.set.ensure);
    Flag(restore, "--force", r.set.force);
    Flag(restore, "--no-journal", r.set.no_journal);
    Flag(restore, "--with-settings", r.set.with_settings);
    Flag(restore, "--wait-reenumerate", r.set.wait_reenumerate);
    Flag(restore, "--dry-run", r.set.dry_run)->excludes(restore->get_option("--wait-reenumerate"));

    CLI::App* doctor = Subcommand(app, "doctor", help);
    doctor->add_option("--adapter", line.doctor.adapter);
    Flag(doctor, "--json", line.doctor.json);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        return usage(error.what());
    }
    // CLI11 takes the words an option needs whatever they look like, so "--dns4 --json"
    // would swallow the flag and the run fail later, in text, on a bad address.
    for (const CLI::App* command : {enumerate, set, doctor, history, restore}) {
        for (const CLI::Option* option : command->get_options()) {
            for (const std::string& value : option->results()) {
                if (value.rfind("--", 0) == 0)
                    return usage(option->get_name() + " needs a value, not the option " + value);
            }
        }
    }
    if (help || app.got_subcommand("help")) {
        line.kind = CommandKind::Help;
        return line;
    }
    if (version) {
        line.kind = CommandKind::Version;
        return line;
    }
    if (adapters->parsed()) {
        line.kind = CommandKind::Adapters;
    } else if (enumerate->parsed()) {
        line.kind = CommandKind::Enumerate;
    } else if (doctor->parsed()) {
        line.kind = CommandKind::Doctor;
    } else if (history->parsed()) {
        line.kind = CommandKind::History;
    } else if (restore->parsed()) {
        line.kind = CommandKind::Restore;
    } else if (set->parsed()) {
        line.kind = CommandKind::Set;
        for (const auto& [def, option] : settings) {
            if (option->count() == 0) continue;
            s.options.push_back(SET_OPTION{std::string(def->name), values[def->name]});
        }
        if ((s.csv_file || s.json_file) && !s.options.empty())
            return usage(std::string(s.csv_file ? "--from-csv" : "--from-json") +
                         " takes the settings from the file; give no settings with it");
        if (!s.csv_file && !s.json_file && !s.mac) return usage("give --mac MAC, --from-csv FILE or --from-json FILE");
        // Without a setting the device would only be sent what it has, and restart for it.
        if (s.mac && s.options.empty()) return usage("give at least one setting");
    } else {
        return usage("no command given");
    }
    return line;
}

std::string HelpText() {
    return "Usage: telvane-cli COMMAND [OPTIONS]\n"
           "\n"
           "Commands:\n"
           "  adapters                 every adapter, numbered from 0 as the window lists them\n"
           "  enumerate [--adapter IPV4|INDEX | --all-adapters] [--json | --csv]\n"
           "  enumerate --watch [--interval SECONDS] [--adapter IPV4|INDEX | --all-adapters] [--json]\n"
           "                           find the devices (three requests, 150 ms apart)\n"
           "  set --mac MAC [--adapter IPV4|INDEX] [SETTINGS] [--ensure] [--dry-run] [--json]\n"
           "      [--force] [--wait-reenumerate]\n"
           "  set --from-csv FILE [--adapter IPV4|INDEX] [--ensure] [--dry-run] [--json]\n"
           "      [--force] [--wait-reenumerate]\n"
           "  set --from-json FILE [the same options]\n"
           "                           send one device (or each row's device) new settings\n"
           "  history [--mac MAC] [--json]\n"
           "                           the journal's sets, newest first\n"
           "  restore --mac MAC [--entry ID] [--adapter IPV4|INDEX] [--ensure] [--dry-run]\n"
           "      [--json] [--force] [--wait-reenumerate]\n"
           "                           set a device back to what it reported before a set\n"
           "  doctor [--adapter IPV4|INDEX] [--json]\n"
           "                           check why devices may not be found on an adapter\n"
           "\n"
           "Options of enumerate:\n"
           "  --adapter IPV4|INDEX  the adapter's IPv4 address or its number (default 0)\n"
           "  --json                a JSON array in table order, one object per device\n"
           "  --csv                 a CSV table with a header line\n"
           "  --all-adapters        every usable adapter at once; each device gets the adapter it\n"
           "                        was heard on (a device heard on two is listed twice)\n"
           "  --watch               enumerate again and again and print what changed, one line per\n"
           "                        event (appeared, changed, gone after two missed enumerations);\n"
           "                        with --json one object per line. Ctrl-C ends it (exit 0)\n"
           "  --interval SECONDS    time between two enumerations of --watch (default 5)\n"
           "\n"
           "Options of set:\n"
           "  Enumerates, starts from the device's current settings, applies the settings given,\n"
           "  checks them as the window does and sends them (at most twice, 500 ms apart).\n"
           "  --mac MAC: the device, as 00-1a-2b-3c-4d-5e, 00:1A:2B:3C:4D:5E or 001a2b3c4d5e.\n"
           "  --adapter IPV4|INDEX: as for enumerate.\n"
           "  --json: the outcome as one JSON object.\n"
           "  --from-csv FILE: a header row names the columns (mac, then setting names without\n"
           "    \"--\"); an empty cell leaves the setting out; yes/no columns take yes or no;\n"
           "    dns4 and dns6 cells hold one or two addresses.\n"
           "  --ensure: send only when the request differs from what the device reported (with\n"
           "    DHCP on, the addresses do not count); otherwise the outcome is \"unchanged\",\n"
           "    nothing is sent and the exit status is 0. JSON then says \"changed\": true or false.\n"
           "  --dry-run: enumerate and check everything, print the request that would be sent (hex;\n"
           "    with --json also its decoded fields) and whether it would change anything, but send\n"
           "    nothing. Exit status 0 when it would be sent.\n"
           "  --force: set a static address even when it is another listed device's or this\n"
           "    computer's, its subnet's network or broadcast address, or the gateway is outside\n"
           "    its subnet; without it such a set is refused (exit status 2).\n"
           "  --wait-reenumerate: after an acceptance wait twelve seconds and enumerate again to\n"
           "    confirm the device's address.\n"
           "  --from-csv and --from-json also take what enumerate --csv and enumerate --json\n"
           "    wrote: the settings (dhcp, ipv4_*, dns4_*, ipv6_dhcp, ipv6_*, dns6_*) are applied,\n"
           "    the rest describes the device and is not; a row whose device now reports another\n"
           "    model fails. With --ensure only the devices that differ are sent anything.\n"
           "  --no-journal: send without writing the journal first (see history).\n"
           "  --with-settings: with --json, each device's \"before\" (what it reported, as\n"
           "    enumerate names it) and \"after\" (the values of the request).\n"
           "  SETTINGS, at least one. DNS settings need a device with the extended description,\n"
           "  IPv6 ones a device with IPv6 too. A static address turns automatic DNS manual\n"
           "  unless --dns4-auto (--dns6-auto) is given:\n" +
           SettingsHelp() +
           "\n"
           "The journal: before each set request leaves, telvane-cli appends to a journal what\n"
           "  the device reported, what is sent, the adapter and the time, and after it the\n"
           "  outcome: TELVANE_JOURNAL, else $XDG_STATE_HOME/telvane/journal.jsonl or\n"
           "  ~/.local/state/telvane/journal.jsonl (%LOCALAPPDATA%\\Telvane\\journal.jsonl on\n"
           "  Windows), rotated at 8 MiB keeping three older files. A journal that cannot be\n"
           "  written stops the set before anything is sent (exit status 4).\n"
           "  history: each set with its id, time, device, what it changed and its outcome;\n"
           "    --mac MAC only that device's; --json a JSON array.\n"
           "  restore: sends the device what it reported before its latest set that it did\n"
           "    not refuse (--entry ID: before that one), found by its MAC wherever its address\n"
           "    now is, on the adapter of that set unless --adapter is given. The options are\n"
           "    set's, and so are the checks, messages and exit codes.\n"
           "\n"
           "Options of doctor:\n"
           "  Checks, on the adapter (--adapter as for enumerate): adapters (the usable ones and\n"
           "  why others are not), firewall (whether the nftables ruleset lets the replies in),\n"
           "  rp_filter (strict reverse-path filtering), same_subnet (other adapters on the\n"
           "  adapter's subnet), probe (one enumeration: devices found, datagrams ignored). Each\n"
           "  is ok, warn, fail or unknown, with what was found and a fix. Only the probe sends.\n"
           "  --json: {\"adapter\": ..., \"checks\": [{\"id\", \"status\", \"detail\", \"fix\"}]}\n"
           "\n"
           "  --help                this text\n"
           "  --version             the version\n"
           "\n"
           "Exit codes, the same for every command:\n"
           "  0  done; set: accepted, unchanged with --ensure, or checked with --dry-run\n"
           "  1  the device refused, did not answer, or was not confirmed by --wait-reenumerate;\n"
           "     with --from-csv: a row failed\n"
           "  2  bad input: usage, an invalid value or file, an unknown MAC, a locked device, a\n"
           "     setting the device does not take, an address that would break something\n"
           "     without --force\n"
           "  3  no usable adapter, or not the one asked for\n"
           "  4  the local socket could not be opened, bound or used, a request not sent, the\n"
           "     adapter is down, or the output not written; set, restore: the journal could\n"
           "     not be written (nothing was sent)\n"
           "  5  doctor: a check warned or failed\n"
           "With --json every run prints one JSON document, failures included:\n"
           "  {\"error\": {\"code\": CODE, \"message\": TEXT, \"exit\": N}}\n";
}

ADAPTER_CHOICE ChooseAdapter(const std::vector<ADAPTER>& usable, const std::optional<std::string>& wanted) {
    ADAPTER_CHOICE choice;
    if (usable.empty()) {
        choice.error = CLI_ERROR{"no-adapter", "Network adapter not found.", EXIT_NO_ADAPTER};
        return choice;
    }
    if (!wanted) {
        choice.adapter = usable.front();
        choice.index = 0;
        return choice;
    }
    const std::string& text = *wanted;
    const bool all_digits = !text.empty() && text.size() <= 3 &&
                            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (all_digits) {
        const int index = std::stoi(text);
        if (index < static_cast<int>(usable.size())) {
            choice.adapter = usable[static_cast<std::size_t>(index)];
            choice.index = index;
            return choice;
        }
    } else if (!ParseIpv4(text)) {
        choice.error = CLI_ERROR{
            "usage", "--adapter takes an adapter's IPv4 address or its number, not \"" + text + "\"", EXIT_USAGE};
        return choice;
    } else {
        for (std::size_t i = 0; i < usable.size(); ++i) {
            if (usable[i].ipv4_text == text) {
                choice.adapter = usable[i];
                choice.index = static_cast<int>(i);
                return choice;
            }
        }
    }
    choice.error =
        CLI_ERROR{"no-adapter", "no adapter \"" + text + "\" (telvane-cli adapters lists them)", EXIT_NO_ADAPTER};
    return choice;
}

std::optional<CLI_ERROR> OpenSocket(CTelvaneSocket& socket, const ADAPTER& adapter, IDatagramSink* owner) {
    switch (OpenDiscoverySocket(socket, adapter.ipv4_text, owner)) {
        case OPEN_RESULT::OPENED:
            return std::nullopt;
        case OPEN_RESULT::NO_ADAPTER:
            return CLI_ERROR{"no-adapter", "Network adapter not found.", EXIT_NO_ADAPTER};
        case OPEN_RESULT::SOCKET_FAILED:
            break;
    }
    return CLI_ERROR{"socket", "Socket Initialization failure (adapter " + adapter.ipv4_text + ")", EXIT_SOCKET};
}

std::optional<CLI_ERROR> AdapterDownError(const ADAPTER& adapter) {
    const auto address = ParseIpv4(adapter.ipv4_text);
    if (!address) return std::nullopt;
    for (const INTERFACE_STATE& i : QueryInterfaceStates()) {
        const bool holds = std::any_of(i.ipv4.begin(), i.ipv4.end(),
                                       [&](const IPV4_INTERFACE_ADDRESS& a) { return a.address == *address; });
        if (!holds || (i.up && i.carrier)) continue;
        return CLI_ERROR{"adapter-down",
                         "adapter " + adapter.ipv4_text + " (" + i.name + ") is " + (i.up ? "without a link" : "down"),
                         EXIT_SOCKET};
    }
    return std::nullopt;
}

std::optional<CLI_ERROR> DropAdaptersDown(std::vector<ADAPTER>& adapters) {
    std::optional<CLI_ERROR> first;
    std::vector<ADAPTER> up;
    for (ADAPTER& adapter : adapters) {
        if (auto down = AdapterDownError(adapter)) {
            if (adapters.size() > 1) std::fprintf(stderr, "telvane-cli: %s; left out\n", down->message.c_str());
            if (!first) first = std::move(down);
        } else {
            up.push_back(std::move(adapter));
        }
    }
    adapters = std::move(up);
    if (adapters.empty() && first) return first;
    return std::nullopt;
}

CLI_ERROR SendError(const ADAPTER& adapter, const std::string& reason) {
    if (auto down = AdapterDownError(adapter)) {
        down->message += " (cannot send: " + reason + ")";
        return *down;
    }
    return CLI_ERROR{"send", "cannot send on adapter " + adapter.ipv4_text + ": " + reason, EXIT_SOCKET};
}

}  // namespace telvane::cli
