// telvane-cli doctor [--adapter IPV4|INDEX] [--json]
#include <cstdio>
#include <memory>

#include "diagnostics/doctor.h"
#include "tools/cli/cli_app.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/commands.h"

namespace telvane::cli {

namespace {

// The one enumeration of the probe: what answered and what was ignored.
PROBE_FACTS Probe(const ADAPTER& adapter) {
    PROBE_FACTS facts;
    facts.adapter_ipv4 = adapter.ipv4_text;
    auto table = std::make_unique<DEVICE_TABLE>(UNLIMITED_DEVICES);
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    if (OpenSocket(socket, adapter, &intake)) return facts;
    facts.socket_opened = true;
    if (const auto failure = EnumerateIntoTable(socket, *table)) facts.send_error = failure->reason;
    socket.Close();
    facts.device_count = table->device_count;
    for (std::size_t r = 0; r < DROP_REASON_COUNT; ++r) {
        facts.ignored.emplace_back(DropReasonText(static_cast<DROP_REASON>(r)), table->ignored.dropped[r]);
    }
    facts.kernel_drops = table->ignored.lost_in_system;
    return facts;
}

}  // namespace

void AddDoctorCommand(CLI::App& app, COMMAND_LINE& line) {
    CLI::App* command = AddCommand(app, "doctor", "check why devices may not be found on an adapter");
    command->footer(
        "Checks why devices may not be found on an adapter: adapters (the usable ones and why others are not), "
        "firewall (whether the nftables ruleset lets the replies in), rp_filter (strict reverse-path filtering), "
        "same_subnet (other adapters on the adapter's subnet), probe (one enumeration: devices found, datagrams "
        "ignored). Each is ok, warn, fail or unknown, with what was found and a fix. Only the probe sends.");
    auto args = std::make_shared<DOCTOR_ARGS>();
    AdapterOption(command, args->adapter);
    Flag(command, "--json", args->json,
         "the report as one JSON object: {\"adapter\": ..., \"checks\": [{\"id\", \"status\", \"detail\", "
         "\"fix\"}]}");
    command->callback([&line, command, args] {
        RefuseOptionsAsValues(*command);
        line.Choose<DOCTOR_ARGS>(args, RunDoctor, true);
    });
}

EXIT_CODE RunDoctor(const DOCTOR_ARGS& args) {
    const std::vector<ADAPTER> usable = UsableAdapters(QueryAdapters(), ALL_ADAPTERS);
    std::optional<ADAPTER> adapter;
    // Without any usable adapter the report says why; an adapter asked for must exist.
    if (!usable.empty() || args.adapter) {
        const ADAPTER_CHOICE choice = ChooseAdapter(usable, args.adapter);
        if (!choice.adapter) return ReportError(args.json, *choice.error);
        adapter = choice.adapter;
    }
    const DOCTOR_REPORT report =
        RunDoctorChecks(usable, adapter ? adapter->ipv4_text : std::string(), [&adapter] { return Probe(*adapter); });
    const std::string out = args.json ? CompactJson(DoctorReportJson(report)) + "\n" : DoctorReportText(report);
    std::fputs(out.c_str(), stdout);
    return DoctorExitCode(report.checks) == 0 ? EXIT_CODE::OK : EXIT_CODE::DOCTOR;
}

}  // namespace telvane::cli
