// What every dialog obeys, whatever toolkit draws it. This source is compiled into the Qt
// and the Win32 dialog suites; dialog_contract.h names what each toolkit's suite supplies.

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "inventory/device_list.h"
#include "net/pumped_wait.h"
#include "tests/ui/dialog_contract.h"

namespace telvane {
namespace {

using K = CONTROL_KIND;
constexpr int IDC_NAME = 10;
constexpr int IDC_GO = 20;
constexpr int IDC_COMBO = 30;
constexpr int IDC_LIST = 40;

constexpr std::array<DLG_ITEM_TEMPLATE, 6> ITEMS{{
    {IDC_STATIC, K::LABEL, "Name:", 4, 4, 30, 8, true, true, false, false},
    {IDC_NAME, K::EDIT, "", 36, 2, 60, 12, true, true, false, true},
    {IDC_LIST, K::LIST_VIEW, "", 4, 18, 160, 60, true, true, false, true},
    {IDC_GO, K::PUSH_BUTTON, "&Go", 130, 84, 40, 14, true, true, false, true},
    {IDOK, K::DEFAULT_PUSH_BUTTON, "E&xit", 130, 100, 40, 14, true, true, false, true},
    {IDC_COMBO, K::DROP_DOWN_LIST, "", 36, 84, 70, 60, true, true, false, true},
}};
constexpr std::array<DLG_INIT_ENTRY, 2> INIT{{{IDC_COMBO, "IPv4"}, {IDC_COMBO, "IPv6"}}};
constexpr DLG_TEMPLATE CONTRACT_DIALOG{310, "Contract", 180, 120, "DejaVu Sans", 8, ITEMS, INIT};

// A dialog with one member bound to the edit, as the window binds its prefix text.
class CContractDialog final : public CDialog {
public:
    CContractDialog() : CDialog(CONTRACT_DIALOG) {}
    bool busy = false;
    std::optional<bool> keys_suspended;  // unset: inside a pumped wait or not
    int end_in_init = 0;                 // ends the dialog from OnInitDialog when not 0
    std::u16string name = u"first";
    int combo_count_in_init = -1;
    std::vector<bool> exchanges;  // save flags, in order

    using CDialog::Notify;

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        combo_count_in_init = ComboGetCount(IDC_COMBO);
        if (end_in_init != 0) EndDialog(end_in_init);
        return false;
    }
    void DoDataExchange(bool save) override {
        exchanges.push_back(save);
        if (save)
            name = GetDlgItemText(IDC_NAME);
        else
            SetDlgItemText(IDC_NAME, name);
    }
    bool IsBusy() const override { return busy; }
    bool DialogKeysSuspended() const override {
        return keys_suspended ? *keys_suspended : CDialog::DialogKeysSuspended();
    }
};

// Guards against handlers that run for another control or code, or out of the order
// mapped, and against a mapped Exit that still ends the dialog by itself.
TEST(DialogContract, RoutesEachNotificationToItsHandlersInOrder) {
    CContractDialog dialog;
    dialog.Create();
    std::vector<int> calls;
    dialog.MapNotification(IDC_GO, NOTIFICATION::CLICKED, [&] { calls.push_back(1); });
    dialog.MapNotification(IDC_NAME, NOTIFICATION::CHANGE, [&] { calls.push_back(2); });
    dialog.MapNotification(IDC_GO, NOTIFICATION::CLICKED, [&] { calls.push_back(3); });
    contract::ReportClick(dialog, IDC_GO);
    dialog.SetDlgItemText(IDC_NAME, u"second");
    EXPECT_EQ(calls, (std::vector<int>{1, 3, 2}));
    dialog.MapNotification(IDOK, NOTIFICATION::CLICKED, [&] { calls.push_back(4); });
    contract::ReportClick(dialog, IDOK);
    EXPECT_EQ(calls.back(), 4);
    EXPECT_FALSE(dialog.IsEnded()) << "a handler of its own replaces the framework's OnOK";
}

// Guards against a disabled control acting on a click the system reports late, and
// against that rule swallowing changes of text, which code makes on disabled edits too.
TEST(DialogContract, ADisabledControlNeverActs) {
    CContractDialog dialog;
    dialog.Create();
    int clicks = 0;
    int changes = 0;
    dialog.MapNotification(IDC_GO, NOTIFICATION::CLICKED, [&] { ++clicks; });
    dialog.MapNotification(IDC_NAME, NOTIFICATION::CHANGE, [&] { ++changes; });
    dialog.EnableDlgItem(IDC_GO, false);
    dialog.EnableDlgItem(IDC_NAME, false);
    contract::ReportClick(dialog, IDC_GO);
    dialog.SetDlgItemText(IDC_NAME, u"changed by code");
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(changes, 1);
    dialog.EnableDlgItem(IDOK, false);
    contract::ReportClick(dialog, IDOK);
    EXPECT_FALSE(dialog.IsEnded()) << "a disabled Exit ends nothing";
    dialog.EnableDlgItem(IDC_GO, true);
    contract::ReportClick(dialog, IDC_GO);
    EXPECT_EQ(clicks, 1);
}

// Guards against a dialog that ends in the middle of a procedure: inside a pumped wait
// Escape and Enter do nothing; outside it they cancel and end with Exit.
TEST(DialogContract, EscapeAndEnterDoNothingInsideAPumpedWait) {
    CContractDialog dialog;
    dialog.Create();
    contract::Show(dialog);
    dialog.keys_suspended = true;
    contract::PressKey(dialog, IDC_NAME, DIALOG_KEY::ESCAPE);
    contract::PressKey(dialog, IDC_NAME, DIALOG_KEY::ENTER);
    EXPECT_FALSE(dialog.IsEnded());
    dialog.keys_suspended = false;
    contract::PressKey(dialog, IDC_NAME, DIALOG_KEY::ESCAPE);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);

    CContractDialog enter;
    enter.Create();
    contract::Show(enter);
    enter.SetDlgItemText(IDC_NAME, u"typed");
    contract::PressKey(enter, IDC_NAME, DIALOG_KEY::ENTER);
    EXPECT_TRUE(enter.IsEnded());
    EXPECT_EQ(enter.EndResult(), IDOK);
    EXPECT_EQ(enter.name, u"typed") << "Exit takes the controls' data in first";
}

// The same with the pump's own depth rather than a test's flag: a key handled while a
// procedure waits for replies.
TEST(DialogContract, AKeyDuringARealPumpedWaitDoesNothing) {
    CContractDialog dialog;
    dialog.Create();
    contract::Show(dialog);
    (void)WaitPumping(
        [&] {
            contract::PressKey(dialog, IDC_NAME, DIALOG_KEY::ESCAPE);
            return true;
        },
        20);
    EXPECT_FALSE(dialog.IsEnded());
    contract::PressKey(dialog, IDC_NAME, DIALOG_KEY::ESCAPE);
    EXPECT_TRUE(dialog.IsEnded());
}

// Guards against a close request (or Escape, or a cancel) that ends the window while a
// procedure runs; the same request afterwards closes it.
TEST(DialogContract, ACloseRequestIsIgnoredWhileBusy) {
    CContractDialog dialog;
    dialog.Create();
    contract::Show(dialog);
    dialog.busy = true;
    contract::RequestClose(dialog);
    contract::PressKey(dialog, IDC_NAME, DIALOG_KEY::ESCAPE);
    EXPECT_FALSE(dialog.IsEnded());
    dialog.busy = false;
    contract::RequestClose(dialog);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);
    EXPECT_EQ(dialog.exchanges, (std::vector<bool>{false})) << "a cancel takes no data in";
}

// Guards against initialisation data added after the members, members that never reach
// the controls, and a dialog ended in OnInitDialog that still shows.
TEST(DialogContract, InitialisationExchangesDataAndMayEndTheDialog) {
    CContractDialog dialog;
    dialog.Create();
    EXPECT_EQ(dialog.combo_count_in_init, 2);
    EXPECT_EQ(dialog.ComboGetCurSel(IDC_COMBO), -1) << "adding a string selects none";
    EXPECT_EQ(dialog.GetDlgItemText(IDC_NAME), u"first");
    EXPECT_EQ(dialog.exchanges, (std::vector<bool>{false}));

    CContractDialog ended;
    ended.end_in_init = 7;
    EXPECT_EQ(ended.DoModal(), 7);
    EXPECT_TRUE(ended.IsEnded());
}

// Both windows offer the same beyond the template: the rows' tooltips, the row menu,
// and the notes of an empty and of an overfull list.
TEST(DialogContract, TheDeviceListOffersTheSameOnEveryToolkit) {
    CContractDialog dialog;
    dialog.Create();
    DEVICE_TABLE table;
    CDeviceListView view(dialog, IDC_LIST, table);
    view.InsertListColumns(DEVICE_LIST_COLUMN_COUNT, DEVICE_LIST_COLUMNS);
    table.device_count = 1;
    table.entries[0].locked = 1;
    view.SetRowHints([](int) { return CDeviceListView::ROW_HINTS{u"on another subnet", u""}; });
    view.RefillDeviceList();
    EXPECT_EQ(contract::RowTooltip(view, 0), u"locked\non another subnet");
    EXPECT_EQ(contract::RowMenuCaptions(view, 0),
              (std::vector<std::u16string>{u"&Copy Row", u"Copy &MAC Address", u"Copy &IPv4 Address", u"",
                                           u"Open &Web Page"}));
    EXPECT_TRUE(contract::RowMenuCaptions(view, 1).empty()) << "no menu below the rows";

    table.device_count = 0;
    view.RefillDeviceList();
    view.SetEnumeratedAdapter(u"192.0.2.1");
    EXPECT_EQ(view.EmptyNoteText().rfind(u"No device answered on 192.0.2.1.\n", 0), 0u);
    table.device_count = DEVICE_TABLE_CAPACITY;
    table.ignored.Add(DROP_REASON::TABLE_FULL);
    view.RefillDeviceList();
    view.UpdateNotes();
    EXPECT_TRUE(view.EmptyNoteText().empty());
    EXPECT_EQ(view.FullNoteText(), u"100 devices shown; more answered.");
}

}  // namespace
}  // namespace telvane
