#include "procedures/discovery.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/system_checks.h"
#include "net/testing.h"

namespace telvane {
namespace {

class NullSink final : public IDatagramSink {
public:
    void OnDatagram(const std::uint8_t*, int, const std::string&, std::uint16_t) override {}
};

// Guards against a missing adapter disturbing the socket that is open.
TEST(OpenDiscoverySocket, WithoutAdapterTouchesNothing) {
    CTelvaneSocket socket;
    ASSERT_TRUE(socket.Create("127.0.0.1"));
    const auto port = socket.LocalPort();
    EXPECT_EQ(OpenDiscoverySocket(socket, std::nullopt, nullptr), OPEN_RESULT::NO_ADAPTER);
    EXPECT_TRUE(socket.IsOpen());
    EXPECT_EQ(socket.LocalPort(), port);
}

// Guards against keeping the old socket when the new one cannot be made: the window
// cancels itself then and nothing may stay bound.
TEST(OpenDiscoverySocket, FailureLeavesNoSocketOpen) {
    CTelvaneSocket socket;
    ASSERT_TRUE(socket.Create("127.0.0.1"));
    EXPECT_EQ(OpenDiscoverySocket(socket, std::string("203.0.113.254"), nullptr), OPEN_RESULT::SOCKET_FAILED);
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(OpenDiscoverySocket(socket, std::string("no address"), nullptr), OPEN_RESULT::SOCKET_FAILED);
}

TEST(OpenDiscoverySocket, OpensOnAHeldAddress) {
    CTelvaneSocket socket;
    NullSink sink;
    EXPECT_EQ(OpenDiscoverySocket(socket, std::string("127.0.0.1"), &sink), OPEN_RESULT::OPENED);
    EXPECT_TRUE(socket.IsOpen());
    EXPECT_NE(socket.LocalPort(), 0);
}

std::vector<std::uint8_t> ExtendedReply() {
    std::vector<std::uint8_t> b(115 + 3, 0);
    b[0] = b[1] = 0xFF;
    b[2] = 0xC5;
    b[3] = 0xCE;
    b[4] = 0x02;
    b[9] = 0x01;
    b[10] = 192;
    b[13] = 9;
    b[40] = EXT_IPV6;
    b[114] = 3;
    b[115] = 'a';
    b[116] = 'b';
    b[117] = 'c';
    b[39] = Checksum(b.data(), 39);
    return b;
}

// Guards against the shared intake skipping the platform condition or the row callback.
TEST(TableIntake, TakesRepliesAsTheWindowDoes) {
    DEVICE_TABLE table;
    std::vector<std::int32_t> rows;
    CTableIntake intake(table, [&](std::int32_t index, const DEVICE_INFO&) { rows.push_back(index); });
    const auto reply = ExtendedReply();
    intake.OnDatagram(reply.data(), static_cast<int>(reply.size()), "192.0.2.2", 18768);
    intake.OnDatagram(reply.data(), static_cast<int>(reply.size()), "192.0.2.2", 18768);  // duplicate
    EXPECT_EQ(intake.DatagramCount(), 2);
    ASSERT_EQ(table.device_count, 1);
    EXPECT_EQ(rows, std::vector<std::int32_t>{0});
    EXPECT_EQ(table.entries[0].has_extension, 1);

    SetSupportsFullFunctionForTesting(false);
    table.device_count = 0;
    intake.OnDatagram(reply.data(), static_cast<int>(reply.size()), "192.0.2.2", 18768);
    SetSupportsFullFunctionForTesting(std::nullopt);
    ASSERT_EQ(table.device_count, 1);
    EXPECT_EQ(table.entries[0].has_extension, 0);
}

}  // namespace
}  // namespace telvane
