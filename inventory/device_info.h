#pragma once

// One discovered device and the table of them. Fixed-size records, no Qt.

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

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
// before each send. A flag of the one thread: the set procedure hands the waits a test
// of it, so the table knows nothing of their event loop.
class CReplyEvent final {
public:
    void Set() { signalled_ = true; }
    void Reset() { signalled_ = false; }
    bool IsSet() const { return signalled_; }

private:
    bool signalled_ = false;
};

// A table without a limit: the command line lists every device that answered.
inline constexpr std::int32_t UNLIMITED_DEVICES = INT32_MAX;

// What the intake did not take, by reason, and what the system lost before it.
struct INTAKE_COUNTS {
    std::array<std::uint32_t, DROP_REASON_COUNT> dropped{};
    std::uint64_t lost_in_system = 0;  // the receive queue overflowed

    void Add(DROP_REASON reason, std::uint32_t n = 1) { dropped[static_cast<std::size_t>(reason)] += n; }
    std::uint32_t Of(DROP_REASON reason) const { return dropped[static_cast<std::size_t>(reason)]; }
    std::uint64_t Total() const;
};

// The table state held by the main window (or by the command line tool). The window's
// table has its 100 slots from the start and never allocates again; a table without a
// limit grows a slot per new device, in order of arrival.
struct DEVICE_TABLE {
    explicit DEVICE_TABLE(std::int32_t capacity_limit = DEVICE_TABLE_CAPACITY);

    std::vector<DEVICE_INFO> entries;
    std::int32_t capacity;
    std::int32_t device_count = 0;
    std::int32_t selected_index = -1;
    std::array<std::uint8_t, 4> sort_toggles{1, 1, 1, 1};
    CReplyEvent reply_event;
    std::int32_t set_result = 0;
    INTAKE_COUNTS ignored;

    const DEVICE_INFO* Selected() const;
    // As an enumeration begins: no entries, no selection, nothing counted.
    void BeginEnumeration();

    // The intake's index of (mac, address) for a table without a limit, where a scan per
    // datagram would cost the square of the devices. Valid while it holds device_count keys.
    struct KEY_HASH {
        std::size_t operator()(const std::array<std::uint8_t, 10>& key) const;
    };
    std::unordered_set<std::array<std::uint8_t, 10>, KEY_HASH> known_index;
};

}  // namespace telvane
