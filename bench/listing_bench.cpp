// Cost of a command-line listing from the replies heard to the JSON written: intake into
// a table without a limit, naming the devices that share an address, and the output. Its
// time and memory must grow linearly with the replies, whatever they hold: anyone on the
// segment can send thousands of replies that all claim one address.
//   bench_listing --benchmark_filter='Listing/3000/1'   (under /usr/bin/time -v for memory)
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "inventory/reply_intake.h"
#include "procedures/watch_events.h"
#include "tools/cli/cli_output.h"

namespace {

using telvane::DEVICE_TABLE;

// A 40-byte enumerate reply from device n, at its own address or, with shared, at one
// address for all.
std::vector<std::uint8_t> Reply(std::uint32_t n, bool shared) {
    std::vector<std::uint8_t> b(40, 0);
    b[0] = b[1] = 0xFF;
    b[2] = 0xC5;
    b[3] = 0xCE;
    b[4] = 0x02;
    b[7] = static_cast<std::uint8_t>(n >> 16);
    b[8] = static_cast<std::uint8_t>(n >> 8);
    b[9] = static_cast<std::uint8_t>(n);
    b[10] = 10;
    b[11] = shared ? 0 : static_cast<std::uint8_t>(n >> 16);
    b[12] = shared ? 0 : static_cast<std::uint8_t>(n >> 8);
    b[13] = shared ? 30 : static_cast<std::uint8_t>(n);
    for (int i = 18; i < 21; ++i) b[static_cast<std::size_t>(i)] = 255;
    b[39] = telvane::Checksum(b.data(), 39);
    return b;
}

std::vector<std::vector<std::uint8_t>> Replies(std::int64_t devices, bool shared) {
    std::vector<std::vector<std::uint8_t>> out;
    // Each device answers all three requests, as in an enumeration.
    for (int round = 0; round < 3; ++round) {
        for (std::int64_t n = 0; n < devices; ++n) out.push_back(Reply(static_cast<std::uint32_t>(n), shared));
    }
    return out;
}

std::unique_ptr<DEVICE_TABLE> Intake(const std::vector<std::vector<std::uint8_t>>& replies) {
    auto table = std::make_unique<DEVICE_TABLE>(telvane::UNLIMITED_DEVICES);
    for (const auto& reply : replies) telvane::OnDatagram(*table, reply, true, nullptr);
    return table;
}

// Arguments: devices, and 1 when they all share one IPv4 address (and for the stages, the
// stage: 0 intake, 1 naming, 2 JSON).
void BM_Listing(benchmark::State& state) {
    const auto replies = Replies(state.range(0), state.range(1) != 0);
    const telvane::cli::SEGMENT segment{{10, 0, 0, 1}, {255, 0, 0, 0}};
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto table = Intake(replies);
        const auto devices = telvane::cli::ListDevices(*table, segment, "10.0.0.1");
        const std::string json = telvane::cli::ListingJson(devices, false);
        bytes = json.size();
        benchmark::DoNotOptimize(json.data());
    }
    state.counters["json_bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Listing)->Args({10000, 0})->Args({3000, 1})->Args({30000, 1})->Unit(benchmark::kMillisecond);

// The three stages of BM_Listing apart: intake, naming (ListDevices, which finds the
// shared addresses) and writing the JSON.
void BM_ListingStage(benchmark::State& state) {
    const auto replies = Replies(state.range(0), state.range(1) != 0);
    const telvane::cli::SEGMENT segment{{10, 0, 0, 1}, {255, 0, 0, 0}};
    const auto table = Intake(replies);
    const auto devices = telvane::cli::ListDevices(*table, segment, "10.0.0.1");
    for (auto _ : state) {
        switch (state.range(2)) {
            case 0:
                benchmark::DoNotOptimize(Intake(replies)->device_count);
                break;
            case 1:
                benchmark::DoNotOptimize(telvane::cli::ListDevices(*table, segment, "10.0.0.1").size());
                break;
            default:
                benchmark::DoNotOptimize(telvane::cli::ListingJson(devices, false).size());
                break;
        }
    }
}
BENCHMARK(BM_ListingStage)
    ->ArgsProduct({{10000}, {0}, {0, 1, 2}})
    ->ArgsProduct({{3000}, {1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

// One round of `enumerate --watch` after the first: the same devices compared with the
// last round's, and the events written.
void BM_WatchRound(benchmark::State& state) {
    const auto table = Intake(Replies(state.range(0), state.range(1) != 0));
    const auto listed = telvane::cli::ListDevices(*table, {}, "");
    std::vector<telvane::WATCHED_DEVICE> round;
    for (const auto& d : listed) {
        round.push_back({d.entry, "", telvane::cli::CompactJson(telvane::cli::ListedJson(d, false))});
    }
    telvane::CWatchTracker tracker([](const telvane::DEVICE_INFO& e) {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& f : telvane::cli::EntryFields(e)) out.emplace_back(f.name, f.Text());
        return out;
    });
    tracker.Update(round);
    for (auto _ : state) benchmark::DoNotOptimize(tracker.Update(round).size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WatchRound)->Args({10000, 0})->Args({3000, 1})->Unit(benchmark::kMillisecond);

}  // namespace
