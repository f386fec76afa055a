// Cost of taking one reply into the table and of the duplicate check on a full table.
#include <benchmark/benchmark.h>

#include <vector>

#include "inventory/reply_intake.h"

namespace {

using telvane::DEVICE_TABLE;

std::vector<std::uint8_t> ExtendedReply(std::uint8_t id) {
    std::vector<std::uint8_t> b(115 + 255, 'n');
    std::fill(b.begin(), b.begin() + 115, 0);
    b[0] = b[1] = 0xFF;
    b[2] = 0xC5;
    b[3] = 0xCE;
    b[9] = id;
    b[13] = id;
    b[40] = telvane::EXT_IPV6;
    b[114] = 255;
    b[39] = telvane::Checksum(b.data(), 39);
    return b;
}

void BM_TakeExtendedReplyWithLongName(benchmark::State& state) {
    const auto reply = ExtendedReply(1);
    DEVICE_TABLE table;
    for (auto _ : state) {
        table.device_count = 0;
        telvane::OnDatagram(table, reply, true, nullptr);
        benchmark::DoNotOptimize(table.entries[0].device_name[254]);
    }
}
BENCHMARK(BM_TakeExtendedReplyWithLongName);

// The path a burst takes most: a device already listed answers again, and the reply is
// ignored (and counted, where the intake counts).
void BM_IgnoreRepeatedReply(benchmark::State& state) {
    const auto reply = ExtendedReply(1);
    DEVICE_TABLE table;
    telvane::OnDatagram(table, reply, true, nullptr);
    for (auto _ : state) {
        telvane::OnDatagram(table, reply, true, nullptr);
        benchmark::DoNotOptimize(table.device_count);
    }
}
BENCHMARK(BM_IgnoreRepeatedReply);

void BM_DuplicateCheckAgainstFullTable(benchmark::State& state) {
    DEVICE_TABLE table;
    for (int i = 0; i < telvane::DEVICE_TABLE_CAPACITY; ++i) {
        telvane::OnDatagram(table, ExtendedReply(static_cast<std::uint8_t>(i)), true, nullptr);
    }
    const telvane::MAC absent = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF};
    const telvane::IPV4 address = {0, 0, 0, 0xFF};
    for (auto _ : state) {
        benchmark::DoNotOptimize(telvane::IsKnownDevice(table, absent, address));
    }
}
BENCHMARK(BM_DuplicateCheckAgainstFullTable);

}  // namespace
