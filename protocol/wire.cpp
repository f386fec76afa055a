#include "protocol/wire.h"

#include <algorithm>
#include <cstring>

namespace telvane {

std::uint8_t Checksum(const std::uint8_t* data, int length) {
    if (data == nullptr || length <= 0) return 0;
    unsigned sum = 0;
    for (int i = 0; i < length; ++i) sum += data[i];
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

std::uint8_t Checksum(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

std::uint16_t ByteReader::U16BE(std::size_t pos) const {
    std::uint8_t raw[2] = {};
    Copy(pos, raw);
    return static_cast<std::uint16_t>((raw[0] << 8) | raw[1]);
}

void ByteReader::Copy(std::size_t pos, std::span<std::uint8_t> out) const {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    if (pos >= bytes_.size()) return;
    const std::size_t available = bytes_.size() - pos;
    const std::size_t n = std::min(out.size(), available);
    if (n > 0) std::memcpy(out.data(), bytes_.data() + pos, n);
}

void PutU16BE(std::span<std::uint8_t> out, std::size_t pos, std::uint16_t value) {
    const std::uint8_t raw[2] = {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)};
    PutBytes(out, pos, raw);
}

void PutBytes(std::span<std::uint8_t> out, std::size_t pos, std::span<const std::uint8_t> value) {
    // Writers are only ever used on buffers sized for their layout; a wrong offset is a bug.
    if (pos > out.size() || value.size() > out.size() - pos) std::abort();
    if (!value.empty()) std::memcpy(out.data() + pos, value.data(), value.size());
}

std::uint32_t Ipv4HostOrder(const IPV4& address) {
    return (std::uint32_t{address[0]} << 24) | (std::uint32_t{address[1]} << 16) | (std::uint32_t{address[2]} << 8) |
           address[3];
}

IPV4 Ipv4FromHostOrder(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::uint32_t PrefixMask(int prefix_length) {
    if (prefix_length <= 0) return 0;
    if (prefix_length >= 32) return 0xFFFFFFFFu;
    return ~((1u << (32 - prefix_length)) - 1u);
}

const char* DropReasonText(DROP_REASON reason) {
    switch (reason) {
        case DROP_REASON::BAD_CHECKSUM:
            return "bad checksum";
        case DROP_REASON::RESERVED_STATUS_BITS:
            return "reserved status bits";
        case DROP_REASON::DUPLICATE:
            return "duplicate";
        case DROP_REASON::TABLE_FULL:
            return "table full";
        case DROP_REASON::TOO_SHORT:
            return "too short";
        case DROP_REASON::TOO_LONG:
            return "too long";
        case DROP_REASON::UNKNOWN_TYPE:
            return "unknown type";
        case DROP_REASON::NOT_THIS_PROTOCOL:
            return "not this protocol";
        case DROP_REASON::SET_REPLY_NOT_AWAITED:
            return "set reply not awaited";
    }
    return "?";
}

RECOGNITION Classify(std::span<const std::uint8_t> datagram) {
    const ByteReader in(datagram);
    // Without the marker it is somebody else's datagram, whatever its length.
    if (in.U8(0) != 0xFF || in.U8(1) != 0xFF || in.size() < 2)
        return {DatagramKind::Ignored, DROP_REASON::NOT_THIS_PROTOCOL};
    if (!in.Has(0, 4)) return {DatagramKind::Ignored, DROP_REASON::TOO_SHORT};
    switch (in.U16BE(2)) {
        case MSG_ENUMERATE_REPLY:
            if (in.size() < ENUMERATE_REPLY_BASE_SIZE) return {DatagramKind::Ignored, DROP_REASON::TOO_SHORT};
            return {DatagramKind::EnumerateReply, DROP_REASON::NOT_THIS_PROTOCOL};
        case MSG_SET_REPLY:
            if (in.size() < SET_REPLY_SIZE) return {DatagramKind::Ignored, DROP_REASON::TOO_SHORT};
            return {DatagramKind::SetReply, DROP_REASON::NOT_THIS_PROTOCOL};
        default:
            return {DatagramKind::Ignored, DROP_REASON::UNKNOWN_TYPE};
    }
}

DatagramKind Recognize(std::span<const std::uint8_t> datagram) {
    return Classify(datagram).kind;
}

}  // namespace telvane
