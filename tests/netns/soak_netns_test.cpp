// Many enumerations and sets in a row against simulated devices: memory and file
// descriptors must stay flat (leaks are LeakSanitizer's part, in the sanitizer build).
// The counts come from TELVANE_SOAK_ENUMERATIONS and TELVANE_SOAK_SETS; scripts/soak.sh
// runs the long version, the test run a short one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "procedures/discovery.h"
#include "procedures/set_exchange_net.h"
#include "protocol/text.h"
#include "tests/netns/harness.h"

namespace telvane {
namespace {

using netns::SimProcess;

int FromEnv(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value == nullptr ? fallback : std::atoi(value);
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

int OpenDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool UNDER_ASAN = true;
#else
constexpr bool UNDER_ASAN = false;
#endif

constexpr char SET_MAC[] = "02-00-00-00-0c-01";

class SoakNetnsTest : public netns::NetnsTest {};

// Guards against anything that grows per enumeration or per set: sockets or
// notifiers not released when the socket is made anew, buffers kept per datagram.
TEST_F(SoakNetnsTest, EnumerationsAndSetsInARowKeepMemoryAndDescriptorsFlat) {
    const int enumerations = FromEnv("TELVANE_SOAK_ENUMERATIONS", 100);
    const int sets = FromEnv("TELVANE_SOAK_SETS", 20);
    SimProcess sim(R"({"devices": [{"mac": "02-00-00-00-0c-01", "ipv4_address": "192.0.2.97", "reply": "base",
        "set": "accept", "device_name": "soak"}]})",
                   {"--many", "30"});
    ASSERT_TRUE(sim.Start());
    auto table = std::make_unique<DEVICE_TABLE>();
    CTableIntake intake(*table);
    CTelvaneSocket socket;

    const int warm_up = std::min(10, enumerations);
    long rss_start = 0;
    int fds_start = 0;
    long rss_peak = 0;
    for (int i = 0; i < enumerations; ++i) {
        // The whole procedure as the window runs it: a new socket, three requests and waits.
        ASSERT_EQ(OpenDiscoverySocket(socket, netns::AdapterAddress(1), &intake), OPEN_RESULT::OPENED);
        EXPECT_FALSE(EnumerateIntoTable(socket, *table));
        ASSERT_EQ(table->device_count, 31) << "enumeration " << i;
        if (i + 1 == warm_up) {
            rss_start = ResidentKb();
            fds_start = OpenDescriptors();
        }
        rss_peak = std::max(rss_peak, ResidentKb());
    }
    const long rss_after_enumerations = ResidentKb();
    const int fds_after_enumerations = OpenDescriptors();

    // Sets: the exchange as the window and the command line run it, answered by the
    // device's set reply through the intake.
    std::int32_t index = -1;
    for (std::int32_t i = 0; i < table->device_count; ++i) {
        if (FormatMac(table->entries[static_cast<std::size_t>(i)].mac) == SET_MAC) index = i;
    }
    ASSERT_GE(index, 0);
    table->selected_index = index;
    SET_SETTINGS settings;
    settings.ipv4_address = {192, 0, 2, 97};
    settings.ipv4_mask = {255, 255, 255, 0};
    const SET_REQUEST request = BuildSetRequest(table->entries[static_cast<std::size_t>(index)], settings);
    int accepted = 0;
    for (int i = 0; i < sets; ++i) {
        accepted +=
            ExchangeSetRequest(socket, *table, request, SEND_FAILURES::END_EXCHANGE).outcome == STATE_SET_OK ? 1 : 0;
        rss_peak = std::max(rss_peak, ResidentKb());
    }
    const long rss_end = ResidentKb();
    const int fds_end = OpenDescriptors();

    std::printf("soak: %d enumerations, %d sets (%d accepted)%s\n", enumerations, sets, accepted,
                UNDER_ASAN ? ", AddressSanitizer build" : "");
    std::printf("soak: RSS after %d enumerations %ld kB, after %d %ld kB, after the sets %ld kB, peak %ld kB\n",
                warm_up, rss_start, enumerations, rss_after_enumerations, rss_end, rss_peak);
    std::printf("soak: file descriptors after %d enumerations %d, after %d %d, after the sets %d\n", warm_up, fds_start,
                enumerations, fds_after_enumerations, fds_end);

    EXPECT_EQ(accepted, sets);
    EXPECT_EQ(fds_after_enumerations, fds_start);
    EXPECT_EQ(fds_end, fds_start);
    // A leak of even a few hundred bytes per enumeration shows over the run; the
    // allocator's own slack stays well below this. The sanitizer's quarantine holds
    // freed memory on purpose, so there the leak check is what counts.
    if (!UNDER_ASAN) {
        EXPECT_LT(rss_end - rss_start, 1024) << "kB of growth";
    }
}

}  // namespace
}  // namespace telvane
