#pragma once

// The texts a device row shows; the window, the command line and the sort share them.

#include <array>
#include <string>

#include "inventory/device_info.h"

namespace telvane {

// Device Name: the 8-bit form decoded, or the UTF-16 form up to its zero unit. Never
// reads past the 256-byte area.
std::u16string DeviceNameText(const DEVICE_INFO& e);
// Model Name: up to 16 bytes of 8-bit text.
std::u16string ModelNameText(const DEVICE_INFO& e);
// MAC Address: 00-1a-2b-3c-4d-5e
std::u16string MacText(const DEVICE_INFO& e);
// True when the entry carries an IPv6 configuration (extension with EXT_IPV6).
bool HasIpv6(const DEVICE_INFO& e);
// IP Address: "192.168.0.20", or "192.168.0.20 (fe80::1)" for a device with IPv6.
std::u16string IpAddressText(const DEVICE_INFO& e);
// An IPv6 address as the window shows it ("???" should it not format).
std::u16string Ipv6Text(const IPV6& address);

// The four cells of a device's row as the window shows them: the names with their control
// and direction characters made visible, so that each row stays one line in its order.
std::array<std::u16string, 4> RowCellTexts(const DEVICE_INFO& e);
// The row as one line to copy: the four cells joined by tabs.
std::u16string RowCopyText(const DEVICE_INFO& e);
// The address of the device's web page: "http://192.0.2.20/".
std::string DeviceWebUrl(const DEVICE_INFO& e);

}  // namespace telvane
