// Faults around the discovery socket, made for real inside the namespaces: an adapter
// that loses its address, a link that goes down, ICMP errors, datagrams longer than
// the receive area, and ports that come back.
#include <QtCore/QProcess>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QUdpSocket>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "net/adapters.h"
#include "net/network_state.h"
#include "net/pumped_wait.h"
#include "net/testing.h"
#include "procedures/discovery.h"
#include "protocol/text.h"
#include "tests/netns/harness.h"
#include "tools/cli/commands.h"

namespace telvane {
namespace {

using netns::RunTool;
using netns::SimProcess;
using Clock = std::chrono::steady_clock;

constexpr char DEVICE_MAC[] = "02-00-00-00-0e-01";
constexpr char ONE_DEVICE[] = R"({"devices": [{"mac": "02-00-00-00-0e-01", "ipv4_address": "192.0.2.95"}]})";

int Ip(const std::vector<std::string>& args) {
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    return QProcess::execute(QStringLiteral("ip"), list);
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of this process over a stretch of wall time, as a share of it.
class CpuShare final {
public:
    CpuShare() : cpu_(std::clock()), wall_(Clock::now()) {}
    double Share() const {
        const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC;
        return cpu_ms / MsSince(wall_);
    }

private:
    std::clock_t cpu_;
    Clock::time_point wall_;
};

bool Lists(const DEVICE_TABLE& table, const std::string& mac) {
    for (std::int32_t i = 0; i < table.device_count; ++i) {
        if (FormatMac(table.entries[static_cast<std::size_t>(i)].mac) == mac) return true;
    }
    return false;
}

struct Discovery {
    std::unique_ptr<DEVICE_TABLE> table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake{*table};
    CTelvaneSocket socket;

    OPEN_RESULT Open(int adapter = 1) { return OpenDiscoverySocket(socket, netns::AdapterAddress(adapter), &intake); }
    std::optional<SEND_FAILURE> Enumerate() { return EnumerateIntoTable(socket, *table); }
    int Descriptor() const { return socket.Descriptor(); }
};

class FaultNetnsTest : public netns::NetnsTest {};

// The adapter's address disappears between listing and opening: the socket cannot be
// made. Guards against a half-open socket, a send from nowhere, or a hang.
TEST_F(FaultNetnsTest, AdapterAddressGoneBeforeEnumeration) {
    SimProcess sim(R"({"devices": [{"ipv4_address": "198.51.100.95"}]})");
    ASSERT_TRUE(sim.Start());
    Discovery d;
    ASSERT_EQ(d.Open(2), OPEN_RESULT::OPENED);
    const std::string with_prefix = netns::AdapterAddress(2) + "/24";
    ASSERT_EQ(Ip({"addr", "del", with_prefix, "dev", "tvp2"}), 0);
    const OPEN_RESULT result = d.Open(2);
    const bool open_after = d.socket.IsOpen();
    // The command line's enumerate, from an adapter list taken before the address went.
    SetAdapterSourceForTesting([] {
        return std::vector<ADAPTER>{{*ParseMac(netns::AdapterMac(2)), netns::AdapterAddress(2)}};
    });
    ::testing::internal::CaptureStderr();
    cli::ENUMERATE_ARGS args;
    args.adapter = netns::AdapterAddress(2);
    const cli::EXIT_CODE exit_code = cli::RunEnumerate(args);
    const std::string err = ::testing::internal::GetCapturedStderr();
    SetAdapterSourceForTesting(nullptr);
    ASSERT_EQ(Ip({"addr", "add", with_prefix, "dev", "tvp2"}), 0);

    EXPECT_EQ(result, OPEN_RESULT::SOCKET_FAILED);
    EXPECT_FALSE(open_after);                // the old socket is gone too
    EXPECT_EQ(exit_code, cli::EXIT_CODE::LOCAL);  // a local failure, not the device's answer
    EXPECT_NE(err.find("Socket Initialization failure"), std::string::npos) << err;
    PumpMessages(100);
    EXPECT_TRUE(sim.Received().empty()) << sim.LogText();
    // With the address back, the next enumeration works again.
    ASSERT_EQ(d.Open(2), OPEN_RESULT::OPENED);
    d.Enumerate();
    EXPECT_EQ(d.table->device_count, 1);
}

// Sends fail while the link is down or the address went away under an open socket.
// Guards against a hang or a crash on a failed send, and against a socket that stays
// broken once the link is back.
TEST_F(FaultNetnsTest, FailedSendsEndTheEnumerationOnTime) {
    SimProcess sim(ONE_DEVICE);
    ASSERT_TRUE(sim.Start());
    Discovery d;
    ASSERT_EQ(d.Open(), OPEN_RESULT::OPENED);
    const auto request = std::array<std::uint8_t, 5>{0xFF, 0xFF, 0x45, 0x4E, 0x91};

    ASSERT_EQ(Ip({"link", "set", "tvp1", "down"}), 0);
    const int sent_down = d.socket.SendTo(request.data(), 5, BROADCAST_ADDRESS, DISCOVERY_PORT);
    const std::string reason = d.socket.LastSendError();
    auto start = Clock::now();
    const auto failure = d.Enumerate();
    const double down_ms = MsSince(start);
    ASSERT_EQ(Ip({"link", "set", "tvp1", "up"}), 0);
    EXPECT_EQ(sent_down, -1);
    EXPECT_EQ(reason, "Network is unreachable");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, reason);
    EXPECT_EQ(d.table->device_count, 0);
    EXPECT_GE(down_ms, 440.0);
    EXPECT_LT(down_ms, 2000.0);

    const std::string with_prefix = netns::AdapterAddress(1) + "/24";
    ASSERT_EQ(Ip({"addr", "del", with_prefix, "dev", "tvp1"}), 0);
    start = Clock::now();
    d.Enumerate();
    const double gone_ms = MsSince(start);
    ASSERT_EQ(Ip({"addr", "add", with_prefix, "dev", "tvp1"}), 0);
    EXPECT_EQ(d.table->device_count, 0);
    EXPECT_LT(gone_ms, 2000.0);

    // The carrier needs a moment after the link comes up.
    for (int i = 0; i < 50 && d.table->device_count == 0; ++i) {
        ASSERT_EQ(d.Open(), OPEN_RESULT::OPENED);
        d.Enumerate();
    }
    EXPECT_TRUE(Lists(*d.table, DEVICE_MAC)) << sim.LogText();
}

// The carrier needs a moment after the link comes up.
void WaitForCarrier(const std::string& name) {
    const auto up = [&] {
        for (const auto& s : QueryInterfaceStates())
            if (s.name == name) return s.carrier;
        return false;
    };
    for (int i = 0; i < 100 && !up(); ++i) PumpMessages(50);
}

// Guards against an adapter that is down giving an empty list and exit 0, and a set
// on it reporting the device's silence: both are local failures that name the adapter.
TEST_F(FaultNetnsTest, AdapterThatIsDownIsNamedAsALocalFailure) {
    SimProcess sim(R"({"devices": [{"mac": "02-00-00-00-0e-01", "ipv4_address": "192.0.2.95", "interface": "tvd1"}]})");
    ASSERT_TRUE(sim.Start());
    const std::string adapter = netns::AdapterAddress(1);
    ASSERT_EQ(Ip({"link", "set", "tvp1", "down"}), 0);
    const auto listed = RunTool("telvane-cli", {"enumerate", "--adapter", adapter, "--json"});
    const auto set = RunTool("telvane-cli", {"set", "--adapter", adapter, "--mac", DEVICE_MAC, "--dhcp"});
    const auto all = RunTool("telvane-cli", {"enumerate", "--all-adapters", "--csv"});
    ASSERT_EQ(Ip({"link", "set", "tvp1", "up"}), 0);
    WaitForCarrier("tvp1");

    const std::string down = "adapter " + adapter + " (tvp1) is down";
    EXPECT_EQ(listed.exit_code, cli::ExitStatus(cli::EXIT_CODE::LOCAL)) << listed.out;
    EXPECT_EQ(listed.out, "{\"error\": {\"code\": \"adapter-down\", \"message\": \"" + down + "\", \"exit\": 4}}\n");
    EXPECT_EQ(set.exit_code, cli::ExitStatus(cli::EXIT_CODE::LOCAL)) << set.out;
    EXPECT_NE(set.err.find(down), std::string::npos) << set.err;
    // Every adapter: the one that is down is left out, said so, and the others listed.
    EXPECT_EQ(all.exit_code, 0) << all.err;
    EXPECT_NE(all.err.find(down + "; left out"), std::string::npos) << all.err;
    EXPECT_NE(all.out.find("mac,"), std::string::npos) << all.out;
    for (const auto& line : sim.Received()) EXPECT_NE(line.interface, netns::SimInterface(1)) << sim.LogText();
}

// A firewall rule that refuses the program's requests on their way out while it lives:
// the system then fails each send (EPERM) with the link up.
struct RefusedOnTheWayOut {
    explicit RefusedOnTheWayOut(const std::string& match)
        : ok(std::system(("nft add table inet telvane_out && nft add chain inet telvane_out out '{ type filter hook "
                          "output priority 0; }' && nft add rule inet telvane_out out udp dport 18768 " +
                          match + " drop")
                             .c_str()) == 0) {}
    ~RefusedOnTheWayOut() {
        if (std::system("nft delete table inet telvane_out") != 0) ADD_FAILURE() << "the nft rule stays";
    }
    const bool ok;
};

// Guards against requests that never left being reported as silence: an enumeration
// whose sends fail is not an empty list, a set whose request fails is not "no-answer";
// both exit 4 with the system's reason.
TEST_F(FaultNetnsTest, RequestsTheSystemRefusesToSendAreLocalFailures) {
    SimProcess sim(ONE_DEVICE);
    ASSERT_TRUE(sim.Start());
    const std::string adapter = netns::AdapterAddress(1);
    netns::TOOL_RESULT listed, set;
    {
        // Set requests only (type 0x4950 or 0x4941 after the marker): the enumeration before the set works.
        RefusedOnTheWayOut refused("@th,80,16 '{ 0x4950, 0x4941 }'");
        ASSERT_TRUE(refused.ok);
        set = RunTool("telvane-cli", {"set", "--adapter", adapter, "--mac", DEVICE_MAC, "--dhcp", "--json"});
    }
    {
        RefusedOnTheWayOut refused("");
        ASSERT_TRUE(refused.ok);
        listed = RunTool("telvane-cli", {"enumerate", "--adapter", adapter});
    }
    EXPECT_EQ(set.exit_code, cli::ExitStatus(cli::EXIT_CODE::LOCAL)) << set.out;
    EXPECT_NE(set.out.find("\"outcome\": \"not-sent\", \"sends\": 0"), std::string::npos) << set.out;
    EXPECT_NE(set.out.find("\"code\": \"send\", \"message\": \"cannot send on adapter " + adapter +
                           ": Operation not permitted\", \"exit\": 4"),
              std::string::npos)
        << set.out;
    EXPECT_EQ(listed.exit_code, cli::ExitStatus(cli::EXIT_CODE::LOCAL)) << listed.out;
    EXPECT_EQ(listed.out, "");
    EXPECT_NE(listed.err.find("cannot send on adapter " + adapter + ": Operation not permitted"), std::string::npos)
        << listed.err;
    EXPECT_EQ(sim.SetRequests().size(), 0u) << sim.LogText();
}

// Unicasts to a closed port bring ICMP port-unreachable errors back to the socket.
// Guards against a receive notification that spins on them, and against a socket
// that takes nothing more afterwards; both with the system's default and with the
// errors queued on the socket (IP_RECVERR, as some platforms report them).
void IcmpErrorsNeitherSpinNorStop(bool queue_errors) {
    SimProcess sim(ONE_DEVICE);
    ASSERT_TRUE(sim.Start());
    Discovery d;
    ASSERT_EQ(d.Open(), OPEN_RESULT::OPENED);
    if (queue_errors) {
        const int on = 1;
        ASSERT_EQ(setsockopt(d.Descriptor(), IPPROTO_IP, IP_RECVERR, &on, sizeof on), 0);
    }
    const auto sim_address = ParseIpv4(netns::SimAddress(1));
    ASSERT_TRUE(sim_address);
    const std::uint32_t to = (std::uint32_t{(*sim_address)[0]} << 24) | (std::uint32_t{(*sim_address)[1]} << 16) |
                             (std::uint32_t{(*sim_address)[2]} << 8) | (*sim_address)[3];
    const std::uint8_t probe[] = {0x00};
    const CpuShare cpu;
    for (int i = 0; i < 50; ++i) {
        // Port 9 (discard) is closed on the device side; the kernel answers each.
        EXPECT_EQ(d.socket.SendTo(probe, 1, to, 9), 1);
        PumpMessages(20);
    }
    PumpMessages(500);
    const double share = cpu.Share();
    std::printf("ICMP errors%s: processor share %.2f\n", queue_errors ? " (queued)" : "", share);
    EXPECT_LT(share, 0.5) << "the receive notification spins";
    // Later datagrams are still taken, on the same socket.
    EXPECT_FALSE(BroadcastEnumerateRequests(d.socket));
    EXPECT_TRUE(Lists(*d.table, DEVICE_MAC)) << sim.LogText();
}

TEST_F(FaultNetnsTest, IcmpErrorsNeitherSpinNorStopLaterDatagrams) {
    IcmpErrorsNeitherSpinNorStop(false);
}
TEST_F(FaultNetnsTest, QueuedIcmpErrorsNeitherSpinNorStopLaterDatagrams) {
    IcmpErrorsNeitherSpinNorStop(true);
}

// Guards against a datagram over the receive area being cut and handed on, and
// against one that throws the following datagrams off.
TEST_F(FaultNetnsTest, DatagramsOverTheReceiveAreaAreDroppedAndTheNextAreTaken) {
    Discovery d;
    ASSERT_EQ(d.Open(), OPEN_RESULT::OPENED);
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress(QString::fromStdString(netns::AdapterAddress(1))), 0));
    const QHostAddress to(QString::fromStdString(netns::AdapterAddress(1)));
    // A well-formed 40-byte reply; the MAC's last byte tells them apart.
    const auto reply = [](std::uint8_t n) {
        QByteArray r(40, '\0');
        const char head[] = "\xFF\xFF\xC5\xCE\x02\x00\x00\x00\x0d";
        for (int i = 0; i < 9; ++i) r[i] = head[i];
        r[9] = static_cast<char>(n);
        r[10] = 10;
        r[13] = static_cast<char>(n);
        r[39] = static_cast<char>(Checksum(reinterpret_cast<const std::uint8_t*>(r.constData()), 39));
        return r;
    };
    const int sizes[] = {2049, 2100, 4096, 9000, 65507};
    std::uint8_t n = 1;
    for (const int size : sizes) {
        QByteArray big = reply(0xEE);
        big.resize(size, '\x20');
        ASSERT_EQ(peer.writeDatagram(big, to, d.socket.LocalPort()), size);
        ASSERT_EQ(peer.writeDatagram(reply(n), to, d.socket.LocalPort()), 40);
        ++n;
    }
    QByteArray exact = reply(0xDD);
    exact.resize(2048, '\x20');
    ASSERT_EQ(peer.writeDatagram(exact, to, d.socket.LocalPort()), 2048);
    PumpMessages(300);
    EXPECT_EQ(d.intake.DatagramCount(), 6);
    EXPECT_EQ(d.table->device_count, 6);
    EXPECT_FALSE(Lists(*d.table, "02-00-00-00-0d-ee"));
    EXPECT_TRUE(Lists(*d.table, "02-00-00-00-0d-dd"));
    for (std::uint8_t k = 1; k < n; ++k) {
        char mac[32];
        std::snprintf(mac, sizeof mac, "02-00-00-00-0d-%02x", k);
        EXPECT_TRUE(Lists(*d.table, mac)) << mac;
    }
}

// Guards against datagrams lost unseen when the receive queue overflows, and against a
// socket too long for the area going uncounted: the summary must add up to what was sent.
TEST_F(FaultNetnsTest, OverflowAndOversizeAreCountedNotLost) {
    Discovery d;
    ASSERT_EQ(d.Open(), OPEN_RESULT::OPENED);
    // The smallest queue the system allows, so that a short burst overflows it.
    const int small = 1;
    ASSERT_EQ(setsockopt(d.Descriptor(), SOL_SOCKET, SO_RCVBUFFORCE, &small, sizeof small), 0);
    QUdpSocket peer;
    const QHostAddress to(QString::fromStdString(netns::AdapterAddress(1)));
    QByteArray reply(40, '\0');
    reply[0] = reply[1] = '\xFF';
    reply[2] = '\xC5';
    reply[3] = '\xCE';
    reply[39] = static_cast<char>(Checksum(reinterpret_cast<const std::uint8_t*>(reply.constData()), 39));
    constexpr int SENT = 200;
    for (int i = 0; i < SENT; ++i) ASSERT_EQ(peer.writeDatagram(reply, to, d.socket.LocalPort()), 40);
    // Room again, and two more: one too long for the receive area, one that brings the
    // system's count of what it dropped.
    const int roomy = 1 << 20;
    ASSERT_EQ(setsockopt(d.Descriptor(), SOL_SOCKET, SO_RCVBUFFORCE, &roomy, sizeof roomy), 0);
    PumpMessages(100);
    QByteArray big = reply;
    big.resize(3000, ' ');
    ASSERT_EQ(peer.writeDatagram(big, to, d.socket.LocalPort()), 3000);
    ASSERT_EQ(peer.writeDatagram(reply, to, d.socket.LocalPort()), 40);
    PumpMessages(100);

    const INTAKE_COUNTS& c = d.table->ignored;
    EXPECT_EQ(d.table->device_count, 1);
    EXPECT_GT(c.lost_in_system, 0u);
    EXPECT_EQ(c.Of(DROP_REASON::TOO_LONG), 1u);
    EXPECT_EQ(1 + c.Of(DROP_REASON::DUPLICATE) + c.lost_in_system, static_cast<std::uint64_t>(SENT + 1));
    EXPECT_NE(IntakeSummary(d.table->device_count, c).find(" lost in the system's receive queue"), std::string::npos);
}

// The system may hand a closed socket's port straight to the next one. Guards against
// late replies to the previous enumeration being taken by the new socket: each
// enumeration must get a port other than the one before. Two ports in the range make
// the system's choice a coin toss.
TEST_F(FaultNetnsTest, ReopenedSocketNeverGetsThePreviousPort) {
    const auto range = [](const char* value) {
        return QProcess::execute(QStringLiteral("sysctl"),
                                 {QStringLiteral("-q"), QStringLiteral("-w"),
                                  QStringLiteral("net.ipv4.ip_local_port_range=") + QString::fromLatin1(value)});
    };
    QProcess read;
    read.start(QStringLiteral("sysctl"), {QStringLiteral("-n"), QStringLiteral("net.ipv4.ip_local_port_range")});
    ASSERT_TRUE(read.waitForFinished());
    const QString saved = QString::fromLatin1(read.readAllStandardOutput()).simplified();
    ASSERT_EQ(range("40100 40101"), 0);
    Discovery d;
    std::set<std::uint16_t> ports;
    int same = 0;
    std::uint16_t previous = 0;
    for (int i = 0; i < 20; ++i) {
        if (d.Open() != OPEN_RESULT::OPENED) break;
        ports.insert(d.socket.LocalPort());
        same += d.socket.LocalPort() == previous ? 1 : 0;
        previous = d.socket.LocalPort();
    }
    range(saved.toLatin1().constData());
    EXPECT_EQ(same, 0);
    EXPECT_EQ(ports.size(), 2u);
}

}  // namespace
}  // namespace telvane
