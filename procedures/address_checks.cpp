#include "procedures/address_checks.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "protocol/text.h"
#include "protocol/wire.h"

namespace telvane {

namespace {

// The prefix length of a mask made of leading ones, or -1 for any other mask.
int PrefixLength(const IPV4& mask) {
    const std::uint32_t m = Ipv4HostOrder(mask);
    const int ones = std::countl_one(m);
    return ones == 32 || (m << ones) == 0 ? ones : -1;
}

}  // namespace

bool InSubnet(const IPV4& address, const IPV4& subnet_address, const IPV4& mask) {
    const std::uint32_t m = Ipv4HostOrder(mask);
    return (Ipv4HostOrder(address) & m) == (Ipv4HostOrder(subnet_address) & m);
}

std::string SubnetText(const IPV4& address, const IPV4& mask) {
    const std::string network = FormatIpv4(Ipv4FromHostOrder(Ipv4HostOrder(address) & Ipv4HostOrder(mask)));
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
    // Sorted by address, MAC and list position rather than hashed: the replies' bytes are
    // chosen by whoever sends them, and no choice of them can pile them into one bucket.
    // A member's others are its group's first MACs less its own, so each costs at most
    // shown + 1 steps however large the group.
    std::vector<std::size_t> order(devices.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const std::uint32_t va = Ipv4HostOrder(devices[a].ipv4_address);
        const std::uint32_t vb = Ipv4HostOrder(devices[b].ipv4_address);
        if (va != vb) return va < vb;
        if (devices[a].mac != devices[b].mac) return devices[a].mac < devices[b].mac;
        return a < b;
    });
    std::vector<ADDRESS_CONFLICT> out(devices.size());
    std::vector<std::size_t> firsts;  // the list position of each distinct MAC of one group
    for (std::size_t begin = 0; begin < order.size();) {
        const IPV4& address = devices[order[begin]].ipv4_address;
        std::size_t end = begin;
        firsts.clear();
        for (; end < order.size() && devices[order[end]].ipv4_address == address; ++end) {
            if (end == begin || devices[order[end]].mac != devices[order[end - 1]].mac) firsts.push_back(order[end]);
        }
        if (firsts.size() > 1) {
            const std::size_t others = firsts.size() - 1;
            // The group's first shown + 1 MACs in list order: enough for any member.
            const std::size_t keep = std::min(firsts.size(), shown + 1);
            std::nth_element(firsts.begin(), firsts.begin() + static_cast<std::ptrdiff_t>(keep - 1), firsts.end());
            firsts.resize(keep);
            std::sort(firsts.begin(), firsts.end());
            for (std::size_t k = begin; k < end; ++k) {
                ADDRESS_CONFLICT& conflict = out[order[k]];
                conflict.count = others;
                const MAC& own = devices[order[k]].mac;
                for (const std::size_t j : firsts) {
                    if (conflict.others.size() == shown) break;
                    if (devices[j].mac != own) conflict.others.push_back(devices[j].mac);
                }
            }
        }
        begin = end;
    }
    return out;
}

std::vector<std::string> NewAddressFindings(const NEW_ADDRESS& proposed, const MAC& device_mac,
                                            std::span<const DEVICE_INFO> devices,
                                            std::span<const IPV4> local_addresses) {
    std::vector<std::string> out;
    const std::string address = FormatIpv4(proposed.address);
    // The other MACs at the address, each once in list order: sorted rather than searched,
    // since the command line's table holds as many as answered.
    std::vector<std::pair<MAC, std::size_t>> users;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].ipv4_address == proposed.address && devices[i].mac != device_mac)
            users.emplace_back(devices[i].mac, i);
    }
    std::sort(users.begin(), users.end());
    users.erase(
        std::unique(users.begin(), users.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
        users.end());
    std::sort(users.begin(), users.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    if (!users.empty()) {
        // A crowd is named by its first few and counted.
        const std::size_t named = users.size() > ADDRESS_CONFLICT_SHOWN ? ADDRESS_CONFLICT_SHOWN : users.size();
        std::string names = FormatMac(users.front().first);
        for (std::size_t i = 1; i < named; ++i)
            names += (i + 1 == users.size() ? " and " : ", ") + FormatMac(users[i].first);
        if (named < users.size()) names += " and " + std::to_string(users.size() - named) + " more";
        out.push_back(address + " is already used by " + names + ".");
    }
    if (std::find(local_addresses.begin(), local_addresses.end(), proposed.address) != local_addresses.end())
        out.push_back(address + " is already used by this computer.");

    const std::uint32_t a = Ipv4HostOrder(proposed.address);
    const std::uint32_t m = Ipv4HostOrder(proposed.mask);
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
