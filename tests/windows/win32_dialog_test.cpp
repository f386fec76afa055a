// The Windows dialog layer under the dialog manager: the template built from a table, the
// routing of notifications, the busy rules, the address box and the message box hook.

#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "ui/win32/dialog_win32.h"
#include "ui/win32/ipv4_address_box_win32.h"
#include "ui/win32/message_box_win32.h"
#include "ui/testing.h"

namespace telvane {
namespace {

using K = CONTROL_KIND;
constexpr int IDC_EDIT = 10;
constexpr int IDC_BUTTON = 20;
constexpr int IDC_DISABLED_BUTTON = 21;
constexpr int IDC_RADIO_A = 30;
constexpr int IDC_RADIO_B = 31;
constexpr int IDC_COMBO = 40;
constexpr int IDC_ADDRESS = 50;
constexpr int IDC_LIST = 60;

constexpr std::array<DLG_ITEM_TEMPLATE, 12> ITEMS{{
    {IDC_STATIC, K::LABEL, "Name:", 4, 4, 30, 8, true, true, false, false},
    {IDC_EDIT, K::EDIT, "", 36, 2, 60, 12, true, true, false, true},
    {IDC_LIST, K::LIST_VIEW, "", 4, 18, 120, 40, true, true, false, true},
    {1129, K::PROGRESS_BAR, "", 4, 60, 120, 6, true, true, false, false},
    {IDC_STATIC, K::GROUP_FRAME, "Fr\xc3\xa4me", 4, 70, 120, 40, true, true, false, false},
    {IDC_RADIO_A, K::RADIO_BUTTON, "A", 8, 80, 40, 10, true, true, true, true},
    {IDC_RADIO_B, K::RADIO_BUTTON, "B", 8, 92, 40, 10, false, true, false, true},
    {IDC_ADDRESS, K::IPV4_ADDRESS, "", 50, 80, 70, 12, true, true, false, true},
    {IDC_BUTTON, K::PUSH_BUTTON, "&Go", 130, 20, 40, 14, true, true, false, true},
    {IDC_DISABLED_BUTTON, K::PUSH_BUTTON, "&No", 130, 40, 40, 14, false, true, false, true},
    {IDOK, K::DEFAULT_PUSH_BUTTON, "E&xit", 130, 4, 40, 14, true, true, false, true},
    {IDC_COMBO, K::DROP_DOWN_LIST, "", 50, 96, 70, 60, true, false, false, true},
}};
constexpr std::array<DLG_INIT_ENTRY, 1> INIT{{{IDC_COMBO, "IPv4"}}};
constexpr DLG_TEMPLATE TEST_DIALOG{300, "Test", 180, 120, "DejaVu Sans", 8, ITEMS, INIT};

// Reads a DLGTEMPLATEEX back, as the dialog manager does.
class CTemplateReader {
public:
    explicit CTemplateReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::uint16_t Word() {
        const auto value = static_cast<std::uint16_t>(bytes_.at(at_) | (bytes_.at(at_ + 1) << 8));
        at_ += 2;
        return value;
    }
    int Short() { return static_cast<std::int16_t>(Word()); }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | (static_cast<std::uint32_t>(Word()) << 16);
    }
    std::wstring String() {
        std::wstring text;
        for (std::uint16_t c = Word(); c != 0; c = Word()) text.push_back(static_cast<wchar_t>(c));
        return text;
    }
    void AlignDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
    void Skip(std::size_t n) { at_ += n; }
    std::size_t At() const { return at_; }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = 0;
};

struct EXPECTED_CLASS {
    const wchar_t* name;
    DWORD type_style;
    DWORD type_mask;
};

EXPECTED_CLASS Expected(K kind) {
    switch (kind) {
        case K::LABEL:
            return {L"Static", SS_LEFTNOWORDWRAP, SS_TYPEMASK};
        case K::LIST_VIEW:
            return {L"SysListView32", LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER, 0xFFFF | WS_BORDER};
        case K::PROGRESS_BAR:
            return {L"msctls_progress32", PBS_SMOOTH | WS_BORDER, PBS_SMOOTH | WS_BORDER};
        case K::GROUP_FRAME:
            return {L"Button", BS_GROUPBOX, BS_TYPEMASK};
        case K::RADIO_BUTTON:
            return {L"Button", BS_AUTORADIOBUTTON, BS_TYPEMASK};
        case K::IPV4_ADDRESS:
            return {L"SysIPAddress32", 0, 0};
        case K::PUSH_BUTTON:
            return {L"Button", BS_PUSHBUTTON, BS_TYPEMASK};
        case K::DEFAULT_PUSH_BUTTON:
            return {L"Button", BS_DEFPUSHBUTTON, BS_TYPEMASK};
        case K::DROP_DOWN_LIST:
            return {L"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL, 0x3 | WS_VSCROLL};
        case K::EDIT:
            return {L"Edit", ES_AUTOHSCROLL | WS_BORDER, ES_AUTOHSCROLL | ES_MULTILINE | WS_BORDER};
    }
    return {L"", 0, 0};
}

std::wstring Wide(const char* utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), n);
    text.pop_back();
    return text;
}

// Parses the template built from table back and compares it with the table.
void ExpectTemplateOf(const DLG_TEMPLATE& table) {
    const std::vector<std::uint8_t> bytes = BuildDialogTemplate(table);
    CTemplateReader in(bytes);
    EXPECT_EQ(in.Word(), 1);
    EXPECT_EQ(in.Word(), 0xFFFF);
    in.Dword();
    EXPECT_EQ(in.Dword(), static_cast<DWORD>(WS_EX_APPWINDOW));
    const DWORD style = in.Dword();
    const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SHELLFONT;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(in.Word(), table.items.size());
    in.Short();
    in.Short();
    EXPECT_EQ(in.Short(), table.cx);
    EXPECT_EQ(in.Short(), table.cy);
    EXPECT_EQ(in.Word(), 0);  // menu
    EXPECT_EQ(in.Word(), 0);  // class
    EXPECT_EQ(in.String(), Wide(table.title));
    EXPECT_EQ(in.Word(), table.font_point_size);
    in.Skip(4);  // weight, italic, charset
    EXPECT_EQ(in.String(), std::wstring(DIALOG_FONT_FAMILY));
    for (const DLG_ITEM_TEMPLATE& item : table.items) {
        SCOPED_TRACE(item.id);
        in.AlignDword();
        in.Dword();
        EXPECT_EQ(in.Dword(), 0u);
        const DWORD item_style = in.Dword();
        const EXPECTED_CLASS expected = Expected(item.kind);
        EXPECT_EQ(item_style & expected.type_mask, expected.type_style);
        EXPECT_NE(item_style & WS_CHILD, 0u);
        EXPECT_EQ((item_style & WS_VISIBLE) != 0, item.visible);
        EXPECT_EQ((item_style & WS_DISABLED) != 0, !item.enabled);
        EXPECT_EQ((item_style & WS_GROUP) != 0, item.group);
        EXPECT_EQ((item_style & WS_TABSTOP) != 0, item.tab_stop);
        EXPECT_EQ(in.Short(), item.x);
        EXPECT_EQ(in.Short(), item.y);
        EXPECT_EQ(in.Short(), item.cx);
        EXPECT_EQ(in.Short(), item.cy);
        EXPECT_EQ(static_cast<int>(in.Dword()), item.id);
        EXPECT_EQ(in.String(), expected.name);
        EXPECT_EQ(in.String(), Wide(item.text));
        EXPECT_EQ(in.Word(), 0);
    }
    EXPECT_EQ(in.At(), bytes.size());
}

TEST(Win32DialogTemplate, HoldsEveryControlOfTheTable) {
    ExpectTemplateOf(TEST_DIALOG);
}

class CTestDialog : public CDialog {
public:
    CTestDialog() : CDialog(TEST_DIALOG) {}
    bool busy = false;
    bool keys_suspended = false;
    int saves = 0;
    int end_in_init = 0;  // ends the dialog from OnInitDialog when not 0
    bool post_in_init = false;
    WPARAM key_in_init = 0;  // a key pressed in the edit once the dialog runs

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        if (end_in_init != 0) EndDialog(end_in_init);
        if (post_in_init)
            PostMessageW(Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_BUTTON, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(IDC_BUTTON)));
        if (key_in_init != 0) {
            GotoDlgCtrl(IDC_EDIT);
            PostMessageW(GetDlgItem(IDC_EDIT), WM_KEYDOWN, key_in_init, 1);
            // A key that does nothing fails the test instead of leaving it waiting.
            SetTimer(Hwnd(), 1, 10000, [](HWND hwnd, UINT, UINT_PTR, DWORD) { ::EndDialog(hwnd, 0); });
        }
        return false;
    }
    void DoDataExchange(bool save) override { saves += save ? 1 : 0; }
    bool IsBusy() const override { return busy; }
    bool DialogKeysSuspended() const override { return keys_suspended; }
};

LRESULT Click(CDialog& dialog, int id) {
    return SendMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(dialog.GetDlgItem(id)));
}

TEST(Win32Dialog, CreatesTheControlsAndAppliesTheInitialisationData) {
    CTestDialog dialog;
    dialog.Create();
    ASSERT_NE(dialog.Hwnd(), nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog.Hwnd()));
    for (const DLG_ITEM_TEMPLATE& item : ITEMS) {
        if (item.id == IDC_STATIC) continue;
        std::array<wchar_t, 64> name{};
        GetClassNameW(dialog.GetDlgItem(item.id), name.data(), static_cast<int>(name.size()));
        EXPECT_EQ(_wcsicmp(Expected(item.kind).name, name.data()), 0) << item.id;
    }
    EXPECT_EQ(dialog.ComboGetCount(IDC_COMBO), 1);
    EXPECT_EQ(dialog.ComboGetCurSel(IDC_COMBO), -1);
    EXPECT_EQ(dialog.GetDlgItemText(IDOK), u"E&xit");
    EXPECT_FALSE(dialog.IsDlgItemEnabled(IDC_RADIO_B));
}

TEST(Win32Dialog, RoutesClicksButNotThoseOfADisabledControl) {
    CTestDialog dialog;
    dialog.Create();
    int clicks = 0;
    int disabled_clicks = 0;
    dialog.MapNotification(IDC_BUTTON, NOTIFICATION::CLICKED, [&] { ++clicks; });
    dialog.MapNotification(IDC_DISABLED_BUTTON, NOTIFICATION::CLICKED, [&] { ++disabled_clicks; });
    SendMessageW(dialog.GetDlgItem(IDC_BUTTON), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    Click(dialog, IDC_DISABLED_BUTTON);
    EXPECT_EQ(disabled_clicks, 0);
    dialog.EnableDlgItem(IDC_DISABLED_BUTTON, true);
    Click(dialog, IDC_DISABLED_BUTTON);
    EXPECT_EQ(disabled_clicks, 1);
    // Exit without a handler of its own: the controls' data in, then the end with IDOK.
    Click(dialog, IDOK);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDOK);
    EXPECT_EQ(dialog.saves, 1);
}

TEST(Win32Dialog, IgnoresACloseRequestAndEscapeWhileBusy) {
    CTestDialog dialog;
    dialog.Create();
    dialog.busy = true;
    SendMessageW(dialog.Hwnd(), WM_CLOSE, 0, 0);
    SendMessageW(dialog.Hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(dialog.IsEnded());
    dialog.busy = false;
    dialog.keys_suspended = true;
    SendMessageW(dialog.Hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(dialog.IsEnded());
    dialog.keys_suspended = false;
    SendMessageW(dialog.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);
}

TEST(Win32Dialog, ReportsAnEditChangeOnlyWhenTheTextChanges) {
    CTestDialog dialog;
    dialog.Create();
    int changes = 0;
    dialog.MapNotification(IDC_EDIT, NOTIFICATION::CHANGE, [&] { ++changes; });
    dialog.SetDlgItemText(IDC_EDIT, u"64");
    dialog.SetDlgItemText(IDC_EDIT, u"64");
    EXPECT_EQ(changes, 1);
    bool translated = false;
    EXPECT_EQ(dialog.GetDlgItemInt(IDC_EDIT, &translated, false), 64);
    EXPECT_TRUE(translated);
}

TEST(Win32Dialog, HandsWmNotifyToThePlatformHandlerWithItsResult) {
    CTestDialog dialog;
    dialog.Create();
    UINT seen = 0;
    dialog.SetNotifyHandler(IDC_LIST, [&](NMHDR* header, LRESULT* result) {
        seen = header->code;
        *result = CDRF_NOTIFYITEMDRAW;
        return true;
    });
    NMHDR header{dialog.GetDlgItem(IDC_LIST), IDC_LIST, NM_CUSTOMDRAW};
    EXPECT_EQ(SendMessageW(dialog.Hwnd(), WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&header)), CDRF_NOTIFYITEMDRAW);
    EXPECT_EQ(seen, static_cast<UINT>(NM_CUSTOMDRAW));
}

TEST(Win32Dialog, DoModalEndedInInitialisationReturnsWithoutShowing) {
    CTestDialog dialog;
    dialog.end_in_init = 7;
    EXPECT_EQ(dialog.DoModal(), 7);
}

TEST(Win32Dialog, DoModalRunsTheDialogManagersLoop) {
    CTestDialog dialog;
    dialog.post_in_init = true;
    bool visible = false;
    dialog.MapNotification(IDC_BUTTON, NOTIFICATION::CLICKED, [&] {
        visible = IsWindowVisible(dialog.Hwnd()) != FALSE;
        dialog.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(visible);
}

TEST(Win32Dialog, EnterPressesExitAndEscapeCancels) {
    CTestDialog enter;
    enter.key_in_init = VK_RETURN;
    EXPECT_EQ(enter.DoModal(), IDOK);
    EXPECT_EQ(enter.saves, 1);
    CTestDialog escape;
    escape.key_in_init = VK_ESCAPE;
    EXPECT_EQ(escape.DoModal(), IDCANCEL);
}

TEST(Win32Ipv4AddressBox, TellsBlankFromZero) {
    CTestDialog dialog;
    dialog.Create();
    int changes = 0;
    dialog.MapNotification(IDC_ADDRESS, NOTIFICATION::CHANGE, [&] { ++changes; });
    CIpv4AddressBox* box = dialog.GetAddressBox(IDC_ADDRESS);
    std::uint32_t address = 1;
    EXPECT_TRUE(box->IsBlank());
    EXPECT_EQ(box->GetAddress(address), 0);
    box->SetAddress(0);
    EXPECT_FALSE(box->IsBlank());
    EXPECT_EQ(box->GetAddress(address), 4);
    EXPECT_EQ(address, 0u);
    EXPECT_GT(changes, 0);
    box->SetAddress(0xC0000201u);
    EXPECT_EQ(box->GetAddress(address), 4);
    EXPECT_EQ(address, 0xC0000201u);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_ADDRESS), u"192.0.2.1");
    box->ClearAddress();
    EXPECT_TRUE(box->IsBlank());
}

TEST(Win32MessageBox, HookReceivesTheTextAndAnswers) {
    CTestDialog dialog;
    dialog.Create();
    std::vector<std::u16string> texts;
    SetMessageBoxHookForTesting([&](const std::u16string& text) { texts.push_back(text); });
    ShowMessageBox(&dialog, u"Socket Initialization failure");
    EXPECT_FALSE(AskYesNo(&dialog, u"Go on?"));
    SetQuestionAnswerForTesting(true);
    EXPECT_TRUE(AskYesNo(&dialog, u"Go on?"));
    SetMessageBoxHookForTesting({});
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"Socket Initialization failure", u"Go on?", u"Go on?"}));
    EXPECT_EQ(ApplicationName(), u"test_win32_dialog");
}

}  // namespace
}  // namespace telvane

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES |
                                                                    ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
