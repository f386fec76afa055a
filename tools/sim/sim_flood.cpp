#include "tools/sim/sim_flood.h"

#include <sstream>

#include "protocol/wire.h"
#include "tools/sim/sim_device.h"

namespace telvane::sim {

namespace {

constexpr const char* KIND_NAMES[FLOOD_KIND_COUNT] = {
    "random",          "bad_marker",    "bad_checksum",      "truncated",    "oversized",    "name_byte",
    "reserved_status", "set_reply_mac", "set_reply_bad_sum", "valid_random", "request_echo",
};

constexpr std::size_t LONGEST = 2100;

std::uint8_t Sum(const std::vector<std::uint8_t>& bytes, std::size_t count) {
    return Checksum(bytes.data(), static_cast<int>(count));
}

}  // namespace

const char* FloodKindName(FLOOD_KIND kind) {
    return KIND_NAMES[static_cast<int>(kind)];
}

std::optional<std::vector<FLOOD_KIND>> ParseFloodKinds(const std::string& text) {
    std::vector<FLOOD_KIND> out;
    if (text == "all") {
        for (int k = 0; k < FLOOD_KIND_COUNT; ++k) out.push_back(static_cast<FLOOD_KIND>(k));
        return out;
    }
    std::istringstream in(text);
    std::string name;
    while (std::getline(in, name, ',')) {
        bool known = false;
        for (int k = 0; k < FLOOD_KIND_COUNT && !known; ++k) {
            if (name == KIND_NAMES[k]) {
                out.push_back(static_cast<FLOOD_KIND>(k));
                known = true;
            }
        }
        if (!known) return std::nullopt;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

CFloodGenerator::CFloodGenerator(std::uint64_t seed, std::vector<FLOOD_KIND> kinds)
    : random_(seed), kinds_(std::move(kinds)) {
    if (kinds_.empty()) kinds_.push_back(FLOOD_KIND::RANDOM_BYTES);
}

std::uint8_t CFloodGenerator::Byte() {
    return static_cast<std::uint8_t>(random_() & 0xFF);
}

std::size_t CFloodGenerator::Between(std::size_t low, std::size_t high) {
    return low + static_cast<std::size_t>(random_() % (high - low + 1));
}

// A well-formed reply from a device that nobody has seen: random MAC and addresses,
// valid status, a random 8-bit name.
std::vector<std::uint8_t> CFloodGenerator::RandomReply(bool extended) {
    SIM_DEVICE d;
    for (auto& b : d.mac) b = Byte();
    for (auto& b : d.ipv4_address) b = Byte();
    for (auto& b : d.ipv4_gateway) b = Byte();
    for (auto& b : d.ipv4_mask) b = Byte();
    d.dhcp = (random_() & 1) != 0;
    d.locked = (random_() & 1) != 0;
    d.model_name.assign(Between(0, 16), 'M');
    for (auto& c : d.model_name) c = static_cast<char>(Byte());
    d.form = extended ? REPLY_FORM::EXTENDED : REPLY_FORM::BASE;
    d.device_name.assign(Between(0, 40), 'x');
    for (auto& c : d.device_name) c = static_cast<char>(0x20 + Byte() % 0x5F);
    d.ipv6 = (random_() & 1) != 0;
    d.ipv6_prefix_length = Byte();
    for (auto& b : d.ipv6_address) b = Byte();
    return BuildEnumerateReply(d);
}

std::vector<std::uint8_t> CFloodGenerator::SetReply(bool good_sum) {
    std::vector<std::uint8_t> out = {0xFF, 0xFF, 0xC9, 0xD0};
    for (int i = 0; i < 7; ++i) out.push_back(Byte());  // MAC and result
    const std::uint8_t sum = Sum(out, out.size());
    out.push_back(good_sum ? sum : static_cast<std::uint8_t>(sum + 1 + Byte() % 255));
    return out;
}

FLOOD_DATAGRAM CFloodGenerator::Next() {
    const FLOOD_KIND kind = kinds_[turn_];
    turn_ = (turn_ + 1) % kinds_.size();
    return Make(kind);
}

FLOOD_DATAGRAM CFloodGenerator::Make(FLOOD_KIND kind) {
    FLOOD_DATAGRAM out;
    out.kind = kind;
    std::vector<std::uint8_t>& b = out.bytes;
    switch (kind) {
        case FLOOD_KIND::RANDOM_BYTES:
            b.resize(Between(0, LONGEST));
            for (auto& x : b) x = Byte();
            break;
        case FLOOD_KIND::BAD_MARKER: {
            b = (random_() & 1) != 0 ? RandomReply(true) : SetReply(true);
            // Either marker byte, or both, anything but FF.
            const auto wrong = static_cast<std::uint8_t>(Byte() % 0xFF);
            const auto which = random_() % 3;
            if (which != 1) b[0] = wrong;
            if (which != 0) b[1] = wrong;
            break;
        }
        case FLOOD_KIND::BAD_CHECKSUM:
            b = RandomReply((random_() & 1) != 0);
            b[reply::CHECKSUM] = static_cast<std::uint8_t>(b[reply::CHECKSUM] + 1 + Byte() % 255);
            break;
        case FLOOD_KIND::TRUNCATED: {
            const bool set = random_() % 4 == 0;
            b = set ? SetReply(true) : RandomReply(true);
            // Short of the base part, or of the extension's header, or anywhere.
            const std::size_t cuts[] = {Between(0, 39), Between(40, 114), Between(0, b.size() - 1)};
            b.resize(set ? Between(0, b.size() - 1) : cuts[random_() % 3]);
            break;
        }
        case FLOOD_KIND::OVERSIZED:
            b = RandomReply(true);
            b.resize(Between(RECEIVE_BUFFER_SIZE - 8, LONGEST), 0);
            for (std::size_t i = reply::DEVICE_NAME + 255; i < b.size(); ++i) b[i] = Byte();
            break;
        case FLOOD_KIND::NAME_FIRST_BYTE: {
            b = RandomReply(true);
            b.resize(reply::DEVICE_NAME);
            const std::size_t length = Between(0, 255);
            b[reply::NAME_LENGTH] = static_cast<std::uint8_t>(length);
            // The field may also be shorter than its length says.
            const std::size_t sent = (random_() % 4 == 0) ? Between(0, length) : length;
            for (std::size_t i = 0; i < sent; ++i) b.push_back(Byte());
            if (b.size() > reply::DEVICE_NAME) {
                b[reply::DEVICE_NAME] = next_name_byte_;
            } else {
                b.push_back(next_name_byte_);
            }
            ++next_name_byte_;
            break;
        }
        case FLOOD_KIND::RESERVED_STATUS: {
            b = RandomReply((random_() & 1) != 0);
            std::uint8_t reserved = 0;
            while (reserved == 0) reserved = static_cast<std::uint8_t>(Byte() & STATUS_RESERVED_MASK);
            b[reply::STATUS_FLAGS] = static_cast<std::uint8_t>(b[reply::STATUS_FLAGS] | reserved);
            b[reply::CHECKSUM] = Sum(b, reply::CHECKSUM);
            break;
        }
        case FLOOD_KIND::SET_REPLY_MAC:
            b = SetReply(true);
            break;
        case FLOOD_KIND::SET_REPLY_BAD_SUM:
            b = SetReply(false);
            break;
        case FLOOD_KIND::VALID_RANDOM:
            b.resize((random_() & 1) != 0 ? ENUMERATE_REPLY_BASE_SIZE : Between(41, 400));
            for (auto& x : b) x = Byte();
            b[0] = 0xFF;
            b[1] = 0xFF;
            b[2] = 0xC5;
            b[3] = 0xCE;
            // Half of them without reserved status bits, so they make entries too.
            if ((random_() & 1) != 0) b[reply::STATUS_FLAGS] &= static_cast<std::uint8_t>(~STATUS_RESERVED_MASK);
            b[reply::CHECKSUM] = Sum(b, reply::CHECKSUM);
            break;
        case FLOOD_KIND::REQUEST_ECHO:
            b = {0xFF, 0xFF, 0x45, 0x4E, 0x91};
            if ((random_() & 1) != 0) {
                b = {0xFF, 0xFF, 0x49, 0x50};
                b.resize(SET_BASIC_SIZE - 1);
                for (std::size_t i = 4; i < b.size(); ++i) b[i] = Byte();
                b.push_back(Sum(b, b.size()));
            }
            break;
    }
    return out;
}

}  // namespace telvane::sim
