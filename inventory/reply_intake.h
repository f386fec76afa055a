#pragma once

// The reply intake: every datagram the discovery socket receives comes through here.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "inventory/device_info.h"

namespace telvane {

// Appends the list row for a new entry (index, entry).
using AddDeviceRowFn = std::function<void(std::int32_t, const DEVICE_INFO&)>;

bool IsKnownDevice(const DEVICE_TABLE& table, const MAC& mac, const IPV4& ipv4_address);

// Takes one received datagram into the table: a new enumerate reply becomes the next
// entry (and list row); a set reply from the selected device records set_result and
// signals reply_event. Anything else is dropped without a word. The extension of an
// enumerate reply is taken only when supports_full_function holds.
// Every datagram it does not take is counted in table.ignored by its reason.
void OnDatagram(DEVICE_TABLE& table, std::span<const std::uint8_t> datagram, bool supports_full_function,
                const AddDeviceRowFn& add_device_row);

// One line on what an enumeration heard: "8 devices; ignored 22 datagrams: 3 bad
// checksum, 3 reserved status bits, 16 duplicate", and what the system lost, if anything.
std::string IntakeSummary(std::int32_t devices, const INTAKE_COUNTS& counts);

}  // namespace telvane
