#include "inventory/reply_intake.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace telvane {

namespace {

// A UTF-16 name keeps at most this many code units, so the 256-byte area always ends
// with a zero unit (area bytes 253 and 254 at the latest, and byte 255).
constexpr std::size_t MAX_NAME_UNITS = 126;

void TakeSetReply(DEVICE_TABLE& table, const ByteReader& in) {
    if (Checksum(in.Array<set_reply::CHECKSUM>(0)) != in.U8(set_reply::CHECKSUM)) {
        // A damaged answer still ends the wait, as a refusal.
        table.set_result = -1;
        table.reply_event.Set();
        return;
    }
    const DEVICE_INFO* selected = table.Selected();
    if (selected == nullptr || in.Array<6>(set_reply::MAC) != selected->mac) {
        table.ignored.Add(DROP_REASON::SET_REPLY_NOT_AWAITED);
        return;
    }
    table.set_result = in.U8(set_reply::RESULT);
    table.reply_event.Set();
}

void TakeName(DEVICE_INFO& e, const ByteReader& in) {
    const std::size_t length = in.U8(reply::NAME_LENGTH);
    const std::uint8_t first = in.U8(reply::DEVICE_NAME);
    if (first >= 0x20) {
        // 8-bit text; at most 255 bytes, so the area's last byte stays zero.
        in.Copy(reply::DEVICE_NAME, std::span(e.device_name).first(length));
    } else if (first == 0) {
        // UTF-16 big-endian from byte 116, after the zero byte that the length counts too.
        // Only whole units inside the field are taken: an even length leaves half a unit,
        // which is dropped rather than completed from the byte after the field.
        const std::size_t units = std::min(length == 0 ? 0 : (length - 1) / 2, MAX_NAME_UNITS);
        for (std::size_t k = 0; k < units; ++k) {
            e.device_name[1 + 2 * k] = in.U8(reply::DEVICE_NAME + 2 + 2 * k);  // low
            e.device_name[2 + 2 * k] = in.U8(reply::DEVICE_NAME + 1 + 2 * k);  // high
        }
    } else {
        std::memcpy(e.device_name.data(), INVALID_DEVICE_NAME, sizeof INVALID_DEVICE_NAME);
    }
}

std::array<std::uint8_t, 10> KeyOf(const MAC& mac, const IPV4& address) {
    std::array<std::uint8_t, 10> key;
    std::copy(mac.begin(), mac.end(), key.begin());
    std::copy(address.begin(), address.end(), key.begin() + 6);
    return key;
}

// The same rule as IsKnownDevice; a table without a limit asks its index instead of
// scanning, rebuilt first when the table was emptied or filled past the intake.
bool Known(DEVICE_TABLE& table, const MAC& mac, const IPV4& address) {
    if (table.capacity <= DEVICE_TABLE_CAPACITY) return IsKnownDevice(table, mac, address);
    if (table.known_index.size() != static_cast<std::size_t>(table.device_count)) {
        table.known_index.clear();
        for (std::int32_t i = 0; i < table.device_count; ++i) {
            const DEVICE_INFO& e = table.entries[static_cast<std::size_t>(i)];
            table.known_index.insert(KeyOf(e.mac, e.ipv4_address));
        }
    }
    return table.known_index.contains(KeyOf(mac, address));
}

void TakeEnumerateReply(DEVICE_TABLE& table, const ByteReader& in, bool supports_full_function,
                        const AddDeviceRowFn& add_device_row) {
    if (Checksum(in.Array<reply::CHECKSUM>(0)) != in.U8(reply::CHECKSUM)) {
        table.ignored.Add(DROP_REASON::BAD_CHECKSUM);
        return;
    }
    const MAC mac = in.Array<6>(reply::MAC);
    const IPV4 address = in.Array<4>(reply::IPV4_ADDRESS);
    if (Known(table, mac, address)) {
        table.ignored.Add(DROP_REASON::DUPLICATE);
        return;
    }
    if (table.device_count >= table.capacity) {
        table.ignored.Add(DROP_REASON::TABLE_FULL);
        return;
    }
    const std::uint8_t status = in.U8(reply::STATUS_FLAGS);
    if ((status & STATUS_RESERVED_MASK) != 0) {
        table.ignored.Add(DROP_REASON::RESERVED_STATUS_BITS);
        return;
    }

    if (static_cast<std::size_t>(table.device_count) == table.entries.size()) table.entries.emplace_back();
    DEVICE_INFO& e = table.entries[static_cast<std::size_t>(table.device_count)];
    e.mac = mac;
    e.ipv4_address = address;
    e.ipv4_gateway = in.Array<4>(reply::IPV4_GATEWAY);
    e.ipv4_mask = in.Array<4>(reply::IPV4_MASK);
    e.dhcp = (status & STATUS_DHCP) ? 1 : 0;
    e.locked = (status & STATUS_LOCKED) ? 1 : 0;
    e.model_name.fill(0);
    in.Copy(reply::MODEL_NAME, std::span(e.model_name).first(reply::MODEL_NAME_SIZE));
    e.device_name.fill(0);

    if (in.size() > ENUMERATE_REPLY_BASE_SIZE && supports_full_function) {
        e.has_extension = 1;
        e.ext_flags = in.U8(reply::EXT_FLAGS);
        e.dns4_preferred = in.Array<4>(reply::DNS4_PREFERRED);
        e.dns4_alternate = in.Array<4>(reply::DNS4_ALTERNATE);
        e.ipv6_address = in.Array<16>(reply::IPV6_ADDRESS);
        e.ipv6_prefix_length = in.U8(reply::IPV6_PREFIX_LENGTH);
        e.ipv6_gateway = in.Array<16>(reply::IPV6_GATEWAY);
        e.dns6_preferred = in.Array<16>(reply::DNS6_PREFERRED);
        e.dns6_alternate = in.Array<16>(reply::DNS6_ALTERNATE);
        TakeName(e, in);
    } else {
        e.has_extension = 0;
        std::memcpy(e.device_name.data(), NO_DEVICE_NAME, sizeof NO_DEVICE_NAME);
    }
    e.state = STATE_NORMAL;

    if (add_device_row) add_device_row(table.device_count, e);
    if (table.capacity > DEVICE_TABLE_CAPACITY) table.known_index.insert(KeyOf(mac, address));
    ++table.device_count;
    table.sort_toggles.fill(1);
}

}  // namespace

DEVICE_TABLE::DEVICE_TABLE(std::int32_t capacity_limit)
    : entries(capacity_limit <= DEVICE_TABLE_CAPACITY ? static_cast<std::size_t>(std::max(capacity_limit, 0)) : 0),
      capacity(std::max(capacity_limit, 0)) {}

void DEVICE_TABLE::BeginEnumeration() {
    device_count = 0;
    selected_index = -1;
    ignored = {};
    known_index.clear();
}

std::size_t DEVICE_TABLE::KEY_HASH::operator()(const std::array<std::uint8_t, 10>& key) const {
    // FNV-1a: MACs of one maker share their first half, so every byte must count. Its basis
    // is drawn once per run, and the result mixed: the keys are whatever a sender put in its
    // replies, and a sender who cannot know the hash cannot pile its replies into one bucket.
    static const std::uint64_t basis = [] {
        std::random_device random;
        return 0xcbf29ce484222325ull ^ ((std::uint64_t{random()} << 32) | random());
    }();
    std::uint64_t h = basis;
    for (const std::uint8_t b : key) h = (h ^ b) * 0x100000001b3ull;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return static_cast<std::size_t>(h);
}

std::uint64_t INTAKE_COUNTS::Total() const {
    std::uint64_t sum = 0;
    for (const std::uint32_t n : dropped) sum += n;
    return sum;
}

const DEVICE_INFO* DEVICE_TABLE::Selected() const {
    if (selected_index < 0 || selected_index >= device_count) return nullptr;
    return &entries[static_cast<std::size_t>(selected_index)];
}

bool IsKnownDevice(const DEVICE_TABLE& table, const MAC& mac, const IPV4& ipv4_address) {
    const auto end =
        table.entries.begin() + std::clamp(table.device_count, 0, static_cast<std::int32_t>(table.entries.size()));
    return std::any_of(table.entries.begin(), end,
                       [&](const DEVICE_INFO& e) { return e.mac == mac && e.ipv4_address == ipv4_address; });
}

void OnDatagram(DEVICE_TABLE& table, std::span<const std::uint8_t> datagram, bool supports_full_function,
                const AddDeviceRowFn& add_device_row) {
    const ByteReader in(datagram);
    const RECOGNITION recognition = Classify(datagram);
    switch (recognition.kind) {
        case DatagramKind::SetReply:
            TakeSetReply(table, in);
            break;
        case DatagramKind::EnumerateReply:
            TakeEnumerateReply(table, in, supports_full_function, add_device_row);
            break;
        case DatagramKind::Ignored:
            table.ignored.Add(recognition.reason);
            break;
    }
}

}  // namespace telvane

namespace telvane {

std::string IntakeSummary(std::int32_t devices, const INTAKE_COUNTS& counts) {
    const auto plural = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string out = plural(static_cast<std::uint64_t>(std::max(devices, 0)), "device", "devices") + "; ignored " +
                      plural(counts.Total(), "datagram", "datagrams");
    const char* separator = ": ";
    for (std::size_t r = 0; r < DROP_REASON_COUNT; ++r) {
        if (counts.dropped[r] == 0) continue;
        out += separator + std::to_string(counts.dropped[r]) + " " + DropReasonText(static_cast<DROP_REASON>(r));
        separator = ", ";
    }
    if (counts.lost_in_system != 0) {
        out += "; " + plural(counts.lost_in_system, "datagram", "datagrams") + " lost in the system's receive queue";
    }
    return out;
}

}  // namespace telvane
