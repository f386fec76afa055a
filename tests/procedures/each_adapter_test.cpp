#include "procedures/each_adapter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace telvane {
namespace {

// Guards against enumerating the adapters one after another: the run must take one
// enumeration's time however many adapters there are.
TEST(RunAtOnce, RunsEveryPieceAtTheSameTime) {
    std::vector<int> done(4, 0);
    const auto start = std::chrono::steady_clock::now();
    RunAtOnce(done.size(), [&](std::size_t i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        done[i] += 1;
    });
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(done, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_LT(spent, std::chrono::milliseconds(600));
}

}  // namespace
}  // namespace telvane
