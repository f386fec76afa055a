#include <gtest/gtest.h>

#include <winsock2.h>

#include <mswsock.h>
#include <ws2tcpip.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "net/discovery_socket.h"
#include "net/pumped_wait.h"
#include "net/win32_socket.h"

namespace telvane {
namespace {

struct Received {
    std::vector<std::uint8_t> data;
    std::string sender;
    std::uint16_t port;
};

class RecordingSink final : public IDatagramSink {
public:
    std::vector<Received> got;
    std::vector<DROP_REASON> dropped;
    void OnDatagram(const std::uint8_t* data, int length, const std::string& sender, std::uint16_t port) override {
        got.push_back({std::vector<std::uint8_t>(data, data + length), sender, port});
    }
    void OnDropped(DROP_REASON reason) override { dropped.push_back(reason); }
};

// The whole Windows path: the socket watched by the thread's loop, a pumped wait, the
// read with its arrival, the rule, and the sender handed on as text.
TEST(Win32DiscoverySocket, HandsOnWhatArrivesDuringAPumpedWait) {
    CTelvaneSocket socket;
    ASSERT_TRUE(socket.Create("127.0.0.1"));
    ASSERT_TRUE(socket.SetBroadcast(true));
    RecordingSink sink;
    socket.SetOwner(&sink);

    win32::UdpSocket peer;
    ASSERT_TRUE(peer.Open(IPV4{127, 0, 0, 1}));
    const std::array<std::uint8_t, 3> first = {1, 2, 3};
    const std::array<std::uint8_t, 2> second = {4, 5};
    ASSERT_EQ(peer.SendTo(first, 0x7F000001, socket.LocalPort()), 3);
    ASSERT_EQ(peer.SendTo(second, 0x7F000001, socket.LocalPort()), 2);
    PumpMessages(300);

    ASSERT_EQ(sink.got.size(), 2u);
    EXPECT_EQ(sink.got[0].data, std::vector<std::uint8_t>({1, 2, 3}));
    EXPECT_EQ(sink.got[1].data, std::vector<std::uint8_t>({4, 5}));
    EXPECT_EQ(sink.got[0].sender, "127.0.0.1");
    EXPECT_EQ(sink.got[0].port, peer.LocalPort());
}

// The intake counts what the socket drops itself; the next datagram still comes through.
TEST(Win32DiscoverySocket, ReportsADatagramTooLongForTheReceiveArea) {
    CTelvaneSocket socket;
    ASSERT_TRUE(socket.Create("127.0.0.1"));
    RecordingSink sink;
    socket.SetOwner(&sink);
    win32::UdpSocket peer;
    ASSERT_TRUE(peer.Open(IPV4{127, 0, 0, 1}));
    const std::vector<std::uint8_t> too_long(RECEIVE_BUFFER_SIZE + 1, 0xEE);
    const std::vector<std::uint8_t> longest(RECEIVE_BUFFER_SIZE, 0xDD);
    ASSERT_GT(peer.SendTo(too_long, 0x7F000001, socket.LocalPort()), 0);
    ASSERT_GT(peer.SendTo(longest, 0x7F000001, socket.LocalPort()), 0);
    PumpMessages(300);
    EXPECT_EQ(sink.dropped, std::vector<DROP_REASON>{DROP_REASON::TOO_LONG});
    ASSERT_EQ(sink.got.size(), 1u);
    EXPECT_EQ(sink.got[0].data.size(), RECEIVE_BUFFER_SIZE);
}

// Guards against the control messages being walked for ever on a header whose length is
// zero (WSA_CMSG_NXTHDR stays on it), or past the area on one that claims too much.
TEST(Win32DiscoverySocket, ControlMessagesAreWalkedWithinTheirArea) {
    alignas(WSACMSGHDR) std::array<char, 2 * WSA_CMSG_SPACE(sizeof(IN_PKTINFO))> control{};
    const auto put = [&](std::size_t offset, std::size_t length, int type) {
        WSACMSGHDR h{};
        h.cmsg_len = length;
        h.cmsg_level = IPPROTO_IP;
        h.cmsg_type = type;
        std::memcpy(control.data() + offset, &h, sizeof h);
        IN_PKTINFO info{};
        info.ipi_addr.s_addr = htonl(0xC0000201);
        info.ipi_ifindex = 7;
        std::memcpy(control.data() + offset + WSA_CMSGDATA_ALIGN(sizeof h), &info, sizeof info);
    };
    const std::size_t space = WSA_CMSG_SPACE(sizeof(IN_PKTINFO));
    win32::Arrival arrival;
    put(0, WSA_CMSG_LEN(sizeof(IN_PKTINFO)), IP_PKTINFO);
    win32::ReadPacketInfo(control, arrival);
    EXPECT_EQ(arrival.destination_address, 0xC0000201u);
    EXPECT_EQ(arrival.arrived_on, 7u);

    for (const std::size_t bad : {std::size_t{0}, sizeof(WSACMSGHDR) - 1, 3 * space}) {
        arrival = {};
        put(0, bad, IP_PKTINFO);
        put(space, WSA_CMSG_LEN(sizeof(IN_PKTINFO)), IP_PKTINFO);
        win32::ReadPacketInfo(control, arrival);
        EXPECT_EQ(arrival.arrived_on, 0u) << "a header of length " << bad << " ends the walk";
    }
    // Another kind of message first is stepped over.
    arrival = {};
    put(0, WSA_CMSG_LEN(sizeof(IN_PKTINFO)), IP_TOS);
    win32::ReadPacketInfo(control, arrival);
    EXPECT_EQ(arrival.arrived_on, 7u);
}

TEST(Win32DiscoverySocket, NothingArrivesAfterClose) {
    CTelvaneSocket socket;
    ASSERT_TRUE(socket.Create("127.0.0.1"));
    RecordingSink sink;
    socket.SetOwner(&sink);
    const std::uint16_t port = socket.LocalPort();
    socket.Close();
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.LocalPort(), 0);

    win32::UdpSocket peer;
    ASSERT_TRUE(peer.Open(IPV4{127, 0, 0, 1}));
    const std::array<std::uint8_t, 1> byte = {9};
    ASSERT_EQ(peer.SendTo(byte, 0x7F000001, port), 1);
    PumpMessages(200);
    EXPECT_TRUE(sink.got.empty());
}

TEST(Win32DiscoverySocket, RefusesAnAddressNoAdapterHolds) {
    CTelvaneSocket socket;
    EXPECT_FALSE(socket.Create("203.0.113.77"));
    EXPECT_FALSE(socket.Create("not an address"));
    EXPECT_FALSE(socket.IsOpen());
}

}  // namespace
}  // namespace telvane
