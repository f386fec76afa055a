// telvane-cli against the simulator: exact output forms and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include <sys/wait.h>

#include "tests/netns/harness.h"

namespace telvane {
namespace {

using netns::RunTool;
using netns::SimProcess;

class CliNetnsTest : public netns::NetnsTest {};

constexpr char CONFIG[] = R"({"devices": [
    {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", "ipv4_gateway": "192.0.2.1", "model_name": "MODEL01",
     "reply": "base", "dhcp": true},
    {"mac": "00-1a-2b-3c-4d-5f", "ipv4_address": "192.0.2.21", "ipv4_mask": "255.255.0.0", "model_name": "M2",
     "device_name": "Dev \"two\", 二", "name_encoding": "utf16", "locked": true, "delay_ms": 20,
     "dns4_auto": true, "dns4_preferred": "192.0.2.53", "ipv6": true, "ipv6_dhcp": true, "dns6_auto": true,
     "ipv6_address": "2001:db8::21", "ipv6_prefix_length": 64, "ipv6_gateway": "fe80::1",
     "dns6_preferred": "2001:db8::53", "dns6_alternate": "::"}]})";

// Guards against output that scripts cannot rely on: field names, order, texts.
TEST_F(CliNetnsTest, EnumerateWritesJsonAndCsv) {
    SimProcess sim(CONFIG);
    ASSERT_TRUE(sim.Start());
    const auto json = RunTool("telvane-cli", {"enumerate", "--json"});
    EXPECT_EQ(json.exit_code, 0) << json.err;
    EXPECT_EQ(json.out,
              "[\n"
              "  {\"device_name\": \"N/A\", \"model_name\": \"MODEL01\", \"mac\": \"00-1a-2b-3c-4d-5e\", "
              "\"ipv4_address\": \"192.0.2.20\", \"ipv4_mask\": \"255.255.255.0\", \"ipv4_gateway\": \"192.0.2.1\", "
              "\"dhcp\": true, \"locked\": false, \"has_extension\": false, \"same_subnet\": true, "
              "\"address_conflict\": [], \"address_conflict_count\": 0},\n"
              "  {\"device_name\": \"Dev \\\"two\\\", 二\", \"model_name\": \"M2\", \"mac\": \"00-1a-2b-3c-4d-5f\", "
              "\"ipv4_address\": \"192.0.2.21\", \"ipv4_mask\": \"255.255.0.0\", \"ipv4_gateway\": \"0.0.0.0\", "
              "\"dhcp\": false, \"locked\": true, \"has_extension\": true, \"dns4_auto\": true, "
              "\"dns4_preferred\": \"192.0.2.53\", \"dns4_alternate\": \"0.0.0.0\", \"ipv6\": true, "
              "\"ipv6_dhcp\": true, \"dns6_auto\": true, \"ipv6_address\": \"2001:db8::21\", "
              "\"ipv6_prefix_length\": 64, \"ipv6_gateway\": \"fe80::1\", \"dns6_preferred\": \"2001:db8::53\", "
              "\"dns6_alternate\": \"::\", \"same_subnet\": true, \"address_conflict\": [], "
              "\"address_conflict_count\": 0}\n"
              "]\n");

    const auto csv = RunTool("telvane-cli", {"enumerate", "--csv", "--adapter", netns::AdapterAddress(1)});
    EXPECT_EQ(csv.exit_code, 0) << csv.err;
    EXPECT_EQ(csv.out,
              "device_name,model_name,mac,ipv4_address,ipv4_mask,ipv4_gateway,dhcp,locked,has_extension,dns4_auto,"
              "dns4_preferred,dns4_alternate,ipv6,ipv6_dhcp,dns6_auto,ipv6_address,ipv6_prefix_length,ipv6_gateway,"
              "dns6_preferred,dns6_alternate,same_subnet,address_conflict,address_conflict_count\n"
              "N/A,MODEL01,00-1a-2b-3c-4d-5e,192.0.2.20,255.255.255.0,192.0.2.1,true,false,false,,,,,,,,,,,,true,,0\n"
              "\"Dev \"\"two\"\", 二\",M2,00-1a-2b-3c-4d-5f,192.0.2.21,255.255.0.0,0.0.0.0,false,true,true,true,"
              "192.0.2.53,0.0.0.0,true,true,true,2001:db8::21,64,fe80::1,2001:db8::53,::,true,,0\n");

    const auto text = RunTool("telvane-cli", {"enumerate", "--adapter", "0"});
    EXPECT_EQ(text.exit_code, 0);
    EXPECT_NE(text.out.find("Device Name"), std::string::npos);
    EXPECT_NE(text.out.find("192.0.2.21 (2001:db8::21)"), std::string::npos);
}

TEST_F(CliNetnsTest, AdaptersAreListedAsTheWindowListsThem) {
    const auto result = RunTool("telvane-cli", {"adapters"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "0: MAC: " + netns::AdapterMac(1) + ",   IP: " + netns::AdapterAddress(1) +
                              "\n1: MAC: " + netns::AdapterMac(2) + ",   IP: " + netns::AdapterAddress(2) + "\n");
}

// Guards against the window's five-adapter choice limiting the command line: a
// commissioning computer with a sixth adapter could not reach its devices.
TEST_F(CliNetnsTest, EveryAdapterIsListedAndCanBeChosen) {
    const auto links = [](const char* verb) {
        for (int n = 1; n <= 4; ++n) {
            const std::string name = "tvx" + std::to_string(n);
            const std::string command = std::string(verb) == "add"
                                            ? "ip link add " + name + " address 02:00:5e:00:1" + std::to_string(n) +
                                                  ":01 type veth peer name tvy" + std::to_string(n) +
                                                  " && ip addr add 100.64." + std::to_string(n) + ".1/24 dev " + name +
                                                  " && ip link set " + name + " up && ip link set tvy" +
                                                  std::to_string(n) + " up"
                                            : "ip link del " + name + " 2>/dev/null";
            if (std::system(command.c_str()) != 0 && std::string(verb) == "add") return false;
        }
        return true;
    };
    const bool added = links("add");
    const auto listed = RunTool("telvane-cli", {"adapters"});
    const auto sixth = RunTool("telvane-cli", {"enumerate", "--adapter", "100.64.4.1", "--json"});
    links("del");
    ASSERT_TRUE(added);
    EXPECT_EQ(listed.exit_code, 0);
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 6) << listed.out;
    EXPECT_NE(listed.out.find("5: MAC: 02-00-5e-00-14-01,   IP: 100.64.4.1\n"), std::string::npos) << listed.out;
    EXPECT_EQ(sixth.exit_code, 0) << sixth.err;
    EXPECT_EQ(sixth.out, "[]\n");
}

// Guards against "telvane-cli enumerate --json > inventory.json" on a full disk leaving
// an empty file behind an exit status of 0.
TEST_F(CliNetnsTest, OutputThatCannotBeWrittenIsALocalFailure) {
    const std::string command = netns::ToolPath("telvane-cli") + " adapters > /dev/full 2> /dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
}

// Guards against a script mistaking a failure for an empty segment.
TEST_F(CliNetnsTest, UnknownAdapterAndBadUsageExitNonZero) {
    const auto unknown = RunTool("telvane-cli", {"enumerate", "--adapter", "203.0.113.9"});
    EXPECT_EQ(unknown.exit_code, 3);
    EXPECT_NE(unknown.err.find("no adapter"), std::string::npos);
    EXPECT_EQ(RunTool("telvane-cli", {"enumerate", "--adapter", "2"}).exit_code, 3);
    EXPECT_EQ(RunTool("telvane-cli", {"enumerate", "--json", "--csv"}).exit_code, 2);
    EXPECT_EQ(RunTool("telvane-cli", {"frobnicate"}).exit_code, 2);
}

// Guards against a script that asked for JSON parsing an empty stream after a failure.
TEST_F(CliNetnsTest, FailuresWithJsonPrintOneErrorDocument) {
    const auto unknown = RunTool("telvane-cli", {"enumerate", "--json", "--adapter", "203.0.113.9"});
    EXPECT_EQ(unknown.exit_code, 3);
    EXPECT_EQ(unknown.out,
              "{\"error\": {\"code\": \"no-adapter\", \"message\": \"no adapter \\\"203.0.113.9\\\" (telvane-cli "
              "adapters lists them)\", \"exit\": 3}}\n");
    const auto usage = RunTool("telvane-cli", {"set", "--json", "--mac"});
    EXPECT_EQ(usage.exit_code, 2);
    EXPECT_EQ(usage.out.rfind("{\"error\": {\"code\": \"usage\", \"message\": ", 0), 0u) << usage.out;
    EXPECT_EQ(std::count(usage.out.begin(), usage.out.end(), '\n'), 1) << usage.out;
    const auto csv = RunTool("telvane-cli", {"set", "--json", "--from-csv", "/nonexistent/devices.csv"});
    EXPECT_EQ(csv.exit_code, 2);
    EXPECT_NE(csv.out.find("\"code\": \"bad-csv\""), std::string::npos) << csv.out;
    // A directory opens like a file and fails only when read.
    const auto directory = RunTool("telvane-cli", {"set", "--json", "--from-csv", "/"});
    EXPECT_EQ(directory.exit_code, 2);
    EXPECT_EQ(directory.out, "{\"error\": {\"code\": \"bad-csv\", \"message\": \"cannot read /\", \"exit\": 2}}\n");
}

}  // namespace
}  // namespace telvane
