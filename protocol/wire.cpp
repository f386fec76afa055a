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

DatagramKind Recognize(std::span<const std::uint8_t> datagram) {
    const ByteReader in(datagram);
    if (!in.Has(0, 4)) return DatagramKind::Ignored;
    if (in.U8(0) != 0xFF || in.U8(1) != 0xFF) return DatagramKind::Ignored;
    switch (in.U16BE(2)) {
        case MSG_ENUMERATE_REPLY:
            return in.size() >= ENUMERATE_REPLY_BASE_SIZE ? DatagramKind::EnumerateReply : DatagramKind::Ignored;
        case MSG_SET_REPLY:
            return in.size() >= SET_REPLY_SIZE ? DatagramKind::SetReply : DatagramKind::Ignored;
        default:
            return DatagramKind::Ignored;
    }
}

}  // namespace telvane
