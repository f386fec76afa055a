// telvane-cli doctor against a firewall and reverse-path filtering made in this namespace,
// enumerate on every adapter at once and watching the segment.
#include <gtest/gtest.h>

#include <QtCore/QDeadlineTimer>
#include <QtCore/QProcess>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/netns/harness.h"

namespace telvane {
namespace {

using netns::RunTool;
using netns::SimProcess;
using nlohmann::json;

// Runs a shell command here (the program's namespace); the harness runs as root.
int Shell(const std::string& command) {
    return std::system(command.c_str());
}

// Puts the namespace's firewall and filtering back as they were, whatever a test did.
class CliDiagnoseNetnsTest : public netns::NetnsTest {
protected:
    void TearDown() override {
        Shell("nft flush ruleset");
        Shell("sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.tvp1.rp_filter=0");
        Shell("ip route del default 2>/dev/null");
        if (removed_adapter_address_) {
            Shell("ip addr del 192.0.2.9/24 dev tvp1 2>/dev/null");
            Shell("ip addr add " + netns::AdapterAddress(1) + "/24 dev tvp1");
        }
        if (moved_device_address_) {
            Shell(DeviceSide("ip addr del 10.9.9.9/24 dev tvd1"));
            Shell(DeviceSide("ip addr add " + netns::SimAddress(1) + "/24 dev tvd1"));
        }
    }

    static std::string DeviceSide(const std::string& command) {
        return "ip netns exec \"$TELVANE_SIM_NETNS\" " + command;
    }

    bool moved_device_address_ = false;
    bool removed_adapter_address_ = false;

    // Runs doctor --json on the first adapter and gives its document and exit code.
    static std::pair<json, int> Doctor() {
        const auto result = RunTool("telvane-cli", {"doctor", "--json", "--adapter", netns::AdapterAddress(1)});
        json doc = json::parse(result.out, nullptr, false);
        EXPECT_FALSE(doc.is_discarded()) << result.out << result.err;
        return {doc, result.exit_code};
    }

    static json Check(const json& doc, const std::string& id) {
        for (const json& c : doc["checks"]) {
            if (c["id"] == id) return c;
        }
        ADD_FAILURE() << "no check " << id << " in " << doc.dump();
        return json::object();
    }
};

constexpr char ONE_DEVICE[] = R"({"devices": [{"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20"}]})";

// Guards against a doctor that trusts "established,related": the probe must agree with it.
TEST_F(CliDiagnoseNetnsTest, DoctorFindsTheFirewallThatDropsRepliesAndItsFixWorks) {
    SimProcess sim(ONE_DEVICE);
    ASSERT_TRUE(sim.Start());
    ASSERT_EQ(Shell("nft 'add table inet filter; add chain inet filter input { type filter hook input priority 0; "
                    "policy drop; }; add rule inet filter input ct state established,related accept'"),
              0);
    auto [doc, exit_code] = Doctor();
    EXPECT_EQ(exit_code, 5);
    EXPECT_EQ(doc["adapter"], netns::AdapterAddress(1));
    const json firewall = Check(doc, "firewall");
    EXPECT_EQ(firewall["status"], "fail");
    EXPECT_NE(firewall["detail"].get<std::string>().find("\"ct state established,related\" does not match"),
              std::string::npos);
    EXPECT_EQ(Check(doc, "probe")["detail"], "0 devices answered on " + netns::AdapterAddress(1));

    ASSERT_EQ(Shell(firewall["fix"].get<std::string>()), 0);
    std::tie(doc, exit_code) = Doctor();
    EXPECT_EQ(exit_code, 0) << doc.dump();
    EXPECT_EQ(Check(doc, "firewall")["status"], "ok");
    // Each device answers all three requests: two of its replies are duplicates.
    EXPECT_EQ(Check(doc, "probe")["detail"],
              "1 device answered on " + netns::AdapterAddress(1) + "; ignored 2 datagrams: 2 duplicate");
}

// A device set up for another subnet answers by broadcast; strict filtering drops that,
// since the route back to it does not leave by the adapter the reply came in on.
TEST_F(CliDiagnoseNetnsTest, DoctorWarnsOfStrictReversePathFilteringAndItsFixWorks) {
    // The device's link holds only the device's own address, so its replies come from it.
    moved_device_address_ = true;
    ASSERT_EQ(Shell(DeviceSide("ip addr del " + netns::SimAddress(1) + "/24 dev tvd1")), 0);
    ASSERT_EQ(Shell(DeviceSide("ip addr add 10.9.9.9/24 dev tvd1")), 0);
    SimProcess sim(R"({"devices": [{"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "10.9.9.9",
                                    "interface": "tvd1"}]})");
    ASSERT_TRUE(sim.Start());
    // The usual laptop: the default route leaves by another adapter. (Without any route back
    // to the sender even loose filtering drops its replies.)
    ASSERT_EQ(Shell("ip route add default via " + netns::SimAddress(2)), 0);
    ASSERT_EQ(Shell("sysctl -qw net.ipv4.conf.all.rp_filter=1"), 0);
    auto [doc, exit_code] = Doctor();
    EXPECT_EQ(exit_code, 5);
    const json rp_filter = Check(doc, "rp_filter");
    EXPECT_EQ(rp_filter["status"], "warn");
    EXPECT_EQ(rp_filter["fix"], "use loose filtering: sysctl -w net.ipv4.conf.tvp1.rp_filter=2");
    EXPECT_EQ(Check(doc, "probe")["status"], "warn");

    ASSERT_EQ(
        Shell(rp_filter["fix"].get<std::string>().substr(std::string("use loose filtering: ").size()) + " >/dev/null"),
        0);
    std::tie(doc, exit_code) = Doctor();
    EXPECT_EQ(exit_code, 0) << doc.dump();
    // Each device answers all three requests: two of its replies are duplicates.
    EXPECT_EQ(Check(doc, "probe")["detail"],
              "1 device answered on " + netns::AdapterAddress(1) + "; ignored 2 datagrams: 2 duplicate");
}

class CliSegmentNetnsTest : public netns::NetnsTest {};

// A device on both links and one on the second only: one entry per adapter it was heard on.
TEST_F(CliSegmentNetnsTest, AllAdaptersListsEachDeviceWhereItWasHeard) {
    SimProcess sim(R"({"devices": [{"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20"},
                                   {"mac": "00-1a-2b-3c-4d-60", "ipv4_address": "198.51.100.60",
                                    "interface": "tvd2"}]})");
    ASSERT_TRUE(sim.Start());
    const auto result = RunTool("telvane-cli", {"enumerate", "--all-adapters", "--json"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    // Parsed keeping the keys' order, which is part of the output.
    const auto doc = nlohmann::ordered_json::parse(result.out);
    std::vector<std::string> heard;
    for (const auto& d : doc) {
        heard.push_back(d["mac"].get<std::string>() + " on " + d["adapter"].get<std::string>() +
                        (d["same_subnet"] ? "" : " (other subnet)"));
        EXPECT_EQ(std::prev(d.end()).key(), "adapter");
    }
    const std::string a1 = netns::AdapterAddress(1);
    const std::string a2 = netns::AdapterAddress(2);
    EXPECT_EQ(heard,
              (std::vector<std::string>{"00-1a-2b-3c-4d-5e on " + a1, "00-1a-2b-3c-4d-5e on " + a2 + " (other subnet)",
                                        "00-1a-2b-3c-4d-60 on " + a2}));
    // Both adapters' requests went out together, not one adapter's three after the other's.
    std::vector<std::string> order;
    for (const auto& line : sim.Received()) order.push_back(line.interface);
    ASSERT_GE(order.size(), 6u);
    EXPECT_NE(std::find(order.begin(), order.begin() + 2, "tvd2"), order.begin() + 2) << sim.LogText();

    const auto csv = RunTool("telvane-cli", {"enumerate", "--all-adapters", "--csv"});
    EXPECT_TRUE(csv.out.substr(0, csv.out.find('\n'))
                    .ends_with(",same_subnet,address_conflict,address_conflict_count,adapter"));
    EXPECT_EQ(RunTool("telvane-cli", {"enumerate", "--all-adapters", "--adapter", "0"}).exit_code, 2);
}

// Reads the watch's lines as they come, up to a deadline.
class WatchLines {
public:
    explicit WatchLines(QProcess& process) : process_(process) {}
    // The next line, or "" when none came in time.
    std::string Next(int timeout_ms) {
        const QDeadlineTimer deadline(timeout_ms);
        while (!process_.canReadLine()) {
            if (deadline.hasExpired() || !process_.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                return "";
        }
        return process_.readLine().trimmed().toStdString();
    }

private:
    QProcess& process_;
};

// Guards against a watch that buffers its output or ends with a failure on Ctrl-C.
TEST_F(CliSegmentNetnsTest, WatchReportsADeviceThatAppearsAndGoesAndEndsOnInterrupt) {
    SimProcess first(R"({"devices": [{"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20"}]})");
    ASSERT_TRUE(first.Start());
    QProcess watch;
    watch.start(QString::fromStdString(netns::ToolPath("telvane-cli")),
                {"enumerate", "--watch", "--interval", "1", "--json"});
    ASSERT_TRUE(watch.waitForStarted());
    WatchLines lines(watch);
    const auto Event = [](const std::string& line) {
        const json j = json::parse(line, nullptr, false);
        if (j.is_discarded()) return std::string("not JSON: ") + line;
        return j["event"].get<std::string>() + " " + j["device"]["mac"].get<std::string>();
    };
    EXPECT_EQ(Event(lines.Next(5000)), "appeared 00-1a-2b-3c-4d-5e");

    auto second =
        std::make_unique<SimProcess>(R"({"devices": [{"mac": "00-1a-2b-3c-4d-77", "ipv4_address": "192.0.2.77"}]})");
    ASSERT_TRUE(second->Start());
    const std::string appeared = lines.Next(5000);
    EXPECT_EQ(Event(appeared), "appeared 00-1a-2b-3c-4d-77");
    EXPECT_FALSE(json::parse(appeared, nullptr, false).contains("fields"));
    second.reset();
    EXPECT_EQ(Event(lines.Next(8000)), "gone 00-1a-2b-3c-4d-77");

    ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
    ASSERT_TRUE(watch.waitForFinished(5000));
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
}

// Guards against a monitor that ends when the adapter loses its address for a moment (a
// DHCP renewal, a cable pulled), or that forgets its devices meanwhile and reports them
// gone and appeared again.
TEST_F(CliDiagnoseNetnsTest, WatchOutlivesTheAdapterLosingItsAddress) {
    SimProcess sim(R"({"devices": [{"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20"}]})");
    ASSERT_TRUE(sim.Start());
    QProcess watch;
    watch.start(QString::fromStdString(netns::ToolPath("telvane-cli")),
                {"enumerate", "--watch", "--interval", "0.5", "--json", "--adapter",
                 QString::fromStdString(netns::AdapterAddress(1))});
    ASSERT_TRUE(watch.waitForStarted());
    WatchLines lines(watch);
    const auto Event = [](const std::string& line) {
        const json j = json::parse(line, nullptr, false);
        return j.is_discarded() ? "not JSON: " + line : j["event"].get<std::string>();
    };
    EXPECT_EQ(Event(lines.Next(5000)), "appeared");

    const std::string with_prefix = netns::AdapterAddress(1) + "/24";
    ASSERT_EQ(Shell("ip addr del " + with_prefix + " dev tvp1"), 0);
    removed_adapter_address_ = true;
    const json lost = json::parse(lines.Next(5000), nullptr, false);
    EXPECT_EQ(lost.value("event", ""), "adapter-lost") << lost.dump();
    EXPECT_EQ(lost["adapters"], json::array({netns::AdapterAddress(1)}));
    EXPECT_EQ(lost["error"]["code"], "socket");
    // Long enough for the device to count as gone, were the failed rounds counted.
    EXPECT_EQ(lines.Next(2500), "");
    // Back with another address, as a new lease may give it: found by its hardware address.
    ASSERT_EQ(Shell("ip addr add 192.0.2.9/24 dev tvp1"), 0);
    const json back = json::parse(lines.Next(5000), nullptr, false);
    EXPECT_EQ(back.value("event", ""), "adapter-back") << back.dump();
    EXPECT_EQ(back["adapters"], json::array({"192.0.2.9"}));
    EXPECT_EQ(lines.Next(2500), "") << "the device was kept as it was";

    ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
    ASSERT_TRUE(watch.waitForFinished(5000));
    EXPECT_EQ(watch.exitCode(), 0);
    const std::string err = watch.readAllStandardError().toStdString();
    EXPECT_NE(err.find("adapter-lost  " + netns::AdapterAddress(1) + ": Socket Initialization failure"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("adapter-back  192.0.2.9"), std::string::npos) << err;
}

}  // namespace
}  // namespace telvane
