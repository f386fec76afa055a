// Enumeration over a real wire: the program side's discovery socket against the
// simulator across veth links.
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "inventory/row_text.h"
#include "net/pumped_wait.h"
#include "procedures/discovery.h"
#include "protocol/text.h"
#include "tests/netns/harness.h"

namespace telvane {
namespace {

using netns::SimProcess;

const std::vector<std::uint8_t> ENUMERATE_BYTES = {0xFF, 0xFF, 0x45, 0x4E, 0x91};

// One enumeration as the window runs it, on the adapter with the given address.
struct Enumeration {
    std::unique_ptr<DEVICE_TABLE> table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake{*table};
    CTelvaneSocket socket;
    std::uint16_t port = 0;

    bool Run(const std::string& adapter_address) {
        if (OpenDiscoverySocket(socket, adapter_address, &intake) != OPEN_RESULT::OPENED) return false;
        port = socket.LocalPort();
        EXPECT_FALSE(EnumerateIntoTable(socket, *table));
        return true;
    }
    const DEVICE_INFO* Find(const std::string& mac) const {
        for (std::int32_t i = 0; i < table->device_count; ++i) {
            if (FormatMac(table->entries[static_cast<std::size_t>(i)].mac) == mac) {
                return &table->entries[static_cast<std::size_t>(i)];
            }
        }
        return nullptr;
    }
};

class EnumerationNetnsTest : public netns::NetnsTest {};

// Guards against requests that are not the five bytes, not three, not spaced by the
// waits, or that leave by another adapter or from another address or port.
TEST_F(EnumerationNetnsTest, ThreeRequestsFromTheChosenAdapter) {
    SimProcess sim(R"({"devices": []})");
    ASSERT_TRUE(sim.Start());
    Enumeration e;
    ASSERT_TRUE(e.Run(netns::AdapterAddress(1)));
    PumpMessages(100);
    const auto received = sim.Received();
    ASSERT_EQ(received.size(), 3u) << sim.LogText();
    for (const auto& r : received) {
        EXPECT_EQ(r.data, ENUMERATE_BYTES);
        EXPECT_EQ(r.from_address, netns::AdapterAddress(1));
        EXPECT_EQ(r.from_port, e.port);
        EXPECT_EQ(r.to_address, "255.255.255.255");
        EXPECT_EQ(r.interface, netns::SimInterface(1));
    }
    // The pumped wait of 150 ms stands between two sends.
    for (std::size_t i = 1; i < received.size(); ++i) {
        EXPECT_GE(received[i].t_ms - received[i - 1].t_ms, 140.0);
        EXPECT_LE(received[i].t_ms - received[i - 1].t_ms, 1000.0);
    }
}

// Guards against the first adapter being used whatever was chosen.
TEST_F(EnumerationNetnsTest, SecondAdapterBroadcastsFromItsAddress) {
    SimProcess sim(R"({"devices": [
        {"mac": "02-00-00-00-00-01", "ipv4_address": "192.0.2.30", "interface": "tvd1"},
        {"mac": "02-00-00-00-00-02", "ipv4_address": "198.51.100.30", "interface": "tvd2"}]})");
    ASSERT_TRUE(sim.Start());
    Enumeration e;
    ASSERT_TRUE(e.Run(netns::AdapterAddress(2)));
    const auto received = sim.Received();
    ASSERT_EQ(received.size(), 3u) << sim.LogText();
    for (const auto& r : received) {
        EXPECT_EQ(r.from_address, netns::AdapterAddress(2));
        EXPECT_EQ(r.interface, netns::SimInterface(2));
    }
    EXPECT_EQ(e.table->device_count, 1);
    EXPECT_NE(e.Find("02-00-00-00-00-02"), nullptr);
}

// Guards against replies sent to 255.255.255.255 or to the subnet broadcast being
// missed (a socket bound to the unicast address never sees them), and against a
// device in another subnet going unseen.
TEST_F(EnumerationNetnsTest, RepliesByEveryRouteAreTaken) {
    SimProcess sim(R"({"devices": [
        {"mac": "02-00-00-00-00-01", "ipv4_address": "192.0.2.31", "answer": "unicast"},
        {"mac": "02-00-00-00-00-02", "ipv4_address": "192.0.2.32", "answer": "broadcast"},
        {"mac": "02-00-00-00-00-03", "ipv4_address": "192.0.2.33", "answer": "subnet"},
        {"mac": "02-00-00-00-00-04", "ipv4_address": "10.20.30.40", "ipv4_mask": "255.0.0.0"}]})");
    ASSERT_TRUE(sim.Start());
    Enumeration e;
    ASSERT_TRUE(e.Run(netns::AdapterAddress(1)));
    EXPECT_EQ(e.table->device_count, 4) << sim.LogText();
    EXPECT_EQ(e.intake.DatagramCount(), 12);
    for (const char* mac : {"02-00-00-00-00-01", "02-00-00-00-00-02", "02-00-00-00-00-03", "02-00-00-00-00-04"}) {
        EXPECT_NE(e.Find(mac), nullptr) << mac;
    }
    // The device in another subnet could only answer by limited broadcast.
    std::map<std::string, int> routes;
    for (const auto& s : sim.Sent()) ++routes[s.to_address];
    EXPECT_EQ(routes["255.255.255.255"], 6);
    EXPECT_EQ(routes["192.0.2.255"], 3);
    EXPECT_EQ(routes[netns::AdapterAddress(1)], 3);
}

// Every form of reply the devices send, each listed once although it answered three
// times. Guards against a form the intake or the socket loses on the way.
TEST_F(EnumerationNetnsTest, EveryReplyFormIsListedOnce) {
    SimProcess sim(R"({"devices": [
        {"mac": "02-00-00-00-01-01", "ipv4_address": "192.0.2.41", "reply": "base", "model_name": "BASE-16-LETTERS!"},
        {"mac": "02-00-00-00-01-02", "ipv4_address": "192.0.2.42", "device_name": "Eight bit"},
        {"mac": "02-00-00-00-01-03", "ipv4_address": "192.0.2.43", "device_name": "Wide 名前", "name_encoding": "utf16"},
        {"mac": "02-00-00-00-01-04", "ipv4_address": "192.0.2.44", "device_name": "x", "name_encoding": "invalid"},
        {"mac": "02-00-00-00-01-05", "ipv4_address": "192.0.2.45", "locked": true, "dhcp": true},
        {"mac": "02-00-00-00-01-06", "ipv4_address": "192.0.2.46", "ipv6": true, "ipv6_address": "2001:db8::46",
         "ipv6_prefix_length": 64, "dns4_preferred": "192.0.2.53", "dns6_preferred": "2001:db8::53"},
        {"mac": "02-00-00-00-01-07", "ipv4_address": "192.0.2.47", "status_extra": 4}]})");
    ASSERT_TRUE(sim.Start());
    Enumeration e;
    ASSERT_TRUE(e.Run(netns::AdapterAddress(1)));
    ASSERT_EQ(e.table->device_count, 6) << sim.LogText();
    EXPECT_EQ(DeviceNameText(*e.Find("02-00-00-00-01-01")), u"N/A");
    EXPECT_EQ(ModelNameText(*e.Find("02-00-00-00-01-01")), u"BASE-16-LETTERS!");
    EXPECT_EQ(DeviceNameText(*e.Find("02-00-00-00-01-02")), u"Eight bit");
    EXPECT_EQ(DeviceNameText(*e.Find("02-00-00-00-01-03")), u"Wide 名前");
    EXPECT_EQ(DeviceNameText(*e.Find("02-00-00-00-01-04")), u"Invalid Device Name!!!");
    EXPECT_EQ(e.Find("02-00-00-00-01-05")->locked, 1);
    EXPECT_EQ(e.Find("02-00-00-00-01-05")->dhcp, 1);
    EXPECT_EQ(IpAddressText(*e.Find("02-00-00-00-01-06")), u"192.0.2.46 (2001:db8::46)");
    EXPECT_EQ(e.Find("02-00-00-00-01-07"), nullptr);  // reserved status bit
}

// Guards against keeping the old socket (or its port) across enumerations: replies
// to the first enumeration that come late must be lost.
TEST_F(EnumerationNetnsTest, SecondEnumerationTakesANewPortAndLosesTheOld) {
    SimProcess sim(R"({"devices": [{"mac": "02-00-00-00-02-01", "ipv4_address": "192.0.2.51", "delay_ms": 600}]})");
    ASSERT_TRUE(sim.Start());
    auto table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
    const auto first_port = socket.LocalPort();
    EXPECT_FALSE(EnumerateIntoTable(socket, *table));
    EXPECT_EQ(intake.DatagramCount(), 0);  // the device is slower than the enumeration
    ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
    const auto second_port = socket.LocalPort();
    EXPECT_NE(second_port, first_port);
    EXPECT_FALSE(EnumerateIntoTable(socket, *table));
    PumpMessages(1200);  // every late reply has come by now
    const auto sent = sim.Sent();
    ASSERT_EQ(sent.size(), 6u) << sim.LogText();
    int to_first = 0;
    for (const auto& s : sent) to_first += s.to_port == first_port ? 1 : 0;
    EXPECT_EQ(to_first, 3);
    EXPECT_EQ(intake.DatagramCount(), 3);  // only the replies to the second port
    EXPECT_EQ(table->device_count, 1);
}

// Guards against taking datagrams that did not come in on the chosen adapter (the
// socket is bound to every address).
TEST_F(EnumerationNetnsTest, OnlyDatagramsOnTheChosenAdapterAreTaken) {
    DEVICE_TABLE table;
    CTableIntake intake(table);
    CTelvaneSocket socket;
    ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
    QUdpSocket other;
    const QByteArray bytes("\xFF\xFF\xC9\xD0", 4);
    const auto send = [&](const std::string& to) {
        other.writeDatagram(bytes, QHostAddress(QString::fromStdString(to)), socket.LocalPort());
    };
    send(netns::AdapterAddress(2));
    send("127.0.0.1");
    PumpMessages(200);
    EXPECT_EQ(intake.DatagramCount(), 0);
    // Sent to the adapter's own address, it counts as arrived there, as it would for a
    // socket bound to that address.
    send(netns::AdapterAddress(1));
    PumpMessages(200);
    EXPECT_EQ(intake.DatagramCount(), 1);

    // Replies over the adapter's link are taken.
    SimProcess sim(R"({"devices": [{"mac": "02-00-00-00-03-01", "ipv4_address": "192.0.2.61"}]})");
    ASSERT_TRUE(sim.Start());
    EXPECT_FALSE(BroadcastEnumerateRequests(socket));
    EXPECT_EQ(intake.DatagramCount(), 4);
}

// Guards against a cut datagram being handed on: 2049 bytes are dropped whole, 2048
// bytes (the receive area) are taken.
TEST_F(EnumerationNetnsTest, DatagramLongerThanTheReceiveAreaIsDropped) {
    SimProcess sim(R"({"devices": [
        {"mac": "02-00-00-00-04-01", "ipv4_address": "192.0.2.71", "pad_to": 2049},
        {"mac": "02-00-00-00-04-02", "ipv4_address": "192.0.2.72", "pad_to": 2048}]})");
    ASSERT_TRUE(sim.Start());
    Enumeration e;
    ASSERT_TRUE(e.Run(netns::AdapterAddress(1)));
    EXPECT_EQ(e.Find("02-00-00-00-04-01"), nullptr);
    EXPECT_NE(e.Find("02-00-00-00-04-02"), nullptr);
    EXPECT_EQ(e.intake.DatagramCount(), 3);
    int long_sent = 0;
    for (const auto& s : sim.Sent()) long_sent += s.data.size() == 2049 && s.kind == "TX" ? 1 : 0;
    EXPECT_EQ(long_sent, 3);  // it was sent, so the drop is the receiver's
}

// Guards against a receive queue too small for a burst: 100 devices answer each of
// the three requests at once, and nothing may be lost.
TEST_F(EnumerationNetnsTest, HundredDevicesAnsweringAtOnceAreAllTaken) {
    SimProcess sim(R"({"devices": []})", {"--many", "100"});
    ASSERT_TRUE(sim.Start());
    for (int run = 0; run < 10; ++run) {
        Enumeration e;
        ASSERT_TRUE(e.Run(netns::AdapterAddress(1)));
        EXPECT_EQ(e.table->device_count, 100) << "run " << run;
        EXPECT_EQ(e.intake.DatagramCount(), 300) << "run " << run;
    }
}

// Guards against the command line stopping at the window's 100 without a word: every
// device is listed, and standard error says what else was heard, stdout unchanged.
TEST_F(EnumerationNetnsTest, CommandLineListsEveryDeviceAndSaysWhatItIgnored) {
    SimProcess sim(R"({"devices": []})", {"--many", "150"});
    ASSERT_TRUE(sim.Start());
    const auto r = netns::RunTool("telvane-cli", {"enumerate", "--adapter", netns::AdapterAddress(1), "--csv"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 151) << r.out;  // the header and a line each
    EXPECT_EQ(r.err, "150 devices; ignored 300 datagrams: 300 duplicate\n");
}

std::uint64_t PacketsReceivedOn(const std::string& interface) {
    QFile counter(QString::fromStdString("/sys/class/net/" + interface + "/statistics/rx_packets"));
    if (!counter.open(QIODevice::ReadOnly)) return 0;
    return counter.readAll().trimmed().toULongLong();
}

// Guards against losing every device on a computer with two adapters on one subnet:
// the replies to the chosen adapter's address come in over the other adapter. Both
// devices are listed, and a set whose answer takes the same way is accepted.
TEST_F(EnumerationNetnsTest, TwoAdaptersOnOneSubnetTakeRepliesFromTheOtherLink) {
    netns::SameSubnetLayout layout;
    ASSERT_TRUE(layout.Up());
    SimProcess sim(R"({"devices": [
        {"mac": "02-00-00-00-05-01", "ipv4_address": "203.0.113.21"},
        {"mac": "02-00-00-00-05-02", "ipv4_address": "203.0.113.22"}]})");
    ASSERT_TRUE(sim.Start());
    const std::uint64_t other_link_before = PacketsReceivedOn("tvp4");
    Enumeration e;
    ASSERT_TRUE(e.Run(netns::SAME_SUBNET_ADAPTER));
    // The case at hand: the six replies came over the other adapter's link.
    EXPECT_GE(PacketsReceivedOn("tvp4") - other_link_before, 6u);
    EXPECT_EQ(e.table->device_count, 2) << sim.LogText();
    EXPECT_NE(e.Find("02-00-00-00-05-01"), nullptr);
    EXPECT_NE(e.Find("02-00-00-00-05-02"), nullptr);

    const auto set = netns::RunTool(
        "telvane-cli", {"set", "--mac", "02-00-00-00-05-02", "--adapter", netns::SAME_SUBNET_ADAPTER, "--ip",
                        "203.0.113.32", "--mask", "255.255.255.0", "--gateway", "203.0.113.254"});
    EXPECT_EQ(set.exit_code, 0) << set.out << set.err << sim.LogText();
    EXPECT_EQ(sim.SetRequests().size(), 1u);
}

// Guards against opening on an address that an adapter has lost since it was listed.
TEST_F(EnumerationNetnsTest, CreateFailsWhenTheAdapterLostItsAddress) {
    const auto ip = [](const char* verb) {
        return QProcess::execute(QStringLiteral("ip"), {QStringLiteral("addr"), QString::fromLatin1(verb),
                                                        QString::fromStdString(netns::AdapterAddress(2) + "/24"),
                                                        QStringLiteral("dev"), QStringLiteral("tvp2")});
    };
    ASSERT_EQ(ip("del"), 0);
    CTelvaneSocket socket;
    const bool created = socket.Create(netns::AdapterAddress(2));
    ASSERT_EQ(ip("add"), 0);
    EXPECT_FALSE(created);
    EXPECT_TRUE(socket.Create(netns::AdapterAddress(2)));
}

}  // namespace
}  // namespace telvane
