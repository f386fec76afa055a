#include "net/discovery_socket.h"

#include <arpa/inet.h>

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

// Guards against losing every reply on a computer with two adapters on one subnet: a
// reply to the chosen address may come in on the other adapter. A broadcast counts only
// on the chosen one, and a datagram for another adapter's address not at all.
TEST(DiscoverySocketAcceptance, ChosenAdapterOrItsAddress) {
    const std::uint32_t chosen = htonl(0xCB007101u);  // 203.0.113.1
    const std::uint32_t other = htonl(0xCB007105u);   // 203.0.113.5
    const std::uint32_t broadcast = htonl(0xFFFFFFFFu);
    EXPECT_TRUE(IsForChosenAdapter(3, chosen, 3, chosen));
    EXPECT_TRUE(IsForChosenAdapter(4, chosen, 3, chosen));
    EXPECT_TRUE(IsForChosenAdapter(3, broadcast, 3, chosen));
    EXPECT_FALSE(IsForChosenAdapter(4, broadcast, 3, chosen));
    EXPECT_FALSE(IsForChosenAdapter(4, other, 3, chosen));
}

}  // namespace
}  // namespace telvane
