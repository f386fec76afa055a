#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QImage>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionButton>
#include <QtWidgets/QTreeWidget>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>

#include "app_fixture.h"
#include "ui/device_list_view.h"
#include "ui/ipv4_address_box.h"
#include "resources/main_dialog.h"
#include "tests/inventory/reply_builder.h"

namespace telvane {
namespace {

// The main window's controls in template (and tab) order.
constexpr std::array<int, 44> TEMPLATE_ORDER = {1036, 1127, 1129, -1,   1132, 1133, 1021, 1128, 1023, 1131, 1025,
                                                1130, 1125, 1126, 1,    1035, 1015, 1033, -1,   1134, 1135, 1027,
                                                1136, 1029, 1137, -1,   1139, 1140, 1022, 1024, 1026, 1032, -1,
                                                1144, 1145, 1028, 1030, 1016, 1017, 1018, 1019, 1020, 1034, 1031};

bool WidgetIsOfKind(const QWidget* w, CONTROL_KIND kind) {
    switch (kind) {
        case CONTROL_KIND::LABEL:
            return dynamic_cast<const QLabel*>(w) != nullptr;
        case CONTROL_KIND::LIST_VIEW:
            return dynamic_cast<const QTreeWidget*>(w) != nullptr;
        case CONTROL_KIND::PROGRESS_BAR:
            return dynamic_cast<const QProgressBar*>(w) != nullptr;
        case CONTROL_KIND::GROUP_FRAME:
            return dynamic_cast<const QGroupBox*>(w) != nullptr;
        case CONTROL_KIND::RADIO_BUTTON:
            return dynamic_cast<const QRadioButton*>(w) != nullptr;
        case CONTROL_KIND::IPV4_ADDRESS:
            return dynamic_cast<const CIpv4AddressBox*>(w) != nullptr;
        case CONTROL_KIND::PUSH_BUTTON:
        case CONTROL_KIND::DEFAULT_PUSH_BUTTON: {
            const auto* b = dynamic_cast<const QPushButton*>(w);
            return b != nullptr && b->isDefault() == (kind == CONTROL_KIND::DEFAULT_PUSH_BUTTON);
        }
        case CONTROL_KIND::DROP_DOWN_LIST: {
            const auto* c = dynamic_cast<const QComboBox*>(w);
            return c != nullptr && !c->isEditable();
        }
        case CONTROL_KIND::EDIT:
            return dynamic_cast<const QLineEdit*>(w) != nullptr;
    }
    return false;
}

// Guards against a control lost, reordered, or built with another kind, text,
// place or state than the template gives.
TEST(MainTemplate, ControlsAsTheTemplateSays) {
    const DLG_TEMPLATE& t = MainDialogTemplate();
    EXPECT_EQ(t.id, IDD_TELVANE_DIALOG);
    EXPECT_STREQ(t.title, "Network Device Telvane");
    EXPECT_EQ(t.cx, 461);
    EXPECT_EQ(t.cy, 330);
    ASSERT_EQ(t.items.size(), TEMPLATE_ORDER.size());
    for (std::size_t i = 0; i < TEMPLATE_ORDER.size(); ++i) EXPECT_EQ(t.items[i].id, TEMPLATE_ORDER[i]) << i;

    CDialog dialog(t);
    dialog.Create();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Network Device Telvane"));
    EXPECT_EQ(dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 44);
    const std::vector<QWidget*>& controls = dialog.Controls();
    ASSERT_EQ(controls.size(), 44u);
    for (std::size_t i = 0; i < t.items.size(); ++i) {
        const DLG_ITEM_TEMPLATE& item = t.items[i];
        QWidget* w = controls[i];
        EXPECT_EQ(w->parentWidget(), &dialog);
        EXPECT_EQ(w->objectName().toInt(), item.id);
        EXPECT_TRUE(WidgetIsOfKind(w, item.kind)) << item.id;
        EXPECT_EQ(!w->testAttribute(Qt::WA_Disabled), item.enabled) << item.id;
        EXPECT_FALSE(w->isHidden()) << item.id;
        const QRect r = dialog.MapDialogRect(item.x, item.y, item.cx, item.cy);
        EXPECT_EQ(w->pos(), r.topLeft()) << item.id;
        EXPECT_EQ(w->width(), r.width()) << item.id;
        if (item.kind != CONTROL_KIND::DROP_DOWN_LIST) {
            EXPECT_EQ(w->height(), r.height()) << item.id;
        }
        if (auto* radio = dynamic_cast<QRadioButton*>(w)) {
            EXPECT_FALSE(radio->isChecked()) << item.id;
            EXPECT_FALSE(radio->autoExclusive()) << item.id;
        }
        if (auto* box = dynamic_cast<CIpv4AddressBox*>(w)) {
            EXPECT_TRUE(box->IsBlank()) << item.id;
        }
        if (auto* edit = dynamic_cast<QLineEdit*>(w)) {
            EXPECT_TRUE(edit->text().isEmpty()) << item.id;
        }
        const std::u16string text = QString::fromUtf8(item.text).toStdU16String();
        if (item.kind == CONTROL_KIND::LABEL || item.kind == CONTROL_KIND::RADIO_BUTTON ||
            item.kind == CONTROL_KIND::PUSH_BUTTON || item.kind == CONTROL_KIND::DEFAULT_PUSH_BUTTON ||
            item.kind == CONTROL_KIND::GROUP_FRAME) {
            EXPECT_EQ(dialog.GetDlgItemText(item.id), text) << item.id;
        }
    }
    EXPECT_EQ(LoadString(IDS_SOCKETS_INIT_FAILED), u"Windows sockets initialization failed.");
}

// Guards against captions cut off in the font really used: each must fit its control.
TEST(MainTemplate, EveryCaptionFits) {
    CDialog dialog(MainDialogTemplate());
    dialog.Create();
    const QFontMetrics fm(dialog.font());
    for (const DLG_ITEM_TEMPLATE& item : MainDialogTemplate().items) {
        if (item.id == IDC_STATIC) continue;
        QWidget* w = dialog.GetDlgItem(item.id);
        const QString text = QString::fromUtf8(item.text).remove(QLatin1Char('&'));
        if (auto* label = dynamic_cast<QLabel*>(w)) {
            // A trailing blank is spacing, not caption.
            EXPECT_LE(fm.horizontalAdvance(text.trimmed()), label->width()) << item.id;
            EXPECT_LE(fm.height(), label->height()) << item.id;
        } else if (auto* radio = dynamic_cast<QRadioButton*>(w)) {
            EXPECT_LE(radio->sizeHint().width(), radio->width()) << item.id;
            EXPECT_LE(fm.height(), radio->height()) << item.id;
        } else if (auto* button = dynamic_cast<QPushButton*>(w)) {
            const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            EXPECT_LE(fm.horizontalAdvance(text) + 2 * margin, button->width()) << item.id;
            EXPECT_LE(fm.height() + 4, button->height()) << item.id;
        } else if (auto* frame = dynamic_cast<QGroupBox*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(text) + 2 * fm.averageCharWidth(), frame->width()) << item.id;
        }
    }
    // The protocol choice shows its only entry whole, arrow included.
    auto* protocol = dynamic_cast<QComboBox*>(dialog.GetDlgItem(IDC_PROTOCOL));
    EXPECT_LE(protocol->minimumSizeHint().width(), protocol->width());
    // An address box shows 255 in each field.
    auto* box = dialog.GetAddressBox(IDC_IPV4_MASK);
    box->SetAddress(0xFFFFFFFFu);
    EXPECT_LE(fm.horizontalAdvance(QStringLiteral("255")), box->Field(0)->contentsRect().width());
}

// Run at every display scale (QT_SCALE_FACTOR 1, 1.25, 1.5, 2). Guards against a text the
// scaled font no longer fits into its control, and against controls running into each
// other: the frames are drawn around controls and a radio button stands on a frame's line,
// so only the frames may be crossed.
TEST(MainTemplate, TextsFitAndControlsStayApartAtThisScale) {
    CDialog dialog(MainDialogTemplate());
    dialog.Create();
    const QFontMetrics fm(dialog.font());
    const std::vector<QWidget*>& controls = dialog.Controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (dynamic_cast<QGroupBox*>(controls[i]) != nullptr) continue;
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            if (dynamic_cast<QGroupBox*>(controls[j]) != nullptr) continue;
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << " overlaps " << controls[j]->objectName().toStdString();
        }
    }
    // A frame's caption ends before the frame does, and stays clear of the controls it holds.
    for (auto* frame : dialog.findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) {
        if (frame->title().isEmpty()) continue;
        const QRect caption(frame->x() + fm.averageCharWidth(), frame->y(), fm.horizontalAdvance(frame->title()),
                            fm.height());
        for (QWidget* w : controls) {
            if (dynamic_cast<QGroupBox*>(w) != nullptr) continue;
            EXPECT_FALSE(caption.intersects(w->geometry())) << frame->objectName().toStdString();
        }
    }
    // The edits and the address fields show a line of text whole.
    for (auto* edit : dialog.findChildren<QLineEdit*>()) {
        if (!edit->isVisibleTo(&dialog)) continue;
        EXPECT_LE(fm.height(), edit->contentsRect().height()) << edit->parentWidget()->objectName().toStdString();
    }
    // The drop-down lists show their entries whole, arrow included.
    dialog.ComboAddString(IDC_ADAPTER, u"MAC: 02-00-5e-00-01-01,   IP: 192.168.100.200");
    for (const int id : {IDC_ADAPTER, IDC_PROTOCOL}) {
        auto* combo = dynamic_cast<QComboBox*>(dialog.GetDlgItem(id));
        combo->setCurrentIndex(combo->count() - 1);
        EXPECT_LE(combo->minimumSizeHint().width(), combo->width()) << id;
        EXPECT_LE(fm.height(), combo->height()) << id;
    }
}

using MainWindow = AppFixture;

// Guards against a control the keyboard cannot reach, or reaches out of template order:
// Tab visits every enabled tab stop in template order and wraps round; Shift+Tab goes back.
TEST_F(MainWindow, TabVisitsTheEnabledControlsInTemplateOrder) {
    CTelvaneDlg dialog;
    dialog.Create();
    for (const DLG_ITEM_TEMPLATE& item : MainDialogTemplate().items)
        if (item.tab_stop) dialog.EnableDlgItem(item.id, true);
    dialog.EnableDlgItem(IDC_IPV4_DNS_AUTO, false);  // a disabled one is passed over
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    std::vector<int> expected;
    for (const DLG_ITEM_TEMPLATE& item : MainDialogTemplate().items)
        if (item.tab_stop && item.id != IDC_IPV4_DNS_AUTO) expected.push_back(item.id);
    // The control (not the field of an address box) that has the focus.
    const auto focused = [&dialog] {
        for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget())
            if (w->parentWidget() == &dialog) return w->objectName().toInt();
        return 0;
    };
    dialog.GotoDlgCtrl(expected.front());
    std::vector<int> forward;
    for (std::size_t i = 0; i <= expected.size(); ++i) {
        forward.push_back(focused());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    std::vector<int> wanted = expected;
    wanted.push_back(expected.front());
    EXPECT_EQ(forward, wanted);
    dialog.GotoDlgCtrl(expected.front());
    std::vector<int> backward;
    for (std::size_t i = 0; i <= expected.size(); ++i) {
        backward.push_back(focused());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    }
    std::reverse(wanted.begin(), wanted.end());
    EXPECT_EQ(backward, wanted);
}

// Guards against two controls sharing a mnemonic, or one that does not reach its control.
TEST_F(MainWindow, EveryMnemonicIsUniqueAndPressesItsButton) {
    CTelvaneDlg dialog;
    dialog.Create();
    dialog.EnableDlgItem(IDC_ENUMERATE, true);
    dialog.EnableDlgItem(IDC_SET_IP, true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    std::map<QChar, int> mnemonics;
    for (const DLG_ITEM_TEMPLATE& item : MainDialogTemplate().items) {
        const QString text = QString::fromUtf8(item.text);
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= text.size()) continue;
        const QChar letter = text[at + 1].toLower();
        EXPECT_TRUE(mnemonics.emplace(letter, item.id).second) << "Alt+" << letter.toLatin1() << " twice";
    }
    EXPECT_EQ(mnemonics.size(), 3u);
    std::vector<int> pressed;
    for (const auto& [letter, control] : mnemonics) {
        const int id = control;
        auto* button = dynamic_cast<QPushButton*>(dialog.GetDlgItem(id));
        ASSERT_NE(button, nullptr) << id;
        QObject::connect(button, &QPushButton::clicked, &dialog, [&pressed, id] { pressed.push_back(id); });
        QTest::keyClick(&dialog, letter.toLatin1(), Qt::AltModifier);
        // A mnemonic presses its button as a click with the mouse would, a moment later.
        EXPECT_TRUE(QTest::qWaitFor([&pressed, id] { return !pressed.empty() && pressed.back() == id; }, 1000))
            << "Alt+" << letter.toLatin1();
    }
    // Enumerate with no adapter ends at once; Set IP without a device says so; Exit ends.
    EXPECT_EQ(pressed, (std::vector<int>{IDC_ENUMERATE, IDC_SET_IP, IDC_EXIT}));
}

// Guards against a list the keyboard cannot work: the arrows select a row and fill the
// panel with its device, and Shift+F10 or the Menu key opens the row's menu under it.
TEST_F(MainWindow, ListWorksByKeys) {
    CTelvaneDlg dialog;
    dialog.Create();
    for (std::uint8_t i = 1; i <= 3; ++i) {
        const Bytes r = Reply().Mac(i).Address(static_cast<std::uint8_t>(20 + i)).Sealed();
        dialog.OnDatagram(r.data(), static_cast<int>(r.size()), "192.0.2.9", 18768);
    }
    dialog.EnableActionControls(true);
    dialog.SelectDevice(0);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    dialog.GotoDlgCtrl(IDC_DEVICE_LIST);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(dialog.table.selected_index, 2);
    std::uint32_t address = 0;
    dialog.GetAddressBox(IDC_IPV4_ADDRESS)->GetAddress(address);
    EXPECT_EQ(address & 0xFFu, 23u);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(dialog.table.selected_index, 1);

    const auto open_menu = [list] { return list->findChild<QMenu*>(); };
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QMenu* menu = open_menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->activeAction(), menu->actions().constFirst());
    // The menu is the keyboard's row's: under it, and copying its MAC.
    const QRect row = list->visualRect(list->model()->index(1, 0));
    EXPECT_EQ(menu->pos(), list->viewport()->mapToGlobal(row.bottomLeft()));
    menu->close();
    QApplication::processEvents();
    QContextMenuEvent by_menu_key(QContextMenuEvent::Keyboard, QPoint(1, 1), list->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(list, &by_menu_key);
    menu = open_menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    menu->close();
    delete menu;
    // While a procedure runs the list is disabled, and its keys open nothing.
    dialog.EnableActionControls(false);
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QApplication::sendEvent(list, &by_menu_key);
    EXPECT_EQ(open_menu(), nullptr);
}

// Saves a rendered picture where TELVANE_SCREENSHOT says, with suffix before the
// extension when given ("main-window-empty.png").
void SavePicture(const QImage& picture, const QString& suffix = {}) {
    const char* path = std::getenv("TELVANE_SCREENSHOT");
    if (path == nullptr) return;
    const QFileInfo file(QString::fromLocal8Bit(path));
    QString name = file.absoluteFilePath();
    if (!suffix.isEmpty())
        name = file.absolutePath() + QLatin1Char('/') + file.completeBaseName() + suffix + QLatin1Char('.') +
               file.suffix();
    QDir().mkpath(file.absolutePath());
    EXPECT_TRUE(picture.save(name));
}

// The window as an enumeration leaves it, adapter shown.
void ShowAsEnumerated(CTelvaneDlg& dialog) {
    dynamic_cast<QComboBox*>(dialog.GetDlgItem(IDC_ADAPTER))->clear();
    dialog.ComboSetCurSel(IDC_ADAPTER,
                          dialog.ComboAddString(IDC_ADAPTER, u"MAC: 02-00-5e-00-01-01,   IP: 192.168.1.2"));
    dialog.ComboSetCurSel(IDC_PROTOCOL, 0);
    for (const int id : {IDC_ADAPTER_LABEL, IDC_PROTOCOL_LABEL}) dialog.EnableDlgItem(id, true);
}

// Renders the window with devices listed; TELVANE_SCREENSHOT names the picture file.
// Guards against a reply handed to the window not becoming a table entry and a row.
TEST_F(MainWindow, RepliesBecomeRowsAndThePictureIsRendered) {
    CTelvaneDlg dialog;
    dialog.Create();
    const std::vector<Bytes> replies = {
        Reply().Mac(0x5F).Address(21).Model("TLV-200X").Extension(0x0B, 13, Text("Lobby camera")).Sealed(),
        Reply().Model("TLV-100").Sealed(),
        Reply().Mac(0x60).Address(22).Model("TLV-600").Extension(0x0F, 27, Utf16Name(u"Überwachung 2")).Sealed(),
        Reply().Mac(0x61).Address(23).Status(0x02).Model("TLV-100").Sealed(),
        Reply().Mac(0x62).Ipv4(10, 0, 0, 9).Model("TLV-300").Extension(0x01, 7, Text("Printer")).Sealed(),
    };
    for (const Bytes& r : replies) dialog.OnDatagram(r.data(), static_cast<int>(r.size()), "192.0.2.9", 18768);
    dialog.OnDatagram(replies[1].data(), static_cast<int>(replies[1].size()), "192.0.2.9", 18768);
    ASSERT_EQ(dialog.table.device_count, 5);
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    ASSERT_EQ(list->topLevelItemCount(), 5);

    // The look after an enumeration that found these devices.
    ShowAsEnumerated(dialog);
    dialog.EnableActionControls(true);
    // The first device's settings, as SelectDevice shows them.
    dialog.SelectDevice(0);
    EXPECT_EQ(dialog.table.selected_index, 0);
    EXPECT_NE(dialog.table.entries[0].state & STATE_SELECTED, 0);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_IPV6_ADDRESS), u"fe80::1");
    dialog.ListView().Invalidate(true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage picture = dialog.grab().toImage();
    ASSERT_EQ(picture.size(), dialog.size() * picture.devicePixelRatio());
    SavePicture(picture);
}

// Renders the list's own notes: nothing answered, and a full table with more answers
// (the pictures get "-empty" and "-full" after TELVANE_SCREENSHOT's name). Guards
// against a note that is not painted where the rows would be, or is cut off.
TEST_F(MainWindow, EmptyAndFullListsExplainThemselves) {
    CTelvaneDlg dialog;
    dialog.Create();
    ShowAsEnumerated(dialog);
    // What an enumeration that found nothing leaves usable.
    for (const int id : {IDC_EXIT, IDC_ENUMERATE, IDC_ADAPTER, IDC_PROTOCOL, IDC_IPV4_GROUP})
        dialog.EnableDlgItem(id, true);
    dialog.ListView().SetEnumeratedAdapter(u"192.168.1.2");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(IDC_DEVICE_LIST));
    auto* note = list->viewport()->findChild<QLabel*>(QStringLiteral("emptyNote"));
    ASSERT_NE(note, nullptr);
    ASSERT_TRUE(note->isVisible());
    EXPECT_LE(note->heightForWidth(note->width()), note->height()) << "the note is cut off";
    SavePicture(dialog.grab().toImage(), QStringLiteral("-empty"));

    for (int i = 0; i <= DEVICE_TABLE_CAPACITY; ++i) {
        const Bytes r = Reply().Mac(static_cast<std::uint8_t>(i)).Address(static_cast<std::uint8_t>(i)).Sealed();
        dialog.OnDatagram(r.data(), static_cast<int>(r.size()), "192.168.1.9", 18768);
    }
    dialog.EnableActionControls(true);
    dialog.SelectDevice(0);
    dialog.ListView().Invalidate(true);
    ASSERT_EQ(dialog.ListView().FullNoteText(), u"100 devices shown; more answered.");
    auto* full = list->findChild<QLabel*>(QStringLiteral("fullNote"));
    ASSERT_NE(full, nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(full->isVisible());
    EXPECT_LE(full->sizeHint().width(), full->width()) << "the note is cut off";
    EXPECT_FALSE(note->isVisible());
    SavePicture(dialog.grab().toImage(), QStringLiteral("-full"));
}

}  // namespace
}  // namespace telvane
