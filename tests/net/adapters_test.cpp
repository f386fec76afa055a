#include "net/adapters.h"
#include "net/testing.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

ADAPTER Adapter(MAC mac, std::string ip) { return ADAPTER{mac, std::move(ip)}; }

constexpr MAC MAC_A = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
constexpr MAC MAC_B = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0b};
constexpr MAC ZERO_MAC = {};

class AdapterSourceTest : public ::testing::Test {
protected:
    void TearDown() override { SetAdapterSourceForTesting({}); }
};

// Guards against the entry text drifting from the combo box's form: lower-case hex,
// a leading zero below 16, three blanks before "IP:".
TEST(AdapterEntryText, IsTheComboBoxForm) {
    EXPECT_EQ(AdapterEntryText(Adapter(MAC_A, "192.168.0.10")), u"MAC: 00-1a-2b-3c-4d-5e,   IP: 192.168.0.10");
    EXPECT_EQ(AdapterEntryText(Adapter({0xff, 0xab, 0x01, 0x0f, 0x10, 0xc0}, "10.0.0.1")),
              u"MAC: ff-ab-01-0f-10-c0,   IP: 10.0.0.1");
}

// Guards against offering adapters that cannot carry the protocol.
TEST(UsableAdapters, SkipsNoAddressAndZeroHardwareAddress) {
    const auto usable = UsableAdapters({Adapter(MAC_A, "0.0.0.0"), Adapter(MAC_A, ""), Adapter(ZERO_MAC, "127.0.0.1"),
                                        Adapter(MAC_B, "192.0.2.1")});
    ASSERT_EQ(usable.size(), 1u);
    EXPECT_EQ(usable[0].ipv4_text, "192.0.2.1");
    EXPECT_EQ(usable[0].hardware_address, MAC_B);
}

// Guards against reordering (entry i must stay adapter i) and against more than five.
TEST(UsableAdapters, KeepsSystemOrderAndStopsAtFive) {
    std::vector<ADAPTER> all;
    for (int i = 0; i < 7; ++i) {
        MAC mac = MAC_B;
        mac[5] = static_cast<std::uint8_t>(i + 1);
        all.push_back(Adapter(mac, "10.0.0." + std::to_string(i + 1)));
    }
    all.insert(all.begin() + 1, Adapter(ZERO_MAC, "10.9.9.9"));  // skipped, does not count
    const auto usable = UsableAdapters(all);
    ASSERT_EQ(usable.size(), static_cast<std::size_t>(MAX_ADAPTERS));
    for (int i = 0; i < MAX_ADAPTERS; ++i) {
        EXPECT_EQ(usable[static_cast<std::size_t>(i)].ipv4_text, "10.0.0." + std::to_string(i + 1));
    }
}

TEST(UsableAdapters, NoneWhenNothingQualifies) {
    EXPECT_TRUE(UsableAdapters({Adapter(ZERO_MAC, "10.0.0.1"), Adapter(MAC_A, "0.0.0.0")}).empty());
    EXPECT_TRUE(UsableAdapters({}).empty());
}

// Guards against the seam being ignored, or sticking after it was cleared.
TEST_F(AdapterSourceTest, SeamReplacesAndRestoresTheSystemAnswer) {
    SetAdapterSourceForTesting([] { return std::vector<ADAPTER>{Adapter(MAC_A, "203.0.113.5")}; });
    const auto replaced = QueryAdapters();
    ASSERT_EQ(replaced.size(), 1u);
    EXPECT_EQ(replaced[0].ipv4_text, "203.0.113.5");
    SetAdapterSourceForTesting({});
    for (const ADAPTER& a : QueryAdapters()) EXPECT_NE(a.ipv4_text, "203.0.113.5");
}

// The system's list always holds loopback; its address is read, its hardware address
// is all zero, so it is never offered.
TEST_F(AdapterSourceTest, SystemListReadsLoopbackButDoesNotOfferIt) {
    const auto all = QueryAdapters();
    const auto loopback = std::find_if(all.begin(), all.end(), [](const ADAPTER& a) { return a.ipv4_text == "127.0.0.1"; });
    ASSERT_NE(loopback, all.end());
    EXPECT_EQ(loopback->hardware_address, ZERO_MAC);
    // Its mask is read with it: /8.
    EXPECT_EQ(loopback->ipv4_mask, (IPV4{255, 0, 0, 0}));
    for (const ADAPTER& a : UsableAdapters(all)) EXPECT_NE(a.ipv4_text, "127.0.0.1");
}

}  // namespace
}  // namespace telvane
