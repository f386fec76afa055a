// The main window against a hostile peer and the socket's faults, on the offscreen
// platform with the message box answered by the test.
#include <gtest/gtest.h>

#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QTreeWidget>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/telvane_dlg.h"
#include "ui/message_box.h"
#include "net/pumped_wait.h"
#include "net/system_checks.h"
#include "protocol/text.h"
#include "resources/resource.h"
#include "tests/app_netns/window_fixture.h"
#include "tests/netns/harness.h"

namespace telvane {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Ip(const std::vector<std::string>& args) {
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    return QProcess::execute(QStringLiteral("ip"), list);
}

using WindowFaults = netns::WindowNetnsTest;

// Guards against a flood that freezes the window's waits, crashes the intake or the
// list, shows more than 100 rows, or hides the real device.
TEST_F(WindowFaults, EnumeratesUnderAFlood) {
    netns::SimProcess sim(R"({"devices": [{"mac": "02-00-00-00-0b-01", "ipv4_address": "192.0.2.91",
        "interface": "tvd1"}]})",
                          {"--flood", "20000", "--flood-seconds", "6"});
    ASSERT_TRUE(sim.Start());
    auto start = Clock::now();
    auto dialog = std::make_unique<CTelvaneDlg>();
    dialog->Create();  // the first enumeration runs here, and starts the flood
    EXPECT_LT(MsSince(start), 2500.0);
    ASSERT_FALSE(dialog->IsEnded());
    EXPECT_TRUE(Lists(*dialog, "02-00-00-00-0b-01"));
    for (int run = 0; run < 4; ++run) {
        start = Clock::now();
        dialog->Enumerate();
        EXPECT_LT(MsSince(start), 2000.0) << "run " << run;
        EXPECT_LE(dialog->table.device_count, DEVICE_TABLE_CAPACITY);
        EXPECT_EQ(Rows(*dialog), dialog->table.device_count);
        EXPECT_TRUE(Lists(*dialog, "02-00-00-00-0b-01")) << "run " << run;
        EXPECT_EQ(dialog->busy, 0);
    }
    // The flood goes on after the procedure: the window keeps taking it in.
    PumpMessages(300);
    EXPECT_LE(Rows(*dialog), DEVICE_TABLE_CAPACITY);
    EXPECT_EQ(dialog->table.device_count, DEVICE_TABLE_CAPACITY);
    EXPECT_TRUE(messages.empty());
    // Destroyed while the flood still arrives.
    dialog.reset();
    PumpMessages(100);
}

// The chosen adapter's address disappears after start-up: the next enumeration cannot
// make its socket. Guards against a missing message, a window that stays open, or a
// busy flag left raised.
TEST_F(WindowFaults, AdapterAddressGoneShowsTheMessageAndEndsTheWindow) {
    netns::SimProcess sim(R"({"devices": [{"ipv4_address": "198.51.100.92", "interface": "tvd2"}]})");
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    ASSERT_EQ(adapter_count, 2);
    dialog.ComboSetCurSel(IDC_ADAPTER, 1);
    const std::string with_prefix = netns::AdapterAddress(2) + "/24";
    ASSERT_EQ(Ip({"addr", "del", with_prefix, "dev", "tvp2"}), 0);
    dialog.Enumerate();
    ASSERT_EQ(Ip({"addr", "add", with_prefix, "dev", "tvp2"}), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], u"Socket Initialization failure");
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);
    EXPECT_EQ(dialog.socket_open, 0);
    EXPECT_EQ(dialog.busy, 0);
    EXPECT_FALSE(dialog.socket.IsOpen());
}

// The window is closed the moment an enumeration ends, while late replies are still
// on their way. Guards against a close request honoured during the procedure, one
// refused after it, and a reply handled by a window already gone.
TEST_F(WindowFaults, ClosedTheMomentAnEnumerationEnds) {
    netns::SimProcess sim(R"({"devices": [
        {"mac": "02-00-00-00-0b-02", "ipv4_address": "192.0.2.93", "interface": "tvd1"},
        {"mac": "02-00-00-00-0b-03", "ipv4_address": "192.0.2.94", "interface": "tvd1", "delay_ms": 460},
        {"mac": "02-00-00-00-0b-04", "ipv4_address": "192.0.2.95", "interface": "tvd1", "delay_ms": 600}]})");
    ASSERT_TRUE(sim.Start());
    auto dialog = std::make_unique<CTelvaneDlg>();
    dialog->Create();
    dialog->show();
    // Close requests every few milliseconds from the start of the next enumeration on.
    int refused_while_busy = 0;
    int honoured_while_busy = 0;
    QTimer knocker;
    knocker.setInterval(5);
    QObject::connect(&knocker, &QTimer::timeout, dialog.get(), [&] {
        const bool busy = dialog->busy != 0;
        const bool closed = dialog->close();
        if (busy) (closed ? honoured_while_busy : refused_while_busy) += 1;
    });
    knocker.start();
    dialog->Enumerate();
    knocker.stop();
    EXPECT_GT(refused_while_busy, 10);
    EXPECT_EQ(honoured_while_busy, 0);
    EXPECT_FALSE(dialog->IsEnded());
    EXPECT_TRUE(dialog->close());  // at once, the procedure being over
    EXPECT_TRUE(dialog->IsEnded());
    EXPECT_EQ(dialog->EndResult(), IDCANCEL);
    // The ended window still takes in what arrives until it is destroyed, then the
    // remaining replies meet a closed socket.
    PumpMessages(50);
    dialog.reset();
    PumpMessages(800);
    EXPECT_GE(sim.Sent().size(), 9u);
}

// Set IP under a flood, with close requests knocking all the while. Guards against
// set replies from random MACs ending the wait, a close honoured in the middle of the
// set, its progress or its new enumeration, and one refused once the set is over.
// Set replies with a wrong checksum are left out of the flood: by the protocol any of
// them ends the wait as a refusal.
TEST_F(WindowFaults, SetUnderAFloodThenClosedTheMomentItEnds) {
    netns::SimProcess sim(R"({"devices": [{"mac": "02-00-00-00-0b-05", "ipv4_address": "192.0.2.96",
        "ipv4_mask": "255.255.255.0", "interface": "tvd1", "set": "accept"}]})",
                          {"--flood", "20000", "--flood-seconds", "20", "--flood-kinds",
                           "random,bad_marker,bad_checksum,truncated,oversized,name_byte,reserved_status,"
                           "set_reply_mac,valid_random,request_echo"});
    ASSERT_TRUE(sim.Start());
    auto dialog = std::make_unique<CTelvaneDlg>();
    dialog->Create();
    ASSERT_FALSE(dialog->IsEnded());
    ASSERT_EQ(dialog->table.selected_index, 0);
    ASSERT_EQ(FormatMac(dialog->table.entries[0].mac), "02-00-00-00-0b-05");
    int refused_while_busy = 0;
    int honoured_while_busy = 0;
    QTimer knocker;
    knocker.setInterval(20);
    QObject::connect(&knocker, &QTimer::timeout, dialog.get(), [&] {
        const bool busy = dialog->busy != 0;
        const bool closed = dialog->close();
        if (busy) (closed ? honoured_while_busy : refused_while_busy) += 1;
    });
    knocker.start();
    const auto start = Clock::now();
    dialog->OnSetIp();
    const double ms = MsSince(start);
    knocker.stop();
    EXPECT_TRUE(messages.empty());
    // Accepted at the first send (the progress and the new enumeration ran), and the
    // device is listed again after it.
    int set_requests = 0;
    int accepting_replies = 0;
    for (const auto& line : sim.Received()) set_requests += line.data.size() >= 4 && line.data[2] == 0x49 ? 1 : 0;
    for (const auto& line : sim.Sent()) {
        accepting_replies += line.data.size() == 12 && line.data[2] == 0xC9 && line.data[10] == 0 ? 1 : 0;
    }
    EXPECT_EQ(set_requests, 1);
    EXPECT_EQ(accepting_replies, 1);
    EXPECT_GT(ms, 12000.0);
    EXPECT_LT(ms, 16000.0);
    EXPECT_TRUE(Lists(*dialog, "02-00-00-00-0b-05"));
    EXPECT_LE(Rows(*dialog), DEVICE_TABLE_CAPACITY);
    EXPECT_GT(refused_while_busy, 100);
    EXPECT_EQ(honoured_while_busy, 0);
    EXPECT_FALSE(dialog->IsEnded());
    EXPECT_TRUE(dialog->close());
    EXPECT_EQ(dialog->EndResult(), IDCANCEL);
    dialog.reset();
    PumpMessages(100);
}

// A user who keeps clicking and typing while Set IP runs: every control of the window
// in turn gets a click (the list on its rows, the heading on its sections) and a key,
// all through its progress and new enumeration. Guards against a disabled control that
// still acts: another row selected, a second set started inside the first, a key that
// ends the dialog or moves it on. Only the request the user started may go out.
TEST_F(WindowFaults, ClicksAndKeysOnEveryControlDuringSetIpSendOnlyItsRequest) {
    netns::SimProcess sim(R"({"devices": [
        {"mac": "02-00-00-00-0c-01", "ipv4_address": "192.0.2.101", "interface": "tvd1", "set": "accept"},
        {"mac": "02-00-00-00-0c-02", "ipv4_address": "192.0.2.102", "interface": "tvd1", "set": "accept"},
        {"mac": "02-00-00-00-0c-03", "ipv4_address": "192.0.2.103", "interface": "tvd1", "set": "accept"}]})");
    ASSERT_TRUE(sim.Start());
    auto dialog = std::make_unique<CTelvaneDlg>();
    dialog->Create();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    ASSERT_EQ(dialog->table.device_count, 3);
    ASSERT_EQ(dialog->table.selected_index, 0);
    const MAC chosen = dialog->table.entries[0].mac;
    auto* list = dynamic_cast<QTreeWidget*>(dialog->GetDlgItem(IDC_DEVICE_LIST));
    const std::vector<QWidget*> controls = dialog->Controls();
    const Qt::Key keys[] = {Qt::Key_Space, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Down, Qt::Key_Up};
    std::size_t turn = 0;
    int while_busy = 0;
    QTimer pest;
    pest.setInterval(15);
    QObject::connect(&pest, &QTimer::timeout, dialog.get(), [&] {
        if (dialog->busy != 0) ++while_busy;
        QWidget* control = controls[turn % controls.size()];
        const Qt::Key key = keys[turn % std::size(keys)];
        ++turn;
        if (control == list) {
            const int rows = list->topLevelItemCount();
            if (rows > 0) {
                const QPoint row = list->visualItemRect(list->topLevelItem(static_cast<int>(turn) % rows)).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
            }
            QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        } else {
            QTest::mouseClick(control, Qt::LeftButton);
        }
        QTest::keyClick(control, key);
        if (QWidget* focus = QApplication::focusWidget()) QTest::keyClick(focus, key);
        dialog->close();
    });
    pest.start();
    dialog->OnSetIp();
    pest.stop();
    EXPECT_GT(while_busy, 300);
    EXPECT_FALSE(dialog->IsEnded());
    EXPECT_EQ(dialog->busy, 0);
    int set_requests = 0;
    for (const auto& line : sim.Received()) {
        if (line.data.size() < 10 || line.data[2] != 0x49) continue;
        ++set_requests;
        EXPECT_TRUE(std::equal(chosen.begin(), chosen.end(), line.data.begin() + 4)) << "a set for another device";
    }
    EXPECT_EQ(set_requests, 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(dialog->table.device_count, 3);
    dialog.reset();
    PumpMessages(100);
}

}  // namespace
}  // namespace telvane
