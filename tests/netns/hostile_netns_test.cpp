// A hostile peer on the segment: the simulator floods the requester with random and
// malformed datagrams while a well-formed device keeps answering. These are liveness
// checks (generous limits), not benchmarks.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "inventory/row_text.h"
#include "net/pumped_wait.h"
#include "procedures/discovery.h"
#include "protocol/text.h"
#include "tests/netns/harness.h"

namespace telvane {
namespace {

using netns::RunTool;
using netns::SimProcess;
using Clock = std::chrono::steady_clock;

constexpr char GOOD_MAC[] = "02-00-00-00-0f-01";
constexpr char GOOD_DEVICE[] = R"({"devices": [{"mac": "02-00-00-00-0f-01", "ipv4_address": "192.0.2.90",
    "device_name": "well-formed", "model_name": "GOOD"}]})";
// A liveness bound: an enumeration lasts about 450 ms; a flood must not stretch it much.
constexpr double LIVE_LIMIT_MS = 2000;

std::vector<std::string> Flood(int rate, int seconds, const char* kinds = "all") {
    return {"--flood", std::to_string(rate), "--flood-seconds", std::to_string(seconds), "--flood-kinds", kinds};
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Lists(const DEVICE_TABLE& table, const std::string& mac) {
    for (std::int32_t i = 0; i < table.device_count; ++i) {
        if (FormatMac(table.entries[static_cast<std::size_t>(i)].mac) == mac) return true;
    }
    return false;
}

class HostilePeerNetnsTest : public netns::NetnsTest {};

// Guards against a flood that starves the waits (the enumeration never ends), crashes
// the intake, overfills the table, or hides a real device.
TEST_F(HostilePeerNetnsTest, EnumerationUnderFloodStaysLiveBoundedAndFindsTheDevice) {
    SimProcess sim(GOOD_DEVICE, Flood(20000, 6));
    ASSERT_TRUE(sim.Start());
    auto table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    int datagrams = 0;
    double longest_ms = 0;
    for (int run = 0; run < 6; ++run) {
        const int before = intake.DatagramCount();
        const auto start = Clock::now();
        ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
        EXPECT_FALSE(EnumerateIntoTable(socket, *table));
        const double ms = MsSince(start);
        longest_ms = std::max(longest_ms, ms);
        EXPECT_LT(ms, LIVE_LIMIT_MS) << "run " << run;
        EXPECT_LE(table->device_count, DEVICE_TABLE_CAPACITY);
        EXPECT_TRUE(Lists(*table, GOOD_MAC)) << "run " << run;
        for (std::int32_t i = 0; i < table->device_count; ++i) {
            EXPECT_EQ(table->entries[static_cast<std::size_t>(i)].device_name[255], 0);
        }
        datagrams += intake.DatagramCount() - before;
    }
    std::printf("flood: %d datagrams handed to the intake in 6 enumerations, the longest took %.0f ms\n", datagrams,
                longest_ms);
    // The flood really reached the socket, and it filled the table past what one
    // device gives.
    EXPECT_GT(datagrams, 3000) << sim.LogText().substr(0, 2000);
    EXPECT_EQ(table->device_count, DEVICE_TABLE_CAPACITY);
}

// Guards against the same faults through the command line, as a script would run it.
TEST_F(HostilePeerNetnsTest, CommandLineEnumerationUnderFlood) {
    SimProcess sim(GOOD_DEVICE, Flood(20000, 6));
    ASSERT_TRUE(sim.Start());
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        const auto result = RunTool("telvane-cli", {"enumerate", "--json", "--adapter", netns::AdapterAddress(1)});
        // The process's start and end count too, hence a little more room.
        EXPECT_LT(MsSince(start), LIVE_LIMIT_MS + 500) << "run " << run;
        ASSERT_EQ(result.exit_code, 0) << result.err;
        std::size_t entries = 0;
        for (auto at = result.out.find("\"mac\""); at != std::string::npos; at = result.out.find("\"mac\"", at + 1)) {
            ++entries;
        }
        EXPECT_GE(entries, 1u);
        // No cap on the command line: the flood's well-formed replies are devices too, and
        // the summary on standard error names the devices listed and the rest it ignored.
        const std::string listed = std::to_string(entries) + (entries == 1 ? " device" : " devices");
        EXPECT_EQ(result.err.rfind(listed + "; ignored ", 0), 0u) << result.err;
        EXPECT_NE(result.out.find(GOOD_MAC), std::string::npos) << "run " << run;
    }
}

// Guards against a set that the noise derails: set replies from random MACs must
// not end the wait, and the device's own reply must still be found among the flood.
// Set replies with a wrong checksum are left out: by the protocol any of them ends a
// set's wait as a refusal, whoever sent it.
TEST_F(HostilePeerNetnsTest, CommandLineSetUnderFlood) {
    SimProcess sim(R"({"devices": [{"mac": "02-00-00-00-0f-01", "ipv4_address": "192.0.2.90", "set": "accept"}]})",
                   Flood(20000, 8,
                         "random,bad_marker,bad_checksum,truncated,oversized,name_byte,reserved_status,"
                         "set_reply_mac,valid_random,request_echo"));
    ASSERT_TRUE(sim.Start());
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        const auto result = RunTool("telvane-cli", {"set", "--mac", GOOD_MAC, "--adapter", netns::AdapterAddress(1),
                                                    "--ip", "192.0.2.90", "--mask", "255.255.255.0"});
        EXPECT_LT(MsSince(start), LIVE_LIMIT_MS + 1000) << "run " << run;  // an enumeration and a set
        EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
        EXPECT_NE(result.out.find("accepted"), std::string::npos) << result.out << result.err;
    }
}

// Guards against a flood without end: it stops by itself, and afterwards an
// enumeration finds the device alone.
TEST_F(HostilePeerNetnsTest, FloodEndsByItselfAndTheSegmentIsQuietAgain) {
    SimProcess sim(GOOD_DEVICE, {"--flood", "5000", "--flood-seconds", "1", "--flood-count", "3000"});
    ASSERT_TRUE(sim.Start());
    auto table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake(*table);
    CTelvaneSocket socket;
    ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
    EXPECT_FALSE(EnumerateIntoTable(socket, *table));
    PumpMessages(1200);
    const std::string log = sim.LogText();
    const auto ended = log.find("# flood ended: sent=");
    ASSERT_NE(ended, std::string::npos) << log.substr(0, 2000);
    EXPECT_LE(std::stol(log.substr(ended + 20)), 3000);

    ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
    EXPECT_FALSE(EnumerateIntoTable(socket, *table));
    EXPECT_EQ(table->device_count, 1);
    EXPECT_TRUE(Lists(*table, GOOD_MAC));
}

}  // namespace
}  // namespace telvane
