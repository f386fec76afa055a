// The hostile peer's datagrams against the program's intake: each kind must be what
// it claims, or a flood test would prove less than it says.
#include "tools/sim/sim_flood.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "inventory/reply_intake.h"
#include "protocol/wire.h"

namespace telvane::sim {
namespace {

struct Taken {
    std::unique_ptr<DEVICE_TABLE> table = std::make_unique<DEVICE_TABLE>();
    void Give(const std::vector<std::uint8_t>& bytes) { OnDatagram(*table, bytes, true, nullptr); }
};

std::vector<FLOOD_DATAGRAM> Many(FLOOD_KIND kind, int n, std::uint64_t seed = 7) {
    CFloodGenerator g(seed, {kind});
    std::vector<FLOOD_DATAGRAM> out;
    for (int i = 0; i < n; ++i) out.push_back(g.Next());
    return out;
}

bool SumOk(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b.size() > at && Checksum(b.data(), static_cast<int>(at)) == b[at];
}

// Guards against "malformed" datagrams that the intake would take as good ones: then
// the flood would test nothing of the drops.
TEST(SimFlood, DroppedKindsAreDroppedByTheIntake) {
    for (FLOOD_KIND kind : {FLOOD_KIND::BAD_MARKER, FLOOD_KIND::BAD_CHECKSUM, FLOOD_KIND::RESERVED_STATUS,
                            FLOOD_KIND::REQUEST_ECHO, FLOOD_KIND::SET_REPLY_MAC}) {
        Taken t;
        t.table->selected_index = -1;
        for (const auto& d : Many(kind, 300)) {
            EXPECT_EQ(d.kind, kind);
            t.Give(d.bytes);
        }
        EXPECT_EQ(t.table->device_count, 0) << FloodKindName(kind);
        EXPECT_FALSE(t.table->reply_event.IsSet()) << FloodKindName(kind);
    }
}

// Guards against a flood whose "valid" replies are not valid: the table limit would
// then go untested.
TEST(SimFlood, ValidKindsMakeNewEntriesUpToTheLimit) {
    Taken names;
    for (const auto& d : Many(FLOOD_KIND::NAME_FIRST_BYTE, DEVICE_TABLE_CAPACITY)) {
        ASSERT_TRUE(SumOk(d.bytes, reply::CHECKSUM));
        const int before = names.table->device_count;
        names.Give(d.bytes);
        EXPECT_EQ(names.table->device_count, before + 1);  // each one a new device
    }
    Taken random;
    int refused = 0;
    for (const auto& d : Many(FLOOD_KIND::VALID_RANDOM, 400)) {
        ASSERT_TRUE(SumOk(d.bytes, reply::CHECKSUM));
        const int before = random.table->device_count;
        random.Give(d.bytes);
        refused += random.table->device_count == before && before < DEVICE_TABLE_CAPACITY ? 1 : 0;
    }
    EXPECT_EQ(random.table->device_count, DEVICE_TABLE_CAPACITY);
    EXPECT_GT(refused, 0);  // random status bytes carry reserved bits too
}

// Guards against names that never start with some byte: every first byte 0..255
// must come in 256 datagrams of that kind.
TEST(SimFlood, NamesStartWithEveryByte) {
    std::set<int> first;
    for (const auto& d : Many(FLOOD_KIND::NAME_FIRST_BYTE, 256)) {
        ASSERT_GT(d.bytes.size(), reply::DEVICE_NAME);
        first.insert(d.bytes[reply::DEVICE_NAME]);
    }
    EXPECT_EQ(first.size(), 256u);
}

// Guards against sizes that never cross the receive area, or never reach it.
TEST(SimFlood, SizesReachBeyondTheReceiveArea) {
    std::size_t longest = 0;
    std::size_t shortest = 100000;
    int over = 0;
    for (const auto& d : Many(FLOOD_KIND::OVERSIZED, 200)) {
        longest = std::max(longest, d.bytes.size());
        shortest = std::min(shortest, d.bytes.size());
        over += d.bytes.size() > RECEIVE_BUFFER_SIZE ? 1 : 0;
    }
    EXPECT_LE(shortest, RECEIVE_BUFFER_SIZE);
    EXPECT_GT(longest, RECEIVE_BUFFER_SIZE);
    EXPECT_GT(over, 20);
    std::size_t truncated_longest = 0;
    for (const auto& d : Many(FLOOD_KIND::TRUNCATED, 200)) {
        truncated_longest = std::max(truncated_longest, d.bytes.size());
        EXPECT_LT(d.bytes.size(), 115u + 256u);
    }
    EXPECT_GT(truncated_longest, 40u);
}

// Guards against a set reply with a good checksum slipping into the bad kind, or the
// other way round: only the bad one may end a set's wait.
TEST(SimFlood, SetRepliesHaveTheChecksumTheirKindSays) {
    for (const auto& d : Many(FLOOD_KIND::SET_REPLY_MAC, 100)) {
        ASSERT_EQ(d.bytes.size(), SET_REPLY_SIZE);
        EXPECT_TRUE(SumOk(d.bytes, set_reply::CHECKSUM));
    }
    for (const auto& d : Many(FLOOD_KIND::SET_REPLY_BAD_SUM, 100)) {
        ASSERT_EQ(d.bytes.size(), SET_REPLY_SIZE);
        EXPECT_FALSE(SumOk(d.bytes, set_reply::CHECKSUM));
        Taken t;
        t.Give(d.bytes);
        EXPECT_TRUE(t.table->reply_event.IsSet());
        EXPECT_EQ(t.table->set_result, -1);
    }
}

// Guards against a run that cannot be repeated, and against kinds left out.
TEST(SimFlood, SameSeedSameDatagramsAndEveryKindTakesItsTurn) {
    const auto all = ParseFloodKinds("all");
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), static_cast<std::size_t>(FLOOD_KIND_COUNT));
    CFloodGenerator a(42, *all);
    CFloodGenerator b(42, *all);
    std::set<FLOOD_KIND> seen;
    for (int i = 0; i < FLOOD_KIND_COUNT * 3; ++i) {
        const auto x = a.Next();
        const auto y = b.Next();
        EXPECT_EQ(x.bytes, y.bytes);
        EXPECT_EQ(x.kind, static_cast<FLOOD_KIND>(i % FLOOD_KIND_COUNT));
        seen.insert(x.kind);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(FLOOD_KIND_COUNT));
    EXPECT_NE(CFloodGenerator(1, *all).Next().bytes, CFloodGenerator(2, *all).Next().bytes);
}

// Guards against a typo in a kind list silently flooding with everything.
TEST(SimFlood, KindListsAreParsedStrictly) {
    const auto two = ParseFloodKinds("bad_marker,set_reply_mac");
    ASSERT_TRUE(two);
    EXPECT_EQ(*two, (std::vector<FLOOD_KIND>{FLOOD_KIND::BAD_MARKER, FLOOD_KIND::SET_REPLY_MAC}));
    EXPECT_FALSE(ParseFloodKinds("bad_marker,nonsense"));
    EXPECT_FALSE(ParseFloodKinds(""));
}

}  // namespace
}  // namespace telvane::sim
