#include <gtest/gtest.h>

#include <QtCore/QTimer>
#include <QtGui/QCloseEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QTreeWidget>

#include <array>
#include <vector>

#include "ui/dialog.h"
#include "ui/ipv4_address_box.h"

namespace telvane {
namespace {

using K = CONTROL_KIND;

// A small dialog with one control of each kind, two radio pairs inside frames, and
// controls without a tab stop between tab stops.
constexpr std::array<DLG_ITEM_TEMPLATE, 15> ITEMS{{
    {10, K::LABEL, "Label:", 4, 4, 40, 8, true, true, false, false},
    {11, K::LIST_VIEW, "", 4, 14, 100, 40, true, true, false, true},
    {12, K::PROGRESS_BAR, "", 4, 56, 100, 6, true, true, false, false},
    {20, K::RADIO_BUTTON, "First A", 8, 70, 60, 10, true, true, true, true},
    {21, K::RADIO_BUTTON, "Second A", 8, 82, 60, 10, true, true, false, true},
    {30, K::RADIO_BUTTON, "First B", 8, 100, 60, 10, true, true, true, true},
    {31, K::RADIO_BUTTON, "Second B", 8, 112, 60, 10, true, true, false, true},
    {40, K::GROUP_FRAME, "Frame", 2, 64, 110, 62, true, true, false, false},
    {41, K::IPV4_ADDRESS, "", 120, 70, 70, 12, true, true, false, true},
    {42, K::EDIT, "", 120, 86, 70, 12, true, true, false, true},
    {43, K::DROP_DOWN_LIST, "", 120, 100, 70, 60, true, true, false, true},
    {50, K::PUSH_BUTTON, "&Other", 150, 4, 40, 14, true, true, false, true},
    {IDOK, K::DEFAULT_PUSH_BUTTON, "&Done", 150, 20, 40, 14, true, true, false, true},
    {51, K::PUSH_BUTTON, "Off", 150, 36, 40, 14, false, true, false, true},
    {52, K::LABEL, "Hidden", 150, 52, 40, 8, true, false, false, false},
}};
constexpr std::array<DLG_INIT_ENTRY, 1> INIT{{{43, "Only"}}};
constexpr DLG_TEMPLATE TEMPLATE{900, "Test dialog", 200, 130, "DejaVu Sans", 8, ITEMS, INIT};

class CTestDialog final : public CDialog {
public:
    explicit CTestDialog(const DLG_TEMPLATE& t = TEMPLATE) : CDialog(t) {}
    bool busy = false;
    bool keys_suspended = false;
    bool visible_during_init = true;
    bool end_during_init = false;
    int shown = 0;
    int exchanges_saved = 0;

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        visible_during_init = isVisible();
        if (end_during_init) EndDialog(IDCANCEL);
        return false;
    }
    void DoDataExchange(bool save) override {
        if (save) ++exchanges_saved;
    }
    bool IsBusy() const override { return busy; }
    bool DialogKeysSuspended() const override { return keys_suspended; }
    void showEvent(QShowEvent* event) override {
        ++shown;
        CDialog::showEvent(event);
    }
};

void Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Guards against controls placed in fixed pixels or units of a font that is not used:
// every rectangle follows the base units of the dialog's own font.
TEST(DialogLayout, PositionsFollowTheFontMetrics) {
    CTestDialog small;
    small.Create();
    const QFontMetrics metrics(small.font());
    EXPECT_EQ(small.BaseUnitY(), metrics.height());
    EXPECT_NEAR(small.BaseUnitX(), metrics.averageCharWidth(), 2);
    EXPECT_EQ(small.size(), QSize(small.MapDialogRect(0, 0, 200, 130).size()));
    const QWidget* list = small.GetDlgItem(11);
    EXPECT_EQ(list->geometry(), small.MapDialogRect(4, 14, 100, 40));

    DLG_TEMPLATE larger = TEMPLATE;
    larger.font_point_size = 16;
    CTestDialog big(larger);
    big.Create();
    EXPECT_GT(big.BaseUnitX(), small.BaseUnitX());
    EXPECT_GT(big.GetDlgItem(11)->width(), list->width());
}

// Guards against controls parented to their frame (disabling the frame would disable
// them) and against IDs that cannot be looked up.
TEST(DialogControls, EveryControlIsADirectChildFoundByItsId) {
    CTestDialog dialog;
    dialog.Create();
    for (const DLG_ITEM_TEMPLATE& item : ITEMS) {
        QWidget* control = dialog.GetDlgItem(item.id);
        ASSERT_NE(control, nullptr) << item.id;
        EXPECT_EQ(control->parentWidget(), &dialog) << item.id;
        EXPECT_EQ(control->objectName(), QString::number(item.id));
        EXPECT_EQ(dialog.IsDlgItemEnabled(item.id), item.enabled) << item.id;
        EXPECT_EQ(!control->isHidden(), item.visible) << item.id;
    }
    EXPECT_EQ(dialog.GetDlgItem(999), nullptr);
    dialog.EnableDlgItem(40, false);
    EXPECT_FALSE(dialog.IsDlgItemEnabled(40));
    EXPECT_TRUE(dialog.IsDlgItemEnabled(20));
    EXPECT_TRUE(dialog.GetDlgItem(20)->isEnabled());
}

// Guards against a tab order that follows creation accidents instead of the template.
TEST(DialogControls, TabOrderIsTemplateOrder) {
    CTestDialog dialog;
    dialog.Create();
    std::vector<int> expected;
    for (const DLG_ITEM_TEMPLATE& item : ITEMS)
        if (item.tab_stop) expected.push_back(item.id);
    std::vector<int> seen;
    QWidget* w = dialog.GetDlgItem(expected.front());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        seen.push_back(w->objectName().toInt());
        do {
            w = w->nextInFocusChain();
        } while (w->parentWidget() != &dialog || !(w->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_EQ(seen, expected);
}

// Guards against the Tab key stopping in each field of an address box, or skipping
// controls: Tab visits the enabled tab stops in template order.
TEST(DialogControls, TabKeyWalksTheEnabledTabStops) {
    CTestDialog dialog;
    dialog.Create();
    Activate(dialog);
    std::vector<int> expected;
    for (const DLG_ITEM_TEMPLATE& item : ITEMS)
        if (item.tab_stop && item.enabled) expected.push_back(item.id);
    dialog.GotoDlgCtrl(expected.front());
    std::vector<int> seen;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        while (focus->parentWidget() != &dialog) focus = focus->parentWidget();
        seen.push_back(focus->objectName().toInt());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(seen, expected);
}

// Guards against Qt's auto-exclusive grouping (all radios of one parent would be one
// group) and against a set-check that clears the partner.
TEST(DialogRadios, ClickChecksAndClearsOnlyItsPartner) {
    CTestDialog dialog;
    dialog.Create();
    dialog.CheckDlgButton(30, 1);
    QTest::mouseClick(dialog.GetDlgItem(20), Qt::LeftButton);
    EXPECT_EQ(dialog.IsDlgButtonChecked(20), 1);
    EXPECT_EQ(dialog.IsDlgButtonChecked(30), 1) << "the other pair is untouched";
    QTest::mouseClick(dialog.GetDlgItem(21), Qt::LeftButton);
    EXPECT_EQ(dialog.IsDlgButtonChecked(21), 1);
    EXPECT_EQ(dialog.IsDlgButtonChecked(20), 0);
    // A second click on a checked automatic radio leaves it checked.
    QTest::mouseClick(dialog.GetDlgItem(21), Qt::LeftButton);
    EXPECT_EQ(dialog.IsDlgButtonChecked(21), 1);
}

TEST(DialogRadios, SetCheckTouchesOneButtonOnly) {
    CTestDialog dialog;
    dialog.Create();
    dialog.CheckDlgButton(20, 1);
    dialog.CheckDlgButton(21, 1);
    EXPECT_EQ(dialog.IsDlgButtonChecked(20), 1);
    EXPECT_EQ(dialog.IsDlgButtonChecked(21), 1);
    dialog.CheckDlgButton(20, 0);
    EXPECT_EQ(dialog.IsDlgButtonChecked(20), 0);
    EXPECT_EQ(dialog.IsDlgButtonChecked(21), 1);
    dialog.CheckDlgButton(21, 0);
    EXPECT_EQ(dialog.IsDlgButtonChecked(21), 0) << "the checked one can be cleared by code";
}

// Guards against the frame covering the controls drawn inside it.
TEST(DialogRadios, AClickInsideAFrameReachesTheRadio) {
    CTestDialog dialog;
    dialog.Create();
    QWidget* radio = dialog.GetDlgItem(31);
    QWidget* hit = dialog.childAt(radio->geometry().center());
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == radio || radio->isAncestorOf(hit));
}

TEST(DialogNotifications, HandlersRunByIdAndCode) {
    CTestDialog dialog;
    dialog.Create();
    std::vector<int> calls;
    dialog.MapNotification(50, NOTIFICATION::CLICKED, [&] { calls.push_back(50); });
    dialog.MapNotification(20, NOTIFICATION::CLICKED, [&] { calls.push_back(20); });
    dialog.MapNotification(42, NOTIFICATION::CHANGE, [&] { calls.push_back(42); });
    dialog.MapNotification(41, NOTIFICATION::CHANGE, [&] { calls.push_back(41); });
    QTest::mouseClick(dialog.GetDlgItem(50), Qt::LeftButton);
    QTest::mouseClick(dialog.GetDlgItem(20), Qt::LeftButton);
    dialog.SetDlgItemText(42, u"text set in code");
    dialog.CheckDlgButton(21, 1);  // BM_SETCHECK sends no click
    EXPECT_EQ(calls, (std::vector<int>{50, 20, 42}));
    calls.clear();
    dialog.GetAddressBox(41)->SetAddress(1);
    EXPECT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), 41);
}

// Guards against reading "12x", "-3" or empty text as numbers the way a lenient
// conversion would.
TEST(DialogIntegers, GetAndSetFollowTheDialogRules) {
    CTestDialog dialog;
    dialog.Create();
    bool ok = false;
    dialog.SetDlgItemText(42, u"  42");
    EXPECT_EQ(dialog.GetDlgItemInt(42, &ok, false), 42);
    EXPECT_TRUE(ok);
    dialog.SetDlgItemText(42, u"-5");
    EXPECT_EQ(dialog.GetDlgItemInt(42, &ok, true), -5);
    EXPECT_TRUE(ok);
    dialog.GetDlgItemInt(42, &ok, false);
    EXPECT_FALSE(ok);
    for (const char16_t* bad : {u"", u"-", u"12x"}) {
        dialog.SetDlgItemText(42, bad);
        dialog.GetDlgItemInt(42, &ok, true);
        EXPECT_FALSE(ok);
    }
    dialog.SetDlgItemInt(42, 128, false);
    EXPECT_EQ(dialog.GetDlgItemText(42), u"128");
    dialog.SetDlgItemInt(42, -1, false);
    EXPECT_EQ(dialog.GetDlgItemText(42), u"4294967295");
    dialog.SetDlgItemInt(42, -1, true);
    EXPECT_EQ(dialog.GetDlgItemText(42), u"-1");
}

TEST(DialogText, LimitAndTextsOfEachKind) {
    CTestDialog dialog;
    dialog.Create();
    EXPECT_EQ(dialog.GetDlgItemText(50), u"&Other");
    EXPECT_EQ(dialog.GetDlgItemText(40), u"Frame");
    dialog.SetDlgItemText(10, u"Changed:");
    EXPECT_EQ(dialog.GetDlgItemText(10), u"Changed:");
    dialog.LimitText(42, 3);
    auto* edit = dynamic_cast<QLineEdit*>(dialog.GetDlgItem(42));
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("12345"));
    EXPECT_EQ(dialog.GetDlgItemText(42), u"123");
}

// Guards against CB_ADDSTRING selecting what it adds (Qt selects the first item) and
// against a lost initialisation entry.
TEST(DialogCombo, InitDataAddsWithoutSelecting) {
    CTestDialog dialog;
    dialog.Create();
    EXPECT_EQ(dialog.ComboGetCount(43), 1);
    EXPECT_EQ(dialog.ComboGetCurSel(43), -1);
    EXPECT_EQ(dialog.ComboAddString(43, u"Second"), 1);
    EXPECT_EQ(dialog.ComboGetCurSel(43), -1);
    dialog.ComboSetCurSel(43, 0);
    EXPECT_EQ(dialog.ComboGetCurSel(43), 0);
    EXPECT_EQ(dialog.GetDlgItemText(43), u"Only");
    dialog.ComboAddString(43, u"Third");
    EXPECT_EQ(dialog.ComboGetCurSel(43), 0);
}

TEST(DialogListView, IsAPlainReportViewForTheListController) {
    CTestDialog dialog;
    dialog.Create();
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(11));
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_FALSE(list->isHeaderHidden());
}

// Guards against showing the window before its initialisation, and against a window
// that flashes up although the initialisation ended the dialog.
TEST(DialogModal, InitialisationRunsBeforeShowing) {
    CTestDialog dialog;
    QTimer::singleShot(0, &dialog, [&] { QTest::mouseClick(dialog.GetDlgItem(IDOK), Qt::LeftButton); });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_FALSE(dialog.visible_during_init);
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(dialog.exchanges_saved, 1) << "OK takes the controls' data into the members";
}

TEST(DialogModal, EndedDuringInitialisationIsNeverShown) {
    CTestDialog dialog;
    dialog.end_during_init = true;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.shown, 0);
}

// Guards against the window closing in the middle of a procedure.
TEST(DialogClose, CloseIgnoredWhileBusyThenHonoured) {
    CTestDialog dialog;
    dialog.Create();
    Activate(dialog);
    dialog.busy = true;
    EXPECT_FALSE(dialog.close());
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_TRUE(dialog.isVisible());
    dialog.busy = false;
    EXPECT_TRUE(dialog.close());
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.EndResult(), IDCANCEL);
}

TEST(DialogKeys, EscapeCancelsAndEnterPressesTheDefaultButton) {
    {
        CTestDialog dialog;
        dialog.Create();
        Activate(dialog);
        QTest::keyClick(dialog.GetDlgItem(42), Qt::Key_Escape);
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_EQ(dialog.EndResult(), IDCANCEL);
    }
    {
        CTestDialog dialog;
        dialog.Create();
        Activate(dialog);
        dialog.GotoDlgCtrl(42);
        QTest::keyClick(dialog.GetDlgItem(42), Qt::Key_Return);
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_EQ(dialog.EndResult(), IDOK);
    }
}

// Guards against Enter on a focused push button going to the default button.
TEST(DialogKeys, EnterOnAFocusedPushButtonPressesIt) {
    CTestDialog dialog;
    dialog.Create();
    int other = 0;
    dialog.MapNotification(50, NOTIFICATION::CLICKED, [&] { ++other; });
    Activate(dialog);
    dialog.GotoDlgCtrl(50);
    QTest::keyClick(dialog.GetDlgItem(50), Qt::Key_Return);
    EXPECT_EQ(other, 1);
    EXPECT_FALSE(dialog.IsEnded());
}

// Guards against the dialog ending from a stray key in the middle of a procedure.
TEST(DialogKeys, EscapeAndEnterDoNothingWhileSuspended) {
    CTestDialog dialog;
    dialog.Create();
    int other = 0;
    dialog.MapNotification(50, NOTIFICATION::CLICKED, [&] { ++other; });
    Activate(dialog);
    dialog.keys_suspended = true;
    dialog.GotoDlgCtrl(42);
    QTest::keyClick(dialog.GetDlgItem(42), Qt::Key_Escape);
    QTest::keyClick(dialog.GetDlgItem(42), Qt::Key_Return);
    dialog.GotoDlgCtrl(50);
    QTest::keyClick(dialog.GetDlgItem(50), Qt::Key_Return);
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(other, 0);
    dialog.keys_suspended = false;
    QTest::keyClick(dialog.GetDlgItem(50), Qt::Key_Return);
    EXPECT_EQ(other, 1);
}

// Guards against Tab moving the focus inside a pumped wait: no control's own handling of
// Tab may act then, edits and address boxes included.
TEST(DialogKeys, TabMovesNoFocusWhileSuspended) {
    CTestDialog dialog;
    dialog.Create();
    Activate(dialog);
    dialog.keys_suspended = true;
    for (const int id : {41, 42, 50}) {
        dialog.GotoDlgCtrl(id);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << id;
        QTest::keyClick(focus, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), focus) << id;
        QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), focus) << id;
    }
    dialog.keys_suspended = false;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), dialog.GetDlgItem(50));
}

// Guards against an arrow key on a radio button moving to another tab stop and checking
// nothing: in a pair, every arrow moves to the partner, checks it and runs its handler;
// a disabled partner is skipped, and inside a pumped wait the arrows do nothing.
TEST(DialogRadios, ArrowKeysMoveToThePartnerAndClickIt) {
    CTestDialog dialog;
    dialog.Create();
    std::vector<int> clicked;
    for (const int id : {20, 21, 30, 31})
        dialog.MapNotification(id, NOTIFICATION::CLICKED, [&clicked, id] { clicked.push_back(id); });
    Activate(dialog);
    dialog.CheckDlgButton(20, 1);
    dialog.GotoDlgCtrl(20);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), dialog.GetDlgItem(21));
    EXPECT_EQ(dialog.IsDlgButtonChecked(21), 1);
    EXPECT_EQ(dialog.IsDlgButtonChecked(20), 0);
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Up, Qt::Key_Left})
        QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_EQ(QApplication::focusWidget(), dialog.GetDlgItem(20));
    EXPECT_EQ(dialog.IsDlgButtonChecked(20), 1);
    EXPECT_EQ(dialog.IsDlgButtonChecked(21), 0);
    EXPECT_EQ(clicked, (std::vector<int>{21, 20, 21, 20}));
    EXPECT_EQ(dialog.IsDlgButtonChecked(30), 0) << "the other pair is untouched";

    dialog.EnableDlgItem(21, false);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), dialog.GetDlgItem(20));
    EXPECT_EQ(dialog.IsDlgButtonChecked(20), 1);
    dialog.EnableDlgItem(21, true);
    dialog.keys_suspended = true;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), dialog.GetDlgItem(20));
    EXPECT_EQ(dialog.IsDlgButtonChecked(21), 0);
    EXPECT_EQ(clicked.size(), 4u);
}

// Guards against a disabled button acting: a keyboard click (a mnemonic or Space) that
// began while the button was usable ends after the button has been disabled, as when a
// procedure starts in between; its handler must not run.
TEST(DialogNotifications, ADisabledButtonNeverActs) {
    CTestDialog dialog;
    dialog.Create();
    int other = 0;
    dialog.MapNotification(50, NOTIFICATION::CLICKED, [&] { ++other; });
    Activate(dialog);
    auto* button = dynamic_cast<QPushButton*>(dialog.GetDlgItem(50));
    button->animateClick();
    dialog.EnableDlgItem(50, false);
    QTest::qWait(250);
    EXPECT_EQ(other, 0);
    dialog.EnableDlgItem(50, true);
    button->animateClick();
    QTest::qWait(250);
    EXPECT_EQ(other, 1);
}

}  // namespace
}  // namespace telvane
