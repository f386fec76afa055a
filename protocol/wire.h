#pragma once

// Datagram layouts of the discovery and configuration protocol, the checksum, and
// a bounds-checked reader for untrusted datagrams. No Qt in here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace telvane {

using MAC = std::array<std::uint8_t, 6>;
using IPV4 = std::array<std::uint8_t, 4>;   // first octet first
using IPV6 = std::array<std::uint8_t, 16>;  // network order

inline constexpr std::uint16_t DISCOVERY_PORT = 18768;
inline constexpr std::uint32_t BROADCAST_ADDRESS = 0xFFFFFFFFu;  // 255.255.255.255
inline constexpr std::size_t RECEIVE_BUFFER_SIZE = 2048;

inline constexpr std::uint16_t DATAGRAM_MARKER = 0xFFFF;
inline constexpr std::uint16_t MSG_ENUMERATE = 0x454E;
inline constexpr std::uint16_t MSG_ENUMERATE_REPLY = 0xC5CE;
inline constexpr std::uint16_t MSG_SET_BASIC = 0x4950;
inline constexpr std::uint16_t MSG_SET_EXTENDED = 0x4941;
inline constexpr std::uint16_t MSG_SET_REPLY = 0xC9D0;

inline constexpr std::size_t ENUMERATE_SIZE = 5;
inline constexpr std::size_t ENUMERATE_REPLY_BASE_SIZE = 40;
inline constexpr std::size_t ENUMERATE_REPLY_NAME_OFFSET = 115;  // extension header ends here
inline constexpr std::size_t SET_BASIC_SIZE = 24;
inline constexpr std::size_t SET_EXTENDED_SIZE = 97;
inline constexpr std::size_t SET_REPLY_SIZE = 12;

// Enumerate reply, base part.
namespace reply {
inline constexpr std::size_t MAC = 4;
inline constexpr std::size_t IPV4_ADDRESS = 10;
inline constexpr std::size_t IPV4_GATEWAY = 14;
inline constexpr std::size_t IPV4_MASK = 18;
inline constexpr std::size_t STATUS_FLAGS = 22;
inline constexpr std::size_t MODEL_NAME = 23;
inline constexpr std::size_t MODEL_NAME_SIZE = 16;
inline constexpr std::size_t CHECKSUM = 39;
// Extension.
inline constexpr std::size_t EXT_FLAGS = 40;
inline constexpr std::size_t DNS4_PREFERRED = 41;
inline constexpr std::size_t DNS4_ALTERNATE = 45;
inline constexpr std::size_t IPV6_ADDRESS = 49;
inline constexpr std::size_t IPV6_PREFIX_LENGTH = 65;
inline constexpr std::size_t IPV6_GATEWAY = 66;
inline constexpr std::size_t DNS6_PREFERRED = 82;
inline constexpr std::size_t DNS6_ALTERNATE = 98;
inline constexpr std::size_t NAME_LENGTH = 114;
inline constexpr std::size_t DEVICE_NAME = 115;
}  // namespace reply

// Set reply.
namespace set_reply {
inline constexpr std::size_t MAC = 4;
inline constexpr std::size_t RESULT = 10;
inline constexpr std::size_t CHECKSUM = 11;
}  // namespace set_reply

// status_flags of the enumerate reply.
inline constexpr std::uint8_t STATUS_DHCP = 0x01;
inline constexpr std::uint8_t STATUS_LOCKED = 0x02;
inline constexpr std::uint8_t STATUS_RESERVED_MASK = 0x3C;

// ext_flags of the enumerate reply.
inline constexpr std::uint8_t EXT_DNS4_AUTO = 0x01;
inline constexpr std::uint8_t EXT_DNS6_AUTO = 0x02;
inline constexpr std::uint8_t EXT_DHCP6 = 0x04;
inline constexpr std::uint8_t EXT_IPV6 = 0x08;

// set_flags of MSG_SET_EXTENDED; deliberately a different assignment from ext_flags.
inline constexpr std::uint8_t SET_DNS4_AUTO = 0x01;
inline constexpr std::uint8_t SET_DHCP4 = 0x02;
inline constexpr std::uint8_t SET_DNS6_AUTO = 0x04;
inline constexpr std::uint8_t SET_DHCP6 = 0x08;

// The 8-bit sum, modulo 256, of the first `length` bytes; 0 for a length of zero or less.
std::uint8_t Checksum(const std::uint8_t* data, int length);
std::uint8_t Checksum(std::span<const std::uint8_t> bytes);

// Reads a received datagram. Every read is checked against the received length, and
// bytes past the end read as zero, so a short datagram can never be read past its end.
class ByteReader final {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    bool Has(std::size_t pos, std::size_t n) const { return pos <= bytes_.size() && n <= bytes_.size() - pos; }
    std::uint8_t U8(std::size_t pos) const { return pos < bytes_.size() ? bytes_[pos] : 0; }
    std::uint16_t U16BE(std::size_t pos) const;
    // Copies n bytes from pos into out; missing bytes are written as zero.
    void Copy(std::size_t pos, std::span<std::uint8_t> out) const;

    template <std::size_t N>
    std::array<std::uint8_t, N> Array(std::size_t pos) const {
        std::array<std::uint8_t, N> a{};
        Copy(pos, a);
        return a;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

// Big-endian writers onto an outgoing buffer; the caller sizes the buffer.
void PutU16BE(std::span<std::uint8_t> out, std::size_t pos, std::uint16_t value);
void PutBytes(std::span<std::uint8_t> out, std::size_t pos, std::span<const std::uint8_t> value);

// An IPv4 address as one number, first octet in the most significant byte: the form
// masks and subnets are computed in, and the one address boxes take.
std::uint32_t Ipv4HostOrder(const IPV4& address);
IPV4 Ipv4FromHostOrder(std::uint32_t value);
// The mask of a prefix length in that form; lengths below 0 or above 32 count as 0 or 32.
std::uint32_t PrefixMask(int prefix_length);

// Why a received datagram was not taken, in the order a summary lists them.
enum class DROP_REASON : std::uint8_t {
    BAD_CHECKSUM,
    RESERVED_STATUS_BITS,
    DUPLICATE,
    TABLE_FULL,
    TOO_SHORT,
    TOO_LONG,  // over the receive area; the socket drops these
    UNKNOWN_TYPE,
    NOT_THIS_PROTOCOL,
    SET_REPLY_NOT_AWAITED,  // no set running, or another device's answer
};
inline constexpr std::size_t DROP_REASON_COUNT = 9;
// "bad checksum", "reserved status bits", ...
const char* DropReasonText(DROP_REASON reason);

// Recognition of a received datagram, in the protocol's order: marker, type, and for
// each reply type its own minimum length (shorter replies are dropped).
enum class DatagramKind { Ignored, EnumerateReply, SetReply };
struct RECOGNITION {
    DatagramKind kind = DatagramKind::Ignored;
    DROP_REASON reason = DROP_REASON::NOT_THIS_PROTOCOL;  // why, when ignored
};
RECOGNITION Classify(std::span<const std::uint8_t> datagram);
DatagramKind Recognize(std::span<const std::uint8_t> datagram);

}  // namespace telvane
