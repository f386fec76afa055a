#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/device_list_view.h"
#include "inventory/reply_intake.h"
#include "inventory/row_text.h"
#include "protocol/text.h"
#include "tests/inventory/reply_builder.h"

namespace telvane {
namespace {

// A stand-in for the main window: the list as IDC_DEVICE_LIST, the table, and the
// handlers wired as the window wires them.
class ListWindow : public ::testing::Test {
protected:
    QDialog window;
    QTreeWidget* list = new QTreeWidget(&window);
    DEVICE_TABLE table;
    CDeviceListView view{list, table};
    std::vector<std::pair<int, bool>> item_changes;
    std::vector<int> clicks;
    int select_calls = 0;

    void SetUp() override {
        list->setObjectName(QStringLiteral("1127"));
        list->setGeometry(10, 10, 620, 300);
        window.resize(640, 320);
        view.InsertListColumns(DEVICE_LIST_COLUMN_COUNT, DEVICE_LIST_COLUMNS);
        QObject::connect(&view, &CDeviceListView::headerItemClicked, &window, [this](int column) {
            view.SortDeviceList(table, column, [this](int i) { SelectDevice(i); });
        });
        QObject::connect(&view, &CDeviceListView::listItemChanged, &window, [this](int row, bool selected) {
            item_changes.emplace_back(row, selected);
            if (!selected) return;
            SelectDevice(row);
            view.Invalidate(true);
        });
        QObject::connect(&view, &CDeviceListView::listClicked, &window, [this](int row) {
            clicks.push_back(row);
            if (row == -1) return;
            SelectDevice(row);
            view.Invalidate(true);
        });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // The window's selection: STATE_SELECTED moves to index; outside the table nothing.
    void SelectDevice(int index) {
        ++select_calls;
        if (index < 0 || index >= table.device_count) return;
        table.selected_index = index;
        for (int i = 0; i < table.device_count; ++i) Entry(i).state &= static_cast<std::uint8_t>(~STATE_SELECTED);
        Entry(index).state |= STATE_SELECTED;
    }

    void Take(const Bytes& reply) {
        OnDatagram(table, reply, true, [this](std::int32_t i, const DEVICE_INFO& e) { view.AddDeviceRow(i, e); });
    }
    DEVICE_INFO& Entry(int i) { return table.entries[static_cast<std::size_t>(i)]; }
    QString Cell(int row, int column) const { return list->topLevelItem(row)->text(column); }

    // Row i must show entry i's four texts, and there must be exactly one row per entry.
    void ExpectRowsShowTheTable() {
        ASSERT_EQ(list->topLevelItemCount(), table.device_count);
        for (int i = 0; i < table.device_count; ++i) {
            const DEVICE_INFO& e = Entry(i);
            EXPECT_EQ(Cell(i, 0), QString::fromStdU16String(VisibleText(DeviceNameText(e)))) << "row " << i;
            EXPECT_EQ(Cell(i, 1), QString::fromStdU16String(VisibleText(ModelNameText(e)))) << "row " << i;
            EXPECT_EQ(Cell(i, 2), QString::fromStdU16String(MacText(e))) << "row " << i;
            EXPECT_EQ(Cell(i, 3), QString::fromStdU16String(IpAddressText(e))) << "row " << i;
        }
    }

    QImage Render() {
        QApplication::processEvents();
        return list->viewport()->grab().toImage();
    }
    QRect CellRect(int row, int column) const { return list->visualRect(list->model()->index(row, column)); }
    // The background of a cell, away from its text: just inside its left and right edges.
    std::vector<QColor> CellEdges(const QImage& image, int row) const {
        std::vector<QColor> out;
        const qreal dpr = image.devicePixelRatio();
        for (int c = 0; c < DEVICE_LIST_COLUMN_COUNT; ++c) {
            const QRect r = CellRect(row, c) & list->viewport()->rect();
            for (int x : {r.left() + 1, r.right() - 1}) {
                out.push_back(image.pixelColor(static_cast<int>(x * dpr), static_cast<int>(r.center().y() * dpr)));
            }
        }
        return out;
    }
    QPoint BelowTheRows() const { return QPoint(20, CellRect(table.device_count - 1, 0).bottom() + 30); }
};

// Guards against a device's name breaking its row into lines or reordering the row's
// text: line breaks, other controls and direction overrides are shown as escapes, and
// the row is as high as a plain one.
TEST_F(ListWindow, NamesWithControlsStayOnOneLineAndShowTheirControls) {
    Take(Reply().Mac(1).Extension(0, 7, Text("Plain 1")).Sealed());
    Take(Reply().Mac(2).Model("M\x1b[31m\x7f").Extension(0, 12, Text("Line\r\nBreak\x01")).Sealed());
    const Bytes wide = Utf16Name(u"abc\u202etxt.exe\u2028x\u0085");
    Take(Reply().Mac(3).Extension(0, static_cast<std::uint8_t>(wide.size()), wide).Sealed());
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("Line\\x0d\\x0aBreak\\x01"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("M\\x1b[31m\\x7f"));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("abc\\u202etxt.exe\\u2028x\\x85"));
    Render();
    EXPECT_EQ(CellRect(1, 0).height(), CellRect(0, 0).height());
    EXPECT_EQ(list->sizeHintForRow(1), list->sizeHintForRow(0));
    // What the row offers to copy is what it shows.
    std::unique_ptr<QMenu> menu(view.CreateRowMenu(1, &window));
    menu->findChild<QAction*>(QStringLiteral("copyRow"))->trigger();
    EXPECT_FALSE(QGuiApplication::clipboard()->text().contains(QLatin1Char('\n')));
    ExpectRowsShowTheTable();
}

// Guards against an empty list that says nothing after an enumeration, a note that
// stays once a row exists or shows while an enumeration runs, and a full table that
// hides that more devices answered.
TEST_F(ListWindow, NotesSayWhatTheRowsCannot) {
    const auto* empty = list->viewport()->findChild<QLabel*>(QStringLiteral("emptyNote"));
    const auto* full = list->findChild<QLabel*>(QStringLiteral("fullNote"));
    ASSERT_NE(empty, nullptr);
    ASSERT_NE(full, nullptr);
    EXPECT_TRUE(view.EmptyNoteText().empty());
    view.SetEnumeratedAdapter(u"192.0.2.1");
    list->setEnabled(false);  // as after an enumeration that found nothing
    EXPECT_TRUE(QString::fromStdU16String(view.EmptyNoteText()).startsWith(QStringLiteral("No device answered on 192.0.2.1.\n")));
    EXPECT_TRUE(QString::fromStdU16String(view.EmptyNoteText()).contains(QStringLiteral("telvane-cli doctor")));
    EXPECT_TRUE(empty->isVisible());
    EXPECT_TRUE(list->viewport()->rect().contains(empty->geometry()));
    EXPECT_TRUE(view.FullNoteText().empty());
    // A late reply: the row replaces the note.
    Take(Reply().Mac(1).Sealed());
    EXPECT_TRUE(view.EmptyNoteText().empty());
    EXPECT_FALSE(empty->isVisible());
    list->setEnabled(true);

    for (int i = 2; i <= DEVICE_TABLE_CAPACITY; ++i)
        Take(Reply().Mac(static_cast<std::uint8_t>(i)).Address(static_cast<std::uint8_t>(i)).Sealed());
    ASSERT_EQ(list->topLevelItemCount(), DEVICE_TABLE_CAPACITY);
    EXPECT_TRUE(view.FullNoteText().empty()) << "full, but nobody more answered";
    Take(Reply().Mac(201).Address(201).Sealed());
    view.UpdateNotes();  // the window does so after every datagram
    EXPECT_EQ(view.FullNoteText(), u"100 devices shown; more answered.");
    EXPECT_TRUE(full->isVisible());
    // Beside the scroll bar, below the rows: it covers none of them.
    const QRect note(full->mapTo(list, QPoint(0, 0)), full->size());
    const QRect rows(list->viewport()->mapTo(list, QPoint(0, 0)), list->viewport()->size());
    EXPECT_FALSE(note.intersects(rows));
    EXPECT_TRUE(list->rect().contains(note));

    // A new enumeration starts: nothing to say until it ends.
    view.SetEnumeratedAdapter(u"");
    view.DeleteAllItems();
    EXPECT_TRUE(view.EmptyNoteText().empty());
    EXPECT_TRUE(view.FullNoteText().empty());
}

// Every name form, through the real intake, as the cells show it; guards against a
// row built from anything but the entry it stands for.
TEST_F(ListWindow, RowTextsForEveryNameForm) {
    Take(Reply().Mac(1).Extension(EXT_IPV6, 17, Text("B\xC3\xBCro-Drucker 2")).Sealed());  // UTF-8 bytes
    Take(Reply().Mac(2).Extension(0, 4, Text("Caf\xE9")).Sealed());                        // Windows-1252
    const Bytes wide = Utf16Name(u"Ger\u00E4t \u6E2C\u8A66");
    Take(Reply().Mac(3).Extension(EXT_DHCP6, static_cast<std::uint8_t>(wide.size()), wide).Sealed());
    Take(Reply().Mac(4).Extension(0, 9, Bytes{0x05, 'n', 'a', 'm', 'e'}).Sealed());
    Take(Reply().Mac(5).Model("ABCDEFGHIJKLMNOP").Ipv4(10, 0, 0, 10).Sealed());  // no extension
    ASSERT_EQ(list->topLevelItemCount(), 5);

    EXPECT_EQ(Cell(0, 0), QStringLiteral("B\u00FCro-Drucker 2"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("192.168.1.20 (fe80::1)"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("Caf\u00E9"));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("Ger\u00E4t \u6E2C\u8A66"));
    EXPECT_EQ(Cell(2, 3), QStringLiteral("192.168.1.20"));  // extension without IPv6
    EXPECT_EQ(Cell(3, 0), QStringLiteral("Invalid Device Name!!!"));
    EXPECT_EQ(Cell(4, 0), QStringLiteral("N/A"));
    EXPECT_EQ(Cell(4, 1), QStringLiteral("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(Cell(4, 2), QStringLiteral("00-1a-2b-3c-4d-05"));
    EXPECT_EQ(Cell(4, 3), QStringLiteral("10.0.0.10"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("MODEL01"));
    ExpectRowsShowTheTable();
}

TEST_F(ListWindow, ColumnsHaveTheirHeadingsLeftAlignedAndFitTheFont) {
    ASSERT_EQ(list->columnCount(), 4);
    const QStringList headings = {"Device Name", "Model Name", "MAC Address", "IP Address"};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(list->headerItem()->text(c), headings[c]);
        EXPECT_EQ(list->headerItem()->textAlignment(c) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        const int wanted = ScaledColumnWidth(DEVICE_LIST_COLUMNS[static_cast<std::size_t>(c)].width, list->font());
        EXPECT_GE(list->header()->sectionSize(c), std::min(wanted, list->viewport()->width() / 4)) << c;
        // A heading never gets cut.
        EXPECT_GE(list->header()->sectionSize(c), list->fontMetrics().horizontalAdvance(headings[c])) << c;
    }
    // Widths keep the layout's proportions for the font in use.
    EXPECT_LT(ScaledColumnWidth(75, list->font()), ScaledColumnWidth(140, list->font()));
    QFont big = list->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    EXPECT_GT(ScaledColumnWidth(140, big), ScaledColumnWidth(140, list->font()));
}

// The colour rules in their order, over the whole row, read from rendered pixels.
TEST_F(ListWindow, RowColoursFollowTheTableInOrder) {
    for (std::uint8_t i = 0; i < 6; ++i) Take(Reply().Mac(i).Status(i < 2 ? STATUS_LOCKED : 0).Sealed());
    Entry(0).state = STATE_SET_FAILED | STATE_SELECTED;  // locked and selected
    Entry(1).state = STATE_SET_FAILED;                   // locked and failed
    Entry(2).state = STATE_SET_OK;
    Entry(3).state = STATE_SET_FAILED;
    Entry(4).state = STATE_NORMAL;
    Entry(5).state = STATE_SET_OK | STATE_SELECTED;
    view.Invalidate(false);
    const QImage image = Render();

    const QPalette& p = list->palette();
    const QColor highlight = p.color(QPalette::Active, QPalette::Highlight);
    const std::vector<std::pair<int, QColor>> expected = {
        {0, highlight},
        {1, QColor(208, 208, 208)},
        {2, QColor(0, 255, 0)},
        {3, QColor(255, 0, 0)},
        {4, p.color(QPalette::Active, QPalette::Base)},
        {5, highlight},
    };
    for (const auto& [row, colour] : expected) {
        for (const QColor& seen : CellEdges(image, row)) EXPECT_EQ(seen.rgb(), colour.rgb()) << "row " << row;
    }

    // The selected row's text is drawn in the highlight text colour (light on the dark
    // highlight here), not in the default text colour: its glyphs are lighter than the
    // background, which black text never is.
    const QColor text = p.color(QPalette::Active, QPalette::HighlightedText);
    ASSERT_GT(text.lightness(), highlight.lightness() + 60);
    const QRect model_cell = CellRect(0, 1);
    int light_pixels = 0;
    for (int y = model_cell.top(); y <= model_cell.bottom(); ++y) {
        for (int x = model_cell.left(); x <= model_cell.right(); ++x) {
            light_pixels += image.pixelColor(x, y).lightness() > highlight.lightness() + 40;
        }
    }
    EXPECT_GT(light_pixels, 10);
}

// The widget's own selection must never decide which row looks selected: the table does,
// also after a rebuild has cleared the widget's selection.
TEST_F(ListWindow, WidgetSelectionNeverDecidesTheSelectedLook) {
    for (std::uint8_t i = 0; i < 3; ++i) Take(Reply().Mac(i).Sealed());
    SelectDevice(0);
    {
        const QSignalBlocker quiet(&view);  // the window does not hear of it
        list->setCurrentItem(list->topLevelItem(2));
    }
    ASSERT_TRUE(list->topLevelItem(2)->isSelected());
    QImage image = Render();
    const QColor highlight = list->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor base = list->palette().color(QPalette::Active, QPalette::Base);
    for (const QColor& seen : CellEdges(image, 0)) EXPECT_EQ(seen.rgb(), highlight.rgb());
    for (const QColor& seen : CellEdges(image, 2)) EXPECT_EQ(seen.rgb(), base.rgb());

    view.RefillDeviceList();
    view.Invalidate(false);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    image = Render();
    for (const QColor& seen : CellEdges(image, 0)) EXPECT_EQ(seen.rgb(), highlight.rgb());
}

// The selection mark says where the keyboard goes on; it selects nothing and no row
// changes its look.
TEST_F(ListWindow, SelectionMarkChangesNoRowsLook) {
    for (std::uint8_t i = 0; i < 3; ++i) Take(Reply().Mac(i).Sealed());
    Entry(1).state = STATE_SET_OK;
    const QImage before = Render();
    view.SetSelectionMark(0);
    const QImage after = Render();
    EXPECT_EQ(view.SelectionMark(), 0);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_TRUE(item_changes.empty());
    EXPECT_EQ(select_calls, 0);
    EXPECT_TRUE(before == after);
    view.SetSelectionMark(3);  // not a row: no mark
    EXPECT_EQ(view.SelectionMark(), -1);
    view.SetSelectionMark(2);
    view.DeleteAllItems();
    EXPECT_EQ(view.SelectionMark(), -1);
}

// A click on a row: item-changed (now selected) then click, both with the row; a click
// below the rows reports -1 and changes no selection.
TEST_F(ListWindow, ClicksReportTheRowOrMinusOneBelowTheRows) {
    for (std::uint8_t i = 0; i < 3; ++i) Take(Reply().Mac(i).Sealed());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellRect(1, 2).center());
    EXPECT_EQ(item_changes, (std::vector<std::pair<int, bool>>{{1, true}}));
    EXPECT_EQ(clicks, std::vector<int>{1});
    EXPECT_EQ(table.selected_index, 1);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellRect(2, 0).center());
    EXPECT_EQ(item_changes, (std::vector<std::pair<int, bool>>{{1, true}, {1, false}, {2, true}}));
    EXPECT_EQ(table.selected_index, 2);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, BelowTheRows());
    EXPECT_EQ(clicks, (std::vector<int>{1, 2, -1}));
    EXPECT_EQ(table.selected_index, 2);
    EXPECT_EQ(Entry(2).state & STATE_SELECTED, STATE_SELECTED);
}

// The second click on an already selected row (after a rebuild dropped the widget's
// selection, or not) still reaches the window as a click.
TEST_F(ListWindow, ClickOnTheWidgetSelectedRowStillReportsIt) {
    for (std::uint8_t i = 0; i < 2; ++i) Take(Reply().Mac(i).Sealed());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellRect(1, 0).center());
    SelectDevice(0);  // as the set procedure's rebuild path may leave it
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellRect(1, 0).center());
    EXPECT_EQ(clicks, (std::vector<int>{1, 1}));
    EXPECT_EQ(table.selected_index, 1);
}

// Heading clicks sort the table, rebuild the list so row i shows entry i, and select row 0.
TEST_F(ListWindow, HeadingClickSortsRebuildsAndSelectsTheFirstRow) {
    Take(Reply().Mac(1).Ipv4(10, 0, 0, 10).Sealed());
    Take(Reply().Mac(2).Ipv4(10, 0, 0, 9).Sealed());
    Take(Reply().Mac(3).Ipv4(10, 0, 0, 200).Sealed());
    ExpectRowsShowTheTable();
    SelectDevice(2);
    const auto header_click = [this](int column) {
        const QHeaderView* h = list->header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2));
    };
    header_click(3);
    EXPECT_EQ(Cell(0, 3), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("10.0.0.10"));
    EXPECT_EQ(Cell(2, 3), QStringLiteral("10.0.0.200"));
    ExpectRowsShowTheTable();
    EXPECT_EQ(table.selected_index, 0);
    EXPECT_EQ(Entry(0).state & STATE_SELECTED, STATE_SELECTED);
    EXPECT_EQ(Entry(2).state & STATE_SELECTED, 0);

    header_click(3);  // the same heading again: descending
    EXPECT_EQ(Cell(0, 3), QStringLiteral("10.0.0.200"));
    ExpectRowsShowTheTable();

    // A device arriving after the sort is appended below, and the next click ascends again.
    Take(Reply().Mac(4).Ipv4(10, 0, 0, 1).Sealed());
    EXPECT_EQ(Cell(3, 3), QStringLiteral("10.0.0.1"));
    ExpectRowsShowTheTable();
    header_click(3);
    EXPECT_EQ(Cell(0, 3), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(Cell(3, 3), QStringLiteral("10.0.0.200"));
    ExpectRowsShowTheTable();
    // The selected look follows the table after the rebuild.
    const QImage image = Render();
    const QColor highlight = list->palette().color(QPalette::Active, QPalette::Highlight);
    for (const QColor& seen : CellEdges(image, 0)) EXPECT_EQ(seen.rgb(), highlight.rgb());
}

TEST_F(ListWindow, HeadingClickOnAnEmptyListOnlyInvertsTheToggle) {
    const QHeaderView* h = list->header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(1) + 5, h->height() / 2));
    EXPECT_EQ(table.sort_toggles, (std::array<std::uint8_t, 4>{1, 0, 1, 1}));
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(table.selected_index, -1);
    EXPECT_EQ(select_calls, 1);  // asked, and nothing to select
}

// The list never reorders its rows by itself: without the window's handler a heading
// click leaves the rows in table order.
TEST(ListWithoutWindow, HeadingClickAloneDoesNotSortTheRows) {
    QTreeWidget list;
    DEVICE_TABLE table;
    CDeviceListView view(&list, table);
    view.InsertListColumns(4, DEVICE_LIST_COLUMNS);
    for (std::uint8_t i : {std::uint8_t{9}, std::uint8_t{1}}) {
        OnDatagram(table, Reply().Mac(i).Sealed(), false,
                   [&](std::int32_t n, const DEVICE_INFO& e) { view.AddDeviceRow(n, e); });
    }
    list.resize(600, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    int heard = -1;
    QObject::connect(&view, &CDeviceListView::headerItemClicked, &list, [&](int c) { heard = c; });
    const QHeaderView* h = list.header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(2) + 5, h->height() / 2));
    EXPECT_EQ(heard, 2);
    EXPECT_EQ(list.topLevelItem(0)->text(2), QStringLiteral("00-1a-2b-3c-4d-09"));
    EXPECT_EQ(list.topLevelItem(1)->text(2), QStringLiteral("00-1a-2b-3c-4d-01"));
}

// Rows are appended, inserted where asked, or appended when asked past the end; the
// position reported is the one the row got.
TEST_F(ListWindow, AddDeviceRowReportsThePositionItGot) {
    Take(Reply().Mac(1).Sealed());
    Take(Reply().Mac(2).Sealed());
    ExpectRowsShowTheTable();
    DEVICE_INFO extra = Entry(0);
    extra.mac[5] = 0x77;
    EXPECT_EQ(view.AddDeviceRow(50, extra), 2);
    EXPECT_EQ(Cell(2, 2), QStringLiteral("00-1a-2b-3c-4d-77"));
    EXPECT_EQ(view.AddDeviceRow(0, extra), 0);
    EXPECT_EQ(Cell(0, 2), QStringLiteral("00-1a-2b-3c-4d-77"));
    EXPECT_EQ(view.AddDeviceRow(-1, extra), -1);
    EXPECT_EQ(list->topLevelItemCount(), 4);
    view.RefillDeviceList();  // back to the table
    ExpectRowsShowTheTable();
    view.DeleteAllItems();
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

// A rebuild must not look like a user selection to the window.
TEST_F(ListWindow, RebuildSelectsNothing) {
    for (std::uint8_t i = 0; i < 3; ++i) Take(Reply().Mac(i).Sealed());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellRect(1, 0).center());
    item_changes.clear();
    select_calls = 0;
    view.RefillDeviceList();
    view.DeleteAllItems();
    view.RefillDeviceList();
    for (const auto& change : item_changes) EXPECT_FALSE(change.second);
    EXPECT_EQ(select_calls, 0);
    ExpectRowsShowTheTable();
}

// Tooltips and accessible descriptions say in words what the colour says, and follow
// the table without a rebuild.
TEST_F(ListWindow, RowStateInWords) {
    Take(Reply().Mac(1).Status(STATUS_LOCKED).Sealed());
    Take(Reply().Mac(2).Sealed());
    const auto words = [this](int row, int column, int role) {
        return list->model()->index(row, column).data(role).toString();
    };
    EXPECT_EQ(words(0, 0, Qt::ToolTipRole), QStringLiteral("locked"));
    EXPECT_EQ(words(0, 3, Qt::AccessibleDescriptionRole), QStringLiteral("locked"));
    EXPECT_FALSE(list->model()->index(1, 0).data(Qt::ToolTipRole).isValid());
    Entry(1).state = STATE_SET_FAILED;
    EXPECT_EQ(words(1, 2, Qt::ToolTipRole), QStringLiteral("set refused or not answered"));
    Entry(1).state = STATE_SET_OK;
    SelectDevice(1);
    EXPECT_EQ(words(1, 1, Qt::AccessibleDescriptionRole), QStringLiteral("selected, set accepted"));
    // The rows' own data is still only the four texts.
    EXPECT_EQ(words(1, 0, Qt::DisplayRole), QStringLiteral("N/A"));
}

// The context menu copies what the row shows and opens the device's page; it leaves the
// table and the selection alone.
TEST_F(ListWindow, ContextMenuCopiesAndOpensTheWebPage) {
    Take(Reply().Mac(1).Extension(EXT_IPV6, 4, Text("Cam1")).Sealed());
    Take(Reply().Mac(2).Ipv4(203, 0, 113, 7).Sealed());
    std::vector<QUrl> opened;
    view.SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    const std::uint8_t state_before = Entry(0).state;

    std::unique_ptr<QMenu> menu(view.CreateRowMenu(0, &window));
    ASSERT_NE(menu, nullptr);
    const auto trigger = [&menu](const char* name) {
        auto* action = menu->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    };
    trigger("copyRow");
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("Cam1\tMODEL01\t00-1a-2b-3c-4d-01\t192.168.1.20 (fe80::1)"));
    trigger("copyMac");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("00-1a-2b-3c-4d-01"));
    trigger("copyIpv4");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("192.168.1.20"));
    menu.reset(view.CreateRowMenu(1, &window));
    trigger("openWebPage");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), QStringLiteral("http://203.0.113.7/"));

    EXPECT_EQ(view.CreateRowMenu(2, &window), nullptr);
    EXPECT_EQ(view.CreateRowMenu(-1, &window), nullptr);
    EXPECT_EQ(Entry(0).state, state_before);
    EXPECT_EQ(table.selected_index, -1);
    EXPECT_TRUE(item_changes.empty());
}

}  // namespace
}  // namespace telvane

int main(int argc, char** argv) {
    // Before the application exists: test discovery runs this binary at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
