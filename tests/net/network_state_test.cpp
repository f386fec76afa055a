#include "net/network_state.h"
#include "net/testing.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace telvane {
namespace {

namespace fs = std::filesystem;

class ProcSysTree : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("telvane-procsys-" + std::to_string(getpid()));
        fs::create_directories(root_ / "net/ipv4/conf/all");
        fs::create_directories(root_ / "net/ipv4/conf/tvp1");
        SetProcSysRootForTesting(root_.string());
    }
    void TearDown() override {
        SetProcSysRootForTesting("");
        fs::remove_all(root_);
    }
    void Write(const std::string& relative, const std::string& text) { std::ofstream(root_ / relative) << text; }

    fs::path root_;
};

TEST_F(ProcSysTree, ReadsAnInterfaceSetting) {
    Write("net/ipv4/conf/all/rp_filter", "1\n");
    Write("net/ipv4/conf/tvp1/rp_filter", "2\n");
    EXPECT_EQ(ReadIpv4ConfSetting("all", "rp_filter"), 1);
    EXPECT_EQ(ReadIpv4ConfSetting("tvp1", "rp_filter"), 2);
    EXPECT_EQ(ReadIpv4ConfSetting("tvp2", "rp_filter"), std::nullopt);
}

// Guards against an interface name walking out of the settings folder.
TEST_F(ProcSysTree, RefusesNamesOutsideTheFolder) {
    Write("net/ipv4/conf/all/rp_filter", "1\n");
    EXPECT_EQ(ReadIpv4ConfSetting("../conf/all", "rp_filter"), std::nullopt);
    EXPECT_EQ(ReadIpv4ConfSetting("..", "conf/all/rp_filter"), std::nullopt);
}

TEST_F(ProcSysTree, LocalPortRangeFallsBackToTheDefault) {
    Write("net/ipv4/ip_local_port_range", "40000\t50000\n");
    EXPECT_EQ(ReadLocalPortRange(), (std::pair<std::uint16_t, std::uint16_t>{40000, 50000}));
    Write("net/ipv4/ip_local_port_range", "50000 40000\n");
    EXPECT_EQ(ReadLocalPortRange(), (std::pair<std::uint16_t, std::uint16_t>{32768, 60999}));
}

TEST(InterfaceStates, LoopbackIsListedWithItsAddress) {
    const auto states = QueryInterfaceStates();
    const auto lo = std::find_if(states.begin(), states.end(), [](const INTERFACE_STATE& s) { return s.loopback; });
    ASSERT_NE(lo, states.end());
    EXPECT_TRUE(lo->up);
    ASSERT_FALSE(lo->ipv4.empty());
    EXPECT_EQ(lo->ipv4.front().address, (IPV4{127, 0, 0, 1}));
    EXPECT_EQ(lo->ipv4.front().prefix_length, 8);
    EXPECT_TRUE(std::is_sorted(states.begin(), states.end(),
                               [](const INTERFACE_STATE& a, const INTERFACE_STATE& b) { return a.index < b.index; }));
}

TEST(RunProgram, CollectsBothOutputsAndTheExitCode) {
    const auto r = RunProgram({"sh", "-c", "echo out; echo err >&2; exit 3"}, 5000);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.output, "out\n");
    EXPECT_EQ(r.errors, "err\n");
}

TEST(RunProgram, FirstExecutableFallsBackInOrder) {
    EXPECT_EQ(FirstExecutable({"/nonexistent/nft", "/bin/sh"}), "/bin/sh");
    EXPECT_EQ(FirstExecutable({"/nonexistent/nft", "/nonexistent/other"}), "/nonexistent/nft");
    EXPECT_FALSE(RunProgram({FirstExecutable({"/nonexistent/nft"})}, 1000).started);
}

TEST(RunProgram, MissingProgramIsNotStarted) {
    EXPECT_FALSE(RunProgram({"telvane-no-such-program"}, 1000).started);
}

// Guards against a hung program (nft waiting on a lock) hanging the doctor.
TEST(RunProgram, StopsAProgramThatRunsTooLong) {
    const auto r = RunProgram({"sleep", "10"}, 100);
    EXPECT_TRUE(r.timed_out);
    EXPECT_EQ(r.exit_code, -1);
}

}  // namespace
}  // namespace telvane
