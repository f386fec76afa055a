#include "tools/sim/sim_device.h"

#include <algorithm>

#include "protocol/text.h"

namespace telvane::sim {

namespace {

// Enumerate reply: base part, then extension.
constexpr std::size_t BASE_SIZE = 40;
constexpr std::size_t NAME_FIELD = 115;
// Set requests.
constexpr std::size_t SET_BASIC_LENGTH = 24;
constexpr std::size_t SET_EXTENDED_LENGTH = 97;

std::uint8_t Sum(std::span<const std::uint8_t> bytes) {
    return Checksum(bytes.data(), static_cast<int>(bytes.size()));
}

template <std::size_t N>
void Put(std::vector<std::uint8_t>& out, std::size_t at, const std::array<std::uint8_t, N>& value) {
    std::copy(value.begin(), value.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

template <std::size_t N>
std::array<std::uint8_t, N> Take(std::span<const std::uint8_t> in, std::size_t at) {
    std::array<std::uint8_t, N> value{};
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(at), N, value.begin());
    return value;
}

std::vector<std::uint8_t> NameField(const SIM_DEVICE& device) {
    std::vector<std::uint8_t> field;
    switch (device.name_encoding) {
        case NAME_ENCODING::ANSI:
            field.assign(device.device_name.begin(), device.device_name.end());
            if (field.size() > 255) field.resize(255);
            break;
        case NAME_ENCODING::UTF16: {
            // A zero byte, then big-endian code units; the length counts the zero byte.
            field.push_back(0);
            for (const char16_t unit : FromUtf8(device.device_name)) {
                if (field.size() + 2 > 255) break;
                field.push_back(static_cast<std::uint8_t>(unit >> 8));
                field.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            }
            break;
        }
        case NAME_ENCODING::INVALID:
            field.push_back(device.invalid_name_byte);
            field.insert(field.end(), device.device_name.begin(), device.device_name.end());
            if (field.size() > 255) field.resize(255);
            break;
    }
    return field;
}

}  // namespace

REQUEST_KIND ClassifyRequest(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < 5 || datagram[0] != 0xFF || datagram[1] != 0xFF) return REQUEST_KIND::NONE;
    const unsigned type = (unsigned{datagram[2]} << 8) | datagram[3];
    if (type == 0x454E) {
        return Sum(datagram.first(4)) == datagram[4] ? REQUEST_KIND::ENUMERATE : REQUEST_KIND::NONE;
    }
    return ReadSetRequest(datagram) ? REQUEST_KIND::SET : REQUEST_KIND::NONE;
}

std::optional<SET_REQUEST> ReadSetRequest(std::span<const std::uint8_t> in) {
    if (in.size() < 4 || in[0] != 0xFF || in[1] != 0xFF) return std::nullopt;
    SET_REQUEST r;
    if (in[2] == 0x49 && in[3] == 0x50) {
        if (in.size() < SET_BASIC_LENGTH || Sum(in.first(23)) != in[23]) return std::nullopt;
        r.mac = Take<6>(in, 4);
        r.ipv4_address = Take<4>(in, 10);
        r.ipv4_gateway = Take<4>(in, 14);
        r.ipv4_mask = Take<4>(in, 18);
        r.dhcp4 = in[22] == 1;
        return r;
    }
    if (in[2] == 0x49 && in[3] == 0x41) {
        if (in.size() < SET_EXTENDED_LENGTH || Sum(in.first(96)) != in[96]) return std::nullopt;
        r.extended = true;
        r.mac = Take<6>(in, 4);
        r.ipv4_address = Take<4>(in, 10);
        r.ipv4_mask = Take<4>(in, 14);  // mask before gateway in this form
        r.ipv4_gateway = Take<4>(in, 18);
        r.dns4_preferred = Take<4>(in, 22);
        r.dns4_alternate = Take<4>(in, 26);
        const std::uint8_t flags = in[30];
        r.dns4_auto = (flags & 0x01) != 0;
        r.dhcp4 = (flags & 0x02) != 0;
        r.dns6_auto = (flags & 0x04) != 0;
        r.dhcp6 = (flags & 0x08) != 0;
        r.ipv6_address = Take<16>(in, 31);
        r.ipv6_prefix_length = in[47];
        r.ipv6_gateway = Take<16>(in, 48);
        r.dns6_preferred = Take<16>(in, 64);
        r.dns6_alternate = Take<16>(in, 80);
        return r;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> BuildEnumerateReply(const SIM_DEVICE& d) {
    std::vector<std::uint8_t> out(BASE_SIZE, 0);
    out[0] = 0xFF;
    out[1] = 0xFF;
    out[2] = 0xC5;
    out[3] = 0xCE;
    Put(out, 4, d.mac);
    Put(out, 10, d.ipv4_address);
    Put(out, 14, d.ipv4_gateway);
    Put(out, 18, d.ipv4_mask);
    out[22] = static_cast<std::uint8_t>((d.dhcp ? 0x01 : 0) | (d.locked ? 0x02 : 0) | d.status_extra);
    std::copy_n(d.model_name.begin(), std::min<std::size_t>(d.model_name.size(), 16), out.begin() + 23);
    out[39] = Sum(std::span(out).first(39));
    if (d.form == REPLY_FORM::BASE) return out;

    out.resize(NAME_FIELD, 0);
    out[40] = static_cast<std::uint8_t>((d.dns4_auto ? 0x01 : 0) | (d.dns6_auto ? 0x02 : 0) | (d.ipv6_dhcp ? 0x04 : 0) |
                                        (d.ipv6 ? 0x08 : 0));
    Put(out, 41, d.dns4_preferred);
    Put(out, 45, d.dns4_alternate);
    Put(out, 49, d.ipv6_address);
    out[65] = d.ipv6_prefix_length;
    Put(out, 66, d.ipv6_gateway);
    Put(out, 82, d.dns6_preferred);
    Put(out, 98, d.dns6_alternate);
    const auto name = NameField(d);
    out[114] = static_cast<std::uint8_t>(name.size());
    out.insert(out.end(), name.begin(), name.end());
    if (out.size() < d.pad_to) out.resize(d.pad_to, 0);
    return out;
}

void ApplySetRequest(SIM_DEVICE& d, const SET_REQUEST& r) {
    // With DHCP the device keeps the address it had, as a DHCP server would most
    // likely give it back; the flag is what changes.
    d.dhcp = r.dhcp4;
    if (!r.dhcp4) {
        d.ipv4_address = r.ipv4_address;
        d.ipv4_gateway = r.ipv4_gateway;
        d.ipv4_mask = r.ipv4_mask;
    }
    if (!r.extended) return;
    d.dns4_auto = r.dns4_auto;
    if (!r.dns4_auto) {
        d.dns4_preferred = r.dns4_preferred;
        d.dns4_alternate = r.dns4_alternate;
    }
    if (!d.ipv6) return;
    d.ipv6_dhcp = r.dhcp6;
    if (!r.dhcp6) {
        d.ipv6_address = r.ipv6_address;
        d.ipv6_prefix_length = r.ipv6_prefix_length;
        d.ipv6_gateway = r.ipv6_gateway;
    }
    d.dns6_auto = r.dns6_auto;
    if (!r.dns6_auto) {
        d.dns6_preferred = r.dns6_preferred;
        d.dns6_alternate = r.dns6_alternate;
    }
}

std::optional<std::vector<std::uint8_t>> AnswerSetRequest(SIM_DEVICE& d, const SET_REQUEST& r) {
    if (d.set == SET_BEHAVIOUR::SILENT) return std::nullopt;
    std::vector<std::uint8_t> out(12, 0);
    out[0] = 0xFF;
    out[1] = 0xFF;
    out[2] = 0xC9;
    out[3] = 0xD0;
    MAC mac = d.mac;
    std::uint8_t result = 0;
    switch (d.set) {
        case SET_BEHAVIOUR::ACCEPT:
            ApplySetRequest(d, r);
            break;
        case SET_BEHAVIOUR::BAD_CHECKSUM:
            break;
        case SET_BEHAVIOUR::REFUSE:
            result = d.refuse_code;
            break;
        case SET_BEHAVIOUR::OTHER_MAC:
            if (d.other_mac) {
                mac = *d.other_mac;
            } else {
                mac[5] = static_cast<std::uint8_t>(mac[5] ^ 0xFF);
            }
            break;
        case SET_BEHAVIOUR::SILENT:
            break;
    }
    Put(out, 4, mac);
    out[10] = result;
    out[11] = Sum(std::span(out).first(11));
    if (d.set == SET_BEHAVIOUR::BAD_CHECKSUM) out[11] = static_cast<std::uint8_t>(out[11] + 1);
    return out;
}

bool InDeviceSubnet(const SIM_DEVICE& d, const IPV4& requester) {
    for (std::size_t i = 0; i < 4; ++i) {
        if ((d.ipv4_address[i] & d.ipv4_mask[i]) != (requester[i] & d.ipv4_mask[i])) return false;
    }
    return true;
}

}  // namespace telvane::sim
