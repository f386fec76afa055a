// telvane-cli enumerate [--adapter IPV4|INDEX | --all-adapters] [--json | --csv]
// telvane-cli enumerate --watch [--interval SECONDS] [--adapter IPV4|INDEX | --all-adapters] [--json]
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>

#include "inventory/row_text.h"
#include "net/pumped_wait.h"
#include "net/stop_signal.h"
#include "procedures/watch_events.h"
#include "protocol/messages.h"
#include "protocol/text.h"
#include "tools/cli/cli_app.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

namespace {

// One adapter's part of an enumeration: its own socket, intake and table.
struct ADAPTER_RUN {
    explicit ADAPTER_RUN(ADAPTER a)
        : adapter(std::move(a)), table(std::make_unique<DEVICE_TABLE>(UNLIMITED_DEVICES)), intake(*table) {}
    ADAPTER adapter;
    // Every device that answered, in order of arrival; the window's cap is not ours.
    std::unique_ptr<DEVICE_TABLE> table;
    CTableIntake intake;
    CTelvaneSocket socket;
};

// One enumeration on each adapter at once: a socket per adapter, each request sent on all
// of them before the one wait, so that the run takes one enumeration's time however many
// adapters there are. The devices come adapter by adapter, each in order of arrival. With
// summaries, what else each adapter heard goes to standard error, one line each (named by
// the adapter when there are several), so that the output stays what scripts parse.
std::optional<CLI_ERROR> EnumerateOn(const std::vector<ADAPTER>& adapters, std::vector<LISTED_DEVICE>& devices,
                                     bool summaries) {
    std::vector<std::unique_ptr<ADAPTER_RUN>> runs;
    for (const ADAPTER& adapter : adapters) {
        runs.push_back(std::make_unique<ADAPTER_RUN>(adapter));
        ADAPTER_RUN& run = *runs.back();
        if (auto error = OpenSocket(run.socket, run.adapter, &run.intake)) return error;
    }
    const auto request = BuildEnumerateRequest();
    for (int i = 0; i < ENUMERATE_SEND_COUNT; ++i) {
        for (const auto& run : runs) {
            if (run->socket.SendTo(request.data(), static_cast<int>(request.size()), BROADCAST_ADDRESS,
                                   DISCOVERY_PORT) < 0)
                return SendError(run->adapter, run->socket.LastSendError());
        }
        PumpMessages(ENUMERATE_WAIT_MS);
    }
    devices.clear();
    for (const auto& run : runs) {
        run->socket.Close();
        if (summaries) {
            const std::string summary = IntakeSummary(run->table->device_count, run->table->ignored);
            const std::string prefix = runs.size() > 1 ? run->adapter.ipv4_text + ": " : std::string();
            std::fprintf(stderr, "%s%s\n", prefix.c_str(), summary.c_str());
        }
        const SEGMENT segment{ParseIpv4(run->adapter.ipv4_text).value_or(IPV4{}), run->adapter.ipv4_mask};
        auto listed = ListDevices(*run->table, segment, run->adapter.ipv4_text);
        devices.insert(devices.end(), std::make_move_iterator(listed.begin()), std::make_move_iterator(listed.end()));
    }
    return std::nullopt;
}

// The adapters the line asks for: every usable one, or the one chosen.
std::optional<CLI_ERROR> Adapters(const ENUMERATE_ARGS& args, std::vector<ADAPTER>& adapters) {
    const std::vector<ADAPTER> usable = UsableAdapters(QueryAdapters(), ALL_ADAPTERS);
    if (args.all_adapters) {
        if (usable.empty()) return CLI_ERROR{"no-adapter", "Network adapter not found.", EXIT_CODE::NO_ADAPTER};
        adapters = usable;
        return std::nullopt;
    }
    const ADAPTER_CHOICE choice = ChooseAdapter(usable, args.adapter);
    if (!choice.adapter) return choice.error;
    adapters = {*choice.adapter};
    return std::nullopt;
}

// The local time now: as "2026-12-10 11:19:31", or with iso as LocalTimeWithOffset gives it.
std::string Now(bool iso) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (iso) return LocalTimeWithOffset(now, local);
    char text[64] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::vector<std::pair<std::string, std::string>> FieldValues(const DEVICE_INFO& entry) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const FIELD& f : EntryFields(entry)) out.emplace_back(f.name, f.Text());
    return out;
}

// One event, as one line: JSON, or text with the time, the event, the device and what changed.
// Both come from the event's own device, so that they always name the same one.
std::string EventLine(const WATCH_EVENT& event, bool json, bool with_adapter) {
    if (json) {
        ordered_json head;
        head["time"] = Now(true);
        head["event"] = WatchEventName(event.kind);
        std::string line = CompactJson(head);
        line.pop_back();  // the device's document, made when it was heard, goes in as it is
        line += ", \"device\": " + event.device.document;
        if (event.kind == WATCH_EVENT_KIND::CHANGED) line += ", \"fields\": " + CompactJson(event.fields);
        return line + "}\n";
    }
    const DEVICE_INFO& e = event.device.info;
    std::string text = Now(false) + "  " + WatchEventName(event.kind);
    text.resize(text.size() < 31 ? 31 : text.size(), ' ');
    text += ToUtf8(MacText(e)) + "  " + ToUtf8(IpAddressText(e)) + "  " + ToUtf8(VisibleText(ModelNameText(e))) + "  " +
            ToUtf8(VisibleText(DeviceNameText(e)));
    if (with_adapter) text += "  on " + event.device.adapter;
    if (event.kind == WATCH_EVENT_KIND::CHANGED) {
        text += ":";
        for (std::size_t i = 0; i < event.fields.size(); ++i) text += (i ? ", " : " ") + event.fields[i];
    }
    return text + "\n";
}

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    // A pipe sees each event at once.
    std::fflush(stdout);
}

// An adapter that came back from an outage with another address (a new DHCP lease) is
// found again by its hardware address.
void FindAgain(std::vector<ADAPTER>& adapters) {
    const std::vector<ADAPTER> usable = UsableAdapters(QueryAdapters(), ALL_ADAPTERS);
    for (ADAPTER& adapter : adapters) {
        if (adapter.hardware_address == MAC{}) continue;
        for (const ADAPTER& now : usable) {
            if (now.hardware_address == adapter.hardware_address) {
                adapter = now;
                break;
            }
        }
    }
}

EXIT_CODE Watch(const ENUMERATE_ARGS& args, std::vector<ADAPTER> adapters) {
    const CStopSignal stop;
    CWatchTracker tracker(FieldValues);
    std::optional<CLI_ERROR> failure;
    const auto enumerate = [&]() -> std::optional<std::vector<WATCHED_DEVICE>> {
        if (failure) FindAgain(adapters);
        std::vector<LISTED_DEVICE> devices;
        failure = EnumerateOn(adapters, devices, false);
        if (failure) return std::nullopt;
        std::vector<WATCHED_DEVICE> watched;
        watched.reserve(devices.size());
        for (const LISTED_DEVICE& d : devices) {
            watched.push_back(WATCHED_DEVICE{d.entry, args.all_adapters ? d.adapter : std::string(),
                                             CompactJson(ListedJson(d, args.all_adapters))});
        }
        return watched;
    };
    const auto print_event = [&](const WATCH_EVENT& event) {
        PrintLine(EventLine(event, args.json, args.all_adapters));
    };
    // An adapter that loses its address for a while (a DHCP renewal, a cable pulled) does not
    // end a monitor: say so, keep the devices as they were, and go on when it is back.
    const auto outage = [&](bool lost) {
        const std::string message = lost && failure ? failure->message : std::string();
        std::string names;
        for (const ADAPTER& a : adapters) names += (names.empty() ? "" : ", ") + a.ipv4_text;
        const std::string text = Now(false) + "  " + (lost ? "adapter-lost  " : "adapter-back  ") + names +
                                 (message.empty() ? "" : ": " + message) + "\n";
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
        if (!args.json) return;
        ordered_json line;
        line["time"] = Now(true);
        line["event"] = lost ? "adapter-lost" : "adapter-back";
        line["adapters"] = ordered_json::array();
        for (const ADAPTER& a : adapters) line["adapters"].push_back(a.ipv4_text);
        if (lost && failure) line["error"] = {{"code", failure->code}, {"message", failure->message}};
        PrintLine(CompactJson(line) + "\n");
    };
    const int interval_ms = static_cast<int>(args.interval_seconds * 1000);
    RunWatch(enumerate, tracker, stop, interval_ms, print_event, outage);
    return EXIT_CODE::OK;
}

}  // namespace

void AddEnumerateCommand(CLI::App& app, COMMAND_LINE& line) {
    CLI::App* command = AddCommand(app, "enumerate", "find the devices (three requests, 150 ms apart)");
    command->footer(
        "Prints the devices that answered as a table, JSON or CSV; what else was heard (datagrams ignored and "
        "why) goes to standard error.");
    auto args = std::make_shared<ENUMERATE_ARGS>();
    CLI::Option* adapter = AdapterOption(command, args->adapter);
    Flag(command, "--all-adapters", args->all_adapters,
         "every usable adapter at once; each device gets the adapter it was heard on (a device heard on two is "
         "listed twice)")
        ->excludes(adapter);
    CLI::Option* json = Flag(command, "--json", args->json, "a JSON array in table order, one object per device");
    CLI::Option* csv = Flag(command, "--csv", args->csv, "a CSV table with a header line")->excludes(json);
    // Events are lines of text or JSON; a CSV table has no place for them.
    CLI::Option* watch = Flag(command, "--watch", args->watch,
                              "enumerate again and again and print what changed, one line per event (appeared, "
                              "changed, gone after two missed enumerations); with --json one object per line. "
                              "Ctrl-C ends it (exit 0)")
                             ->excludes(csv);
    command
        ->add_option("--interval", args->interval_seconds,
                     "time between two enumerations of --watch, from 0.5 to 86400 (default 5)")
        ->option_text("SECONDS")
        ->check(CLI::Validator(
            [](std::string& text) {
                // CLI::Range only compares, and no comparison with NaN is true.
                double value = 0;
                if (CLI::detail::lexical_cast(text, value) && std::isfinite(value)) return std::string();
                return "Value " + text + " is not a finite number of seconds";
            },
            "SECONDS"))
        ->check(CLI::Range(0.5, 86400.0))
        ->needs(watch);
    command->callback([&line, command, args] {
        RefuseOptionsAsValues(*command);
        line.Choose<ENUMERATE_ARGS>(args, RunEnumerate, true);
    });
}

EXIT_CODE RunEnumerate(const ENUMERATE_ARGS& args) {
    std::vector<ADAPTER> adapters;
    if (const auto error = Adapters(args, adapters)) return ReportError(args.json, *error);
    if (args.watch) return Watch(args, adapters);
    if (const auto error = DropAdaptersDown(adapters)) return ReportError(args.json, *error);

    std::vector<LISTED_DEVICE> devices;
    if (const auto error = EnumerateOn(adapters, devices, true)) return ReportError(args.json, *error);
    const bool with_adapter = args.all_adapters;
    const std::string out = args.json  ? ListingJson(devices, with_adapter)
                            : args.csv ? ListingCsv(devices, with_adapter)
                                       : ListingText(devices, with_adapter);
    std::fputs(out.c_str(), stdout);
    return EXIT_CODE::OK;
}

}  // namespace telvane::cli
