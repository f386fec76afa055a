#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/network_state.h"
#include "net/stop_signal.h"
#include "protocol/text.h"

// After the project's headers: its macros clash with names there.
#include <windows.h>

namespace telvane {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

std::string MacText(const MAC& m) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

class Win32NetworkState : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("TELVANE_NETNS_HARNESS") != "1") GTEST_SKIP() << "needs the namespace of scripts/netns.sh";
    }
};

TEST_F(Win32NetworkState, ListsTheNamespacesLinksUpWithAddressesAndPrefixes) {
    const std::vector<INTERFACE_STATE> states = QueryInterfaceStates();
    int found = 0;
    unsigned last_index = 0;
    for (const INTERFACE_STATE& s : states) {
        EXPECT_GE(s.index, last_index) << "not in index order";
        last_index = s.index;
        EXPECT_FALSE(s.name.empty());
        for (const char* which : {"TELVANE_ADAPTER1", "TELVANE_ADAPTER2"}) {
            if (s.ipv4.empty() || FormatIpv4(s.ipv4[0].address) != Env(which)) continue;
            ++found;
            EXPECT_EQ(MacText(s.hardware_address), Env((std::string(which) + "_MAC").c_str()));
            EXPECT_EQ(s.ipv4[0].prefix_length, 24);
            EXPECT_TRUE(s.up);
            EXPECT_TRUE(s.carrier);
            EXPECT_FALSE(s.loopback);
        }
    }
    EXPECT_EQ(found, 2);
}

TEST_F(Win32NetworkState, LoopbackIsMarkedSo) {
    bool seen = false;
    for (const INTERFACE_STATE& s : QueryInterfaceStates()) {
        if (s.ipv4.empty() || FormatIpv4(s.ipv4[0].address) != "127.0.0.1") continue;
        seen = true;
        EXPECT_TRUE(s.loopback);
    }
    EXPECT_TRUE(seen);
}

TEST(Win32SystemSettings, NoKernelSettingsAndTheDynamicPortRange) {
    EXPECT_FALSE(ReadIpv4ConfSetting("all", "rp_filter").has_value());
    const auto range = ReadLocalPortRange();
    EXPECT_EQ(range.first, 49152);
    EXPECT_EQ(range.second, 65535);
}

TEST(Win32RunProgram, CollectsOutputAndExitCode) {
    const PROGRAM_RESULT r = RunProgram({"cmd", "/c", "echo telvane& echo oops 1>&2& exit 3"}, 10000);
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_NE(r.output.find("telvane"), std::string::npos) << r.output;
    EXPECT_NE(r.errors.find("oops"), std::string::npos) << r.errors;
    EXPECT_EQ(r.output.find("oops"), std::string::npos) << r.output;
}

TEST(Win32RunProgram, AMissingProgramIsNotStarted) {
    const PROGRAM_RESULT r = RunProgram({"telvane-no-such-program-here"}, 5000);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.exit_code, -1);
}

TEST(Win32StopSignal, WaitWithoutStopLastsItsTime) {
    const CStopSignal stop;
    ASSERT_TRUE(stop.IsActive());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(stop.WaitFor(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
    EXPECT_EQ(stop.Raised(), 0);
}

TEST(Win32StopSignal, CtrlBreakEndsAWaitAtOnce) {
    const CStopSignal stop;
    ASSERT_TRUE(stop.IsActive());
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0)) GTEST_SKIP() << "no console to send Ctrl-Break on";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(stop.WaitFor(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(stop.Raised(), SIGINT);
}

TEST(Win32StopSignal, RuntimeSignalsStopTooAndTheFirstOneCounts) {
    {
        const CStopSignal stop;
        ASSERT_EQ(std::raise(SIGTERM), 0);
        EXPECT_EQ(stop.Raised(), SIGTERM);
        EXPECT_TRUE(stop.WaitFor(5000));
        // Caught again after the first: the process is still here to see it.
        ASSERT_EQ(std::raise(SIGINT), 0);
        EXPECT_EQ(stop.Raised(), SIGTERM);
    }
    // The handlers before are back, and a new stop starts clear.
    const CStopSignal next;
    EXPECT_EQ(next.Raised(), 0);
    EXPECT_FALSE(next.WaitFor(10));
}

}  // namespace
}  // namespace telvane
