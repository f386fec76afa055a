#pragma once

// Shared by every test that sends datagrams. Such tests run only inside the private
// namespaces of scripts/netns.sh (program side here, simulator on the device side):
// under CI=true they fail loudly anywhere else, elsewhere they skip with a notice.
//
//   class MyTest : public telvane::netns::NetnsTest {};
//   TEST_F(MyTest, Something) {
//       telvane::netns::SimProcess sim(R"({"devices": [{}]})");
//       ASSERT_TRUE(sim.Start());
//       ... enumerate on telvane::netns::AdapterAddress(1) ...
//       EXPECT_EQ(sim.Received().size(), 3u);
//   }

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace telvane::netns {

bool InsideHarness();
bool InCi();

// For a test body or SetUp: returns from it when the harness is missing.
#define TELVANE_REQUIRE_HARNESS()                                                                        \
    do {                                                                                                 \
        if (!::telvane::netns::InsideHarness()) {                                                        \
            if (::telvane::netns::InCi()) {                                                              \
                FAIL() << "network test outside the namespace harness; run it by scripts/test.sh or "   \
                          "scripts/netns.sh run -- ...";                                                 \
            }                                                                                            \
            GTEST_SKIP() << "NOTICE: network test skipped, not inside scripts/netns.sh";                 \
        }                                                                                                \
    } while (0)

class NetnsTest : public ::testing::Test {
protected:
    void SetUp() override { TELVANE_REQUIRE_HARNESS(); }
};

// The program side's addresses in adapter order (n = 1, 2), their hardware addresses
// ("02-00-5e-00-01-01"), and the device side's address on the same link.
std::string AdapterAddress(int n);
std::string AdapterMac(int n);
std::string SimAddress(int n);
// Interface names on the device side, as the simulator logs them.
std::string SimInterface(int n);

// A computer with two adapters on one LAN (scripts/netns.sh layout same-subnet) for as
// long as the object lives: the program side's 203.0.113.1 and 203.0.113.5, the device
// side's 203.0.113.2 on a switch that both reach, which sends what is meant for
// 203.0.113.1 over the link of 203.0.113.5.
inline constexpr char SAME_SUBNET_ADAPTER[] = "203.0.113.1";
inline constexpr char SAME_SUBNET_OTHER_ADAPTER[] = "203.0.113.5";
inline constexpr char SAME_SUBNET_SIM_INTERFACE[] = "tvb3";
class SameSubnetLayout final {
public:
    SameSubnetLayout();
    ~SameSubnetLayout();
    SameSubnetLayout(const SameSubnetLayout&) = delete;
    SameSubnetLayout& operator=(const SameSubnetLayout&) = delete;
    bool Up() const { return up_; }

private:
    bool up_ = false;
};

// Path of a built tool: "telvane-sim", "telvane-cli".
std::string ToolPath(const std::string& name);

// One line of the simulator's log.
struct SIM_LOG_LINE {
    std::string kind;  // "RX", "TX", "TX-FAILED"
    double t_ms = 0;   // since the simulator started
    std::string from_address;
    std::uint16_t from_port = 0;
    std::string to_address;
    std::uint16_t to_port = 0;
    std::string interface;
    std::vector<std::uint8_t> data;
};

// telvane-sim in the device namespace, with a JSON configuration; stopped when destroyed.
class SimProcess final {
public:
    explicit SimProcess(std::string config_json, std::vector<std::string> extra_args = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts it and waits until it listens; false (with the reason added to the test's
    // output) when it does not.
    bool Start(int timeout_ms = 10000);
    void Stop();

    std::vector<SIM_LOG_LINE> Log() const;
    std::vector<SIM_LOG_LINE> Received() const;  // RX lines
    std::vector<SIM_LOG_LINE> Sent() const;      // TX lines, failed ones included
    std::vector<SIM_LOG_LINE> SetRequests() const;  // RX lines of either set request
    std::string LogText() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

struct TOOL_RESULT {
    int exit_code = -1;
    std::string out;
    std::string err;
};
// Runs a tool here (the program side) and collects what it wrote.
TOOL_RESULT RunTool(const std::string& name, const std::vector<std::string>& args, int timeout_ms = 30000);

// Hex text to bytes ("ffff454e91").
std::vector<std::uint8_t> FromHex(const std::string& hex);

}  // namespace telvane::netns
