#pragma once

// One discovered device and the table of them. Fixed-size records, no Qt.

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/wire.h"

namespace telvane {

inline constexpr int DEVICE_TABLE_CAPACITY = 100;
inline constexpr std::size_t DEVICE_NAME_AREA_SIZE = 256;
inline constexpr std::size_t MODEL_NAME_AREA_SIZE = 17;

// Row states.
inline constexpr std::uint8_t STATE_NORMAL = 1;
inline constexpr std::uint8_t STATE_SET_OK = 2;
inline constexpr std::uint8_t STATE_SET_FAILED = 4;
inline constexpr std::uint8_t STATE_SELECTED = 8;  // a bit, combined with the states above

inline constexpr char INVALID_DEVICE_NAME[] = "Invalid Device Name!!!";
inline constexpr char NO_DEVICE_NAME[] = "N/A";

// Fields in wire order of meaning; every address as on the wire.
struct DEVICE_INFO {
    MAC mac;
    IPV4 ipv4_address;
    IPV4 ipv4_gateway;
    IPV4 ipv4_mask;
    std::uint8_t dhcp;
    std::uint8_t locked;
    std::array<std::uint8_t, MODEL_NAME_AREA_SIZE> model_name;  // 16 bytes of text and a zero byte
    std::uint8_t state;
    std::uint8_t has_extension;
    // Meaningful only while has_extension is 1.
    std::uint8_t ext_flags;
    IPV4 dns4_preferred;
    IPV4 dns4_alternate;
    IPV6 ipv6_address;
    std::uint8_t ipv6_prefix_length;
    IPV6 ipv6_gateway;
    IPV6 dns6_preferred;
    IPV6 dns6_alternate;
    // First byte not zero: 8-bit text up to a zero byte. First byte zero: UTF-16 code
    // units, low byte first, from the second byte up to a zero unit.
    std::array<std::uint8_t, DEVICE_NAME_AREA_SIZE> device_name;
};
static_assert(sizeof(DEVICE_INFO) == 369, "DEVICE_INFO is a packed record of bytes");

// Signalled by the intake when it has taken a set reply; reset by the set procedure
// before each send. A flag of the one GUI thread: nothing waits on it but the pumped wait.
class CReplyEvent final {
public:
    void Set() { signalled_ = true; }
    void Reset() { signalled_ = false; }
    bool IsSet() const { return signalled_; }

private:
    bool signalled_ = false;
};

// The table state held by the main window (or by the command line tool).
struct DEVICE_TABLE {
    std::array<DEVICE_INFO, DEVICE_TABLE_CAPACITY> entries{};
    std::int32_t device_count = 0;
    std::int32_t selected_index = -1;
    std::array<std::uint8_t, 4> sort_toggles{1, 1, 1, 1};
    CReplyEvent reply_event;
    std::int32_t set_result = 0;
    // Enumerate replies of new devices turned away because the table was full.
    std::int32_t table_full_drops = 0;

    const DEVICE_INFO* Selected() const;
};

}  // namespace telvane
