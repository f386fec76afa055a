// telvane-cli set --mac MAC [--adapter IPV4|INDEX] [SETTINGS] [--json] [--wait-reenumerate]
// telvane-cli set --from-csv FILE [--adapter IPV4|INDEX] [--json] [--wait-reenumerate]

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/pumped_wait.h"
#include "procedures/discovery.h"
#include "procedures/set_exchange_net.h"
#include "procedures/set_plan.h"
#include "protocol/text.h"
#include "tools/cli/cli_options.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

namespace {

// After an accepted set the device restarts its network; the window waits this long too.
constexpr int REENUMERATE_STEPS = 300;
constexpr std::uint32_t REENUMERATE_STEP_MS = 40;

constexpr int EXIT_ACCEPTED = EXIT_OK;
constexpr int EXIT_FAILED = 1;  // refused or not answered
constexpr int EXIT_BAD_INPUT = EXIT_USAGE;

struct SET_ARGS {
    std::optional<std::string> mac;
    std::optional<std::string> adapter;
    std::optional<std::string> csv_file;
    bool json = false;
    bool wait_reenumerate = false;
    std::vector<SET_OPTION> options;
};

// One device's outcome, as printed and as JSON.
struct DEVICE_OUTCOME {
    std::size_t line = 0;  // CSV line, 0 for a single set
    std::string mac;
    std::string outcome;  // accepted, refused, no-answer, invalid, not-found, locked
    std::string message;
    int sends = 0;
    std::optional<std::int32_t> result;
    std::optional<std::string> new_address;  // after --wait-reenumerate
    bool confirmed = true;
    int exit_code = EXIT_FAILED;
    std::optional<IPV4> expected_address;  // a static address asked for
};

bool TakesValue(const std::string& arg) {
    return arg == "--mac" || arg == "--adapter" || arg == "--from-csv";
}

// Fills args; returns an error text, empty when the arguments are usable.
std::string ParseSetArgs(std::span<const std::string> argv, SET_ARGS& args) {
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (TakesValue(arg)) {
            if (i + 1 >= argv.size()) return arg + " needs a value";
            std::optional<std::string>& slot = arg == "--mac"       ? args.mac
                                               : arg == "--adapter" ? args.adapter
                                                                    : args.csv_file;
            if (slot) return arg + " is given twice";
            slot = argv[++i];
            continue;
        }
        if (arg == "--json") {
            args.json = true;
            continue;
        }
        if (arg == "--wait-reenumerate") {
            args.wait_reenumerate = true;
            continue;
        }
        if (!arg.starts_with("--")) return "unexpected argument \"" + arg + "\"";
        const SET_OPTION_DEF* def = FindSetOption(std::string_view(arg).substr(2));
        if (def == nullptr) return "unknown option " + arg;
        SET_OPTION option{std::string(def->name), {}};
        // Take values up to the option's most; past its least, stop at the next option.
        while (static_cast<int>(option.values.size()) < def->max_values && i + 1 < argv.size()) {
            const std::string& next = argv[i + 1];
            if (static_cast<int>(option.values.size()) >= def->min_values && next.starts_with("--")) break;
            option.values.push_back(next);
            ++i;
        }
        args.options.push_back(std::move(option));
    }
    if (args.csv_file && (args.mac || !args.options.empty()))
        return "--from-csv takes the MAC and settings from the file; give no --mac or settings with it";
    if (!args.csv_file && !args.mac) return "give --mac MAC or --from-csv FILE";
    return {};
}

const char* PlanOutcome(SetPlanKind kind) {
    switch (kind) {
        case SetPlanKind::NotFound:
            return "not-found";
        case SetPlanKind::Locked:
            return "locked";
        case SetPlanKind::BadInput:
            return "invalid";
        case SetPlanKind::Ready:
            break;
    }
    return "invalid";
}

// Runs one device's set on an enumerated table.
DEVICE_OUTCOME SetOne(CTelvaneSocket& socket, DEVICE_TABLE& table, const MAC& mac,
                      const std::vector<SET_OPTION>& options) {
    DEVICE_OUTCOME out;
    out.mac = FormatMac(mac);
    SET_PLAN plan = PlanDeviceSet(table, mac, options);
    if (plan.kind != SetPlanKind::Ready) {
        out.outcome = PlanOutcome(plan.kind);
        out.message = plan.message;
        out.exit_code = EXIT_BAD_INPUT;
        return out;
    }
    if (!plan.form.ipv4_dhcp) out.expected_address = plan.settings.ipv4_address;

    DEVICE_INFO& device = table.entries[static_cast<std::size_t>(plan.index)];
    device.state = STATE_SET_OK;
    const SET_EXCHANGE exchange = ExchangeSetRequest(socket, table, plan.request);
    device.state = exchange.outcome;

    out.sends = exchange.sends;
    if (exchange.answered) out.result = exchange.set_result;
    if (exchange.outcome == STATE_SET_OK) {
        out.outcome = "accepted";
        out.exit_code = EXIT_ACCEPTED;
    } else if (exchange.answered) {
        out.outcome = "refused";
        out.message = exchange.set_result < 0
                          ? "the reply's checksum was wrong"
                          : "the device refused (result " + std::to_string(exchange.set_result) + ")";
    } else {
        out.outcome = "no-answer";
        out.message = "no reply after " + std::to_string(exchange.sends) + " requests";
    }
    return out;
}

// Waits as the window does after an acceptance, enumerates again and looks for each
// accepted device: found (at the static address asked for, if one was) confirms it.
void Reenumerate(CTelvaneSocket& socket, DEVICE_TABLE& table, std::vector<DEVICE_OUTCOME>& outcomes) {
    for (int i = 0; i < REENUMERATE_STEPS; ++i) PumpMessages(REENUMERATE_STEP_MS);
    EnumerateIntoTable(socket, table);
    for (DEVICE_OUTCOME& o : outcomes) {
        if (o.exit_code != EXIT_ACCEPTED) continue;
        const std::int32_t index = FindDevice(table, *ParseMac(o.mac));
        o.confirmed = index >= 0;
        if (index >= 0) {
            const IPV4& now = table.entries[static_cast<std::size_t>(index)].ipv4_address;
            o.new_address = FormatIpv4(now);
            if (o.expected_address && now != *o.expected_address) o.confirmed = false;
        }
        if (!o.confirmed) {
            o.exit_code = EXIT_FAILED;
            o.message = index < 0 ? "accepted, but not found when enumerating again"
                                  : "accepted, but enumerating again shows " + *o.new_address;
        }
    }
}

std::string ToJson(const DEVICE_OUTCOME& o, bool reenumerated) {
    std::string j = "{";
    if (o.line != 0) j += "\"line\": " + std::to_string(o.line) + ", ";
    j += "\"mac\": " + JsonString(o.mac) + ", \"outcome\": " + JsonString(o.outcome) +
         ", \"sends\": " + std::to_string(o.sends) +
         ", \"result\": " + (o.result ? std::to_string(*o.result) : std::string("null"));
    if (reenumerated && o.outcome == "accepted") {
        j += ", \"confirmed\": " + std::string(o.confirmed ? "true" : "false") +
             ", \"address\": " + (o.new_address ? JsonString(*o.new_address) : std::string("null"));
    }
    if (!o.message.empty()) j += ", \"message\": " + JsonString(o.message);
    return j + "}";
}

void PrintLine(const DEVICE_OUTCOME& o, bool reenumerated) {
    std::string text;
    if (o.line != 0) text += "line " + std::to_string(o.line) + ": ";
    text += (o.mac.empty() ? std::string("-") : o.mac) + " " + o.outcome;
    if (o.sends > 0) text += " (" + std::to_string(o.sends) + (o.sends == 1 ? " send)" : " sends)");
    if (reenumerated && o.outcome == "accepted" && o.confirmed) text += ", now at " + o.new_address.value_or("?");
    if (!o.message.empty()) text += ": " + o.message;
    std::printf("%s\n", text.c_str());
}

int Report(const std::vector<DEVICE_OUTCOME>& outcomes, bool json, bool batch, bool reenumerated) {
    int exit_code = EXIT_ACCEPTED;
    for (const DEVICE_OUTCOME& o : outcomes) exit_code = std::max(exit_code, o.exit_code);
    // A batch that ran fails with 1 whatever its rows' reasons; 2 is kept for the file itself.
    if (batch && exit_code != EXIT_ACCEPTED) exit_code = EXIT_FAILED;
    if (json && batch) {
        const auto failed = std::count_if(outcomes.begin(), outcomes.end(),
                                          [](const DEVICE_OUTCOME& o) { return o.exit_code != EXIT_ACCEPTED; });
        std::string out = "{\"failed\": " + std::to_string(failed) + ", \"devices\": [\n";
        for (std::size_t i = 0; i < outcomes.size(); ++i)
            out += "  " + ToJson(outcomes[i], reenumerated) + (i + 1 < outcomes.size() ? ",\n" : "\n");
        std::fputs((out + "]}\n").c_str(), stdout);
    } else if (json) {
        std::fputs((ToJson(outcomes.front(), reenumerated) + "\n").c_str(), stdout);
    } else {
        for (const DEVICE_OUTCOME& o : outcomes) {
            // A single device refused before anything was sent says so once, below.
            if (!batch && o.exit_code == EXIT_BAD_INPUT) continue;
            PrintLine(o, reenumerated);
        }
    }
    // Refusals also go to standard error, so that a script's log shows them.
    for (const DEVICE_OUTCOME& o : outcomes)
        if (o.exit_code == EXIT_BAD_INPUT && !batch) Fail(o.exit_code, o.message);
    return exit_code;
}

// Bad arguments: the message on standard error, and with --json the outcome on standard
// output too.
int Refuse(bool json, int code, const std::string& message) {
    if (json)
        std::printf("{\"outcome\": %s, \"message\": %s}\n", code == EXIT_BAD_INPUT ? "\"invalid\"" : "\"error\"",
                    JsonString(message).c_str());
    return Fail(code, message);
}

}  // namespace

std::string SetCommandHelp() {
    std::string text =
        "  Enumerates, starts from the device's current settings, applies the settings given,\n"
        "  checks them as the window does and sends them (at most twice, 500 ms apart).\n"
        "  Exit status: 0 accepted, 1 refused or not answered, 2 bad input, unknown or locked device.\n"
        "  --from-csv: a header row names the columns (mac, then setting names without \"--\");\n"
        "    an empty cell leaves the setting out; yes/no columns take yes or no; dns4 and dns6\n"
        "    cells hold one or two addresses. Exit status 1 when any row failed.\n"
        "  --wait-reenumerate: after an acceptance wait twelve seconds and enumerate again to\n"
        "    confirm the device's address.\n"
        "  SETTINGS:\n";
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

int RunSet(std::span<const std::string> argv) {
    SET_ARGS args;
    if (std::string error = ParseSetArgs(argv, args); !error.empty()) return Refuse(args.json, EXIT_BAD_INPUT, error);

    // Everything that can be judged without the network is judged before anything is sent.
    std::optional<MAC> mac;
    SET_BATCH batch;
    if (args.csv_file) {
        std::ifstream file(*args.csv_file, std::ios::binary);
        if (!file) return Refuse(args.json, EXIT_BAD_INPUT, "cannot read " + *args.csv_file);
        const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (file.bad()) return Refuse(args.json, EXIT_BAD_INPUT, "cannot read " + *args.csv_file);
        batch = ReadSetBatch(text);
        if (!batch.Ok())
            return Refuse(args.json, EXIT_BAD_INPUT,
                          *args.csv_file + ":" + std::to_string(batch.error_line) + ": " + batch.error);
    } else {
        mac = ParseMac(*args.mac);
        if (!mac) return Refuse(args.json, EXIT_BAD_INPUT, "\"" + *args.mac + "\" is not a MAC address");
        SET_FORM scratch;
        if (std::string error = ApplySetOptions(scratch, args.options); !error.empty())
            return Refuse(args.json, EXIT_BAD_INPUT, error);
    }

    const ADAPTER_CHOICE choice = ChooseAdapter(UsableAdapters(QueryAdapters()), args.adapter);
    if (!choice.adapter) return Refuse(args.json, choice.exit_code, choice.error);
    // Every device that answered: the one asked for may be the thousandth.
    auto table_owner = std::make_unique<DEVICE_TABLE>(UNLIMITED_DEVICES);
    DEVICE_TABLE& table = *table_owner;
    CTableIntake intake(table);
    CTelvaneSocket socket;
    if (const int code = OpenSocketOrReport(socket, *choice.adapter, &intake); code != EXIT_OK) return code;
    EnumerateIntoTable(socket, table);

    std::vector<DEVICE_OUTCOME> outcomes;
    if (!args.csv_file) {
        outcomes.push_back(SetOne(socket, table, *mac, args.options));
    } else {
        // One enumeration for the whole file: rows are set one after another from it.
        for (const SET_BATCH_ROW& row : batch.rows) {
            DEVICE_OUTCOME o;
            if (row.error.empty()) {
                o = SetOne(socket, table, *ParseMac(row.mac), row.options);
            } else {
                o.mac = row.mac;
                o.outcome = "invalid";
                o.message = row.error;
                o.exit_code = EXIT_BAD_INPUT;
            }
            o.line = row.line;
            outcomes.push_back(std::move(o));
        }
    }

    const bool any_accepted = std::any_of(outcomes.begin(), outcomes.end(),
                                          [](const DEVICE_OUTCOME& o) { return o.exit_code == EXIT_ACCEPTED; });
    const bool reenumerate = args.wait_reenumerate && any_accepted;
    if (reenumerate) Reenumerate(socket, table, outcomes);
    socket.Close();
    return Report(outcomes, args.json, args.csv_file.has_value(), reenumerate);
}

}  // namespace telvane::cli
