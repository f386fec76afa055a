// telvane-cli against the simulator: exact output forms and exit codes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

namespace telvane {
namespace {

// A journal of its own for one test: TELVANE_JOURNAL for as long as the object lives.
class ScopedJournal final {
public:
    ScopedJournal() {
        char pattern[] = "/tmp/telvane-journal-XXXXXX";
        if (mkdtemp(pattern) != nullptr) dir_ = pattern;
        path_ = dir_ + "/journal.jsonl";
        setenv("TELVANE_JOURNAL", path_.c_str(), 1);
    }
    ~ScopedJournal() {
        unsetenv("TELVANE_JOURNAL");
        std::filesystem::remove_all(dir_);
    }
    ScopedJournal(const ScopedJournal&) = delete;
    ScopedJournal& operator=(const ScopedJournal&) = delete;
    const std::string& Path() const { return path_; }
    std::string Dir() const { return dir_; }
    std::vector<nlohmann::json> Lines() const {
        std::ifstream in(path_);
        std::vector<nlohmann::json> out;
        for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
        return out;
    }
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string file = dir_ + "/" + name;
        std::ofstream(file) << text;
        return file;
    }

private:
    std::string dir_;
    std::string path_;
};

constexpr char SITE[] = R"({"devices": [
    {"mac": "02-00-00-00-a0-01", "ipv4_address": "192.0.2.20", "ipv4_gateway": "192.0.2.1", "model_name": "TV-300",
     "dns4_preferred": "192.0.2.53", "set": "accept"},
    {"mac": "02-00-00-00-a0-02", "ipv4_address": "192.0.2.21", "ipv4_gateway": "192.0.2.1", "model_name": "TV-300",
     "reply": "base", "dhcp": true, "set": "accept"},
    {"mac": "02-00-00-00-a0-03", "ipv4_address": "192.0.2.22", "ipv4_gateway": "192.0.2.1", "model_name": "TV-500",
     "set": "accept"}]})";
constexpr char CAMERA[] = "02-00-00-00-a0-01";

std::size_t SetsTo(const netns::SimProcess& sim, const std::string& mac_hex) {
    std::size_t n = 0;
    for (const auto& line : sim.SetRequests())
        if (line.data.size() > 10 &&
            netns::FromHex(mac_hex) == std::vector<std::uint8_t>(line.data.begin() + 4, line.data.begin() + 10))
            ++n;
    return n;
}

// Guards against a set whose old settings exist nowhere afterwards: the journal holds the
// device's report and the request before the outcome, history reads it back newest first
// and restore finds the device by its MAC at its new address and puts the old one back.
TEST_F(CliNetnsTest, JournalHistoryAndRestore) {
    ScopedJournal journal;
    SimProcess sim(SITE);
    ASSERT_TRUE(sim.Start());
    const auto set = RunTool("telvane-cli", {"set", "--mac", CAMERA, "--ip", "192.0.2.40"});
    ASSERT_EQ(set.exit_code, 0) << set.out << set.err;
    const auto lines = journal.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["kind"], "set");
    EXPECT_EQ(lines[0]["adapter"], netns::AdapterAddress(1));
    EXPECT_EQ(lines[0]["before"]["ipv4_address"], "192.0.2.20");
    EXPECT_EQ(lines[0]["before"]["dns4_preferred"], "192.0.2.53");
    EXPECT_EQ(lines[0]["request"]["fields"]["ipv4_address"], "192.0.2.40");
    EXPECT_EQ(lines[1]["kind"], "outcome");
    EXPECT_EQ(lines[1]["id"], lines[0]["id"]);
    EXPECT_EQ(lines[1]["outcome"], "accepted");

    const auto dry = RunTool("telvane-cli", {"restore", "--mac", CAMERA, "--dry-run"});
    EXPECT_EQ(dry.exit_code, 0) << dry.err;
    EXPECT_NE(dry.out.find("(ipv4_address: 192.0.2.40 -> 192.0.2.20)"), std::string::npos) << dry.out;
    const auto restore = RunTool("telvane-cli", {"restore", "--mac", CAMERA, "--json"});
    EXPECT_EQ(restore.exit_code, 0) << restore.out << restore.err;
    EXPECT_EQ(restore.out,
              "{\"mac\": \"02-00-00-00-a0-01\", \"outcome\": \"accepted\", \"sends\": 1, \"result\": 0}\n");
    const auto sets = sim.SetRequests();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(sets[1].data.begin() + 10, sets[1].data.begin() + 14),
              (std::vector<std::uint8_t>{192, 0, 2, 20}));

    const auto history = RunTool("telvane-cli", {"history", "--mac", "02:00:00:00:A0:01"});
    EXPECT_EQ(history.exit_code, 0) << history.err;
    const std::string first_id = lines[0]["id"];
    ASSERT_EQ(std::count(history.out.begin(), history.out.end(), '\n'), 2) << history.out;
    EXPECT_NE(history.out.find("restore of " + first_id + "  accepted  ipv4_address: 192.0.2.40 -> 192.0.2.20\n"),
              std::string::npos)
        << history.out;
    EXPECT_LT(history.out.find("restore of"), history.out.find("  set  accepted  ipv4_address: 192.0.2.20 -> "))
        << "newest first";
    EXPECT_EQ(RunTool("telvane-cli", {"history", "--mac", "02-00-00-00-a0-02", "--json"}).out, "[]\n");

    const auto wrong = RunTool("telvane-cli", {"restore", "--mac", "02-00-00-00-a0-02", "--entry", first_id});
    EXPECT_EQ(wrong.exit_code, 2);
    EXPECT_NE(wrong.err.find("is a set of device 02-00-00-00-a0-01"), std::string::npos) << wrong.err;
    EXPECT_EQ(sim.SetRequests().size(), 2u);
}

// Guards against a set that leaves no trace: a journal that cannot be written (a folder
// that cannot be made, a full disk) stops it before the request leaves.
TEST_F(CliNetnsTest, UnwritableJournalStopsTheSetBeforeAnythingIsSent) {
    SimProcess sim(SITE);
    ASSERT_TRUE(sim.Start());
    for (const char* path : {"/dev/null/telvane/journal.jsonl", "/dev/full"}) {
        setenv("TELVANE_JOURNAL", path, 1);
        const auto r = RunTool("telvane-cli", {"set", "--mac", CAMERA, "--ip", "192.0.2.40", "--json"});
        EXPECT_EQ(r.exit_code, 4) << path << r.out;
        EXPECT_NE(r.out.find("\"code\": \"journal\""), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("the journal cannot be written"), std::string::npos) << r.out;
    }
    EXPECT_EQ(sim.SetRequests().size(), 0u) << sim.LogText();
    const auto without = RunTool("telvane-cli", {"set", "--mac", CAMERA, "--ip", "192.0.2.40", "--no-journal"});
    unsetenv("TELVANE_JOURNAL");
    EXPECT_EQ(without.exit_code, 0) << without.err;
    EXPECT_EQ(sim.SetRequests().size(), 1u);
}

// Guards against an export that cannot go back in: enumerate's JSON and CSV applied with
// --ensure send only to the device that differs, and a row whose device now reports
// another model fails alone.
TEST_F(CliNetnsTest, SnapshotAppliesBackOnlyWhereItDiffers) {
    ScopedJournal journal;
    SimProcess sim(SITE);
    ASSERT_TRUE(sim.Start());
    const auto json = RunTool("telvane-cli", {"enumerate", "--json"});
    const auto csv = RunTool("telvane-cli", {"enumerate", "--csv"});
    ASSERT_EQ(json.exit_code, 0);
    const std::string json_file = journal.Write("site.json", json.out);
    std::string other_model = csv.out;
    other_model.replace(other_model.find("TV-500"), 6, "TV-900");
    const std::string csv_file = journal.Write("site.csv", other_model);
    ASSERT_EQ(RunTool("telvane-cli", {"set", "--mac", CAMERA, "--ip", "192.0.2.40", "--dns4", "-"}).exit_code, 0);

    const auto dry = RunTool("telvane-cli", {"set", "--from-json", json_file, "--ensure", "--dry-run"});
    EXPECT_EQ(dry.exit_code, 0) << dry.err;
    EXPECT_EQ(dry.out.substr(0, dry.out.find(": request")),
              "line 2: 02-00-00-00-a0-01 dry-run, changes the settings (ipv4_address: 192.0.2.40 -> 192.0.2.20; "
              "dns4_preferred: 0.0.0.0 -> 192.0.2.53)");
    EXPECT_NE(dry.out.find("line 3: 02-00-00-00-a0-02 unchanged\nline 4: 02-00-00-00-a0-03 unchanged\n"),
              std::string::npos)
        << dry.out;

    const auto applied = RunTool("telvane-cli", {"set", "--from-json", json_file, "--ensure"});
    EXPECT_EQ(applied.exit_code, 0) << applied.out << applied.err;
    EXPECT_EQ(SetsTo(sim, "02000000a001"), 2u);
    EXPECT_EQ(SetsTo(sim, "02000000a002") + SetsTo(sim, "02000000a003"), 0u);

    const auto again = RunTool("telvane-cli", {"set", "--from-csv", csv_file, "--ensure", "--json"});
    EXPECT_EQ(again.exit_code, 1) << again.out;
    EXPECT_NE(again.out.find("{\"line\": 4, \"mac\": \"02-00-00-00-a0-03\", \"outcome\": \"invalid\""),
              std::string::npos)
        << again.out;
    EXPECT_NE(again.out.find("reports model \\\"TV-500\\\", the row was taken from model \\\"TV-900\\\""),
              std::string::npos)
        << again.out;
    EXPECT_NE(again.out.find("\"mac\": \"02-00-00-00-a0-01\", \"outcome\": \"unchanged\""), std::string::npos);
    EXPECT_EQ(sim.SetRequests().size(), 2u) << "the site was already as the snapshot says";
}

}  // namespace
}  // namespace telvane
