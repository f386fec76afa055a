// CPU time of the device list as replies arrive: a row per new device, with the event
// processing a pumped wait would do between datagrams (layout and painting included).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "ui/device_list_view.h"
#include "inventory/reply_intake.h"
#include "inventory/row_text.h"
#include "tests/inventory/reply_builder.h"

namespace {

using namespace telvane;

constexpr int ROWS = 100;
// Longer than the list holds new rows back before painting them.
constexpr int REPAINT_SETTLE_MS = 120;

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::vector<Bytes> HundredReplies() {
    std::vector<Bytes> out;
    for (int i = 0; i < ROWS; ++i) {
        const auto n = static_cast<std::uint8_t>(i);
        const std::string name = "Camera-" + std::to_string(i) + " Hall " + std::to_string(i % 7);
        out.push_back(Reply()
                          .Mac(n)
                          .Ipv4(10, 0, 0, n)
                          .Extension(EXT_IPV6, static_cast<std::uint8_t>(name.size()), Text(name))
                          .Sealed());
    }
    return out;
}

struct ShownList {
    QTreeWidget list;
    DEVICE_TABLE table;
    CDeviceListView view{&list, table};
    std::vector<Bytes> replies = HundredReplies();

    ShownList() {
        view.InsertListColumns(DEVICE_LIST_COLUMN_COUNT, DEVICE_LIST_COLUMNS);
        list.resize(600, 180);
        list.show();
        QApplication::processEvents();
    }
    void Empty() {
        table.device_count = 0;
        view.DeleteAllItems();
        QApplication::processEvents();
    }
    void Arrive(const Bytes& reply) {
        OnDatagram(table, reply, true, [this](std::int32_t i, const DEVICE_INFO& e) { view.AddDeviceRow(i, e); });
    }
};

void PerRow(benchmark::State& state) {
    state.counters["per_row"] =
        benchmark::Counter(ROWS, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A hundred devices answering during one enumeration, each datagram followed by the
// event processing of the wait it arrives in.
void BM_HundredRowsArriving(benchmark::State& state) {
    ShownList s;
    for (auto _ : state) {
        state.PauseTiming();
        s.Empty();
        state.ResumeTiming();
        for (const Bytes& reply : s.replies) {
            s.Arrive(reply);
            QApplication::processEvents();
        }
        RunEventsFor(REPAINT_SETTLE_MS);  // the list is painted with its new rows
    }
    PerRow(state);
}
BENCHMARK(BM_HundredRowsArriving)->Unit(benchmark::kMillisecond);

// The same hundred replies spread over an enumeration's 450 ms, as devices answer: the
// event loop runs between them, so the list is painted while it fills.
void BM_HundredRowsOverOneEnumeration(benchmark::State& state) {
    ShownList s;
    for (auto _ : state) {
        state.PauseTiming();
        s.Empty();
        state.ResumeTiming();
        for (const Bytes& reply : s.replies) {
            s.Arrive(reply);
            RunEventsFor(4);
        }
        RunEventsFor(REPAINT_SETTLE_MS);
    }
    PerRow(state);
}
BENCHMARK(BM_HundredRowsOverOneEnumeration)->Unit(benchmark::kMillisecond);

// Reference for the above: the same waits with no datagram and no row; the difference
// is what the hundred rows cost.
void BM_EventLoopOverOneEnumeration(benchmark::State& state) {
    ShownList s;
    for (auto _ : state) {
        for (int i = 0; i < ROWS; ++i) RunEventsFor(4);
        RunEventsFor(REPAINT_SETTLE_MS);
    }
    PerRow(state);
}
BENCHMARK(BM_EventLoopOverOneEnumeration)->Unit(benchmark::kMillisecond);

// Reference: the bare widget with the same texts and no controller, delegate or table;
// the difference to BM_HundredRowsArriving is what the device list itself costs.
void BM_HundredRowsArrivingBareWidget(benchmark::State& state) {
    QTreeWidget list;
    list.setColumnCount(DEVICE_LIST_COLUMN_COUNT);
    list.setRootIsDecorated(false);
    list.setUniformRowHeights(true);
    list.resize(600, 180);
    list.show();
    DEVICE_TABLE table;
    const std::vector<Bytes> replies = HundredReplies();
    for (auto _ : state) {
        state.PauseTiming();
        table.device_count = 0;
        list.clear();
        QApplication::processEvents();
        state.ResumeTiming();
        for (const Bytes& reply : replies) {
            OnDatagram(table, reply, true, [&list](std::int32_t i, const DEVICE_INFO& e) {
                list.insertTopLevelItem(
                    i, new QTreeWidgetItem(QStringList{
                           QString::fromStdU16String(DeviceNameText(e)), QString::fromStdU16String(ModelNameText(e)),
                           QString::fromStdU16String(MacText(e)), QString::fromStdU16String(IpAddressText(e))}));
            });
            QApplication::processEvents();
        }
    }
    PerRow(state);
}
BENCHMARK(BM_HundredRowsArrivingBareWidget)->Unit(benchmark::kMillisecond);

// The same hundred rows with one paint at the end: the cost of the rows themselves.
void BM_HundredRowsAdded(benchmark::State& state) {
    ShownList s;
    for (auto _ : state) {
        state.PauseTiming();
        s.Empty();
        state.ResumeTiming();
        for (const Bytes& reply : s.replies) s.Arrive(reply);
        QApplication::processEvents();
    }
    PerRow(state);
}
BENCHMARK(BM_HundredRowsAdded)->Unit(benchmark::kMillisecond);

// A heading click on a full list: sort, rebuild, repaint.
void BM_SortAndRefillHundredRows(benchmark::State& state) {
    ShownList s;
    for (const Bytes& reply : s.replies) s.Arrive(reply);
    int column = 0;
    for (auto _ : state) {
        s.view.SortDeviceList(s.table, column, nullptr);
        QApplication::processEvents();
        column = (column + 1) % DEVICE_LIST_COLUMN_COUNT;
    }
}
BENCHMARK(BM_SortAndRefillHundredRows)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
