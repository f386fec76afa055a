#pragma once

// One simulated device: its settings, how it answers, and the datagrams it builds.
// The byte layouts here are written from the protocol's tables on their own, not
// taken from the program's codec, so that the simulator checks the codec instead of
// echoing it. No Qt.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/wire.h"

namespace telvane::sim {

enum class REPLY_FORM { BASE, EXTENDED };
enum class NAME_ENCODING { ANSI, UTF16, INVALID };
// AUTO: unicast to a requester in the device's own subnet, else limited broadcast.
enum class ANSWER_MODE { AUTO, UNICAST, BROADCAST, SUBNET };
enum class SET_BEHAVIOUR { ACCEPT, REFUSE, SILENT, BAD_CHECKSUM, OTHER_MAC };

struct SIM_DEVICE {
    MAC mac{};
    IPV4 ipv4_address{};
    IPV4 ipv4_gateway{};
    IPV4 ipv4_mask{};
    bool dhcp = false;
    bool locked = false;
    std::uint8_t status_extra = 0;  // ORed into status_flags, to send reserved bits
    std::string model_name;         // 8-bit bytes, at most 16 are sent

    REPLY_FORM form = REPLY_FORM::EXTENDED;
    std::string device_name;  // UTF-8 in the configuration
    NAME_ENCODING name_encoding = NAME_ENCODING::ANSI;
    std::uint8_t invalid_name_byte = 0x05;  // first byte of an invalid name, 1 to 31
    bool dns4_auto = false;
    IPV4 dns4_preferred{};
    IPV4 dns4_alternate{};
    bool ipv6 = false;
    bool ipv6_dhcp = false;
    bool dns6_auto = false;
    IPV6 ipv6_address{};
    std::uint8_t ipv6_prefix_length = 0;
    IPV6 ipv6_gateway{};
    IPV6 dns6_preferred{};
    IPV6 dns6_alternate{};
    std::size_t pad_to = 0;  // extended replies are padded with zero bytes to this length

    ANSWER_MODE answer = ANSWER_MODE::AUTO;
    std::uint32_t delay_ms = 0;
    SET_BEHAVIOUR set = SET_BEHAVIOUR::ACCEPT;
    std::uint8_t refuse_code = 1;
    std::optional<MAC> other_mac;  // OTHER_MAC answers with this one (default: last byte flipped)
    std::string interface;         // only requests that arrive on this interface (name or IPv4); empty: all
};

// What a set request asks for, read field by field.
struct SET_REQUEST {
    bool extended = false;
    MAC mac{};
    IPV4 ipv4_address{};
    IPV4 ipv4_gateway{};
    IPV4 ipv4_mask{};
    IPV4 dns4_preferred{};
    IPV4 dns4_alternate{};
    bool dhcp4 = false;
    bool dns4_auto = false;
    bool dns6_auto = false;
    bool dhcp6 = false;
    IPV6 ipv6_address{};
    std::uint8_t ipv6_prefix_length = 0;
    IPV6 ipv6_gateway{};
    IPV6 dns6_preferred{};
    IPV6 dns6_alternate{};
};

enum class REQUEST_KIND { NONE, ENUMERATE, SET };

// The kind of a received request; NONE for anything malformed (marker, type, length
// or checksum).
REQUEST_KIND ClassifyRequest(std::span<const std::uint8_t> datagram);
std::optional<SET_REQUEST> ReadSetRequest(std::span<const std::uint8_t> datagram);

std::vector<std::uint8_t> BuildEnumerateReply(const SIM_DEVICE& device);
// The set reply this device gives to a request for it, or nothing (SILENT). An
// accepted request is applied to the device first.
std::optional<std::vector<std::uint8_t>> AnswerSetRequest(SIM_DEVICE& device, const SET_REQUEST& request);
void ApplySetRequest(SIM_DEVICE& device, const SET_REQUEST& request);

// Whether a requester at `requester` (first octet first) is in the device's subnet.
bool InDeviceSubnet(const SIM_DEVICE& device, const IPV4& requester);

}  // namespace telvane::sim
