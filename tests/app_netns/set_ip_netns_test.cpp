// Set IP in the window against the simulator: the panel read into the request, the
// checks that stop it, the acknowledgement and the row state, the settling time and the
// new enumeration.
#include <gtest/gtest.h>

#include <QtCore/QObject>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QProgressBar>

#include <string>
#include <vector>

#include "app/telvane_dlg.h"
#include "ui/ipv4_address_box.h"
#include "ui/message_box.h"
#include "net/pumped_wait.h"
#include "net/system_checks.h"
#include "protocol/text.h"
#include "resources/resource.h"
#include "tests/app_netns/window_fixture.h"
#include "tests/netns/harness.h"
#include "ui/testing.h"

namespace telvane {
namespace {

using netns::FromHex;
using netns::SIM_LOG_LINE;
using netns::SimProcess;
using Bytes = std::vector<std::uint8_t>;

// One device at 192.0.2.20 on the first link; `extra` adds JSON fields.
std::string Config(const std::string& extra) {
    return std::string(R"({"devices": [{"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", )"
                       R"("ipv4_gateway": "192.0.2.1", "interface": "tvd1")") +
           (extra.empty() ? "" : ", " + extra) + "}]}";
}

// The 8-bit sum of every byte but the last, as the protocol defines the checksum.
std::uint8_t SumBeforeLast(const Bytes& b) {
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < b.size(); ++i) sum += b[i];
    return static_cast<std::uint8_t>(sum);
}

class SetIp : public netns::WindowNetnsTest {
protected:
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<CTelvaneDlg> dialog;

    void TearDown() override {
        dialog.reset();
        sim.reset();
        netns::WindowNetnsTest::TearDown();
    }
    // Starts the simulator and the window, whose first enumeration selects the device.
    void Open(const std::string& extra) {
        sim = std::make_unique<SimProcess>(Config(extra));
        ASSERT_TRUE(sim->Start());
        dialog = std::make_unique<CTelvaneDlg>();
        dialog->Create();
        ASSERT_EQ(dialog->table.device_count, 1) << sim->LogText();
        ASSERT_EQ(dialog->table.selected_index, 0);
        ASSERT_TRUE(dialog->IsDlgItemEnabled(IDC_SET_IP));
    }
    void Click(int id) { QTest::mouseClick(dialog->GetDlgItem(id), Qt::LeftButton); }
    void Box(int id, std::uint32_t value) { dialog->GetAddressBox(id)->SetAddress(value); }
    void Blank(int id) { dialog->GetAddressBox(id)->ClearAddress(); }
    void Text(int id, std::u16string_view text) { dialog->SetDlgItemText(id, text); }
    std::uint8_t State() const { return dialog->table.entries[0].state; }
    bool AllActionsEnabled() const {
        for (const int id : netns::ACTION_CONTROLS)
            if (!dialog->IsDlgItemEnabled(id)) return false;
        return true;
    }
    // Clicks Set IP and returns the one request sent.
    Bytes SetAndGetRequest() {
        Click(IDC_SET_IP);
        const auto sets = sim->SetRequests();
        EXPECT_EQ(sets.size(), 1u) << sim->LogText();
        if (sets.empty()) return {};
        EXPECT_EQ(sets[0].to_address, "255.255.255.255");
        return sets[0].data;
    }
};

// ---- The request built from the panel --------------------------------------------------
// The devices refuse, so that no run goes on into the twelve seconds.

// Guards against DHCP still carrying the boxes' addresses in the basic request.
TEST_F(SetIp, BasicDhcpRequest) {
    Open(R"("reply": "base", "set": "refuse")");
    Click(IDC_IPV4_DHCP);
    EXPECT_EQ(SetAndGetRequest(), FromHex("ffff4950001a2b3c4d5e"
                                          "000000000000000000000000"
                                          "01c4"));
}

// Guards against the boxes read in the wrong order (the basic request has the gateway
// before the mask) or the first field not sent first.
TEST_F(SetIp, BasicStaticRequest) {
    Open(R"("reply": "base", "set": "refuse")");
    Box(IDC_IPV4_ADDRESS, 0xC0A80114u);
    Box(IDC_IPV4_GATEWAY, 0xC0A80101u);
    Box(IDC_IPV4_MASK, 0xFFFFFF00u);
    // Whatever the disabled DNS and IPv6 controls hold, a base device gets none of it.
    Box(IDC_DNS4_PREFERRED, 0xFFFFFFFFu);
    Text(IDC_IPV6_ADDRESS, u"not an address");
    EXPECT_EQ(SetAndGetRequest(), FromHex("ffff4950001a2b3c4d5ec0a80114c0a80101ffffff0000a7"));
    EXPECT_TRUE(messages.empty());
}

// Guards against a field landing at the wrong offset of the extended request, a scope
// reaching the wire, or a manual choice setting a flag.
TEST_F(SetIp, ExtendedStaticIpv6Request) {
    Open(R"("ipv6": true, "ipv6_dhcp": true, "set": "refuse")");
    Click(IDC_IPV4_STATIC);
    Box(IDC_IPV4_ADDRESS, 0xC0A80114u);
    Box(IDC_IPV4_MASK, 0xFFFFFF00u);
    Box(IDC_IPV4_GATEWAY, 0xC0A80101u);
    Box(IDC_DNS4_PREFERRED, 0xC0000235u);
    Box(IDC_DNS4_ALTERNATE, 0xC0000236u);
    Click(IDC_IPV6_STATIC);
    Text(IDC_IPV6_ADDRESS, u"fe80::20%tvp1");
    Text(IDC_IPV6_PREFIX, u"64");
    Text(IDC_IPV6_GATEWAY, u"fe80::1");
    Text(IDC_DNS6_PREFERRED, u"2001:db8::53");
    Text(IDC_DNS6_ALTERNATE, u"2001:db8::54");
    EXPECT_EQ(SetAndGetRequest(), FromHex("ffff4941001a2b3c4d5e"              // header, mac
                                          "c0a80114ffffff00c0a80101"          // address, mask, gateway
                                          "c0000235c0000236"                  // IPv4 DNS
                                          "00"                                // set_flags: all manual
                                          "fe800000000000000000000000000020"  // IPv6 address, scope dropped
                                          "40"                                // prefix 64
                                          "fe800000000000000000000000000001"  // IPv6 gateway
                                          "20010db8000000000000000000000053"  // IPv6 DNS
                                          "20010db8000000000000000000000054"
                                          "57"));  // checksum
    EXPECT_TRUE(messages.empty());
}

// Guards against IPv6 values or bits sent to a device without IPv6, and against the
// automatic choices not becoming SET_DHCP4 and SET_DNS4_AUTO.
TEST_F(SetIp, ExtendedDhcpRequestWithoutIpv6) {
    Open(R"("dhcp": true, "dns4_auto": true, "ipv6": false, "set": "refuse")");
    ASSERT_EQ(dialog->IsDlgButtonChecked(IDC_IPV4_DNS_AUTO), 1);
    Text(IDC_IPV6_ADDRESS, u"2001:db8::99");
    dialog->CheckDlgButton(IDC_IPV6_DHCP, 1);
    const Bytes sent = SetAndGetRequest();
    ASSERT_EQ(sent.size(), 97u);
    Bytes expected = FromHex("ffff4941001a2b3c4d5e");
    expected.resize(97, 0);
    expected[30] = 0x03;  // SET_DHCP4 | SET_DNS4_AUTO
    expected[96] = SumBeforeLast(expected);
    EXPECT_EQ(sent, expected);
}

// Guards against the IPv6 address edits read under IPv6 DHCP, or its DNS edits skipped.
TEST_F(SetIp, Ipv6DhcpIgnoresTheAddressEditsButNotTheDns) {
    Open(R"("dhcp": true, "ipv6": true, "ipv6_dhcp": true, "ipv6_address": "2001:db8::20", "set": "refuse")");
    ASSERT_EQ(dialog->IsDlgButtonChecked(IDC_IPV6_DHCP), 1);
    ASSERT_EQ(dialog->IsDlgButtonChecked(IDC_IPV6_DNS_MANUAL), 1);
    Blank(IDC_DNS4_PREFERRED);
    Blank(IDC_DNS4_ALTERNATE);
    Text(IDC_IPV6_GATEWAY, u"no gateway");
    Text(IDC_DNS6_PREFERRED, u"2001:db8::53");
    Text(IDC_DNS6_ALTERNATE, u"");
    const Bytes sent = SetAndGetRequest();
    ASSERT_EQ(sent.size(), 97u);
    Bytes expected = FromHex("ffff4941001a2b3c4d5e");
    expected.resize(97, 0);
    expected[30] = 0x0A;  // SET_DHCP4 | SET_DHCP6
    const Bytes dns6 = FromHex("20010db8000000000000000000000053");
    std::copy(dns6.begin(), dns6.end(), expected.begin() + 64);
    expected[96] = SumBeforeLast(expected);
    EXPECT_EQ(sent, expected);
}

// ---- The checks ------------------------------------------------------------------------

// Guards against a check missing, a message out of order or misspelt, anything sent or
// changed after a failed check, and "Please select device first." not freeing the controls.
TEST_F(SetIp, EachCheckStopsTheRunWithItsMessage) {
    Open(R"("ipv6": true)");
    const std::uint8_t state = State();
    std::size_t shown = 0;
    const auto expect_message = [&](const char16_t* text) {
        Click(IDC_SET_IP);
        ASSERT_EQ(messages.size(), shown + 1) << "no message, expected " << QString::fromUtf16(text).toStdString();
        EXPECT_EQ(messages.back(), text);
        ++shown;
        EXPECT_EQ(sim->SetRequests().size(), 0u);
        EXPECT_EQ(dialog->busy, 0);
        EXPECT_EQ(State(), state);
        EXPECT_TRUE(AllActionsEnabled());
    };
    Click(IDC_IPV4_STATIC);
    Click(IDC_IPV6_STATIC);
    Click(IDC_IPV6_DNS_MANUAL);
    Blank(IDC_IPV4_ADDRESS);
    Blank(IDC_IPV4_GATEWAY);
    Blank(IDC_IPV4_MASK);
    Blank(IDC_DNS4_PREFERRED);
    Blank(IDC_DNS4_ALTERNATE);
    for (const int id : {IDC_IPV6_ADDRESS, IDC_IPV6_PREFIX, IDC_IPV6_GATEWAY, IDC_DNS6_PREFERRED, IDC_DNS6_ALTERNATE})
        Text(id, u"");

    expect_message(u"IPv4 address is required.");
    Box(IDC_IPV4_ADDRESS, 0);
    expect_message(u"IPv4 address is invalid.");
    Box(IDC_IPV4_ADDRESS, 0xFFFFFFFFu);
    expect_message(u"IPv4 address is invalid.");
    Box(IDC_IPV4_ADDRESS, 0xC0000250u);
    Box(IDC_IPV4_GATEWAY, 0xFFFFFFFFu);
    expect_message(u"IPv4 gateway address is invalid.");
    Blank(IDC_IPV4_GATEWAY);  // a blank gateway is taken as 0.0.0.0
    expect_message(u"IPv4 subnet mask is required.");
    Box(IDC_IPV4_MASK, 0xFFFFFFFFu);  // any mask is taken
    Box(IDC_DNS4_PREFERRED, 0xFFFFFFFFu);
    expect_message(u"Preferred IPv4 DNS address is invalid.");
    Blank(IDC_DNS4_PREFERRED);
    Box(IDC_DNS4_ALTERNATE, 0xFFFFFFFFu);
    expect_message(u"Alternate IPv4 DNS address is invalid.");
    Box(IDC_DNS4_ALTERNATE, 0);
    expect_message(u"IPv6 address is required.");
    Text(IDC_IPV6_ADDRESS, u"2001:db8::zz");
    expect_message(u"IPv6 address is invalid.");
    Text(IDC_IPV6_ADDRESS, u"192.0.2.80");  // an IPv4 text is no IPv6 address
    expect_message(u"IPv6 address is invalid.");
    Text(IDC_IPV6_ADDRESS, u"2001:db8::80");
    Text(IDC_IPV6_GATEWAY, u"gateway");
    expect_message(u"IPv6 gateway address is invalid.");
    Text(IDC_IPV6_GATEWAY, u"");
    Text(IDC_DNS6_PREFERRED, u"::g");
    expect_message(u"Preferred IPv6 DNS address is invalid.");
    Text(IDC_DNS6_PREFERRED, u"");
    Text(IDC_DNS6_ALTERNATE, u"1::2::3");
    expect_message(u"Alternate IPv6 DNS address is invalid.");

    // No selection: the address checks still come first.
    dialog->table.selected_index = -1;
    dialog->EnableActionControls(false);
    dialog->EnableDlgItem(IDC_SET_IP, true);
    Blank(IDC_IPV4_ADDRESS);
    Click(IDC_SET_IP);
    ASSERT_EQ(messages.size(), shown + 1);
    EXPECT_EQ(messages.back(), u"IPv4 address is required.");
    ++shown;
    EXPECT_FALSE(dialog->IsDlgItemEnabled(IDC_ENUMERATE));
    Box(IDC_IPV4_ADDRESS, 0xC0000250u);
    expect_message(u"Please select device first.");
    EXPECT_EQ(sim->SetRequests().size(), 0u) << sim->LogText();
}

// Guards against an address that another device uses going out unasked, and against a
// No that still sends: the question names the other device, nothing reaches the wire,
// and the panel keeps the address typed. Yes goes on as before.
TEST_F(SetIp, AddressOfAnotherDeviceIsAskedAboutAndNoSendsNothing) {
    sim = std::make_unique<SimProcess>(R"({"devices": [
        {"mac": "00-1a-2b-3c-4d-5e", "ipv4_address": "192.0.2.20", "interface": "tvd1", "set": "refuse"},
        {"mac": "00-1a-2b-3c-4d-62", "ipv4_address": "192.0.2.62", "interface": "tvd1", "delay_ms": 50}]})");
    ASSERT_TRUE(sim->Start());
    dialog = std::make_unique<CTelvaneDlg>();
    dialog->Create();
    ASSERT_EQ(dialog->table.device_count, 2) << sim->LogText();
    ASSERT_EQ(FormatMac(dialog->table.entries[0].mac), "00-1a-2b-3c-4d-5e");
    const std::uint8_t state = State();
    Click(IDC_IPV4_STATIC);
    Box(IDC_IPV4_ADDRESS, 0xC000023Eu);
    Click(IDC_SET_IP);
    EXPECT_EQ(messages,
              (std::vector<std::u16string>{u"192.0.2.62 is already used by 00-1a-2b-3c-4d-62. Set it anyway?"}));
    PumpMessages(300);
    EXPECT_EQ(sim->SetRequests().size(), 0u) << sim->LogText();
    EXPECT_EQ(State(), state);
    EXPECT_EQ(Address(*dialog, IDC_IPV4_ADDRESS), 0xC000023Eu);
    EXPECT_TRUE(AllActionsEnabled());
    EXPECT_EQ(dialog->busy, 0);

    SetQuestionAnswerForTesting(true);
    Click(IDC_SET_IP);
    SetQuestionAnswerForTesting(false);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(sim->SetRequests().size(), 1u) << sim->LogText();
    EXPECT_NE(State() & STATE_SET_FAILED, 0);
}

// ---- The acknowledgement ---------------------------------------------------------------

// Guards against a refusal sent twice, taken as success, or leaving the controls locked.
TEST_F(SetIp, RefusalTurnsRedAtOnce) {
    Open(R"("set": "refuse", "refuse_code": 3)");
    Click(IDC_SET_IP);
    const auto sets = sim->SetRequests();
    EXPECT_EQ(sets.size(), 1u) << sim->LogText();
    EXPECT_EQ(State(), STATE_SET_FAILED);
    EXPECT_EQ(dialog->table.selected_index, 0);
    EXPECT_EQ(dialog->busy, 0);
    EXPECT_TRUE(AllActionsEnabled());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(dynamic_cast<QProgressBar*>(dialog->GetDlgItem(IDC_PROGRESS))->value(), 0);
    // The panel keeps the user's entries; a new click runs the whole procedure again.
    Click(IDC_SET_IP);
    EXPECT_EQ(sim->SetRequests().size(), 2u);
}

// Guards against more or fewer than two sends, or waits other than about 500 ms.
TEST_F(SetIp, SilenceTurnsRedAfterTwoSends) {
    Open(R"("set": "silent")");
    Click(IDC_SET_IP);
    const auto sets = sim->SetRequests();
    ASSERT_EQ(sets.size(), 2u) << sim->LogText();
    EXPECT_EQ(sets[0].data, sets[1].data);
    const double gap = sets[1].t_ms - sets[0].t_ms;
    EXPECT_GE(gap, 450.0);
    EXPECT_LT(gap, 1500.0);
    EXPECT_EQ(State(), STATE_SET_FAILED);
    EXPECT_EQ(dialog->busy, 0);
    EXPECT_TRUE(AllActionsEnabled());
}

// Guards against a set reply with a bad checksum being waited out or taken as success.
TEST_F(SetIp, WrongChecksumFailsAtOnce) {
    Open(R"("set": "bad_checksum")");
    Click(IDC_SET_IP);
    EXPECT_EQ(sim->SetRequests().size(), 1u) << sim->LogText();
    EXPECT_EQ(State(), STATE_SET_FAILED);
    EXPECT_EQ(dialog->table.set_result, -1);
}

// Guards against an acceptance from another device ending the wait.
TEST_F(SetIp, ReplyWithAnotherMacIsIgnored) {
    Open(R"("set": "other_mac")");
    Click(IDC_SET_IP);
    EXPECT_EQ(sim->SetRequests().size(), 2u) << sim->LogText();
    EXPECT_EQ(State(), STATE_SET_FAILED);
}

// ---- Success ---------------------------------------------------------------------------

// Guards against success not turning the row green, the progress bar not running its
// 300 steps (0 to 299, then back to 0) over about twelve seconds, a close request ending
// the window meanwhile, and the list not enumerated again afterwards.
TEST_F(SetIp, SuccessTurnsGreenWaitsTwelveSecondsAndEnumeratesAgain) {
    Open(R"("set": "accept")");
    Click(IDC_IPV4_STATIC);
    Box(IDC_IPV4_ADDRESS, 0xC0000277u);  // 192.0.2.119
    Box(IDC_IPV4_MASK, 0xFFFFFF00u);
    Box(IDC_IPV4_GATEWAY, 0xC0000201u);
    auto* bar = dynamic_cast<QProgressBar*>(dialog->GetDlgItem(IDC_PROGRESS));
    std::vector<int> positions;
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int v) { positions.push_back(v); });

    // Looks in once the bar is moving: the row is green, the window busy and locked.
    bool looked = false;
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
        if (looked || bar->value() < 100) return;
        looked = true;
        EXPECT_EQ(dialog->table.entries[0].state, STATE_SET_OK);
        EXPECT_EQ(dialog->busy, 1);
        EXPECT_FALSE(dialog->IsDlgItemEnabled(IDC_SET_IP));
        EXPECT_FALSE(dialog->IsDlgItemEnabled(IDC_ENUMERATE));
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 300);
        EXPECT_FALSE(dialog->close());
    });
    probe.start();
    Click(IDC_SET_IP);
    probe.stop();

    EXPECT_TRUE(looked);
    EXPECT_FALSE(dialog->IsEnded());
    ASSERT_EQ(positions.size(), 300u);
    for (int i = 0; i < 299; ++i) EXPECT_EQ(positions[static_cast<std::size_t>(i)], i + 1);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(bar->value(), 0);

    // One send, then twelve seconds, then the enumeration's three requests.
    const auto sets = sim->SetRequests();
    ASSERT_EQ(sets.size(), 1u) << sim->LogText();
    double next_enumerate = -1;
    int enumerates_after = 0;
    for (const SIM_LOG_LINE& line : sim->Received()) {
        if (line.t_ms <= sets[0].t_ms || line.data != FromHex("ffff454e91")) continue;
        if (next_enumerate < 0) next_enumerate = line.t_ms;
        ++enumerates_after;
    }
    EXPECT_EQ(enumerates_after, 3);
    EXPECT_GE(next_enumerate - sets[0].t_ms, 11900.0);
    EXPECT_LT(next_enumerate - sets[0].t_ms, 20000.0);

    // The new enumeration shows the device with its new address, selected.
    ASSERT_EQ(dialog->table.device_count, 1);
    EXPECT_EQ(dialog->table.entries[0].ipv4_address, (IPV4{192, 0, 2, 119}));
    EXPECT_EQ(dialog->table.selected_index, 0);
    EXPECT_EQ(dialog->busy, 0);
    EXPECT_TRUE(AllActionsEnabled());
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(dialog->close());
}

}  // namespace
}  // namespace telvane
