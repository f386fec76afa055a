#include <gtest/gtest.h>

#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeWidget>

#include <string>
#include <vector>

#include "app/telvane_dlg.h"
#include "ui/device_list_view.h"
#include "ui/message_box.h"
#include "net/pumped_wait.h"
#include "net/system_checks.h"
#include "resources/resource.h"
#include "tests/app_netns/window_fixture.h"
#include "tests/netns/harness.h"

namespace telvane {
namespace {

constexpr char THREE_DEVICES[] = R"({"devices": [
    {"mac": "00-1a-2b-3c-4d-01", "ipv4_address": "192.0.2.20", "reply": "base", "interface": "tvd1"},
    {"mac": "00-1a-2b-3c-4d-02", "ipv4_address": "192.0.2.21", "device_name": "Second", "interface": "tvd1"},
    {"mac": "00-1a-2b-3c-4d-03", "ipv4_address": "203.0.113.9", "answer": "broadcast", "interface": "tvd1"},
    {"mac": "00-1a-2b-3c-4d-09", "ipv4_address": "198.51.100.30", "interface": "tvd2"}]})";

class Window : public netns::WindowNetnsTest {
protected:
    static int EnumerateRequests(const netns::SimProcess& sim) {
        int n = 0;
        for (const auto& line : sim.Received())
            if (line.data == std::vector<std::uint8_t>{0xFF, 0xFF, 0x45, 0x4E, 0x91}) ++n;
        return n;
    }
};

// The normal start: the first enumeration runs before the window shows, finds every
// device of the first adapter's link (the one in another subnet answers by broadcast),
// selects the first and frees the controls.
TEST_F(Window, StartupEnumeratesTheFirstAdapter) {
    netns::SimProcess sim(THREE_DEVICES);
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(EnumerateRequests(sim), 3);
    ASSERT_EQ(dialog.table.device_count, 3);
    EXPECT_EQ(Rows(dialog), 3);
    EXPECT_EQ(dialog.table.selected_index, 0);
    EXPECT_EQ(dialog.busy, 0);
    EXPECT_EQ(dialog.socket_open, 1);
    EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(IDC_ENUMERATE));
    EXPECT_EQ(std::u16string(adapter_addresses[0].data()),
              QString::fromStdString(netns::AdapterAddress(1)).toStdU16String());
    for (const int id : {IDC_EXIT, IDC_ENUMERATE, IDC_IPV4_DHCP, IDC_IPV4_STATIC, IDC_ADAPTER, IDC_PROTOCOL,
                         IDC_IPV4_GROUP, IDC_DEVICE_LIST, IDC_SET_IP})
        EXPECT_TRUE(dialog.IsDlgItemEnabled(id)) << id;
}

// Guards against a locked first device leaving its choices and Set IP usable, or the
// frame disabled.
TEST_F(Window, LockedFirstDeviceKeepsSetIpDisabled) {
    netns::SimProcess sim(R"({"devices": [{"ipv4_address": "192.0.2.20", "locked": true, "interface": "tvd1"}]})");
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    ASSERT_EQ(dialog.table.device_count, 1);
    for (const int id : {IDC_IPV4_DHCP, IDC_IPV4_STATIC, IDC_SET_IP}) EXPECT_FALSE(dialog.IsDlgItemEnabled(id)) << id;
    for (const int id : {IDC_EXIT, IDC_ENUMERATE, IDC_IPV4_GROUP, IDC_DEVICE_LIST, IDC_ADAPTER})
        EXPECT_TRUE(dialog.IsDlgItemEnabled(id)) << id;
}

TEST_F(Window, NoDeviceLeavesTheListAndSetIpDisabled) {
    netns::SimProcess sim(R"({"devices": []})");
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    EXPECT_EQ(dialog.table.device_count, 0);
    EXPECT_EQ(dialog.table.selected_index, -1);
    for (const int id : {IDC_DEVICE_LIST, IDC_SET_IP, IDC_IPV4_DHCP, IDC_IPV4_STATIC})
        EXPECT_FALSE(dialog.IsDlgItemEnabled(id)) << id;
    for (const int id : {IDC_EXIT, IDC_ENUMERATE, IDC_ADAPTER, IDC_PROTOCOL, IDC_IPV4_GROUP})
        EXPECT_TRUE(dialog.IsDlgItemEnabled(id)) << id;
    EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(IDC_ENUMERATE));
    // The empty list says so, naming the adapter it listened on.
    EXPECT_TRUE(QString::fromStdU16String(dialog.ListView().EmptyNoteText()).startsWith(
        QStringLiteral("No device answered on %1.\n").arg(QString::fromStdString(netns::AdapterAddress(1)))))
        << QString::fromStdU16String(dialog.ListView().EmptyNoteText()).toStdString();
    dialog.Enumerate();
    EXPECT_FALSE(dialog.ListView().EmptyNoteText().empty());
}

// Guards against a device in another subnet looking reachable: the adapter's real mask
// is read, and the row of the device that answered by broadcast says it is outside.
TEST_F(Window, RowOutsideTheAdapterSubnetSaysSo) {
    netns::SimProcess sim(THREE_DEVICES);
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    ASSERT_EQ(dialog.table.device_count, 3);
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    int outside = 0;
    for (int row = 0; row < 3; ++row) {
        const QString words = list->model()->index(row, 0).data(Qt::AccessibleDescriptionRole).toString();
        if (dialog.table.entries[static_cast<std::size_t>(row)].ipv4_address == IPV4{203, 0, 113, 9}) {
            ++outside;
            EXPECT_EQ(words, QStringLiteral("203.0.113.9 is outside 192.0.2.0/24, so its web page cannot be reached "
                                            "from here until its address is changed."));
        } else {
            EXPECT_FALSE(words.contains(QStringLiteral("outside"))) << row;
        }
    }
    EXPECT_EQ(outside, 1);
    EXPECT_TRUE(dialog.ListView().EmptyNoteText().empty());
}

// Guards against the socket being closed after the enumeration: a late reply still
// becomes a row, and the selection stays.
TEST_F(Window, LateReplyIsStillListed) {
    netns::SimProcess sim(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-01", "ipv4_address": "192.0.2.20", "interface": "tvd1"},
        {"mac": "00-1a-2b-3c-4d-02", "ipv4_address": "192.0.2.21", "delay_ms": 700, "interface": "tvd1"}]})");
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    ASSERT_EQ(dialog.table.device_count, 1);
    PumpMessages(1200);
    EXPECT_EQ(dialog.table.device_count, 2);
    EXPECT_EQ(Rows(dialog), 2);
    EXPECT_EQ(dialog.table.selected_index, 0);
}

// Guards against the window closing, or Escape ending it, in the middle of an
// enumeration started from its button.
TEST_F(Window, CloseAndEscapeDuringAnEnumerationAreIgnored) {
    netns::SimProcess sim(THREE_DEVICES);
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    bool tried = false;
    QTimer::singleShot(200, &dialog, [&] {
        EXPECT_EQ(dialog.busy, 1);
        EXPECT_FALSE(dialog.close());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Return);
        tried = true;
    });
    QTest::mouseClick(dialog.GetDlgItem(IDC_ENUMERATE), Qt::LeftButton);
    ASSERT_TRUE(tried);
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(dialog.busy, 0);
    EXPECT_EQ(dialog.table.device_count, 3);
    EXPECT_EQ(EnumerateRequests(sim), 6);
    EXPECT_TRUE(dialog.close());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);
}

// Guards against enumerating on the adapter of the start instead of the one chosen.
TEST_F(Window, TheChosenAdapterIsUsedAtTheNextEnumeration) {
    netns::SimProcess sim(THREE_DEVICES);
    ASSERT_TRUE(sim.Start());
    CTelvaneDlg dialog;
    dialog.Create();
    ASSERT_EQ(adapter_count, 2);
    dialog.ComboSetCurSel(IDC_ADAPTER, 1);
    dialog.Enumerate();
    ASSERT_EQ(dialog.table.device_count, 1);
    EXPECT_EQ(dialog.table.entries[0].mac.back(), 0x09);
}

}  // namespace
}  // namespace telvane
