#pragma once

// The doctor's whole run: gathers this computer's facts for the chosen adapter, runs
// the checks in their order (adapters, firewall, rp_filter, same_subnet, probe) and
// gives the report as text or JSON. The probe (one enumeration, the only thing sent)
// is the caller's, so this stays free of sockets.

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "diagnostics/doctor_checks.h"

namespace telvane {

struct DOCTOR_REPORT {
    std::string adapter;         // the chosen adapter's IPv4 text; empty when none is usable
    std::string interface_name;  // its interface; empty when no interface holds it
    std::vector<DOCTOR_CHECK> checks;
};

// The facts the checks look at; the defaults read them from this system. On Windows the
// firewall and reverse-path checks read nothing (ruleset and ipv4_setting are not called).
struct DOCTOR_SOURCES {
    HOST_SYSTEM system = ThisHostSystem();
    std::function<std::vector<INTERFACE_STATE>()> interfaces = QueryInterfaceStates;
    std::function<std::optional<int>(const std::string&, const std::string&)> ipv4_setting = ReadIpv4ConfSetting;
    std::function<std::pair<std::uint16_t, std::uint16_t>()> port_range = ReadLocalPortRange;
    // nft by its own path: the doctor is run as root to read the ruleset.
    std::function<PROGRAM_RESULT()> ruleset = [] {
        return RunProgram({FirstExecutable({"/usr/sbin/nft", "/sbin/nft"}), "-j", "list", "ruleset"}, 5000);
    };
};

// usable: the adapters the program offers; adapter_ipv4: the chosen one (empty: none
// usable, and the checks that need an adapter say so). probe runs the one enumeration.
DOCTOR_REPORT RunDoctorChecks(const std::vector<ADAPTER>& usable, const std::string& adapter_ipv4,
                              const std::function<PROBE_FACTS()>& probe, const DOCTOR_SOURCES& sources = {});

// {"adapter": "...", "checks": [{"id": ..., "status": ..., "detail": ..., "fix": ...}]}
nlohmann::ordered_json DoctorReportJson(const DOCTOR_REPORT& report);

// A heading line, then per check "status  id  detail" and, when there is one, an
// indented "fix: ..." line.
std::string DoctorReportText(const DOCTOR_REPORT& report);

}  // namespace telvane
