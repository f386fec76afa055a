#include <QtCore/QUrl>
#include <QtGui/QContextMenuEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTreeWidget>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "ui/device_list_view.h"
#include "ui/ipv4_address_box.h"
#include "resources/resource.h"
#include "tests/inventory/reply_builder.h"

namespace telvane {

class CTelvaneDlgTestAccess {
public:
    static void SetEnumeratedSubnet(CTelvaneDlg& dialog, const IPV4& address, const IPV4& mask) {
        dialog.enumerated_address = address;
        dialog.enumerated_mask = mask;
    }
};

namespace {

// Every control the panel enables or disables, frames included.
constexpr int PANEL_CONTROLS[] = {
    IDC_SET_IP,
    IDC_IPV4_GROUP,
    IDC_IPV4_DHCP,
    IDC_IPV4_STATIC,
    IDC_IPV4_ADDRESS_LABEL,
    IDC_IPV4_ADDRESS,
    IDC_IPV4_MASK_LABEL,
    IDC_IPV4_MASK,
    IDC_IPV4_GATEWAY_LABEL,
    IDC_IPV4_GATEWAY,
    IDC_IPV4_DNS_AUTO,
    IDC_IPV4_DNS_MANUAL,
    IDC_DNS4_PREFERRED_LABEL,
    IDC_DNS4_PREFERRED,
    IDC_DNS4_ALTERNATE_LABEL,
    IDC_DNS4_ALTERNATE,
    IDC_IPV6_GROUP,
    IDC_IPV6_DHCP,
    IDC_IPV6_STATIC,
    IDC_IPV6_ADDRESS_LABEL,
    IDC_IPV6_ADDRESS,
    IDC_IPV6_PREFIX_LABEL,
    IDC_IPV6_PREFIX,
    IDC_IPV6_GATEWAY_LABEL,
    IDC_IPV6_GATEWAY,
    IDC_IPV6_DNS_AUTO,
    IDC_IPV6_DNS_MANUAL,
    IDC_DNS6_PREFERRED_LABEL,
    IDC_DNS6_PREFERRED,
    IDC_DNS6_ALTERNATE_LABEL,
    IDC_DNS6_ALTERNATE,
};
constexpr int IPV6_EDITS[] = {IDC_IPV6_ADDRESS, IDC_IPV6_PREFIX, IDC_IPV6_GATEWAY, IDC_DNS6_PREFERRED,
                              IDC_DNS6_ALTERNATE};

// Reply extension values (reply_builder.h): DNS 8.8.4.4 / 1.1.1.1, fe80::1/64 via
// fe80::fe, IPv6 DNS 2001::53 / 2001::54.
constexpr std::uint32_t DNS4_PREFERRED = 0x08080404u;
constexpr std::uint32_t DNS4_ALTERNATE = 0x01010101u;
// The golden reply: 192.168.1.20, mask 255.255.255.0, gateway 192.168.1.1.
constexpr std::uint32_t ADDRESS = 0xC0A80114u;
constexpr std::uint32_t MASK = 0xFFFFFF00u;
constexpr std::uint32_t GATEWAY = 0xC0A80101u;

constexpr std::uint8_t DHCP = 0x01;
constexpr std::uint8_t LOCKED = 0x02;

class Panel : public AppFixture {
protected:
    CTelvaneDlg dialog;

    void SetUp() override {
        AppFixture::SetUp();
        // No adapter: nothing is sent; the devices come in through OnDatagram.
        dialog.Create();
    }
    // Adds a device (the MAC's last byte tells them apart) and returns its index.
    int Add(Reply reply, std::uint8_t mac_last) {
        const Bytes bytes = reply.Mac(mac_last).Sealed();
        dialog.OnDatagram(bytes.data(), static_cast<int>(bytes.size()), "192.0.2.9", DISCOVERY_PORT);
        return dialog.table.device_count - 1;
    }
    int AddAndSelect(Reply reply, std::uint8_t mac_last) {
        const int index = Add(reply, mac_last);
        dialog.SelectDevice(index);
        return index;
    }
    bool Enabled(int id) const { return dialog.IsDlgItemEnabled(id); }
    bool Checked(int id) const { return dialog.IsDlgButtonChecked(id) == 1; }
    std::u16string TextOf(int id) const { return dialog.GetDlgItemText(id); }
    std::uint32_t Address(int id) const {
        std::uint32_t a = 0;
        dialog.GetAddressBox(id)->GetAddress(a);
        return a;
    }
    bool Blank(int id) const { return dialog.GetAddressBox(id)->IsBlank(); }
    void Click(int id) { QTest::mouseClick(dialog.GetDlgItem(id), Qt::LeftButton); }
    QLineEdit* Edit(int id) const { return dynamic_cast<QLineEdit*>(dialog.GetDlgItem(id)); }
    void ExpectEnabled(std::initializer_list<int> ids, bool enabled) const {
        for (const int id : ids) EXPECT_EQ(Enabled(id), enabled) << id;
    }
};

// --- Selection -------------------------------------------------------------------------

// Guards against a selection that keeps the old row's mark, or an index outside the
// table that still changes the selection or the panel.
TEST_F(Panel, SelectionMarksOneRowAndIgnoresIndicesOutsideTheTable) {
    Add(Reply().Extension(0x0F, 1, Text("A")), 0x01);
    Add(Reply().Status(LOCKED), 0x02);
    dialog.SelectDevice(0);
    dialog.SelectDevice(1);
    EXPECT_EQ(dialog.table.selected_index, 1);
    EXPECT_EQ(dialog.table.entries[0].state & STATE_SELECTED, 0);
    EXPECT_NE(dialog.table.entries[1].state & STATE_SELECTED, 0);
    dialog.SelectDevice(0);
    const std::u16string address = TextOf(IDC_IPV6_ADDRESS);
    for (const std::int32_t outside : {-1, 2, 100}) {
        dialog.SelectDevice(outside);
        EXPECT_EQ(dialog.table.selected_index, 0) << outside;
        EXPECT_NE(dialog.table.entries[0].state & STATE_SELECTED, 0) << outside;
        EXPECT_EQ(dialog.table.entries[1].state & STATE_SELECTED, 0) << outside;
        EXPECT_EQ(TextOf(IDC_IPV6_ADDRESS), address) << outside;
        EXPECT_TRUE(Enabled(IDC_SET_IP)) << outside;
    }
}

// Guards against a locked device leaving any panel control usable, or hiding its values.
TEST_F(Panel, LockedDeviceShowsItsValuesWithEveryControlDisabled) {
    AddAndSelect(Reply().Status(LOCKED).Extension(0x0F, 1, Text("A")), 0x01);
    for (const int id : PANEL_CONTROLS) EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_EQ(Address(IDC_IPV4_ADDRESS), ADDRESS);
    EXPECT_EQ(Address(IDC_IPV4_MASK), MASK);
    EXPECT_EQ(Address(IDC_IPV4_GATEWAY), GATEWAY);
    EXPECT_EQ(Address(IDC_DNS4_PREFERRED), DNS4_PREFERRED);
    EXPECT_EQ(Address(IDC_DNS4_ALTERNATE), DNS4_ALTERNATE);
    EXPECT_EQ(TextOf(IDC_IPV6_ADDRESS), u"fe80::1");
    EXPECT_EQ(TextOf(IDC_IPV6_PREFIX), u"64");
    EXPECT_EQ(TextOf(IDC_IPV6_GATEWAY), u"fe80::fe");
    EXPECT_EQ(TextOf(IDC_DNS6_PREFERRED), u"2001::53");
    EXPECT_EQ(TextOf(IDC_DNS6_ALTERNATE), u"2001::54");
    // The checks still say what the device uses.
    EXPECT_TRUE(Checked(IDC_IPV4_STATIC));
    EXPECT_TRUE(Checked(IDC_IPV6_DHCP));
}

// Guards against DNS or IPv6 values of a device shown before staying in the panel of a
// device that reported no extension.
TEST_F(Panel, DeviceWithoutTheExtensionBlanksDnsAndIpv6) {
    AddAndSelect(Reply().Extension(0x0B, 1, Text("A")), 0x01);
    ASSERT_EQ(TextOf(IDC_IPV6_ADDRESS), u"fe80::1");
    AddAndSelect(Reply(), 0x02);
    EXPECT_TRUE(Blank(IDC_DNS4_PREFERRED));
    EXPECT_TRUE(Blank(IDC_DNS4_ALTERNATE));
    for (const int id : {IDC_IPV4_DNS_AUTO, IDC_IPV4_DNS_MANUAL, IDC_IPV6_DHCP, IDC_IPV6_STATIC, IDC_IPV6_DNS_AUTO,
                         IDC_IPV6_DNS_MANUAL})
        EXPECT_FALSE(Checked(id)) << id;
    ExpectEnabled(
        {IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED,       IDC_DNS4_ALTERNATE_LABEL, IDC_DNS4_ALTERNATE,
         IDC_IPV4_DNS_AUTO,        IDC_IPV4_DNS_MANUAL,      IDC_IPV6_GROUP,           IDC_IPV6_DHCP,
         IDC_IPV6_STATIC,          IDC_IPV6_ADDRESS_LABEL,   IDC_IPV6_ADDRESS,         IDC_IPV6_PREFIX_LABEL,
         IDC_IPV6_PREFIX,          IDC_IPV6_GATEWAY_LABEL,   IDC_IPV6_GATEWAY,         IDC_IPV6_DNS_AUTO,
         IDC_IPV6_DNS_MANUAL,      IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED,       IDC_DNS6_ALTERNATE_LABEL,
         IDC_DNS6_ALTERNATE},
        false);
    for (const int id : IPV6_EDITS) EXPECT_TRUE(TextOf(id).empty()) << id;
    // The IPv4 part is the device's own, static and usable.
    EXPECT_TRUE(Checked(IDC_IPV4_STATIC));
    EXPECT_FALSE(Checked(IDC_IPV4_DHCP));
    ExpectEnabled({IDC_SET_IP, IDC_IPV4_GROUP, IDC_IPV4_DHCP, IDC_IPV4_STATIC, IDC_IPV4_ADDRESS, IDC_IPV4_MASK,
                   IDC_IPV4_GATEWAY, IDC_IPV4_ADDRESS_LABEL},
                  true);
    EXPECT_EQ(Address(IDC_IPV4_ADDRESS), ADDRESS);
    // The length limits hold either way.
    EXPECT_EQ(Edit(IDC_IPV6_ADDRESS)->maxLength(), 39);
    EXPECT_EQ(Edit(IDC_IPV6_GATEWAY)->maxLength(), 39);
    EXPECT_EQ(Edit(IDC_DNS6_PREFERRED)->maxLength(), 39);
    EXPECT_EQ(Edit(IDC_DNS6_ALTERNATE)->maxLength(), 39);
    EXPECT_EQ(Edit(IDC_IPV6_PREFIX)->maxLength(), 3);
}

// Guards against DHCP hiding the device's current addresses, or automatic DNS leaving
// the DNS boxes usable.
TEST_F(Panel, DhcpWithAutomaticDnsShowsCurrentValuesDisabled) {
    AddAndSelect(Reply().Status(DHCP).Extension(0x01, 1, Text("A")), 0x01);
    EXPECT_TRUE(Checked(IDC_IPV4_DHCP));
    EXPECT_FALSE(Checked(IDC_IPV4_STATIC));
    EXPECT_TRUE(Checked(IDC_IPV4_DNS_AUTO));
    EXPECT_FALSE(Checked(IDC_IPV4_DNS_MANUAL));
    ExpectEnabled({IDC_IPV4_DHCP, IDC_IPV4_STATIC, IDC_IPV4_DNS_AUTO, IDC_IPV4_DNS_MANUAL}, true);
    ExpectEnabled(
        {IDC_IPV4_ADDRESS_LABEL, IDC_IPV4_ADDRESS, IDC_IPV4_MASK_LABEL, IDC_IPV4_MASK, IDC_IPV4_GATEWAY_LABEL,
         IDC_IPV4_GATEWAY, IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED, IDC_DNS4_ALTERNATE_LABEL, IDC_DNS4_ALTERNATE},
        false);
    EXPECT_EQ(Address(IDC_IPV4_ADDRESS), ADDRESS);
    EXPECT_EQ(Address(IDC_IPV4_MASK), MASK);
    EXPECT_EQ(Address(IDC_IPV4_GATEWAY), GATEWAY);
    EXPECT_EQ(Address(IDC_DNS4_PREFERRED), DNS4_PREFERRED);
    EXPECT_EQ(Address(IDC_DNS4_ALTERNATE), DNS4_ALTERNATE);
    // No IPv6 support reported: its group stays unusable.
    EXPECT_FALSE(Enabled(IDC_IPV6_GROUP));
    EXPECT_FALSE(Checked(IDC_IPV6_DNS_MANUAL));
}

// Guards against automatic DNS offered with a static address (EXT_DNS4_AUTO counts only
// together with DHCP).
TEST_F(Panel, StaticAddressForcesManualDns) {
    AddAndSelect(Reply().Extension(0x01, 1, Text("A")), 0x01);
    EXPECT_FALSE(Checked(IDC_IPV4_DNS_AUTO));
    EXPECT_FALSE(Enabled(IDC_IPV4_DNS_AUTO));
    EXPECT_TRUE(Checked(IDC_IPV4_DNS_MANUAL));
    ExpectEnabled({IDC_IPV4_DNS_MANUAL, IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED, IDC_DNS4_ALTERNATE_LABEL,
                   IDC_DNS4_ALTERNATE, IDC_IPV4_ADDRESS, IDC_IPV4_MASK, IDC_IPV4_GATEWAY},
                  true);
    EXPECT_EQ(Address(IDC_DNS4_PREFERRED), DNS4_PREFERRED);
}

// Guards against the IPv6 DHCP choice leaving the address edits usable, or automatic
// IPv6 DNS read from the device instead of from the button just set.
TEST_F(Panel, Ipv6DhcpWithManualDns) {
    AddAndSelect(Reply().Extension(EXT_IPV6 | EXT_DHCP6, 1, Text("A")), 0x01);
    EXPECT_TRUE(Checked(IDC_IPV6_DHCP));
    EXPECT_FALSE(Checked(IDC_IPV6_STATIC));
    ExpectEnabled({IDC_IPV6_GROUP, IDC_IPV6_DHCP, IDC_IPV6_STATIC, IDC_IPV6_DNS_AUTO, IDC_IPV6_DNS_MANUAL,
                   IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE},
                  true);
    ExpectEnabled({IDC_IPV6_ADDRESS_LABEL, IDC_IPV6_ADDRESS, IDC_IPV6_PREFIX_LABEL, IDC_IPV6_PREFIX,
                   IDC_IPV6_GATEWAY_LABEL, IDC_IPV6_GATEWAY},
                  false);
    EXPECT_EQ(TextOf(IDC_IPV6_ADDRESS), u"fe80::1");
    EXPECT_EQ(TextOf(IDC_IPV6_PREFIX), u"64");
    EXPECT_EQ(TextOf(IDC_IPV6_GATEWAY), u"fe80::fe");
    EXPECT_FALSE(Checked(IDC_IPV6_DNS_AUTO));
    EXPECT_TRUE(Checked(IDC_IPV6_DNS_MANUAL));
    EXPECT_EQ(TextOf(IDC_DNS6_PREFERRED), u"2001::53");

    // With EXT_DNS6_AUTO as well, the DNS edits keep their text but are not usable.
    AddAndSelect(Reply().Extension(EXT_IPV6 | EXT_DHCP6 | EXT_DNS6_AUTO, 1, Text("B")), 0x02);
    EXPECT_TRUE(Checked(IDC_IPV6_DNS_AUTO));
    EXPECT_FALSE(Checked(IDC_IPV6_DNS_MANUAL));
    EXPECT_TRUE(Enabled(IDC_IPV6_DNS_MANUAL));
    ExpectEnabled({IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE}, false);
    EXPECT_EQ(TextOf(IDC_DNS6_ALTERNATE), u"2001::54");

    // A static IPv6 address: EXT_DNS6_AUTO is not offered, the address edits are usable.
    AddAndSelect(Reply().Extension(EXT_IPV6 | EXT_DNS6_AUTO, 1, Text("C")), 0x03);
    EXPECT_TRUE(Checked(IDC_IPV6_STATIC));
    EXPECT_FALSE(Checked(IDC_IPV6_DNS_AUTO));
    EXPECT_FALSE(Enabled(IDC_IPV6_DNS_AUTO));
    EXPECT_TRUE(Checked(IDC_IPV6_DNS_MANUAL));
    ExpectEnabled({IDC_IPV6_ADDRESS, IDC_IPV6_PREFIX, IDC_IPV6_GATEWAY, IDC_DNS6_PREFERRED}, true);
}

// Guards against an IPv6 flag honoured on a device whose extension the intake did not
// take (the flag byte is meaningless then).
TEST_F(Panel, Ipv6NeedsTheExtension) {
    const int index = Add(Reply(), 0x01);
    dialog.table.entries[static_cast<std::size_t>(index)].ext_flags = EXT_IPV6;
    dialog.SelectDevice(index);
    EXPECT_FALSE(Enabled(IDC_IPV6_GROUP));
    EXPECT_FALSE(Checked(IDC_IPV6_STATIC));
    EXPECT_TRUE(TextOf(IDC_IPV6_ADDRESS).empty());
}

// Guards against a prefix length beyond 128 from a device reaching the edit unguarded:
// filling the edit raises the guard like typing does.
TEST_F(Panel, PrefixFromTheDeviceIsGuardedToo) {
    Reply r = Reply().Extension(EXT_IPV6, 1, Text("A"));
    r.b[reply::IPV6_PREFIX_LENGTH] = 200;
    AddAndSelect(r, 0x01);
    EXPECT_EQ(TextOf(IDC_IPV6_PREFIX), u"128");
}

// --- The list --------------------------------------------------------------------------

// Guards against a click below the last row clearing the selection or the panel.
TEST_F(Panel, ClickBelowTheRowsChangesNothing) {
    Add(Reply().Extension(0x0B, 1, Text("A")), 0x01);
    Add(Reply().Status(LOCKED), 0x02);
    dialog.EnableActionControls(true);
    dialog.resize(dialog.sizeHint());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    const QRect first = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    ASSERT_EQ(dialog.table.selected_index, 0);
    ASSERT_TRUE(Enabled(IDC_SET_IP));
    const QRect last = list->visualItemRect(list->topLevelItem(1));
    const QPoint below(last.center().x(), last.bottom() + 3 * last.height());
    ASSERT_LT(below.y(), list->viewport()->height());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(dialog.table.selected_index, 0);
    EXPECT_NE(dialog.table.entries[0].state & STATE_SELECTED, 0);
    EXPECT_EQ(dialog.table.entries[1].state & STATE_SELECTED, 0);
    EXPECT_TRUE(Enabled(IDC_SET_IP));
    EXPECT_EQ(TextOf(IDC_IPV6_ADDRESS), u"fe80::1");
    // A click on the locked row selects it and fills the panel from it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, last.center());
    EXPECT_EQ(dialog.table.selected_index, 1);
    EXPECT_FALSE(Enabled(IDC_SET_IP));
    EXPECT_TRUE(TextOf(IDC_IPV6_ADDRESS).empty());
}

// While a procedure runs the list is disabled. Guards against a click, a key or the
// context menu on it still reaching the window: selecting another device, filling the
// panel and enabling Set IP in the middle of the procedure.
TEST_F(Panel, DisabledListTakesNoClickKeyOrMenu) {
    for (const std::uint8_t mac : {std::uint8_t{1}, std::uint8_t{2}, std::uint8_t{3}})
        Add(Reply().Extension(0x0B, 1, Text("A")), mac);
    dialog.EnableActionControls(true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    const auto row = [&](int i) { return list->visualItemRect(list->topLevelItem(i)).center(); };
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row(0));
    ASSERT_EQ(dialog.table.selected_index, 0);
    // What Set IP does before it sends.
    dialog.busy = 1;
    dialog.EnableActionControls(false);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row(1));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row(2));
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list->viewport(), Qt::Key_Space);
    QContextMenuEvent menu_request(QContextMenuEvent::Mouse, row(2), list->viewport()->mapToGlobal(row(2)));
    QApplication::sendEvent(list->viewport(), &menu_request);
    emit list->customContextMenuRequested(row(2));
    QTest::mouseClick(dialog.GetDlgItem(IDC_SET_IP), Qt::LeftButton);
    EXPECT_EQ(dialog.table.selected_index, 0);
    EXPECT_NE(dialog.table.entries[0].state & STATE_SELECTED, 0);
    EXPECT_EQ(dialog.table.entries[1].state & STATE_SELECTED, 0);
    EXPECT_EQ(dialog.table.entries[2].state & STATE_SELECTED, 0);
    EXPECT_FALSE(Enabled(IDC_SET_IP));
    EXPECT_EQ(list->findChildren<QMenu*>().size(), 0);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(messages.empty());
}

// Guards against a tooltip that names a whole table of devices sharing one address.
TEST_F(Panel, RowNamesACrowdAtItsAddressByItsFirstFew) {
    for (std::uint8_t i = 1; i <= 12; ++i) Add(Reply(), i);
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    EXPECT_EQ(list->model()->index(0, 1).data(Qt::ToolTipRole).toString(),
              QStringLiteral("192.168.1.20 is also used by 00-1a-2b-3c-4d-02, 00-1a-2b-3c-4d-03, 00-1a-2b-3c-4d-04, "
                             "00-1a-2b-3c-4d-05, 00-1a-2b-3c-4d-06, 00-1a-2b-3c-4d-07, 00-1a-2b-3c-4d-08, "
                             "00-1a-2b-3c-4d-09 and 3 more."));
}

// Guards against a device outside the adapter's subnet looking reachable (its tooltip,
// its accessible description, Open Web Page opening a dead page) and against two devices
// on one address not naming each other.
TEST_F(Panel, RowsSayWhenOutsideTheSubnetOrSharingAnAddress) {
    CTelvaneDlgTestAccess::SetEnumeratedSubnet(dialog, {192, 168, 1, 2}, {255, 255, 255, 0});
    Add(Reply(), 0x01);
    Add(Reply(), 0x02);
    Add(Reply().Ipv4(10, 0, 0, 9), 0x03);
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    const auto words = [&](int row, int role) { return list->model()->index(row, 1).data(role).toString(); };
    EXPECT_EQ(words(0, Qt::ToolTipRole), QStringLiteral("192.168.1.20 is also used by 00-1a-2b-3c-4d-02."));
    EXPECT_EQ(words(1, Qt::ToolTipRole), QStringLiteral("192.168.1.20 is also used by 00-1a-2b-3c-4d-01."));
    const QString outside = QStringLiteral(
        "10.0.0.9 is outside 192.168.1.0/24, so its web page cannot be reached from here until its address is "
        "changed.");
    EXPECT_EQ(words(2, Qt::ToolTipRole), outside);
    EXPECT_EQ(words(2, Qt::AccessibleDescriptionRole), outside);
    dialog.SelectDevice(2);
    EXPECT_EQ(words(2, Qt::ToolTipRole), QStringLiteral("selected\n") + outside);

    std::vector<QUrl> opened;
    dialog.ListView().SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    std::unique_ptr<QMenu> menu(dialog.ListView().CreateRowMenu(2, &dialog));
    menu->findChild<QAction*>(QStringLiteral("openWebPage"))->trigger();
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(messages, (std::vector<std::u16string>{outside.toStdU16String()}));
    menu.reset(dialog.ListView().CreateRowMenu(0, &dialog));
    menu->findChild<QAction*>(QStringLiteral("openWebPage"))->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), QStringLiteral("http://192.168.1.20/"));
    // With the adapter's mask unknown, nothing is said to be outside.
    CTelvaneDlgTestAccess::SetEnumeratedSubnet(dialog, {192, 168, 1, 2}, {});
    EXPECT_FALSE(
        list->model()->index(2, 0).data(Qt::AccessibleDescriptionRole).toString().contains(QStringLiteral("outside")));
}

// Guards against a static address that breaks the network being sent without a word:
// another device's address, this computer's, the subnet's network or broadcast address,
// a gateway outside the subnet. Answered No, nothing is sent, the busy flag stays down
// and the panel keeps what the user typed; DHCP asks nothing.
TEST_F(Panel, SetAsksBeforeAnAddressThatBreaksSomething) {
    Add(Reply().Extension(0x0B, 1, Text("A")), 0x01);
    Add(Reply().Address(62), 0x62);
    dialog.SelectDevice(0);
    SetAdapters({Unreachable(0x77)});
    const std::uint8_t state = dialog.table.entries[0].state;
    const auto set = [&](std::uint32_t address, std::uint32_t mask, std::uint32_t gateway) {
        messages.clear();
        dialog.GetAddressBox(IDC_IPV4_ADDRESS)->SetAddress(address);
        dialog.GetAddressBox(IDC_IPV4_MASK)->SetAddress(mask);
        dialog.GetAddressBox(IDC_IPV4_GATEWAY)->SetAddress(gateway);
        dialog.OnSetIp();
        EXPECT_EQ(dialog.busy, 0);
        EXPECT_EQ(dialog.table.entries[0].state, state);
        EXPECT_EQ(Address(IDC_IPV4_ADDRESS), address);
        EXPECT_TRUE(Enabled(IDC_SET_IP));
        return messages.size() == 1 ? messages[0] : std::u16string(u"(no single question)");
    };
    EXPECT_EQ(set(0xC0A8013Eu, MASK, GATEWAY), u"192.168.1.62 is already used by 00-1a-2b-3c-4d-62. Set it anyway?");
    EXPECT_EQ(set(0xC0000277u, MASK, 0), u"192.0.2.119 is already used by this computer. Set it anyway?");
    EXPECT_EQ(set(0xC0A801FFu, MASK, GATEWAY),
              u"192.168.1.255 is the broadcast address of 192.168.1.0/24. Set it anyway?");
    EXPECT_EQ(set(0xC0A80100u, 0xFFFFFF00u, 0),
              u"192.168.1.0 is the network address of 192.168.1.0/24. Set it anyway?");
    EXPECT_EQ(set(ADDRESS, MASK, 0x0A000001u), u"The gateway 10.0.0.1 is outside 192.168.1.0/24. Set it anyway?");
    // The form's own checks come first, with their texts unchanged.
    dialog.GetAddressBox(IDC_IPV4_MASK)->ClearAddress();
    messages.clear();
    dialog.OnSetIp();
    EXPECT_EQ(messages, (std::vector<std::u16string>{u"IPv4 subnet mask is required."}));
}

// Guards against the user's edits surviving a new click on the same row.
TEST_F(Panel, ClickingTheSelectedRowAgainDropsTheEdits) {
    Add(Reply().Extension(0x0B, 1, Text("A")), 0x01);
    dialog.EnableActionControls(true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    const QPoint row = list->visualItemRect(list->topLevelItem(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
    dialog.SetDlgItemText(IDC_IPV6_ADDRESS, u"2001:db8::7");
    dialog.GetAddressBox(IDC_IPV4_ADDRESS)->ClearAddress();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
    EXPECT_EQ(TextOf(IDC_IPV6_ADDRESS), u"fe80::1");
    EXPECT_EQ(Address(IDC_IPV4_ADDRESS), ADDRESS);
}

// --- Radio buttons ---------------------------------------------------------------------

// Guards against the static choice leaving automatic DNS checked or usable, and against
// the DHCP choice not offering it again.
TEST_F(Panel, StaticClickWhileAutomaticDnsIsCheckedSwitchesToManualDns) {
    AddAndSelect(Reply().Status(DHCP).Extension(0x01, 1, Text("A")), 0x01);
    ASSERT_TRUE(Checked(IDC_IPV4_DNS_AUTO));
    Click(IDC_IPV4_STATIC);
    EXPECT_TRUE(Checked(IDC_IPV4_STATIC));
    EXPECT_FALSE(Checked(IDC_IPV4_DHCP));
    EXPECT_TRUE(Checked(IDC_IPV4_DNS_MANUAL));
    EXPECT_FALSE(Checked(IDC_IPV4_DNS_AUTO));
    EXPECT_FALSE(Enabled(IDC_IPV4_DNS_AUTO));
    ExpectEnabled(
        {IDC_IPV4_ADDRESS_LABEL, IDC_IPV4_ADDRESS, IDC_IPV4_MASK_LABEL, IDC_IPV4_MASK, IDC_IPV4_GATEWAY_LABEL,
         IDC_IPV4_GATEWAY, IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED, IDC_DNS4_ALTERNATE_LABEL, IDC_DNS4_ALTERNATE},
        true);

    // Back to DHCP: automatic DNS is offered again, but not chosen.
    Click(IDC_IPV4_DHCP);
    EXPECT_TRUE(Checked(IDC_IPV4_DHCP));
    EXPECT_FALSE(Checked(IDC_IPV4_STATIC));
    EXPECT_TRUE(Enabled(IDC_IPV4_DNS_AUTO));
    EXPECT_FALSE(Checked(IDC_IPV4_DNS_AUTO));
    ExpectEnabled({IDC_IPV4_ADDRESS_LABEL, IDC_IPV4_ADDRESS, IDC_IPV4_MASK, IDC_IPV4_GATEWAY}, false);
    ExpectEnabled({IDC_DNS4_PREFERRED, IDC_DNS4_ALTERNATE}, true);

    // Choosing automatic DNS disables the boxes; manual DNS frees them.
    Click(IDC_IPV4_DNS_AUTO);
    EXPECT_FALSE(Checked(IDC_IPV4_DNS_MANUAL));
    ExpectEnabled({IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED, IDC_DNS4_ALTERNATE_LABEL, IDC_DNS4_ALTERNATE}, false);
    Click(IDC_IPV4_DNS_MANUAL);
    EXPECT_FALSE(Checked(IDC_IPV4_DNS_AUTO));
    ExpectEnabled({IDC_DNS4_PREFERRED_LABEL, IDC_DNS4_PREFERRED, IDC_DNS4_ALTERNATE_LABEL, IDC_DNS4_ALTERNATE}, true);
}

// Guards against the handlers looking at the device instead of the controls: on a
// device without the extension the manual DNS choice is disabled, so the DHCP choice
// must not offer automatic DNS.
TEST_F(Panel, DhcpClickOffersAutomaticDnsOnlyWhenManualDnsIsUsable) {
    AddAndSelect(Reply(), 0x01);
    Click(IDC_IPV4_DHCP);
    ExpectEnabled({IDC_IPV4_ADDRESS_LABEL, IDC_IPV4_ADDRESS, IDC_IPV4_MASK_LABEL, IDC_IPV4_MASK, IDC_IPV4_GATEWAY_LABEL,
                   IDC_IPV4_GATEWAY},
                  false);
    EXPECT_FALSE(Enabled(IDC_IPV4_DNS_AUTO));
    Click(IDC_IPV4_STATIC);
    EXPECT_FALSE(Checked(IDC_IPV4_DNS_MANUAL));
    EXPECT_FALSE(Enabled(IDC_IPV4_DNS_AUTO));
    EXPECT_FALSE(Enabled(IDC_DNS4_PREFERRED));
}

// The IPv6 pairs follow the same rules.
TEST_F(Panel, Ipv6RadioHandlers) {
    AddAndSelect(Reply().Extension(EXT_IPV6 | EXT_DHCP6 | EXT_DNS6_AUTO, 1, Text("A")), 0x01);
    ASSERT_TRUE(Checked(IDC_IPV6_DNS_AUTO));
    Click(IDC_IPV6_STATIC);
    EXPECT_TRUE(Checked(IDC_IPV6_DNS_MANUAL));
    EXPECT_FALSE(Checked(IDC_IPV6_DNS_AUTO));
    EXPECT_FALSE(Enabled(IDC_IPV6_DNS_AUTO));
    ExpectEnabled(
        {IDC_IPV6_ADDRESS_LABEL, IDC_IPV6_ADDRESS, IDC_IPV6_PREFIX_LABEL, IDC_IPV6_PREFIX, IDC_IPV6_GATEWAY_LABEL,
         IDC_IPV6_GATEWAY, IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE},
        true);
    Click(IDC_IPV6_DHCP);
    ExpectEnabled({IDC_IPV6_ADDRESS_LABEL, IDC_IPV6_ADDRESS, IDC_IPV6_PREFIX_LABEL, IDC_IPV6_PREFIX,
                   IDC_IPV6_GATEWAY_LABEL, IDC_IPV6_GATEWAY},
                  false);
    EXPECT_TRUE(Enabled(IDC_IPV6_DNS_AUTO));
    Click(IDC_IPV6_DNS_AUTO);
    ExpectEnabled({IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE}, false);
    Click(IDC_IPV6_DNS_MANUAL);
    ExpectEnabled({IDC_DNS6_PREFERRED_LABEL, IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE_LABEL, IDC_DNS6_ALTERNATE}, true);
}

// --- Prefix guard ----------------------------------------------------------------------

// Guards against prefix lengths outside 0..128 staying in the edit, text that is no
// number being overwritten, and the edit taking more than three characters.
TEST_F(Panel, PrefixLengthStaysWithinRange) {
    AddAndSelect(Reply().Extension(EXT_IPV6, 1, Text("A")), 0x01);
    QLineEdit* edit = Edit(IDC_IPV6_PREFIX);
    const auto type = [&](const char* keys) {
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(keys));
        return edit->text().toStdU16String();
    };
    EXPECT_EQ(type("200"), u"128");
    EXPECT_EQ(type("-5"), u"0");
    EXPECT_EQ(type("abc"), u"abc");
    EXPECT_EQ(type("-"), u"-");
    EXPECT_EQ(type("128"), u"128");
    EXPECT_EQ(type("0"), u"0");
    EXPECT_EQ(type("1234"), u"123");
    // Set in code, the text is guarded too.
    dialog.SetDlgItemText(IDC_IPV6_PREFIX, u"999");
    EXPECT_EQ(TextOf(IDC_IPV6_PREFIX), u"128");
}

}  // namespace
}  // namespace telvane
