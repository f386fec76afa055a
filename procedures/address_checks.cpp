#include "procedures/address_checks.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "protocol/text.h"

namespace telvane {

namespace {

std::uint32_t Value(const IPV4& a) {
    return (std::uint32_t{a[0]} << 24) | (std::uint32_t{a[1]} << 16) | (std::uint32_t{a[2]} << 8) | a[3];
}

IPV4 FromValue(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

// The prefix length of a mask made of leading ones, or -1 for any other mask.
int PrefixLength(const IPV4& mask) {
    const std::uint32_t m = Value(mask);
    const int ones = std::countl_one(m);
    return ones == 32 || (m << ones) == 0 ? ones : -1;
}

}  // namespace

bool InSubnet(const IPV4& address, const IPV4& subnet_address, const IPV4& mask) {
    const std::uint32_t m = Value(mask);
    return (Value(address) & m) == (Value(subnet_address) & m);
}

std::string SubnetText(const IPV4& address, const IPV4& mask) {
    const std::string network = FormatIpv4(FromValue(Value(address) & Value(mask)));
    const int prefix = PrefixLength(mask);
    return network + "/" + (prefix >= 0 ? std::to_string(prefix) : FormatIpv4(mask));
}

std::vector<MAC> SameAddressMacs(std::span<const DEVICE_INFO> devices, std::size_t index) {
    std::vector<MAC> out;
    if (index >= devices.size()) return out;
    const DEVICE_INFO& self = devices[index];
    for (const DEVICE_INFO& other : devices) {
        if (other.ipv4_address != self.ipv4_address || other.mac == self.mac) continue;
        if (std::find(out.begin(), out.end(), other.mac) == out.end()) out.push_back(other.mac);
    }
    return out;
}

std::vector<ADDRESS_CONFLICT> AddressConflictsOfEach(std::span<const DEVICE_INFO> devices, std::size_t shown) {
    // One pass into groups of distinct MACs by address, in list order. A member's others
    // are its group's first MACs less its own, so each costs at most shown + 1 steps
    // however large the group: thousands of forged replies at one address stay linear.
    struct GROUP {
        std::vector<std::size_t> first;  // indices of the first shown + 1 distinct MACs
        std::size_t macs = 0;            // distinct MACs in all
    };
    std::unordered_map<std::uint32_t, GROUP> groups;
    // Each (address, MAC) pair once; the MAC's 48 bits fill the low part of the first.
    struct PAIR_HASH {
        std::size_t operator()(const std::pair<std::uint64_t, std::uint32_t>& p) const {
            return std::hash<std::uint64_t>{}(p.first ^ (std::uint64_t{p.second} * 0x9E3779B97F4A7C15ull));
        }
    };
    std::unordered_set<std::pair<std::uint64_t, std::uint32_t>, PAIR_HASH> seen;
    seen.reserve(devices.size());
    std::vector<GROUP*> group_of(devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::uint32_t address = Value(devices[i].ipv4_address);
        // Node-based: the pointer survives the map's growth.
        GROUP& group = groups[address];
        group_of[i] = &group;
        std::uint64_t mac = 0;
        for (const std::uint8_t b : devices[i].mac) mac = (mac << 8) | b;
        if (!seen.emplace(mac, address).second) continue;
        ++group.macs;
        if (group.first.size() <= shown) group.first.push_back(i);
    }
    std::vector<ADDRESS_CONFLICT> out(devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const GROUP& group = *group_of[i];
        if (group.macs < 2) continue;
        ADDRESS_CONFLICT& conflict = out[i];
        conflict.count = group.macs - 1;
        for (const std::size_t j : group.first) {
            if (conflict.others.size() == shown) break;
            if (devices[j].mac != devices[i].mac) conflict.others.push_back(devices[j].mac);
        }
    }
    return out;
}

std::vector<std::string> NewAddressFindings(const NEW_ADDRESS& proposed, const MAC& device_mac,
                                            std::span<const DEVICE_INFO> devices,
                                            std::span<const IPV4> local_addresses) {
    std::vector<std::string> out;
    const std::string address = FormatIpv4(proposed.address);
    std::vector<std::string> users;
    for (const DEVICE_INFO& d : devices) {
        if (d.ipv4_address != proposed.address || d.mac == device_mac) continue;
        const std::string mac = FormatMac(d.mac);
        if (std::find(users.begin(), users.end(), mac) == users.end()) users.push_back(mac);
    }
    if (!users.empty()) {
        std::string names = users.front();
        for (std::size_t i = 1; i < users.size(); ++i) names += (i + 1 == users.size() ? " and " : ", ") + users[i];
        out.push_back(address + " is already used by " + names + ".");
    }
    if (std::find(local_addresses.begin(), local_addresses.end(), proposed.address) != local_addresses.end())
        out.push_back(address + " is already used by this computer.");

    const std::uint32_t a = Value(proposed.address);
    const std::uint32_t m = Value(proposed.mask);
    // In a /31 or /32 there is no network or broadcast address to hit.
    if (std::popcount(m) < 31) {
        const std::string subnet = SubnetText(proposed.address, proposed.mask);
        if ((a & ~m) == 0) out.push_back(address + " is the network address of " + subnet + ".");
        if ((a | m) == 0xFFFFFFFFu) out.push_back(address + " is the broadcast address of " + subnet + ".");
    }
    if (proposed.gateway != IPV4{} && !InSubnet(proposed.gateway, proposed.address, proposed.mask)) {
        out.push_back("The gateway " + FormatIpv4(proposed.gateway) + " is outside " +
                      SubnetText(proposed.address, proposed.mask) + ".");
    }
    return out;
}

std::string NewAddressQuestion(const std::vector<std::string>& findings) {
    std::string out;
    for (const std::string& f : findings) out += f + " ";
    return out + "Set it anyway?";
}

}  // namespace telvane
