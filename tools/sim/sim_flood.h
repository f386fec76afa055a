#pragma once

// A hostile peer's datagrams: random and malformed replies of every kind the program
// must drop or survive, made from a seed so a run can be repeated. No Qt.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace telvane::sim {

enum class FLOOD_KIND {
    RANDOM_BYTES,       // any bytes, any length from 0 to 2100
    BAD_MARKER,         // a well-formed reply whose marker is not FF FF
    BAD_CHECKSUM,       // an enumerate reply whose checksum is off
    TRUNCATED,          // a well-formed reply cut short
    OVERSIZED,          // an extended reply padded to 2040..2100 bytes (around the receive area)
    NAME_FIRST_BYTE,    // a valid reply whose name starts with each byte 0..255 in turn
    RESERVED_STATUS,    // a valid reply with reserved status bits set
    SET_REPLY_MAC,      // a valid set reply from a random MAC
    SET_REPLY_BAD_SUM,  // a set reply with a wrong checksum (ends any set's wait as a refusal)
    VALID_RANDOM,       // type and checksum right, every other byte random
    REQUEST_ECHO,       // the program's own requests coming back
};
inline constexpr int FLOOD_KIND_COUNT = 11;

const char* FloodKindName(FLOOD_KIND kind);
// "all", or names separated by commas; nullopt for an unknown name.
std::optional<std::vector<FLOOD_KIND>> ParseFloodKinds(const std::string& text);

struct FLOOD_DATAGRAM {
    FLOOD_KIND kind = FLOOD_KIND::RANDOM_BYTES;
    std::vector<std::uint8_t> bytes;
};

// A flood starts at the first request the simulator sees and goes to the latest
// requester; it ends by itself after `count` datagrams or `duration_ms`.
struct FLOOD_CONFIG {
    int rate = 0;  // datagrams per second; 0 for no flood
    std::int64_t count = 0;
    std::uint32_t duration_ms = 0;
    std::uint64_t seed = 1;
    std::vector<FLOOD_KIND> kinds;
};

class CFloodGenerator final {
public:
    CFloodGenerator(std::uint64_t seed, std::vector<FLOOD_KIND> kinds);
    // The kinds take turns, so every kind is sent at the same rate.
    FLOOD_DATAGRAM Next();
    FLOOD_DATAGRAM Make(FLOOD_KIND kind);

private:
    std::uint8_t Byte();
    std::size_t Between(std::size_t low, std::size_t high);
    std::vector<std::uint8_t> RandomReply(bool extended);
    std::vector<std::uint8_t> SetReply(bool good_sum);

    std::mt19937_64 random_;
    std::vector<FLOOD_KIND> kinds_;
    std::size_t turn_ = 0;
    std::uint8_t next_name_byte_ = 0;
};

}  // namespace telvane::sim
