#include "diagnostics/doctor.h"

#include <algorithm>

#include "protocol/text.h"

namespace telvane {

namespace {

DOCTOR_CHECK NoAdapter(const char* id) {
    return {id, CHECK_STATUS::UNKNOWN, "no usable adapter to check", ""};
}

}  // namespace

DOCTOR_REPORT RunDoctorChecks(const std::vector<ADAPTER>& usable, const std::string& adapter_ipv4,
                              const std::function<PROBE_FACTS()>& probe, const DOCTOR_SOURCES& sources) {
    DOCTOR_REPORT report;
    report.adapter = adapter_ipv4;
    const std::vector<INTERFACE_STATE> interfaces = sources.interfaces();
    const auto parsed = ParseIpv4(adapter_ipv4);
    for (const INTERFACE_STATE& i : interfaces) {
        const bool holds = parsed && std::any_of(i.ipv4.begin(), i.ipv4.end(),
                                                 [&](const IPV4_INTERFACE_ADDRESS& a) { return a.address == *parsed; });
        if (holds) {
            report.interface_name = i.name;
            break;
        }
    }

    report.checks.push_back(CheckAdapters(interfaces, usable, adapter_ipv4, sources.system));
    if (adapter_ipv4.empty()) {
        for (const char* id : {"firewall", "rp_filter", "same_subnet", "probe"}) report.checks.push_back(NoAdapter(id));
        return report;
    }
    if (sources.system == HOST_SYSTEM::WINDOWS) {
        report.checks.push_back(CheckWindowsFirewall());
        report.checks.push_back(CheckWindowsRpFilter());
    } else {
        const auto [port_low, port_high] = sources.port_range();
        report.checks.push_back(
            CheckFirewall(sources.ruleset(), FIREWALL_PACKET{report.interface_name, port_low, port_high}));
        report.checks.push_back(CheckRpFilter(report.interface_name, sources.ipv4_setting("all", "rp_filter"),
                                              sources.ipv4_setting(report.interface_name, "rp_filter")));
    }
    report.checks.push_back(CheckSameSubnet(interfaces, adapter_ipv4, sources.system));
    report.checks.push_back(CheckProbe(probe()));
    return report;
}

nlohmann::ordered_json DoctorReportJson(const DOCTOR_REPORT& report) {
    nlohmann::ordered_json out;
    out["adapter"] = report.adapter;
    out["checks"] = nlohmann::ordered_json::array();
    for (const DOCTOR_CHECK& c : report.checks) {
        nlohmann::ordered_json check;
        check["id"] = c.id;
        check["status"] = CheckStatusName(c.status);
        check["detail"] = c.detail;
        check["fix"] = c.fix;
        out["checks"].push_back(std::move(check));
    }
    return out;
}

std::string DoctorReportText(const DOCTOR_REPORT& report) {
    std::string out = report.adapter.empty()
                          ? std::string("No usable adapter\n")
                          : "Adapter " + report.adapter +
                                (report.interface_name.empty() ? "" : " (" + report.interface_name + ")") + "\n";
    std::size_t id_width = 0;
    for (const DOCTOR_CHECK& c : report.checks) id_width = std::max(id_width, c.id.size());
    for (const DOCTOR_CHECK& c : report.checks) {
        std::string status = CheckStatusName(c.status);
        status.resize(9, ' ');
        std::string id = c.id;
        id.resize(id_width + 2, ' ');
        out += status + id + c.detail + "\n";
        if (!c.fix.empty()) out += std::string(9 + id_width + 2, ' ') + "fix: " + c.fix + "\n";
    }
    return out;
}

}  // namespace telvane
