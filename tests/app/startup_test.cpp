#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QTreeWidget>

#include "app/telvane_app.h"
#include "app_fixture.h"
#include "net/pumped_wait.h"
#include "net/testing.h"
#include "resources/main_dialog.h"
#include "ui/ipv4_address_box.h"

namespace telvane {
namespace {

constexpr char16_t IPV6_REQUIRED[] = u"IPv6 protocol is required for full function support.";
constexpr char16_t LIMITED[] = u"Limited function is supported for your system (Windows 2000 or earlier version).";
constexpr char16_t SOCKET_FAILED[] = u"Socket Initialization failure";

using Startup = AppFixture;

// Guards against running the window, or blocking, when the sockets layer is missing.
TEST_F(Startup, SocketsLayerFailingEndsBeforeAnyWindow) {
    SetStartSocketsForTesting(false);
    EXPECT_EQ(CTelvaneApp().InitInstance(), 0);
    EXPECT_EQ(messages, (std::vector<std::u16string>{u"Windows sockets initialization failed."}));
    EXPECT_EQ(watcher.shown, 0);
}

// Guards against a window that appears (or a modal loop that waits) after the socket
// could not be opened during the start-up enumeration.
TEST_F(Startup, SocketFailureCancelsWithoutShowingTheWindow) {
    SetAdapters({Unreachable()});
    EXPECT_EQ(CTelvaneApp().InitInstance(), 0);
    EXPECT_EQ(messages, (std::vector<std::u16string>{SOCKET_FAILED}));
    EXPECT_EQ(watcher.shown, 0);
}

TEST_F(Startup, SocketFailureLeavesTheDialogCancelledAndClosed) {
    SetAdapters({Unreachable()});
    CTelvaneDlg dialog;
    dialog.Create();
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);
    EXPECT_EQ(dialog.socket_open, 0);
    EXPECT_EQ(dialog.busy, 0) << "the enumeration stopped before raising the busy flag";
}

// Guards against the IPv6 message being skipped, shown twice, or stopping the start.
TEST_F(Startup, Ipv6MissingIsToldOnceThenTheStartGoesOn) {
    SetIpv6AvailableForTesting(false);
    SetAdapters({Unreachable()});
    CTelvaneDlg dialog;
    dialog.Create();
    EXPECT_EQ(messages, (std::vector<std::u16string>{IPV6_REQUIRED, SOCKET_FAILED}));
}

// Guards against the IPv6 test running on a system without the full function.
TEST_F(Startup, LimitedSystemIsToldInsteadOfTheIpv6Test) {
    SetSupportsFullFunctionForTesting(false);
    SetIpv6AvailableForTesting(false);
    CTelvaneDlg dialog;
    dialog.Create();
    EXPECT_EQ(messages, (std::vector<std::u16string>{LIMITED}));
    EXPECT_FALSE(dialog.IsEnded());
}

TEST_F(Startup, FullSystemWithIpv6SaysNothing) {
    CTelvaneDlg dialog;
    dialog.Create();
    EXPECT_TRUE(messages.empty());
}

// Guards against an adapter offered that has no address or no hardware address, more
// than five offered, and combo entries out of step with adapter_addresses.
TEST_F(Startup, UsableAdaptersFillTheChoiceInSystemOrder) {
    std::vector<ADAPTER> adapters = {{{0, 0, 0, 0, 0, 0}, "192.0.2.1"},      // no hardware address
                                     {{0x02, 0, 0, 0, 0, 0x0A}, "0.0.0.0"},  // no address
                                     {{0x02, 0, 0, 0, 0, 0x0B}, ""}};
    for (std::uint8_t i = 1; i <= 6; ++i) adapters.push_back(Unreachable(i));
    SetAdapters(adapters);
    CTelvaneDlg dialog;
    dialog.Create();
    ASSERT_EQ(adapter_count, 5);
    ASSERT_EQ(dialog.ComboGetCount(IDC_ADAPTER), 5);
    for (int i = 0; i < 5; ++i) {
        const ADAPTER& a = adapters[static_cast<std::size_t>(3 + i)];
        auto* combo = dynamic_cast<QComboBox*>(dialog.GetDlgItem(IDC_ADAPTER));
        EXPECT_EQ(combo->itemText(i).toStdU16String(), AdapterEntryText(a));
        EXPECT_EQ(std::u16string(adapter_addresses[static_cast<std::size_t>(i)].data()),
                  u"192.0.2." + QString::number(i + 1).toStdU16String());
    }
    EXPECT_EQ(dialog.ComboGetCurSel(IDC_ADAPTER), 0);
    EXPECT_EQ(dialog.ComboGetCurSel(IDC_PROTOCOL), 0) << "the socket step selects IPv4";
}

// Guards against a no-adapter state that leaves any way to start a procedure, or that
// disables Exit.
TEST_F(Startup, NoAdapterLeavesOnlyExit) {
    SetAdapters({{{0, 0, 0, 0, 0, 0}, "192.0.2.1"}});  // none usable
    CTelvaneDlg dialog;
    dialog.Create();
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(adapter_count, 0);
    EXPECT_EQ(dialog.ComboGetCount(IDC_ADAPTER), 1);
    EXPECT_EQ(dialog.ComboGetCurSel(IDC_ADAPTER), 0);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_ADAPTER), u"Network adapter not found.");
    EXPECT_EQ(dialog.ComboGetCurSel(IDC_PROTOCOL), -1) << "no socket step ran";
    for (const int id : {IDC_ENUMERATE, IDC_SET_IP, IDC_DEVICE_LIST, IDC_ADAPTER, IDC_ADAPTER_LABEL, IDC_PROTOCOL,
                         IDC_PROTOCOL_LABEL, IDC_IPV4_GROUP, IDC_IPV4_DHCP, IDC_IPV4_STATIC})
        EXPECT_FALSE(dialog.IsDlgItemEnabled(id)) << id;
    EXPECT_TRUE(dialog.IsDlgItemEnabled(IDC_EXIT));
    // Everything else keeps its template state.
    for (const DLG_ITEM_TEMPLATE& item : MainDialogTemplate().items) {
        if (item.id == IDC_STATIC) continue;
        static const std::vector<int> changed = {
            IDC_ENUMERATE,      IDC_SET_IP,     IDC_DEVICE_LIST, IDC_ADAPTER,     IDC_ADAPTER_LABEL, IDC_PROTOCOL,
            IDC_PROTOCOL_LABEL, IDC_IPV4_GROUP, IDC_IPV4_DHCP,   IDC_IPV4_STATIC, IDC_EXIT};
        if (std::find(changed.begin(), changed.end(), item.id) != changed.end()) continue;
        EXPECT_EQ(dialog.IsDlgItemEnabled(item.id), item.enabled) << item.id;
    }
    EXPECT_EQ(dialog.socket_open, 0);
    EXPECT_EQ(dialog.table.selected_index, -1);
    // Enumerate has nothing to work on.
    dialog.Enumerate();
    EXPECT_EQ(dialog.busy, 0);
    EXPECT_FALSE(dialog.IsDlgItemEnabled(IDC_ENUMERATE));
}

TEST_F(Startup, ColumnsIconAndProtocolChoice) {
    CTelvaneDlg dialog;
    dialog.Create();
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    ASSERT_EQ(list->columnCount(), 4);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Device Name"));
    EXPECT_EQ(list->headerItem()->text(3), QStringLiteral("IP Address"));
    const QIcon icon = dialog.windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    ASSERT_EQ(dialog.ComboGetCount(IDC_PROTOCOL), 1);
    EXPECT_EQ(dynamic_cast<QComboBox*>(dialog.GetDlgItem(IDC_PROTOCOL))->itemText(0), QStringLiteral("IPv4"));
    EXPECT_EQ(dialog.table.reply_event.IsSet(), false);
}

// Guards against the window closing in the middle of a procedure's wait.
TEST_F(Startup, CloseRequestIgnoredWhileBusyHonouredAfter) {
    CTelvaneDlg dialog;
    dialog.Create();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.busy = 1;
    EXPECT_FALSE(dialog.close());
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_TRUE(dialog.isVisible());
    dialog.busy = 0;
    EXPECT_TRUE(dialog.close());
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);
}

// Guards against Escape or Enter ending the dialog from inside a pumped wait.
TEST_F(Startup, EscapeAndEnterDoNothingDuringAPumpedWait) {
    CTelvaneDlg dialog;
    dialog.Create();
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.GotoDlgCtrl(IDC_EXIT);
    int pressed_during_wait = 0;
    QTimer::singleShot(10, &dialog, [&] {
        EXPECT_GT(PumpDepth(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(dialog.GetDlgItem(IDC_IPV6_ADDRESS), Qt::Key_Enter, Qt::KeypadModifier);
        ++pressed_during_wait;
    });
    PumpMessages(100);
    ASSERT_EQ(pressed_during_wait, 1);
    EXPECT_FALSE(dialog.IsEnded());
    // Outside the wait, Enter on the focused Exit ends the dialog with OK.
    QTest::keyClick(dialog.GetDlgItem(IDC_EXIT), Qt::Key_Return);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDOK);
}

// Guards against a default button other than Exit, and OK not taking the prefix text.
TEST_F(Startup, EnterInAnEditPressesExitAndKeepsThePrefixText) {
    CTelvaneDlg dialog;
    dialog.Create();
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.EnableDlgItem(IDC_EXIT, true);
    dialog.SetDlgItemText(IDC_IPV6_PREFIX, u"64");
    dialog.GotoDlgCtrl(IDC_IPV6_ADDRESS);
    QTest::keyClick(dialog.GetDlgItem(IDC_IPV6_ADDRESS), Qt::Key_Return);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDOK);
    EXPECT_EQ(dialog.prefix_text, u"64");
}

TEST_F(Startup, EscapeOutsideAWaitCancels) {
    CTelvaneDlg dialog;
    dialog.Create();
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(dialog.GetDlgItem(IDC_IPV6_ADDRESS), Qt::Key_Escape);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);
}

}  // namespace
}  // namespace telvane
