#include "net/system_checks.h"
#include "net/testing.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

class SystemChecksTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetStartSocketsForTesting(std::nullopt);
        SetSupportsFullFunctionForTesting(std::nullopt);
        SetIpv6AvailableForTesting(std::nullopt);
    }
};

// Guards against an override that does not take, or sticks after it was lifted.
TEST_F(SystemChecksTest, OverridesTakeAndLift) {
    const bool real_start = StartSockets();
    const bool real_ipv6 = Ipv6Available();
    SetStartSocketsForTesting(!real_start);
    SetSupportsFullFunctionForTesting(false);
    SetIpv6AvailableForTesting(!real_ipv6);
    EXPECT_EQ(StartSockets(), !real_start);
    EXPECT_FALSE(SupportsFullFunction());
    EXPECT_EQ(Ipv6Available(), !real_ipv6);
    TearDown();
    EXPECT_EQ(StartSockets(), real_start);
    EXPECT_TRUE(SupportsFullFunction());
    EXPECT_EQ(Ipv6Available(), real_ipv6);
}

// The tests themselves make UDP sockets, so the real answer here is yes.
TEST_F(SystemChecksTest, SocketsStartHere) { EXPECT_TRUE(StartSockets()); }

}  // namespace
}  // namespace telvane
