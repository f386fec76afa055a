// telvane-cli set --mac MAC [--adapter IPV4|INDEX] [SETTINGS] [--ensure] [--dry-run] [--json]
//                 [--force] [--wait-reenumerate]
// telvane-cli set --from-csv FILE [--adapter IPV4|INDEX] [--ensure] [--dry-run] [--json]
//                 [--force] [--wait-reenumerate]
// telvane-cli set --from-json FILE [the same options]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ios>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "net/file_text.h"
#include "net/pumped_wait.h"
#include "procedures/address_checks.h"
#include "procedures/discovery.h"
#include "procedures/set_exchange_net.h"
#include "procedures/set_plan.h"
#include "procedures/snapshot.h"
#include "protocol/text.h"
#include "tools/cli/cli_app.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"
#include "tools/cli/set_journal.h"

namespace telvane::cli {

namespace {

// After an accepted set the device restarts its network; the window waits this long too.
constexpr int REENUMERATE_STEPS = 300;
constexpr std::uint32_t REENUMERATE_STEP_MS = 40;

constexpr EXIT_CODE EXIT_ACCEPTED = EXIT_CODE::OK;
constexpr EXIT_CODE EXIT_FAILED = EXIT_CODE::DEVICE;
constexpr EXIT_CODE EXIT_BAD_INPUT = EXIT_CODE::USAGE;

// One device's outcome, as printed and as JSON.
struct DEVICE_OUTCOME {
    std::size_t line = 0;  // CSV line, 0 for a single set
    std::string mac;       // as given, or as FormatMac writes device
    MAC device{};          // the device set, when it was found
    // accepted, refused, no-answer, not-sent, invalid, not-found, locked; unchanged (--ensure), dry-run
    std::string outcome;
    std::string message;
    std::string error_code;  // for scripts, when it failed: refused, no-answer, unknown-mac, ...
    int sends = 0;
    std::optional<std::int32_t> result;
    std::optional<std::string> new_address;  // after --wait-reenumerate
    bool confirmed = true;
    EXIT_CODE exit_code = EXIT_FAILED;
    std::optional<IPV4> expected_address;  // a static address asked for
    bool changed = false;                  // sent and accepted, or with --dry-run: would change
    std::optional<ordered_json> request;   // --dry-run: the request that would be sent
    std::vector<std::string> changes;      // --dry-run: "field: before -> after"
    std::optional<ordered_json> before;    // --with-settings: what the device reported
    std::optional<ordered_json> after;     // --with-settings: the request's values
};

// What --dry-run shows of a request: its bytes and the values they carry, under the
// names enumerate uses.
ordered_json RequestJson(const SET_PLAN& plan) {
    const SET_SETTINGS& s = plan.settings;
    const bool extended = plan.request.size == SET_EXTENDED_SIZE;
    std::string hex;
    for (const std::uint8_t byte : plan.request.Bytes()) {
        static constexpr char DIGITS[] = "0123456789abcdef";
        hex += DIGITS[byte >> 4];
        hex += DIGITS[byte & 0x0F];
    }
    ordered_json fields;
    fields["type"] = extended ? "extended" : "basic";
    fields["ipv4_address"] = FormatIpv4(s.ipv4_address);
    fields["ipv4_mask"] = FormatIpv4(s.ipv4_mask);
    fields["ipv4_gateway"] = FormatIpv4(s.ipv4_gateway);
    fields["dhcp"] = extended ? (s.set_flags & SET_DHCP4) != 0 : s.dhcp != 0;
    if (extended) {
        fields["dns4_auto"] = (s.set_flags & SET_DNS4_AUTO) != 0;
        fields["dns4_preferred"] = FormatIpv4(s.dns4_preferred);
        fields["dns4_alternate"] = FormatIpv4(s.dns4_alternate);
        fields["ipv6_dhcp"] = (s.set_flags & SET_DHCP6) != 0;
        fields["dns6_auto"] = (s.set_flags & SET_DNS6_AUTO) != 0;
        fields["ipv6_address"] = FormatIpv6(s.ipv6_address);
        fields["ipv6_prefix_length"] = s.ipv6_prefix_length;
        fields["ipv6_gateway"] = FormatIpv6(s.ipv6_gateway);
        fields["dns6_preferred"] = FormatIpv6(s.dns6_preferred);
        fields["dns6_alternate"] = FormatIpv6(s.dns6_alternate);
    }
    ordered_json j;
    j["hex"] = hex;
    j["fields"] = fields;
    return j;
}

// The outcome and the error code of a plan that cannot be sent.
std::pair<const char*, const char*> PlanFailure(SetPlanKind kind) {
    switch (kind) {
        case SetPlanKind::NotFound:
            return {"not-found", "unknown-mac"};
        case SetPlanKind::Locked:
            return {"locked", "locked"};
        case SetPlanKind::NotApplicable:
            return {"invalid", "not-applicable"};
        case SetPlanKind::CannotKeep:
            return {"invalid", "cannot-keep"};
        case SetPlanKind::BadInput:
        case SetPlanKind::Ready:
            break;
    }
    return {"invalid", "invalid"};
}

// Runs one device's set on an enumerated table.
// The IPv4 addresses of this computer's adapters, usable or not.
std::vector<IPV4> LocalAddresses() {
    std::vector<IPV4> out;
    for (const ADAPTER& a : QueryAdapters())
        if (const auto address = ParseIpv4(a.ipv4_text); address && *address != IPV4{}) out.push_back(*address);
    return out;
}

DEVICE_OUTCOME SetOne(CTelvaneSocket& socket, DEVICE_TABLE& table, const MAC& mac,
                      const std::vector<SET_OPTION>& options, const SET_ARGS& args,
                      std::span<const IPV4> local_addresses, const ADAPTER& adapter, CSetJournal& journal) {
    DEVICE_OUTCOME out;
    out.mac = FormatMac(mac);
    out.device = mac;
    SET_PLAN plan = PlanDeviceSet(table, mac, options);
    if (plan.kind != SetPlanKind::Ready) {
        std::tie(out.outcome, out.error_code) = PlanFailure(plan.kind);
        out.message = plan.message;
        out.exit_code = EXIT_BAD_INPUT;
        return out;
    }
    if (!plan.form.ipv4_dhcp) out.expected_address = plan.settings.ipv4_address;
    if (args.with_settings) {
        out.before = ordered_json(table.entries[static_cast<std::size_t>(plan.index)]);
        out.after = RequestJson(plan)["fields"];
    }
    if (args.ensure && !plan.changed) {
        out.outcome = "unchanged";
        out.exit_code = EXIT_CODE::OK;
        if (args.dry_run) out.request = RequestJson(plan);
        return out;
    }
    // What a new static address would break is refused as the window asks about it.
    if (!plan.form.ipv4_dhcp && !args.force) {
        const auto findings = NewAddressFindings(
            NEW_ADDRESS{plan.settings.ipv4_address, plan.settings.ipv4_mask, plan.settings.ipv4_gateway}, mac,
            std::span(table.entries).first(static_cast<std::size_t>(table.device_count)), local_addresses);
        if (!findings.empty()) {
            out.outcome = "invalid";
            out.error_code = "address-conflict";
            for (const std::string& f : findings) out.message += f + " ";
            out.message += "Give --force to set it anyway.";
            out.exit_code = EXIT_BAD_INPUT;
            return out;
        }
    }
    if (args.dry_run) {
        out.outcome = "dry-run";
        out.exit_code = EXIT_CODE::OK;
        out.changed = plan.changed;
        out.request = RequestJson(plan);
        out.changes =
            ChangedFields(ordered_json(table.entries[static_cast<std::size_t>(plan.index)]), (*out.request)["fields"]);
        return out;
    }

    const auto index = static_cast<std::size_t>(plan.index);
    // What the device had is on disk before the request that replaces it leaves.
    if (std::string why = journal.BeforeSend(table.entries[index], RequestJson(plan)); !why.empty()) {
        out.outcome = "not-sent";
        out.error_code = "journal";
        out.message = std::move(why);
        out.exit_code = EXIT_CODE::LOCAL;
        return out;
    }
    table.entries[index].state = STATE_SET_OK;
    const SET_EXCHANGE exchange = ExchangeSetRequest(socket, table, plan.request, SEND_FAILURES::END_EXCHANGE);
    // Replies taken in meanwhile may have grown the table: its entries may have moved.
    DEVICE_INFO& device = table.entries[index];
    device.state = exchange.outcome;

    out.sends = exchange.sends;
    if (exchange.answered) out.result = exchange.set_result;
    if (!exchange.answered && !exchange.send_error.empty()) {
        // Not the device's silence: the request never left this computer.
        const CLI_ERROR error = SendError(adapter, exchange.send_error);
        out.outcome = "not-sent";
        out.error_code = error.code;
        out.message = error.message;
        out.exit_code = error.exit;
    } else if (exchange.outcome == STATE_SET_OK) {
        out.outcome = "accepted";
        out.exit_code = EXIT_ACCEPTED;
        out.changed = true;
        // Later rows of a file are checked against the address the device now takes.
        if (!plan.form.ipv4_dhcp) {
            device.ipv4_address = plan.settings.ipv4_address;
            device.ipv4_mask = plan.settings.ipv4_mask;
            device.ipv4_gateway = plan.settings.ipv4_gateway;
        }
    } else if (exchange.answered) {
        out.outcome = "refused";
        out.error_code = "refused";
        out.message = exchange.set_result < 0
                          ? "the device's reply was damaged (wrong checksum), so its answer is unknown; the "
                            "device may have taken the settings: enumerate to check"
                          : "the device refused (result " + std::to_string(exchange.set_result) + ")";
    } else {
        out.outcome = "no-answer";
        out.error_code = "no-answer";
        out.message = "no reply after " + std::to_string(exchange.sends) + " requests";
    }
    journal.AfterOutcome(out.mac, out.outcome, out.sends, out.result);
    return out;
}

// Waits as the window does after an acceptance, enumerates again and looks for each
// accepted device: found (at the static address asked for, if one was) confirms it.
void Reenumerate(CTelvaneSocket& socket, DEVICE_TABLE& table, std::vector<DEVICE_OUTCOME>& outcomes,
                 const ADAPTER& adapter) {
    for (int i = 0; i < REENUMERATE_STEPS; ++i) PumpMessages(REENUMERATE_STEP_MS);
    // Only answers to these requests confirm: what came before is drained with the old table.
    const auto failure = EnumerateIntoTable(socket, table);
    for (DEVICE_OUTCOME& o : outcomes) {
        if (o.outcome != "accepted") continue;
        if (failure) {
            const CLI_ERROR error = SendError(adapter, failure->reason);
            o.confirmed = false;
            o.exit_code = error.exit;
            o.error_code = error.code;
            o.message = "accepted, but enumerating again failed: " + error.message;
            continue;
        }
        const std::int32_t index = FindDevice(table, o.device);
        o.confirmed = index >= 0;
        if (index >= 0) {
            const IPV4& now = table.entries[static_cast<std::size_t>(index)].ipv4_address;
            o.new_address = FormatIpv4(now);
            if (o.expected_address && now != *o.expected_address) o.confirmed = false;
        }
        if (!o.confirmed) {
            o.exit_code = EXIT_FAILED;
            o.error_code = "not-confirmed";
            o.message = index < 0 ? "accepted, but not found when enumerating again"
                                  : "accepted, but enumerating again shows " + *o.new_address;
        }
    }
}

// How the outcomes are shown.
struct REPORT_FORM {
    bool json = false;
    bool batch = false;
    bool reenumerated = false;
    bool changed = false;   // --ensure or --dry-run: say whether something changed
    bool settings = false;  // --with-settings: each device's settings before and after
};

// An outcome as the form shows it.
struct SHOWN_OUTCOME {
    const DEVICE_OUTCOME& outcome;
    const REPORT_FORM& form;
};

void to_json(ordered_json& j, const SHOWN_OUTCOME& shown) {
    const DEVICE_OUTCOME& o = shown.outcome;
    const REPORT_FORM& form = shown.form;
    j = ordered_json::object();
    if (o.line != 0) j["line"] = o.line;
    j["mac"] = o.mac;
    j["outcome"] = o.outcome;
    if (form.changed) j["changed"] = o.changed;
    j["sends"] = o.sends;
    j["result"] = o.result ? ordered_json(*o.result) : ordered_json(nullptr);
    if (form.reenumerated && o.outcome == "accepted") {
        j["confirmed"] = o.confirmed;
        j["address"] = o.new_address ? ordered_json(*o.new_address) : ordered_json(nullptr);
    }
    if (o.request) j["request"] = *o.request;
    if (o.outcome == "dry-run") j["changes"] = o.changes;
    if (form.settings && o.before) {
        j["before"] = *o.before;
        j["after"] = *o.after;
    }
    if (!o.message.empty()) j["message"] = o.message;
    if (o.exit_code != EXIT_ACCEPTED) j["error"] = CLI_ERROR{o.error_code, o.message, o.exit_code};
}

CLI_ERROR BatchError(const std::vector<DEVICE_OUTCOME>& outcomes) {
    // A local failure is the batch's own, whatever the other rows did.
    for (const DEVICE_OUTCOME& o : outcomes)
        if (o.exit_code == EXIT_CODE::LOCAL) return CLI_ERROR{o.error_code, o.message, EXIT_CODE::LOCAL};
    const auto failed = std::count_if(outcomes.begin(), outcomes.end(),
                                      [](const DEVICE_OUTCOME& o) { return o.exit_code != EXIT_ACCEPTED; });
    return CLI_ERROR{"rows-failed", std::to_string(failed) + " of " + std::to_string(outcomes.size()) + " rows failed",
                     EXIT_FAILED};
}

void PrintLine(const DEVICE_OUTCOME& o, bool reenumerated) {
    std::string text;
    if (o.line != 0) text += "line " + std::to_string(o.line) + ": ";
    text += (o.mac.empty() ? std::string("-") : o.mac) + " " + o.outcome;
    if (o.outcome == "dry-run") {
        text += o.changed ? ", changes the settings" : ", changes nothing";
        for (std::size_t i = 0; i < o.changes.size(); ++i) text += (i ? "; " : " (") + o.changes[i];
        if (!o.changes.empty()) text += ")";
        text += ": request " + (*o.request)["hex"].get<std::string>();
    }
    if (o.sends > 0) text += " (" + std::to_string(o.sends) + (o.sends == 1 ? " send)" : " sends)");
    if (reenumerated && o.outcome == "accepted" && o.confirmed) text += ", now at " + o.new_address.value_or("?");
    if (!o.message.empty()) text += ": " + o.message;
    std::printf("%s\n", text.c_str());
}

EXIT_CODE Report(const std::vector<DEVICE_OUTCOME>& outcomes, const REPORT_FORM& form) {
    const bool json = form.json;
    const bool batch = form.batch;
    const bool reenumerated = form.reenumerated;
    EXIT_CODE exit_code = EXIT_ACCEPTED;
    for (const DEVICE_OUTCOME& o : outcomes) exit_code = std::max(exit_code, o.exit_code);
    // A batch that ran fails with 1 whatever its rows' reasons; 2 is kept for the file
    // itself, 4 for a request this computer could not send.
    if (batch && exit_code != EXIT_ACCEPTED) exit_code = BatchError(outcomes).exit;
    if (json && batch) {
        const auto failed = std::count_if(outcomes.begin(), outcomes.end(),
                                          [](const DEVICE_OUTCOME& o) { return o.exit_code != EXIT_ACCEPTED; });
        // One device a line, so that a long batch stays readable.
        std::string out = "{\"failed\": " + std::to_string(failed) + ", \"devices\": [\n";
        for (std::size_t i = 0; i < outcomes.size(); ++i)
            out += "  " + CompactJson(ordered_json(SHOWN_OUTCOME{outcomes[i], form})) +
                   (i + 1 < outcomes.size() ? ",\n" : "\n");
        out += "]";
        if (failed > 0) out += ", \"error\": " + CompactJson(ordered_json(BatchError(outcomes)));
        std::fputs((out + "}\n").c_str(), stdout);
    } else if (json) {
        std::fputs((CompactJson(ordered_json(SHOWN_OUTCOME{outcomes.front(), form})) + "\n").c_str(), stdout);
    } else {
        for (const DEVICE_OUTCOME& o : outcomes) {
            // A single device refused before anything was sent, or whose request could not
            // be sent, says so once, below.
            if (!batch && (o.exit_code == EXIT_BAD_INPUT || o.exit_code == EXIT_CODE::LOCAL)) continue;
            PrintLine(o, reenumerated);
        }
    }
    // Refusals also go to standard error, so that a script's log shows them.
    for (const DEVICE_OUTCOME& o : outcomes)
        if ((o.exit_code == EXIT_BAD_INPUT || o.exit_code == EXIT_CODE::LOCAL) && !batch)
            std::fprintf(stderr, "telvane-cli: %s\n", o.message.c_str());
    if (batch && exit_code != EXIT_ACCEPTED)
        std::fprintf(stderr, "telvane-cli: %s\n", BatchError(outcomes).message.c_str());
    return exit_code;
}

CLI_ERROR BadInput(std::string code, std::string message) {
    return CLI_ERROR{std::move(code), std::move(message), EXIT_CODE::USAGE};
}

}  // namespace

void AddSetRunOptions(CLI::App* command, SET_ARGS& args) {
    Flag(command, "--no-journal", args.no_journal, "send without writing the journal first (see history)");
    Flag(command, "--with-settings", args.with_settings,
         "with --json, each device's \"before\" (what it reported, as enumerate names it) and \"after\" (the "
         "values of the request)");
    Flag(command, "--json", args.json, "the outcome as one JSON object");
    CLI::Option* wait = Flag(command, "--wait-reenumerate", args.wait_reenumerate,
                             "after an acceptance wait twelve seconds and enumerate again to confirm the device's "
                             "address");
    Flag(command, "--ensure", args.ensure,
         "send only when the request differs from what the device reported (with DHCP on, the addresses do not "
         "count); otherwise the outcome is \"unchanged\", nothing is sent and the exit status is 0. JSON then says "
         "\"changed\": true or false");
    Flag(command, "--force", args.force,
         "set a static address even when it is another listed device's or this computer's, its subnet's network "
         "or broadcast address, or the gateway is outside its subnet; without it such a set is refused (exit "
         "status 2)");
    // A dry run is accepted by nobody, so there is nothing to confirm.
    Flag(command, "--dry-run", args.dry_run,
         "enumerate and check everything, print the request that would be sent (hex; with --json also its decoded "
         "fields) and whether it would change anything, but send nothing. Exit status 0 when it would be sent")
        ->excludes(wait);
}

void AddSetCommand(CLI::App& app, COMMAND_LINE& line) {
    CLI::App* command = AddCommand(app, "set", "send one device (or each row's device) new settings");
    auto args = std::make_shared<SET_ARGS>();
    CLI::Option* mac =
        command->add_option("--mac", args->mac, "the device, as 00-1a-2b-3c-4d-5e, 00:1A:2B:3C:4D:5E or 001a2b3c4d5e")
            ->option_text("MAC");
    AdapterOption(command, args->adapter);
    CLI::Option* csv = command
                           ->add_option("--from-csv", args->csv_file,
                                        "a header row names the columns (mac, then setting names without \"--\"); "
                                        "an empty cell leaves the setting out; yes/no columns take yes or no; dns4 "
                                        "and dns6 cells hold one or two addresses. Also takes what enumerate --csv "
                                        "wrote: its settings are applied, the rest describes the device and is not; "
                                        "a row whose device now reports another model fails")
                           ->option_text("FILE")
                           ->excludes(mac);
    command
        ->add_option("--from-json", args->json_file,
                     "what enumerate --json wrote (or an array of objects keyed by setting names), read as "
                     "--from-csv reads its rows")
        ->option_text("FILE")
        ->excludes(mac)
        ->excludes(csv);
    AddSetRunOptions(command, *args);

    // The settings keep the option table's order; ApplySetOptions judges their combinations.
    struct SETTINGS {
        std::map<std::string_view, std::vector<std::string>> values;
        std::map<std::string_view, bool> flags;
        std::vector<std::pair<const SET_OPTION_DEF*, CLI::Option*>> options;
    };
    auto settings = std::make_shared<SETTINGS>();
    for (const SET_OPTION_DEF& def : SetOptionDefs()) {
        const std::string name = "--" + std::string(def.name);
        const std::string help(def.help);
        CLI::Option* option = def.max_values == 0 ? Flag(command, name, settings->flags[def.name], help)
                                                  : command->add_option(name, settings->values[def.name], help)
                                                        ->expected(def.min_values, def.max_values)
                                                        ->option_text(std::string(def.values_help));
        option->group("Settings");
        settings->options.emplace_back(&def, option);
    }
    command->footer(
        "Enumerates, starts from the device's current settings, applies the settings given, checks them as the "
        "window does and sends them (at most twice, 500 ms apart). Give at least one setting with --mac. DNS "
        "settings need a device with the extended description, IPv6 ones a device with IPv6 too. Settings not given "
        "are sent as the device reported them; a static address for a device that takes its address and DNS "
        "servers by DHCP needs a DNS choice (--dns4-manual, --dns4 or --dns4-auto; likewise for IPv6), as no "
        "request can keep its leased servers. With --from-csv or --from-json the "
        "settings come from the file; with --ensure only the devices that differ are sent anything.\n"
        "\n"
        "The journal: before each set request leaves, telvane-cli appends to a journal what the device reported, "
        "what is sent, the adapter and the time, and after it the outcome: TELVANE_JOURNAL, else "
        "$XDG_STATE_HOME/telvane/journal.jsonl or ~/.local/state/telvane/journal.jsonl "
        "(%LOCALAPPDATA%\\Telvane\\journal.jsonl on Windows), rotated at 8 MiB keeping three older files. A "
        "journal that cannot be written stops the set before anything is sent (exit status 4).");

    command->callback([&line, command, args, settings] {
        RefuseOptionsAsValues(*command);
        for (const auto& [def, option] : settings->options) {
            if (option->count() == 0) continue;
            args->options.push_back(SET_OPTION{std::string(def->name), settings->values[def->name]});
        }
        if ((args->csv_file || args->json_file) && !args->options.empty())
            RefuseLine(std::string(args->csv_file ? "--from-csv" : "--from-json") +
                       " takes the settings from the file; give no settings with it");
        if (!args->csv_file && !args->json_file && !args->mac)
            RefuseLine("give --mac MAC, --from-csv FILE or --from-json FILE");
        // Without a setting the device would only be sent what it has, and restart for it.
        if (args->mac && args->options.empty()) RefuseLine("give at least one setting");
        line.Choose<SET_ARGS>(args, RunSet, true);
    });
}

EXIT_CODE RunSet(const SET_ARGS& args) {
    // Everything that can be judged without the network is judged before anything is sent.
    std::optional<MAC> mac;
    SET_BATCH batch;
    const std::optional<std::string>& file = args.csv_file ? args.csv_file : args.json_file;
    if (file) {
        const char* code = args.csv_file ? "bad-csv" : "bad-json";
        const auto text = ReadFileText(*file);
        if (!text) return ReportError(args.json, BadInput(code, "cannot read " + *file));
        batch = args.csv_file ? ReadSetBatch(*text) : ReadJsonBatch(*text);
        if (!batch.Ok())
            return ReportError(args.json,
                               BadInput(code, *file + ":" + std::to_string(batch.error_line) + ": " + batch.error));
    } else {
        mac = ParseMac(*args.mac);
        if (!mac) return ReportError(args.json, BadInput("invalid", "\"" + *args.mac + "\" is not a MAC address"));
        SET_FORM scratch;
        if (std::string error = ApplySetOptions(scratch, args.options); !error.empty())
            return ReportError(args.json, BadInput("invalid", error));
    }

    CSetJournal journal;
    if (const auto error = journal.Open(args)) return ReportError(args.json, *error);
    const ADAPTER_CHOICE choice = ChooseAdapter(UsableAdapters(QueryAdapters(), ALL_ADAPTERS), args.adapter);
    if (!choice.adapter) return ReportError(args.json, *choice.error);
    if (const auto down = AdapterDownError(*choice.adapter)) return ReportError(args.json, *down);
    journal.SetAdapter(choice.adapter->ipv4_text);
    // Every device that answered: the one asked for may be the thousandth.
    auto table_owner = std::make_unique<DEVICE_TABLE>(UNLIMITED_DEVICES);
    DEVICE_TABLE& table = *table_owner;
    CTableIntake intake(table);
    CTelvaneSocket socket;
    if (const auto error = OpenSocket(socket, *choice.adapter, &intake)) return ReportError(args.json, *error);
    if (const auto failure = EnumerateIntoTable(socket, table))
        return ReportError(args.json, SendError(*choice.adapter, failure->reason));

    const std::vector<IPV4> local_addresses = LocalAddresses();
    std::vector<DEVICE_OUTCOME> outcomes;
    if (!file) {
        outcomes.push_back(SetOne(socket, table, *mac, args.options, args, local_addresses, *choice.adapter, journal));
    } else {
        // One enumeration for the whole file: rows are set one after another from it.
        for (const SET_BATCH_ROW& row : batch.rows) {
            DEVICE_OUTCOME o;
            const std::string error = row.error.empty() ? SnapshotModelMismatch(table, row) : row.error;
            if (error.empty()) {
                o = SetOne(socket, table, *ParseMac(row.mac), row.options, args, local_addresses, *choice.adapter,
                           journal);
            } else {
                o.mac = row.mac;
                o.outcome = "invalid";
                o.error_code = row.error.empty() ? "other-model" : "invalid";
                o.message = error;
                o.exit_code = EXIT_BAD_INPUT;
            }
            o.line = row.line;
            outcomes.push_back(std::move(o));
        }
    }

    const bool any_accepted =
        std::any_of(outcomes.begin(), outcomes.end(), [](const DEVICE_OUTCOME& o) { return o.outcome == "accepted"; });
    const bool reenumerate = args.wait_reenumerate && any_accepted;
    if (reenumerate) Reenumerate(socket, table, outcomes, *choice.adapter);
    socket.Close();
    const EXIT_CODE exit_code = Report(outcomes, REPORT_FORM{args.json, file.has_value(), reenumerate,
                                                             args.ensure || args.dry_run, args.with_settings});
    // A request held back for the journal is a local failure, in a batch too.
    return journal.Failed() ? EXIT_CODE::LOCAL : exit_code;
}

}  // namespace telvane::cli
