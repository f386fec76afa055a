// telvane-cli set against the simulator: the bytes on the wire, the number and spacing of
// the sends, the outcomes and their exit codes.
#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/pumped_wait.h"
#include "procedures/discovery.h"
#include "procedures/set_exchange_net.h"
#include "tests/netns/harness.h"

namespace telvane {
namespace {

using netns::FromHex;
using netns::RunTool;
using netns::SIM_LOG_LINE;
using netns::SimProcess;
using Bytes = std::vector<std::uint8_t>;

class SetNetnsTest : public netns::NetnsTest {};

constexpr char MAC[] = "00-1a-2b-3c-4d-5e";
const std::vector<std::string> kStatic = {"--ip",        "192.168.1.20", "--gateway",
                                          "192.168.1.1", "--mask",       "255.255.255.0"};

// A device at 192.0.2.20 on the first link; `extra` adds JSON fields.
std::string Config(const std::string& extra) {
    return std::string(R"({"devices": [{"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", )"
                       R"("ipv4_gateway": "192.0.2.1", "model_name": "MODEL01")") +
           (extra.empty() ? "" : ", " + extra) + "}]}";
}

netns::TOOL_RESULT Set(std::vector<std::string> args) {
    args.insert(args.begin(), {"set", "--mac", MAC});
    return RunTool("telvane-cli", args);
}

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- The request on the wire -------------------------------------------------------

// Guards against the basic request's layout drifting from the protocol's example.
TEST_F(SetNetnsTest, BasicStaticRequestIsTheGoldenVector) {
    SimProcess sim(Config(R"("reply": "base")"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set(kStatic);
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 1u) << sim.LogText();
    EXPECT_EQ(sets[0].data, FromHex("ffff4950001a2b3c4d5ec0a80114c0a80101ffffff0000a7"));
    EXPECT_EQ(sets[0].to_address, "255.255.255.255");
}

// Guards against DHCP still carrying the boxes' addresses.
TEST_F(SetNetnsTest, BasicDhcpRequestCarriesOnlyTheDhcpByte) {
    SimProcess sim(Config(R"("reply": "base")"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set({"--dhcp"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 1u) << sim.LogText();
    EXPECT_EQ(sets[0].data, FromHex("ffff4950001a2b3c4d5e"
                                    "000000000000000000000000"
                                    "01c4"));
}

// Guards against the extended layout (mask before gateway, flags at 30) and the flag
// assignment of the set request.
TEST_F(SetNetnsTest, ExtendedIpv6RequestIsTheGoldenVector) {
    SimProcess sim(Config(R"("ipv6": true, "ipv6_address": "2001:db8::20", "dns4_preferred": "192.0.2.53")"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set(With(kStatic, {"--dns4-auto", "--ipv6-dhcp", "--dns6-auto"}));
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 1u) << sim.LogText();
    EXPECT_EQ(sets[0].data, FromHex("ffff4941001a2b3c4d5ec0a80114ffffff00c0a80101" + std::string(16, '0') + "0d" +
                                    std::string(130, '0') + "a5"));
}

// Guards against IPv6 bits or values reaching a device that does not support IPv6.
TEST_F(SetNetnsTest, ExtendedWithoutIpv6SendsNoIpv6) {
    SimProcess sim(Config(R"("ipv6": false, "ipv6_address": "2001:db8::20")"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set(With(kStatic, {"--dns4-auto"}));
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 1u) << sim.LogText();
    EXPECT_EQ(sets[0].data, FromHex("ffff4941001a2b3c4d5ec0a80114ffffff00c0a80101" + std::string(16, '0') + "01" +
                                    std::string(130, '0') + "99"));
}

// Guards against two-valued options losing their second value, a scope reaching the wire,
// and the manual IPv4 and IPv6 fields landing at the wrong offsets.
TEST_F(SetNetnsTest, ExtendedStaticIpv6RequestCarriesEveryField) {
    SimProcess sim(Config(R"("ipv6": true, "ipv6_dhcp": true, "dns4_auto": true, "dhcp": true)"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set(With(kStatic, {"--dns4", "192.0.2.53", "192.0.2.54", "--ipv6", "fe80::20%tvp1", "--prefix", "64",
                                      "--ipv6-gateway", "fe80::1", "--dns6", "2001:db8::53", "2001:db8::54"}));
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 1u) << sim.LogText();
    EXPECT_EQ(sets[0].data, FromHex("ffff4941001a2b3c4d5e"              // header, mac
                                    "c0a80114ffffff00c0a80101"          // address, mask, gateway
                                    "c0000235c0000236"                  // IPv4 DNS
                                    "00"                                // set_flags: all manual
                                    "fe800000000000000000000000000020"  // IPv6 address, scope dropped
                                    "40"                                // prefix 64
                                    "fe800000000000000000000000000001"  // IPv6 gateway
                                    "20010db8000000000000000000000053"  // IPv6 DNS
                                    "20010db8000000000000000000000054"
                                    "57"));  // checksum
}

// ---- Nothing is sent when the input is refused ---------------------------------------

// Guards against a request leaving before (or despite) a failed check.
TEST_F(SetNetnsTest, FailedCheckSendsNothingAndExitsTwo) {
    SimProcess sim(Config(R"("ipv6": true)"));
    ASSERT_TRUE(sim.Start());
    auto r = Set({"--ip", "0.0.0.0"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("IPv4 address is invalid."), std::string::npos) << r.err;
    r = Set({"--ipv6", "192.0.2.7"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("IPv6 address is invalid."), std::string::npos) << r.err;
    r = Set({"--ip", "192.0.2.30", "--dhcp"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_TRUE(sim.SetRequests().empty()) << sim.LogText();
}

TEST_F(SetNetnsTest, UnknownOrLockedDeviceIsRefusedWithoutSending) {
    SimProcess sim(Config(R"("locked": true)"));
    ASSERT_TRUE(sim.Start());
    auto r = Set({"--dhcp"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("locked"), std::string::npos) << r.err;
    r = RunTool("telvane-cli", {"set", "--mac", "02-00-00-00-00-99", "--dhcp", "--json"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.out.find("\"outcome\": \"not-found\""), std::string::npos) << r.out;
    EXPECT_TRUE(sim.SetRequests().empty()) << sim.LogText();
}

// Guards against DNS or IPv6 settings being dropped for a device that cannot take them
// and the set reported as accepted; in a file such a cell fails its own row only.
TEST_F(SetNetnsTest, SettingTheDeviceCannotTakeIsBadInput) {
    SimProcess sim(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", "reply": "base"},
        {"mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21", "ipv6": false}]})");
    ASSERT_TRUE(sim.Start());
    auto r = Set({"--ip", "192.0.2.30", "--ipv6", "2001:db8::30"});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("device 00-1a-2b-3c-4d-5e does not take IPv6 settings"), std::string::npos) << r.err;
    r = Set({"--dns4-auto", "--json"});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_NE(r.out.find("\"code\": \"not-applicable\""), std::string::npos) << r.out;
    r = RunTool("telvane-cli", {"set", "--mac", "00-1a-2b-3c-4d-5f", "--prefix", "64"});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("does not take IPv6 settings (it reports no IPv6 support)"), std::string::npos) << r.err;
    EXPECT_TRUE(sim.SetRequests().empty()) << sim.LogText();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("devices.csv"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mac,ip,dns4\n00-1a-2b-3c-4d-5e,192.0.2.40,192.0.2.53\n00-1a-2b-3c-4d-5f,192.0.2.41,192.0.2.53\n");
    file.close();
    r = RunTool("telvane-cli", {"set", "--from-csv", file.fileName().toStdString()});
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("line 2: 00-1a-2b-3c-4d-5e invalid: --dns4: device 00-1a-2b-3c-4d-5e does not take DNS"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("line 3: 00-1a-2b-3c-4d-5f accepted"), std::string::npos) << r.out;
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 1u) << sim.LogText();
    EXPECT_EQ(sets[0].data[9], 0x5f);
}

// ---- Only what changes, and a dry run ------------------------------------------------

// Guards against --ensure sending settings the device already has, or skipping a change;
// with DHCP on, the leased addresses must not count as a difference.
TEST_F(SetNetnsTest, EnsureSendsOnlyWhatWouldChange) {
    SimProcess sim(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", "ipv4_gateway": "192.0.2.1", "reply": "base"},
        {"mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21", "dhcp": true}]})");
    ASSERT_TRUE(sim.Start());
    auto r = Set({"--ensure", "--ip", "192.0.2.20", "--gateway", "192.0.2.1", "--json"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "{\"mac\": \"00-1a-2b-3c-4d-5e\", \"outcome\": \"unchanged\", \"changed\": false, \"sends\": 0, "
              "\"result\": null}\n");
    r = RunTool("telvane-cli", {"set", "--mac", "00-1a-2b-3c-4d-5f", "--ensure", "--dhcp"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "00-1a-2b-3c-4d-5f unchanged\n");
    EXPECT_TRUE(sim.SetRequests().empty()) << sim.LogText();

    r = Set({"--ensure", "--ip", "192.0.2.40", "--json"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\"outcome\": \"accepted\", \"changed\": true"), std::string::npos) << r.out;
    EXPECT_EQ(sim.SetRequests().size(), 1u) << sim.LogText();
    // The device now has it: the same task again sends nothing.
    r = Set({"--ensure", "--ip", "192.0.2.40", "--json"});
    EXPECT_NE(r.out.find("\"outcome\": \"unchanged\""), std::string::npos) << r.out;
    EXPECT_EQ(sim.SetRequests().size(), 1u) << sim.LogText();
}

// Guards against --ensure changing what nobody asked for: a static device with automatic
// DNS was sent manual DNS with the servers it reported, and a DHCP device's automatic DNS
// was turned manual by --ip. Neither sends anything now.
TEST_F(SetNetnsTest, EnsureKeepsSettingsNotGiven) {
    SimProcess sim(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", "dns4_auto": true, "dns4_preferred": "0.0.0.0",
         "ipv6": true, "ipv6_dhcp": true, "dns6_auto": true},
        {"mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21", "dhcp": true, "dns4_auto": true}]})");
    ASSERT_TRUE(sim.Start());
    auto r = Set({"--ensure", "--ip", "192.0.2.20", "--json"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\"outcome\": \"unchanged\""), std::string::npos) << r.out;
    r = RunTool("telvane-cli", {"set", "--mac", "00-1a-2b-3c-4d-5f", "--ensure", "--ip", "192.0.2.41", "--json"});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_NE(r.out.find("\"code\": \"cannot-keep\""), std::string::npos) << r.out;
    EXPECT_TRUE(sim.SetRequests().empty()) << sim.LogText();
}

// Guards against a dry run sending anything, or showing another request than a set
// would send.
TEST_F(SetNetnsTest, DryRunShowsTheRequestAndSendsNothing) {
    SimProcess sim(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", "ipv4_gateway": "192.0.2.1", "reply": "base"},
        {"mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21", "ipv6": true, "ipv6_address": "2001:db8::21"}]})");
    ASSERT_TRUE(sim.Start());
    auto r = Set(With(kStatic, {"--dry-run", "--json"}));
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "{\"mac\": \"00-1a-2b-3c-4d-5e\", \"outcome\": \"dry-run\", \"changed\": true, \"sends\": 0, "
              "\"result\": null, \"request\": {\"hex\": \"ffff4950001a2b3c4d5ec0a80114c0a80101ffffff0000a7\", "
              "\"fields\": {\"type\": \"basic\", \"ipv4_address\": \"192.168.1.20\", \"ipv4_mask\": \"255.255.255.0\", "
              "\"ipv4_gateway\": \"192.168.1.1\", \"dhcp\": false}}, \"changes\": [\"ipv4_address: 192.0.2.20 -> "
              "192.168.1.20\", \"ipv4_gateway: 192.0.2.1 -> 192.168.1.1\"]}\n");
    r = RunTool("telvane-cli", {"set", "--mac", "00-1a-2b-3c-4d-5f", "--dry-run", "--ipv6-dhcp", "--json"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\"type\": \"extended\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"ipv6_dhcp\": true, \"dns6_auto\": false, \"ipv6_address\": \"::\""), std::string::npos)
        << r.out;
    // Bad input stays bad input.
    EXPECT_EQ(Set({"--dry-run", "--ip", "0.0.0.0"}).exit_code, 2);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("devices.csv"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mac,ip\n00-1a-2b-3c-4d-5e,192.0.2.20\n00-1a-2b-3c-4d-5f,192.0.2.41\n");
    file.close();
    r = RunTool("telvane-cli", {"set", "--from-csv", file.fileName().toStdString(), "--dry-run", "--ensure"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("line 2: 00-1a-2b-3c-4d-5e unchanged\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("line 3: 00-1a-2b-3c-4d-5f dry-run, changes the settings (ipv4_address: 192.0.2.21 -> "
                         "192.0.2.41): request ffff4941001a2b3c4d5fc0000229"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(sim.SetRequests().empty()) << sim.LogText();
}

// Guards against a set taking another device's or this computer's address, or leaving
// its gateway unreachable, without --force; and against two rows of a file taking one.
TEST_F(SetNetnsTest, AddressThatWouldBreakSomethingNeedsForce) {
    SimProcess sim(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", "ipv4_gateway": "192.0.2.1", "reply": "base"},
        {"mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21", "reply": "base"}]})");
    ASSERT_TRUE(sim.Start());
    auto r = Set({"--ip", "192.0.2.21"});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("192.0.2.21 is already used by 00-1a-2b-3c-4d-5f. Give --force to set it anyway."),
              std::string::npos)
        << r.err;
    r = Set({"--ip", netns::AdapterAddress(1), "--json"});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_NE(r.out.find("\"code\": \"address-conflict\", \"message\": \"" + netns::AdapterAddress(1) +
                         " is already used by this computer."),
              std::string::npos)
        << r.out;
    r = Set({"--gateway", "198.51.100.1", "--dry-run"});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("The gateway 198.51.100.1 is outside 192.0.2.0/24."), std::string::npos) << r.err;
    EXPECT_TRUE(sim.SetRequests().empty()) << sim.LogText();

    r = Set({"--ip", "192.0.2.21", "--force"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(sim.SetRequests().size(), 1u) << sim.LogText();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("devices.csv"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mac,ip\n00-1a-2b-3c-4d-5e,192.0.2.50\n00-1a-2b-3c-4d-5f,192.0.2.50\n");
    file.close();
    r = RunTool("telvane-cli", {"set", "--from-csv", file.fileName().toStdString()});
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("line 3: 00-1a-2b-3c-4d-5f invalid: 192.0.2.50 is already used by 00-1a-2b-3c-4d-5e."),
              std::string::npos)
        << r.out;
    EXPECT_EQ(sim.SetRequests().size(), 2u) << sim.LogText();
}

// ---- The acknowledgement -------------------------------------------------------------

// Guards against a refusal being retried or reported as success.
TEST_F(SetNetnsTest, RefusalEndsAtOnceAfterOneSend) {
    SimProcess sim(Config(R"("set": "refuse", "refuse_code": 5)"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set(With(kStatic, {"--json"}));
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("\"outcome\": \"refused\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"result\": 5"), std::string::npos) << r.out;
    EXPECT_EQ(sim.SetRequests().size(), 1u) << sim.LogText();
}

// Guards against a single attempt, a third one, or no wait between them.
TEST_F(SetNetnsTest, SilenceGivesTwoSendsHalfASecondApart) {
    SimProcess sim(Config(R"("set": "silent")"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set(kStatic);
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("no-answer"), std::string::npos) << r.out;
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 2u) << sim.LogText();
    EXPECT_EQ(sets[0].data, sets[1].data);
    const double gap = sets[1].t_ms - sets[0].t_ms;
    EXPECT_GE(gap, 450.0) << "the second send follows a 500 ms wait";
    EXPECT_LT(gap, 1500.0);
}

TEST_F(SetNetnsTest, WrongChecksumReplyFailsAtOnce) {
    SimProcess sim(Config(R"("set": "bad_checksum")"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set(With(kStatic, {"--json"}));
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("\"result\": -1"), std::string::npos) << r.out;
    EXPECT_EQ(sim.SetRequests().size(), 1u) << sim.LogText();
    // Guards against calling a damaged reply a refusal: the device may have taken it.
    EXPECT_NE(r.out.find("the device's reply was damaged (wrong checksum), so its answer is unknown; the device may "
                         "have taken the settings: enumerate to check"),
              std::string::npos)
        << r.out;
}

// Guards against a reply being matched by anything but the MAC inside it.
TEST_F(SetNetnsTest, ReplyWithAnotherMacIsIgnored) {
    SimProcess sim(Config(R"("set": "other_mac")"));
    ASSERT_TRUE(sim.Start());
    const auto r = Set(With(kStatic, {"--json"}));
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("\"outcome\": \"no-answer\""), std::string::npos) << r.out;
    EXPECT_EQ(sim.SetRequests().size(), 2u) << sim.LogText();
}

// Guards against an acceptance that the device does not carry out being reported, and
// against the re-enumeration looking at the old table.
TEST_F(SetNetnsTest, AcceptedSetShowsTheNewAddressAtTheNextEnumeration) {
    SimProcess sim(Config(""));
    ASSERT_TRUE(sim.Start());
    const auto r = Set({"--ip", "192.0.2.77", "--json", "--wait-reenumerate"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\"outcome\": \"accepted\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"confirmed\": true"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"address\": \"192.0.2.77\""), std::string::npos) << r.out;
    const auto listed = RunTool("telvane-cli", {"enumerate", "--csv"});
    EXPECT_NE(listed.out.find("00-1a-2b-3c-4d-5e,192.0.2.77,255.255.255.0,192.0.2.1"), std::string::npos) << listed.out;
}

// ---- The exchange as the window calls it --------------------------------------------

// Guards against the window's road (socket, intake, selection, ExchangeSetRequest) differing
// from the command line's: the device's reply must reach the exchange through the intake
// while it waits, and a refusal must end it after one send.
TEST_F(SetNetnsTest, ExchangeOnTheDiscoverySocketTakesTheReplyWhileWaiting) {
    SimProcess sim(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", "reply": "base"},
        {"mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21", "set": "refuse", "refuse_code": 200}]})");
    ASSERT_TRUE(sim.Start());
    auto table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
    EXPECT_FALSE(EnumerateIntoTable(socket, *table));
    ASSERT_EQ(table->device_count, 2);

    for (std::int32_t i = 0; i < 2; ++i) {
        table->selected_index = i;
        const DEVICE_INFO& device = table->entries[static_cast<std::size_t>(i)];
        SET_FORM form = SetFormFromDevice(device);
        form.ipv4_address = IPV4_BOX::Of({192, 0, 2, static_cast<std::uint8_t>(60 + i)});
        const SET_FORM_CHECK check = CheckSetForm(form, &device);
        ASSERT_TRUE(check.Ok());
        const SET_EXCHANGE x =
            ExchangeSetRequest(socket, *table, BuildSetRequest(device, check.settings), SEND_FAILURES::WAIT_ANYWAY);
        EXPECT_EQ(x.sends, 1);
        EXPECT_TRUE(x.answered);
        if (device.mac[5] == 0x5e) {
            EXPECT_EQ(x.outcome, STATE_SET_OK);
        } else {
            EXPECT_EQ(x.outcome, STATE_SET_FAILED);
            EXPECT_EQ(x.set_result, 200);
        }
    }
    EXPECT_EQ(sim.SetRequests().size(), 2u) << sim.LogText();
}

// Guards against a late answer to an earlier exchange, already queued on the socket when
// the next request goes out, being taken as that request's acknowledgement. The device
// answers 600 ms late: the first exchange ends on the answer to its first send, the
// answer to its second arrives while nothing reads the socket.
TEST_F(SetNetnsTest, LateAnswerQueuedBeforeTheNextExchangeDoesNotAnswerIt) {
    SimProcess sim(Config(R"("reply": "base", "delay_ms": 600)"));
    ASSERT_TRUE(sim.Start());
    auto table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
    table->BeginEnumeration();
    EXPECT_FALSE(BroadcastEnumerateRequests(socket));
    PumpMessages(800);
    ASSERT_EQ(table->device_count, 1) << sim.LogText();
    table->selected_index = 0;
    const DEVICE_INFO& device = table->entries[0];
    SET_FORM form = SetFormFromDevice(device);
    form.ipv4_address = IPV4_BOX::Of({192, 0, 2, 60});
    const SET_FORM_CHECK check = CheckSetForm(form, &device);
    ASSERT_TRUE(check.Ok());
    const SET_REQUEST request = BuildSetRequest(device, check.settings);

    const SET_EXCHANGE first = ExchangeSetRequest(socket, *table, request, SEND_FAILURES::END_EXCHANGE);
    EXPECT_EQ(first.outcome, STATE_SET_OK);
    EXPECT_EQ(first.sends, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const SET_EXCHANGE second = ExchangeSetRequest(socket, *table, request, SEND_FAILURES::END_EXCHANGE);
    EXPECT_EQ(second.outcome, STATE_SET_OK) << "answered 600 ms after its first send";
    EXPECT_EQ(second.sends, 2) << "the queued answer to the first exchange was taken for this one's";
    EXPECT_EQ(sim.SetRequests().size(), 4u) << sim.LogText();
}

// ---- Many devices from a file --------------------------------------------------------

// Guards against two rows for one device: their exchanges cannot be told apart (a late
// answer to the first acknowledges the second), so the file is refused before anything
// is sent, whatever the MAC's spelling.
TEST_F(SetNetnsTest, CsvNamingOneDeviceTwiceSendsNothing) {
    SimProcess sim(Config(""));
    ASSERT_TRUE(sim.Start());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("devices.csv");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mac,ip\n00-1a-2b-3c-4d-5e,192.0.2.40\n00:1A:2B:3C:4D:5E,192.0.2.41\n");
    file.close();
    const auto r = RunTool("telvane-cli", {"set", "--from-csv", path.toStdString(), "--json"});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    EXPECT_NE(r.out.find("devices.csv:3: 00-1a-2b-3c-4d-5e is also on line 2"), std::string::npos) << r.out;
    EXPECT_TRUE(sim.SetRequests().empty()) << sim.LogText();
}

// Guards against a bad row stopping the good ones, or being sent.
TEST_F(SetNetnsTest, CsvBatchSetsTheGoodRowAndReportsTheBadOne) {
    SimProcess sim(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20"},
        {"mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21"}]})");
    ASSERT_TRUE(sim.Start());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("devices.csv");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "mac,ip,mask\r\n00-1a-2b-3c-4d-5e,192.0.2.40,255.255.255.0\r\n\"00-1a-2b-3c-4d-5f\",255.255.255.255,\r\n");
    file.close();

    const auto r = RunTool("telvane-cli", {"set", "--from-csv", path.toStdString()});
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("line 2: 00-1a-2b-3c-4d-5e accepted"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("line 3: 00-1a-2b-3c-4d-5f invalid: IPv4 address is invalid."), std::string::npos) << r.out;
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 1u) << sim.LogText();
    EXPECT_EQ(sets[0].data[9], 0x5e);

    // An unknown column stops the file before anything is sent.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("mac,ip,colour\n00-1a-2b-3c-4d-5f,192.0.2.41,blue\n");
    file.close();
    const auto bad = RunTool("telvane-cli", {"set", "--from-csv", path.toStdString()});
    EXPECT_EQ(bad.exit_code, 2);
    EXPECT_NE(bad.err.find("unknown column"), std::string::npos) << bad.err;
    EXPECT_EQ(sim.SetRequests().size(), 1u) << sim.LogText();

    // The JSON form of a batch: one object per row, and the count of failures.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("mac,dhcp\n00-1a-2b-3c-4d-5f,yes\n02-00-00-00-00-99,yes\n");
    file.close();
    const auto json = RunTool("telvane-cli", {"set", "--from-csv", path.toStdString(), "--json"});
    EXPECT_EQ(json.exit_code, 1) << json.err;
    EXPECT_EQ(
        json.out,
        "{\"failed\": 1, \"devices\": [\n"
        "  {\"line\": 2, \"mac\": \"00-1a-2b-3c-4d-5f\", \"outcome\": \"accepted\", \"sends\": 1, "
        "\"result\": 0},\n"
        "  {\"line\": 3, \"mac\": \"02-00-00-00-00-99\", \"outcome\": \"not-found\", \"sends\": 0, "
        "\"result\": null, \"message\": \"no device with MAC 02-00-00-00-00-99 answered\", \"error\": "
        "{\"code\": \"unknown-mac\", \"message\": \"no device with MAC 02-00-00-00-00-99 answered\", \"exit\": 2}}\n"
        "], \"error\": {\"code\": \"rows-failed\", \"message\": \"1 of 2 rows failed\", \"exit\": 1}}\n");
    EXPECT_EQ(sim.SetRequests().size(), 2u) << sim.LogText();
}

}  // namespace
}  // namespace telvane
