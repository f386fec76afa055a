// The adapters as Linux lists them (getifaddrs).
#include "net/adapters_system.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace telvane {

namespace {

struct SystemAdapter {
    ADAPTER adapter;
    bool has_ipv4 = false;
};

}  // namespace

// getifaddrs lists one record per address; the hardware address comes from the
// AF_PACKET record of the same interface. The system's order is the interface index.
std::vector<ADAPTER> QuerySystemAdapters() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::map<unsigned, SystemAdapter> by_index;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_name == nullptr) continue;
        const unsigned index = if_nametoindex(a->ifa_name);
        if (index == 0) continue;
        SystemAdapter& entry = by_index[index];
        if (a->ifa_addr->sa_family == AF_PACKET) {
            sockaddr_ll link{};
            std::memcpy(&link, a->ifa_addr, sizeof link);
            if (link.sll_halen >= entry.adapter.hardware_address.size()) {
                std::copy_n(link.sll_addr, entry.adapter.hardware_address.size(),
                            entry.adapter.hardware_address.begin());
            }
        } else if (a->ifa_addr->sa_family == AF_INET && !entry.has_ipv4) {
            sockaddr_in in{};
            std::memcpy(&in, a->ifa_addr, sizeof in);
            char text[INET_ADDRSTRLEN] = {};
            if (inet_ntop(AF_INET, &in.sin_addr, text, sizeof text) != nullptr) {
                entry.adapter.ipv4_text = text;
                entry.has_ipv4 = true;
                if (a->ifa_netmask != nullptr && a->ifa_netmask->sa_family == AF_INET) {
                    sockaddr_in mask{};
                    std::memcpy(&mask, a->ifa_netmask, sizeof mask);
                    std::memcpy(entry.adapter.ipv4_mask.data(), &mask.sin_addr, entry.adapter.ipv4_mask.size());
                }
            }
        }
    }
    freeifaddrs(list);
    std::vector<ADAPTER> out;
    out.reserve(by_index.size());
    for (auto& [index, entry] : by_index) out.push_back(entry.adapter);
    return out;
}

}  // namespace telvane
