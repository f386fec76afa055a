#include "platform/discovery_socket.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

// The start-up's "Socket Initialization failure" depends on these failing.
TEST(DiscoverySocketCreate, FailsForTextThatIsNoIpv4Address) {
    CTelvaneSocket socket;
    EXPECT_FALSE(socket.Create("not an address"));
    EXPECT_FALSE(socket.Create("192.0.2"));
    EXPECT_FALSE(socket.Create(""));
    EXPECT_FALSE(socket.IsOpen());
}

// An adapter that lost its address since the list was made must not give a socket.
TEST(DiscoverySocketCreate, FailsWhenNoAdapterHoldsTheAddress) {
    CTelvaneSocket socket;
    EXPECT_FALSE(socket.Create("203.0.113.254"));
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.SendTo(reinterpret_cast<const std::uint8_t*>("x"), 1, 0x7F000001u, 9), -1);
}

// Opening binds a port of the system's choosing; closing gives it up; opening again
// yields another socket. Loopback is used only to open: nothing is sent here.
TEST(DiscoverySocketCreate, OpensOnAHeldAddressAndClosesAgain) {
    CTelvaneSocket socket;
    ASSERT_TRUE(socket.Create("127.0.0.1"));
    EXPECT_TRUE(socket.IsOpen());
    EXPECT_NE(socket.LocalPort(), 0);
    EXPECT_TRUE(socket.SetBroadcast(true));
    socket.Close();
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.LocalPort(), 0);
    EXPECT_FALSE(socket.SetBroadcast(true));
}

}  // namespace
}  // namespace telvane
