#pragma once

// The checks of `telvane-cli doctor`: pure judgements over facts gathered elsewhere
// (network_state, the adapter list, one enumeration), so each can be tested with any
// set of facts. No Qt; nothing here touches the system.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/nft_ruleset.h"
#include "net/adapters.h"
#include "net/network_state.h"

namespace telvane {

enum class CHECK_STATUS { OK, WARN, FAIL, UNKNOWN };
// "ok", "warn", "fail", "unknown"
const char* CheckStatusName(CHECK_STATUS status);

struct DOCTOR_CHECK {
    std::string id;  // "adapters", "firewall", "rp_filter", "same_subnet", "probe"
    CHECK_STATUS status = CHECK_STATUS::UNKNOWN;
    std::string detail;  // one line: what was found
    std::string fix;     // one line: what to do; empty when there is nothing to do
};

// 0 when no check warns or fails (unknown does not count), else 5.
int DoctorExitCode(const std::vector<DOCTOR_CHECK>& checks);

// The usable adapters (as the program offers them) with their interface, hardware
// address and link state, and why each other interface is not usable. Fails when
// nothing is usable, or when the chosen adapter (its IPv4 text; empty: none chosen)
// is down or has no carrier.
// The fix for a switched-off adapter is worded for the system.
DOCTOR_CHECK CheckAdapters(const std::vector<INTERFACE_STATE>& interfaces, const std::vector<ADAPTER>& usable,
                           const std::string& chosen_ipv4, HOST_SYSTEM system = HOST_SYSTEM::LINUX);

// Reverse-path filtering on the adapter: the higher of `all` and the adapter's own
// setting counts; strict (1) warns, since replies from devices whose address is in
// another subnet are dropped. Unknown when a setting could not be read.
DOCTOR_CHECK CheckRpFilter(const std::string& interface_name, std::optional<int> all_setting,
                           std::optional<int> interface_setting);

// On Windows: no reverse-path filter drops replies by their sender's subnet.
DOCTOR_CHECK CheckWindowsRpFilter();

// Other interfaces holding an address in the chosen adapter's subnet, and where
// replies may then arrive. Ok once the chosen address is found, except on Windows,
// which drops replies to the chosen address that arrive on another of them.
DOCTOR_CHECK CheckSameSubnet(const std::vector<INTERFACE_STATE>& interfaces, const std::string& chosen_ipv4,
                             HOST_SYSTEM system = HOST_SYSTEM::LINUX);

// The firewall check from the output of `nft -j list ruleset`.
DOCTOR_CHECK CheckFirewall(const PROGRAM_RESULT& nft, const FIREWALL_PACKET& packet);

// On Windows the firewall's rules are not read: unknown, with how to let the replies in.
DOCTOR_CHECK CheckWindowsFirewall();

struct PROBE_FACTS {
    std::string adapter_ipv4;
    bool socket_opened = false;
    std::int64_t device_count = 0;
    // Ignored datagrams by reason, in the order to show; zero counts are left out.
    std::vector<std::pair<std::string, std::uint64_t>> ignored;
    std::uint64_t kernel_drops = 0;  // datagrams the system dropped before they were read
    std::string send_error;          // the system's reason when a request could not be sent
};

// One enumeration's result: warns when nothing answered or the system dropped
// datagrams, fails when the socket could not be opened or a request not sent.
DOCTOR_CHECK CheckProbe(const PROBE_FACTS& facts);

}  // namespace telvane
