// Costs of the discovery transport.
//   BM_EnumerationWaits: processor time of one enumeration's three 150 ms pumped waits
//     (goal under 5 ms; a polling wait would use the whole 450 ms).
//   BM_BurstIntake300: 300 enumerate replies (100 devices x 3) arriving at once, taken
//     through the discovery socket into the table. Sends datagrams, so it runs only
//     inside scripts/netns.sh (it reads TELVANE_ADAPTER1), e.g.
//     scripts/netns.sh run -- build/bench/bench_discovery
#include <QtCore/QCoreApplication>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QUdpSocket>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/event_loop.h"

#include "net/pumped_wait.h"
#include "procedures/discovery.h"

namespace {

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void BM_EnumerationWaits(benchmark::State& state) {
    double cpu = 0;
    for (auto _ : state) {
        const double before = CpuMs();
        for (int i = 0; i < telvane::ENUMERATE_SEND_COUNT; ++i) telvane::PumpMessages(telvane::ENUMERATE_WAIT_MS);
        cpu += CpuMs() - before;
    }
    state.counters["cpu_ms_per_enumeration"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EnumerationWaits)->Iterations(5)->Unit(benchmark::kMillisecond);

QByteArray Reply(int device) {
    QByteArray b(40, '\0');
    b[0] = b[1] = '\xFF';
    b[2] = '\xC5';
    b[3] = '\xCE';
    b[4] = 0x02;
    b[8] = static_cast<char>(device >> 8);
    b[9] = static_cast<char>(device & 0xFF);
    b[10] = 10;
    b[13] = static_cast<char>(device & 0xFF);
    b[39] = static_cast<char>(telvane::Checksum(reinterpret_cast<const std::uint8_t*>(b.constData()), 39));
    return b;
}

void BM_BurstIntake300(benchmark::State& state) {
    const char* adapter = std::getenv("TELVANE_ADAPTER1");
    if (adapter == nullptr || std::getenv("TELVANE_NETNS_HARNESS") == nullptr) {
        state.SkipWithError("sends datagrams: run inside scripts/netns.sh");
        return;
    }
    std::vector<QByteArray> burst;
    for (int round = 0; round < 3; ++round) {
        for (int d = 0; d < 100; ++d) burst.push_back(Reply(d));
    }
    QUdpSocket sender;
    double cpu = 0;
    for (auto _ : state) {
        auto table = std::make_unique<telvane::DEVICE_TABLE>();
        telvane::CTableIntake intake(*table);
        telvane::CTelvaneSocket socket;
        if (telvane::OpenDiscoverySocket(socket, std::string(adapter), &intake) != telvane::OPEN_RESULT::OPENED) {
            state.SkipWithError("cannot open the discovery socket");
            return;
        }
        const QHostAddress to(QString::fromLatin1(adapter));
        const auto start = std::chrono::steady_clock::now();
        const double before = CpuMs();
        // Everything is queued before the first is read: a burst.
        for (const QByteArray& b : burst) sender.writeDatagram(b, to, socket.LocalPort());
        while (intake.DatagramCount() < 300 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
            telvane::CurrentEventLoop().HandleOneBatch(10);
        }
        const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        cpu += CpuMs() - before;
        state.SetIterationTime(elapsed.count());
        if (intake.DatagramCount() != 300 || table->device_count != 100) {
            state.SkipWithError("datagrams were lost");
            return;
        }
    }
    state.counters["cpu_ms_per_burst"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BurstIntake300)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
