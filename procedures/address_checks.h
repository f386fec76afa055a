#pragma once

// What an address means on this segment: whether a device is in the adapter's subnet,
// which listed devices share an address, and what a new static address would break.
// The window and the command line show the same findings in the same words. No Qt.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "inventory/device_info.h"

namespace telvane {

// True when address lies in the subnet of subnet_address with mask.
bool InSubnet(const IPV4& address, const IPV4& subnet_address, const IPV4& mask);

// "192.0.2.0/24"; a mask that is not a run of leading ones is written out
// ("10.0.0.0/255.0.255.0").
std::string SubnetText(const IPV4& address, const IPV4& mask);

// The MACs of the other devices listed with the IPv4 address of devices[index] and
// another MAC, in list order, each once.
std::vector<MAC> SameAddressMacs(std::span<const DEVICE_INFO> devices, std::size_t index);

// How many other MACs a listing names under each device that shares its address: a
// forged flood of thousands at one address must not make every member repeat the group.
inline constexpr std::size_t ADDRESS_CONFLICT_SHOWN = 8;

// The other devices with a device's IPv4 address: the first `shown` of them (as
// SameAddressMacs orders them) and how many there are in all.
struct ADDRESS_CONFLICT {
    std::vector<MAC> others;
    std::size_t count = 0;
};

// ADDRESS_CONFLICT for every index at once, in n log n time and linear space (at most
// `shown` MACs each), whatever the devices hold: for the command line's listings, which
// have no cap.
std::vector<ADDRESS_CONFLICT> AddressConflictsOfEach(std::span<const DEVICE_INFO> devices,
                                                     std::size_t shown = ADDRESS_CONFLICT_SHOWN);

// A new static IPv4 configuration for one device, and what it is checked against.
struct NEW_ADDRESS {
    IPV4 address{};
    IPV4 mask{};
    IPV4 gateway{};  // 0.0.0.0: none
};

// What the new configuration of the device with device_mac would break, one sentence
// each, in this order: the address already used by another listed device (named by
// its MAC, the first ADDRESS_CONFLICT_SHOWN of many and how many more) or by this
// computer (one of local_addresses); the address being its
// subnet's network or broadcast address (masks shorter than /31); the gateway outside
// the new subnet. Empty when nothing is found.
std::vector<std::string> NewAddressFindings(const NEW_ADDRESS& proposed, const MAC& device_mac,
                                            std::span<const DEVICE_INFO> devices,
                                            std::span<const IPV4> local_addresses);

// The findings as one question: "<findings> Set it anyway?"
std::string NewAddressQuestion(const std::vector<std::string>& findings);

}  // namespace telvane
