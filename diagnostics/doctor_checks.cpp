#include "diagnostics/doctor_checks.h"

#include <algorithm>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "procedures/address_checks.h"
#include "protocol/text.h"
#include "protocol/wire.h"

namespace telvane {

namespace {

using nlohmann::json;

bool AllZero(const MAC& mac) {
    return std::all_of(mac.begin(), mac.end(), [](std::uint8_t b) { return b == 0; });
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
    return out;
}

// The interface and address holding the chosen IPv4 text.
std::optional<std::pair<const INTERFACE_STATE*, IPV4_INTERFACE_ADDRESS>> FindAddress(
    const std::vector<INTERFACE_STATE>& interfaces, const std::string& ipv4) {
    const auto wanted = ParseIpv4(ipv4);
    if (!wanted) return std::nullopt;
    for (const INTERFACE_STATE& i : interfaces) {
        for (const IPV4_INTERFACE_ADDRESS& a : i.ipv4) {
            if (a.address == *wanted) return std::make_pair(&i, a);
        }
    }
    return std::nullopt;
}

std::string FirstLine(const std::string& text) {
    const auto end = text.find('\n');
    return text.substr(0, end);
}

}  // namespace

const char* CheckStatusName(CHECK_STATUS status) {
    switch (status) {
        case CHECK_STATUS::OK:
            return "ok";
        case CHECK_STATUS::WARN:
            return "warn";
        case CHECK_STATUS::FAIL:
            return "fail";
        case CHECK_STATUS::UNKNOWN:
            return "unknown";
    }
    return "unknown";
}

int DoctorExitCode(const std::vector<DOCTOR_CHECK>& checks) {
    const bool bad = std::any_of(checks.begin(), checks.end(), [](const DOCTOR_CHECK& c) {
        return c.status == CHECK_STATUS::WARN || c.status == CHECK_STATUS::FAIL;
    });
    return bad ? 5 : 0;
}

DOCTOR_CHECK CheckAdapters(const std::vector<INTERFACE_STATE>& interfaces, const std::vector<ADAPTER>& usable,
                           const std::string& chosen_ipv4, HOST_SYSTEM system) {
    DOCTOR_CHECK check{"adapters", CHECK_STATUS::OK, {}, {}};
    std::vector<std::string> usable_texts;
    std::vector<std::string> other_texts;
    const INTERFACE_STATE* chosen = nullptr;
    for (const INTERFACE_STATE& i : interfaces) {
        const std::string first_ipv4 = i.ipv4.empty() ? std::string() : FormatIpv4(i.ipv4.front().address);
        const bool is_usable = std::any_of(usable.begin(), usable.end(), [&](const ADAPTER& a) {
            return a.ipv4_text == first_ipv4 && a.hardware_address == i.hardware_address;
        });
        if (is_usable) {
            std::string text = first_ipv4 + " (" + i.name + ", " + FormatMac(i.hardware_address);
            text += i.up ? ", up" : ", down";
            text += i.carrier ? ", carrier)" : ", no carrier)";
            usable_texts.push_back(text);
            if (first_ipv4 == chosen_ipv4) chosen = &i;
            continue;
        }
        std::string why;
        if (i.ipv4.empty()) {
            why = "no IPv4 address";
        } else if (AllZero(i.hardware_address)) {
            why = "no hardware address";
        } else {
            why = "only the first " + std::to_string(MAX_ADAPTERS) + " adapters are offered";
        }
        other_texts.push_back(i.name + " (" + why + ")");
    }
    check.detail = "usable: " + (usable_texts.empty() ? std::string("none") : Join(usable_texts, ", "));
    if (!other_texts.empty()) check.detail += "; not usable: " + Join(other_texts, ", ");
    if (usable_texts.empty()) {
        check.status = CHECK_STATUS::FAIL;
        check.fix = "connect an adapter to the devices' segment and give it an IPv4 address";
    } else if (chosen != nullptr && !chosen->up) {
        check.status = CHECK_STATUS::FAIL;
        check.fix = system == HOST_SYSTEM::WINDOWS
                        ? "enable " + chosen->name + " in Network Connections (ncpa.cpl)"
                        : "bring " + chosen->name + " up: ip link set " + chosen->name + " up";
    } else if (chosen != nullptr && !chosen->carrier) {
        check.status = CHECK_STATUS::FAIL;
        check.fix = "connect " + chosen->name + " to the devices' segment (it has no link)";
    }
    return check;
}

DOCTOR_CHECK CheckRpFilter(const std::string& interface_name, std::optional<int> all_setting,
                           std::optional<int> interface_setting) {
    DOCTOR_CHECK check{"rp_filter", CHECK_STATUS::OK, {}, {}};
    const auto Text = [](std::optional<int> v) { return v ? std::to_string(*v) : std::string("unreadable"); };
    const std::string settings = "all " + Text(all_setting) + ", " + interface_name + " " + Text(interface_setting);
    if (all_setting == 1 || interface_setting == 1) {
        const int other = all_setting == 1 ? interface_setting.value_or(0) : all_setting.value_or(0);
        if (other < 2) {
            check.status = CHECK_STATUS::WARN;
            check.detail = "strict reverse-path filtering on " + interface_name + " (" + settings +
                           "): replies from devices with an address in another subnet are dropped";
            // The higher value counts, so loose on the adapter is enough whatever `all` says.
            check.fix = "use loose filtering: sysctl -w net.ipv4.conf." + interface_name + ".rp_filter=2";
            return check;
        }
    }
    if (!all_setting || !interface_setting) {
        check.status = CHECK_STATUS::UNKNOWN;
        check.detail = "cannot read reverse-path filtering for " + interface_name + " (" + settings + ")";
        check.fix = "read net.ipv4.conf.all.rp_filter and net.ipv4.conf." + interface_name +
                    ".rp_filter with sysctl; 1 drops replies from other subnets";
        return check;
    }
    const int effective = std::max(*all_setting, *interface_setting);
    check.detail = "reverse-path filtering on " + interface_name + " is " + (effective == 0 ? "off" : "loose") + " (" +
                   settings + ")";
    return check;
}

DOCTOR_CHECK CheckWindowsRpFilter() {
    return {"rp_filter", CHECK_STATUS::OK,
            "Windows has no reverse-path filtering: replies from devices in another subnet are not dropped for it", ""};
}

DOCTOR_CHECK CheckSameSubnet(const std::vector<INTERFACE_STATE>& interfaces, const std::string& chosen_ipv4,
                             HOST_SYSTEM system) {
    DOCTOR_CHECK check{"same_subnet", CHECK_STATUS::OK, {}, {}};
    const auto found = FindAddress(interfaces, chosen_ipv4);
    if (!found) {
        check.status = CHECK_STATUS::UNKNOWN;
        check.detail = "no interface holds " + chosen_ipv4;
        return check;
    }
    const auto& [own, own_address] = *found;
    const std::uint32_t own_mask = PrefixMask(own_address.prefix_length);
    const std::uint32_t own_network = Ipv4HostOrder(own_address.address) & own_mask;
    std::vector<std::string> sharing;
    std::vector<std::string> links = {own->name};
    std::vector<std::string> weak_host_commands;
    for (const INTERFACE_STATE& i : interfaces) {
        if (i.index == own->index) continue;
        for (const IPV4_INTERFACE_ADDRESS& a : i.ipv4) {
            const std::uint32_t mask = PrefixMask(std::min(a.prefix_length, own_address.prefix_length));
            if ((Ipv4HostOrder(a.address) & mask) != (own_network & mask)) continue;
            sharing.push_back(i.name + " (" + FormatIpv4(a.address) + ")");
            links.push_back(i.name);
            weak_host_commands.push_back("netsh interface ipv4 set interface \"" + i.name +
                                         "\" weakhostreceive=enabled");
            break;
        }
    }
    const std::string subnet =
        SubnetText(own_address.address, Ipv4FromHostOrder(PrefixMask(own_address.prefix_length)));
    if (sharing.empty()) {
        check.detail = "no other adapter is on " + subnet + "; replies arrive on " + own->name;
        return check;
    }
    if (system == HOST_SYSTEM::WINDOWS) {
        // Windows takes a datagram in only on the interface that holds its destination
        // address (the strong host model), unless that interface is told otherwise.
        check.status = CHECK_STATUS::WARN;
        check.detail = own->name + " shares " + subnet + " with " + Join(sharing, ", ") +
                       ": Windows drops replies to " + chosen_ipv4 + " that arrive on " +
                       Join(std::vector<std::string>(links.begin() + 1, links.end()), " or ") +
                       ", so devices that reach this computer over that link are not found";
        check.fix = "as administrator: " + Join(weak_host_commands, " and ") + "; or disconnect all but one of them";
        return check;
    }
    check.detail = own->name + " shares " + subnet + " with " + Join(sharing, ", ") + ": replies to " + chosen_ipv4 +
                   " may arrive on " + Join(links, " or ") + " and are taken in on either; replies sent to a " +
                   "broadcast address count only on " + own->name;
    return check;
}

DOCTOR_CHECK CheckFirewall(const PROGRAM_RESULT& nft, const FIREWALL_PACKET& packet) {
    DOCTOR_CHECK check{"firewall", CHECK_STATUS::UNKNOWN, {}, {}};
    if (!nft.started) {
        check.detail = "cannot read the firewall rules: nft is not installed";
        check.fix = "install nftables (it reads the rules that iptables writes too) and run doctor again";
        return check;
    }
    if (nft.timed_out || nft.exit_code != 0) {
        const std::string said = FirstLine(nft.errors);
        check.detail = "cannot read the firewall rules: nft " + (nft.timed_out  ? std::string("did not finish")
                                                                 : said.empty() ? "failed"
                                                                                : said);
        check.fix = "run doctor as root (sudo telvane-cli doctor) so that it can read them";
        return check;
    }
    const json document = json::parse(nft.output, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        check.detail = "cannot read the firewall rules: nft's output is not the JSON expected";
        check.fix = "look at the rules with nft list ruleset";
        return check;
    }
    const FIREWALL_FINDING f = EvaluateFirewall(document, packet);
    const std::string replies =
        "UDP datagrams from port " + std::to_string(DISCOVERY_PORT) + " on " + packet.interface_name;
    switch (f.verdict) {
        case FIREWALL_VERDICT::ACCEPT:
            check.status = CHECK_STATUS::OK;
            check.detail = f.no_rules ? "no firewall rules on the input path" : f.chain + " let " + replies + " in";
            break;
        case FIREWALL_VERDICT::DROP:
            check.status = CHECK_STATUS::FAIL;
            check.detail = f.chain + " drops " + replies + " (" + f.reason + ")";
            if (f.established_rule) {
                check.detail += "; \"ct state established,related\" does not match replies to a broadcast";
            }
            if (f.dport_rule) {
                check.detail += "; a rule on destination port " + std::to_string(DISCOVERY_PORT) +
                                " does not match replies, which come from that port";
            }
            check.fix = f.fix_command;
            break;
        case FIREWALL_VERDICT::UNKNOWN:
            check.detail = "cannot tell whether " + f.base_chain + " lets " + replies + " in: " + f.reason +
                           " in chain " + f.chain;
            check.fix = "make sure they are accepted: " + f.fix_command;
            break;
    }
    return check;
}

DOCTOR_CHECK CheckWindowsFirewall() {
    const std::string port = std::to_string(DISCOVERY_PORT);
    // A program the user refused at the firewall's first question gets block rules, and
    // on Windows a block rule wins over any allow rule: so the program's own entry first.
    return {"firewall", CHECK_STATUS::UNKNOWN,
            "Windows Defender Firewall's rules are not read; it drops the replies (UDP from port " + port +
                ") when this program was refused network access",
            "allow telvane and telvane-cli under \"Allow an app through Windows Defender Firewall\", or as "
            "administrator: netsh advfirewall firewall add rule name=Telvane dir=in action=allow protocol=UDP "
            "remoteport=" +
                port};
}

DOCTOR_CHECK CheckProbe(const PROBE_FACTS& facts) {
    DOCTOR_CHECK check{"probe", CHECK_STATUS::OK, {}, {}};
    if (!facts.socket_opened) {
        check.status = CHECK_STATUS::FAIL;
        check.detail = "cannot open a UDP socket on " + facts.adapter_ipv4;
        check.fix = "check that " + facts.adapter_ipv4 + " is still this computer's address";
        return check;
    }
    if (!facts.send_error.empty()) {
        check.status = CHECK_STATUS::FAIL;
        check.detail = "cannot send the enumerate request on " + facts.adapter_ipv4 + ": " + facts.send_error;
        check.fix = "check that the adapter is up and connected (see the adapter check above)";
        return check;
    }
    std::uint64_t ignored_total = 0;
    std::vector<std::string> reasons;
    for (const auto& [reason, count] : facts.ignored) {
        if (count == 0) continue;
        ignored_total += count;
        reasons.push_back(std::to_string(count) + " " + reason);
    }
    check.detail = std::to_string(facts.device_count) + (facts.device_count == 1 ? " device" : " devices") +
                   " answered on " + facts.adapter_ipv4;
    if (ignored_total > 0) {
        check.detail += "; ignored " + std::to_string(ignored_total) +
                        (ignored_total == 1 ? " datagram: " : " datagrams: ") + Join(reasons, ", ");
    }
    if (facts.kernel_drops > 0) {
        check.detail += "; " + std::to_string(facts.kernel_drops) +
                        (facts.kernel_drops == 1 ? " datagram" : " datagrams") + " lost in the system's receive queue";
    }
    if (facts.device_count == 0) {
        check.status = CHECK_STATUS::WARN;
        check.fix =
            "check the cable and that the devices are on this adapter's segment; the checks above name "
            "what can hide their replies";
    } else if (facts.kernel_drops > 0) {
        check.status = CHECK_STATUS::WARN;
        check.fix = "more replies came at once than the socket could hold; enumerate again";
    }
    return check;
}

}  // namespace telvane
