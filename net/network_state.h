#pragma once

// Facts about this computer's network set-up that the diagnostics judge: the state of
// each interface, kernel settings read from /proc/sys, and the output of a system
// program (the firewall's ruleset). No Qt; nothing here sends a datagram.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/wire.h"

namespace telvane {

struct IPV4_INTERFACE_ADDRESS {
    IPV4 address{};
    int prefix_length = 0;
};

struct INTERFACE_STATE {
    std::string name;
    unsigned index = 0;
    bool up = false;       // administratively up
    bool carrier = false;  // the link below is up
    bool loopback = false;
    MAC hardware_address{};                    // all zero when the interface has none
    std::vector<IPV4_INTERFACE_ADDRESS> ipv4;  // in the system's order
};

// The kind of system the diagnostics advise on: which firewall it has, whether it
// filters by reverse path, and the commands that change them.
enum class HOST_SYSTEM { LINUX, WINDOWS };
HOST_SYSTEM ThisHostSystem();

// Every interface, in index order (the order the adapter list uses).
std::vector<INTERFACE_STATE> QueryInterfaceStates();

// One IPv4 setting of an interface (or of "all"), e.g. ("all", "rp_filter") reads
// /proc/sys/net/ipv4/conf/all/rp_filter. Nothing when it cannot be read or is not a number.
[[nodiscard]] std::optional<int> ReadIpv4ConfSetting(const std::string& interface_name, const std::string& key);

// The range the system picks temporary ports from (net.ipv4.ip_local_port_range);
// the system's default when it cannot be read.
std::pair<std::uint16_t, std::uint16_t> ReadLocalPortRange();

struct PROGRAM_RESULT {
    bool started = false;    // false: the program could not be run (not installed, not executable)
    bool timed_out = false;  // it was stopped after the time allowed
    int exit_code = -1;      // its exit status; -1 when it did not exit normally
    std::string output;      // standard output
    std::string errors;      // standard error
};

// The first of the paths that names a program this process may run; the first path
// when none does (running it then fails as "not installed"). For programs run with
// privileges: a search of PATH could find another program first.
std::string FirstExecutable(const std::vector<std::string>& paths);

// Runs argv[0] (looked up in PATH) with the arguments given, without a shell, and
// collects its output. Standard input is /dev/null. After timeout_ms the program is killed.
[[nodiscard]] PROGRAM_RESULT RunProgram(const std::vector<std::string>& argv, int timeout_ms);

}  // namespace telvane
