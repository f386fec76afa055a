#pragma once

// The nftables ruleset as `nft -j list ruleset` prints it, and a walk through it for
// one packet: whether the devices' replies reach the program. Pure: the document is
// read elsewhere, so the walk can be tested on recorded rulesets.

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace telvane {

// A reply as the firewall sees it: UDP from port DISCOVERY_PORT to one of the
// temporary ports, arriving on the interface, connection tracking state "new" (the
// request went to a broadcast address, so no tracked connection matches the reply).
struct FIREWALL_PACKET {
    std::string interface_name;
    std::uint16_t port_low = 32768;  // the system's temporary port range
    std::uint16_t port_high = 60999;
};

enum class FIREWALL_VERDICT { ACCEPT, DROP, UNKNOWN };

struct FIREWALL_FINDING {
    FIREWALL_VERDICT verdict = FIREWALL_VERDICT::UNKNOWN;
    bool no_rules = false;          // nothing hooks the input path
    std::string chain;              // "inet filter input": where it drops, or what cannot be evaluated
    std::string base_chain;         // the hooked chain whose walk gave the verdict ("family table name")
    std::string reason;             // "policy drop", "rule 4 drops them", "rule 3 depends on ip saddr"
    bool established_rule = false;  // a "ct state established" match was passed over on the way
    bool dport_rule = false;        // a rule on destination port DISCOVERY_PORT was passed over
    std::string fix_command;        // a command that lets the replies in, for DROP and UNKNOWN
};

// Walks every filter chain on the input path (ingress, prerouting, input) of the
// parsed `nft -j list ruleset` document the way the kernel would for the packet.
// Where a rule depends on something the packet does not fix (the sender's address, a
// set of unknown contents, an iptables extension), both ways are followed; when they
// end differently the verdict is UNKNOWN, naming that chain.
FIREWALL_FINDING EvaluateFirewall(const nlohmann::json& ruleset, const FIREWALL_PACKET& packet);

}  // namespace telvane
