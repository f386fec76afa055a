#include "ui/qt/device_list_view_qt.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <algorithm>

#include "inventory/row_text.h"
#include "ui/qt/dialog_qt.h"
#include "protocol/text.h"

namespace telvane {

namespace {

// How long new rows may wait before the list is painted with them.
constexpr int REPAINT_HOLD_MS = 100;

// Average character width, in the dialog manager's measure, of the 8-point font the
// column widths were drawn for.
constexpr int DESIGN_FONT_BASE_X = 6;

constexpr int MAC_COLUMN = 2;

// An upper bound for the width of any "00-1a-2b-3c-4d-5e".
int WidestMacText(const QFontMetrics& fm) {
    int digit = 0;
    for (const QChar c : QStringLiteral("0123456789abcdef")) digit = std::max(digit, fm.horizontalAdvance(c));
    return 12 * digit + 5 * fm.horizontalAdvance(QLatin1Char('-'));
}

QString ToQString(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

QColor FromColorref(COLORREF c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

// A row: its four texts, nothing else. What its state means in words is read from the
// table each time it is asked for, so it follows the state without a rebuild.
class CDeviceRowItem final : public QTreeWidgetItem {
public:
    CDeviceRowItem(const QStringList& texts, const DEVICE_TABLE& table, const CDeviceListView::RowHintsFn& hints)
        : QTreeWidgetItem(texts, QTreeWidgetItem::UserType), table_(table), hints_(hints) {}

    QVariant data(int column, int role) const override {
        if (role != Qt::ToolTipRole && role != Qt::AccessibleDescriptionRole) {
            return QTreeWidgetItem::data(column, role);
        }
        QTreeWidget* list = treeWidget();
        if (list == nullptr) return {};
        const int row = list->indexOfTopLevelItem(const_cast<CDeviceRowItem*>(this));
        const std::u16string text = RowTooltipText(table_, row, hints_);
        if (text.empty()) return {};
        return ToQString(text);
    }

private:
    const DEVICE_TABLE& table_;
    const CDeviceListView::RowHintsFn& hints_;
};

// Draws every cell of a row in the colours its table entry's state gives. The widget's
// own selection and hover states are dropped, and the cell is filled first so nothing the
// view drew beneath it (its selection panel) shows through.
class CDeviceRowDelegate final : public QStyledItemDelegate {
public:
    CDeviceRowDelegate(const DEVICE_TABLE& table, QObject* parent) : QStyledItemDelegate(parent), table_(table) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QBrush fill =
            opt.backgroundBrush.style() == Qt::NoBrush
                ? opt.palette.brush(opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                                    QPalette::Base)
                : opt.backgroundBrush;
        painter->fillRect(option.rect, fill);
        QStyledItemDelegate::paint(painter, option, index);
        DrawFocusFrame(painter, opt, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~(QStyle::State_Selected | QStyle::State_MouseOver | QStyle::State_HasFocus);
        const DEVICE_INFO* e = ListedEntry(table_, index.row());
        if (e == nullptr) return;
        switch (RowLookOf(*e)) {
            case RowLook::Selected:
                // The system's highlight, whether or not the list has the focus.
                option->backgroundBrush = option->palette.brush(QPalette::Active, QPalette::Highlight);
                option->palette.setColor(QPalette::Text,
                                         option->palette.color(QPalette::Active, QPalette::HighlightedText));
                break;
            case RowLook::Locked:
                option->backgroundBrush = FromColorref(ROW_COLOUR_LOCKED);
                break;
            case RowLook::SetOk:
                option->backgroundBrush = FromColorref(ROW_COLOUR_SET_OK);
                break;
            case RowLook::SetFailed:
                option->backgroundBrush = FromColorref(ROW_COLOUR_SET_FAILED);
                break;
            case RowLook::Plain:
                break;
        }
    }

private:
    // A dotted frame around the keyboard's row while the list has the focus: an outline
    // only, which no one takes for a selected row. Each cell draws its part of it.
    static void DrawFocusFrame(QPainter* painter, const QStyleOptionViewItem& opt, const QModelIndex& index) {
        const auto* view = qobject_cast<const QAbstractItemView*>(opt.widget);
        if (view == nullptr || !view->hasFocus() || view->currentIndex().row() != index.row()) return;
        const QRect r = opt.rect;
        painter->save();
        painter->setPen(QPen(opt.palette.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (index.column() == 0) painter->drawLine(r.topLeft(), r.bottomLeft());
        if (index.column() == index.model()->columnCount() - 1) painter->drawLine(r.topRight(), r.bottomRight());
        painter->restore();
    }

    const DEVICE_TABLE& table_;
};

// The names are whatever a device on the segment chose to send: shown with their control,
// line-break and direction characters made visible, so each row stays one line in its order.
// A note of the list. The list is disabled after an enumeration that found nothing, and
// a disabled label would be drawn faded; the note reads plainly whatever the list's state.
class CListNote final : public QLabel {
public:
    explicit CListNote(const QString& name, QWidget* parent = nullptr) : QLabel(parent) {
        setObjectName(name);
        setTextFormat(Qt::PlainText);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Active, QPalette::WindowText));
        painter.drawText(contentsRect(), static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0), text());
    }
};

QStringList RowTexts(const DEVICE_INFO& e) {
    QStringList texts;
    for (const std::u16string& cell : RowCellTexts(e)) texts << ToQString(cell);
    return texts;
}

}  // namespace

int ScaledColumnWidth(std::int32_t width, const QFont& font) {
    // The dialog manager's average width: half of (width of the 52 letters / 26 + 1).
    const QFontMetrics fm(font);
    const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int base_x = std::max(1, (letters / 26 + 1) / 2);
    return (width * base_x + DESIGN_FONT_BASE_X / 2) / DESIGN_FONT_BASE_X;
}

CDeviceListView::CDeviceListView(QTreeWidget* list, const DEVICE_TABLE& table, QObject* parent)
    : QObject(parent), CDeviceListCore(table), list_(list), open_url_(&QDesktopServices::openUrl) {
    Q_ASSERT(list != nullptr);
    // A flat, single-selection report list that never sorts or reorders by itself.
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The delegate draws the focus frame; the style's would tint the row like a selection.
    list->setAllColumnsShowFocus(false);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setExpandsOnDoubleClick(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->setAlternatingRowColors(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = list->header();
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Child of the list, so the list never holds a dangling delegate.
    list->setItemDelegate(new CDeviceRowDelegate(table, list));

    connect(header, &QHeaderView::sectionClicked, this, &CDeviceListView::headerItemClicked);
    // The window's handlers hear what the signals say.
    connect(this, &CDeviceListView::headerItemClicked, this, [this](int column) {
        if (on_header_click_) on_header_click_(column);
    });
    connect(this, &CDeviceListView::listItemChanged, this, [this](int row, bool selected) {
        if (on_item_changed_) on_item_changed_(row, selected);
    });
    connect(this, &CDeviceListView::listClicked, this, [this](int row) {
        if (on_click_) on_click_(row);
    });
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CDeviceListView::OnSelectionChanged);
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &CDeviceListView::OnContextMenuRequested);

    // The notes: the empty one over the rows' area, the full one beside the horizontal
    // scroll bar, where it hides no row. Neither takes a click.
    empty_note_ = new CListNote(QStringLiteral("emptyNote"), list->viewport());
    empty_note_->setWordWrap(true);
    empty_note_->setAlignment(Qt::AlignCenter);
    full_note_ = new CListNote(QStringLiteral("fullNote"));
    full_note_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->addScrollBarWidget(full_note_, Qt::AlignLeft);

    repaint_timer_ = new QTimer(this);
    repaint_timer_->setSingleShot(true);
    repaint_timer_->setInterval(REPAINT_HOLD_MS);
    connect(repaint_timer_, &QTimer::timeout, this, &CDeviceListView::ReleaseRepaints);
}

CDeviceListView::CDeviceListView(CDialog& dialog, int control_id, const DEVICE_TABLE& table)
    : CDeviceListView(dynamic_cast<QTreeWidget*>(dialog.GetDlgItem(control_id)), table) {}

// Replies arrive in bursts, each in its own turn of the event loop; painting the list
// after every one of them costs far more than the rows themselves. New rows are shown
// together a moment later instead, which the eye cannot tell from at once.
void CDeviceListView::HoldRepaints() {
    if (list_ == nullptr || repaint_timer_->isActive()) return;
    list_->setUpdatesEnabled(false);
    repaint_timer_->start();
}

void CDeviceListView::ReleaseRepaints() {
    repaint_timer_->stop();
    if (list_ == nullptr) return;
    list_->setUpdatesEnabled(true);
    list_->viewport()->update();
}

CDeviceListView::~CDeviceListView() {
    // The list usually outlives this view (its window deletes it later) and may still lay
    // out its rows then, e.g. when the window hides its children on the way out. Our
    // delegate reads the table, which its owner may have destroyed by that time.
    if (list_ == nullptr) return;
    QAbstractItemDelegate* own = list_->itemDelegate();
    list_->setItemDelegate(new QStyledItemDelegate(list_));
    delete own;
}

void CDeviceListView::InsertListColumns(int count, std::span<const LIST_COLUMN> columns) {
    if (list_ == nullptr) return;
    const int n = std::clamp(count, 0, static_cast<int>(columns.size()));
    list_->setColumnCount(n);
    QTreeWidgetItem* heading = list_->headerItem();
    for (int i = 0; i < n; ++i) {
        const LIST_COLUMN& c = columns[static_cast<std::size_t>(i)];
        heading->setText(i, QString::fromUtf16(c.heading.data(), static_cast<qsizetype>(c.heading.size())));
        heading->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
    }
    QHeaderView* header = list_->header();
    const QFontMetrics fm(list_->font());
    const int cell_margins = 2 * (list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1) + 2;
    for (int i = 0; i < n; ++i) {
        // Never narrower than the heading needs; MAC texts all have one length, and
        // digits run wider than the average letter in many fonts, so that column fits one.
        int width = std::max(ScaledColumnWidth(columns[static_cast<std::size_t>(i)].width, list_->font()),
                             header->sectionSizeHint(i));
        if (i == MAC_COLUMN) width = std::max(width, WidestMacText(fm) + cell_margins);
        header->resizeSection(i, width);
    }
}

int CDeviceListView::AddDeviceRow(std::int32_t index, const DEVICE_INFO& entry) {
    if (list_ == nullptr || index < 0) return -1;
    const int position = std::min(index, list_->topLevelItemCount());
    HoldRepaints();
    list_->insertTopLevelItem(position, new CDeviceRowItem(RowTexts(entry), table_, row_hints_));
    UpdateNotes();
    return position;
}

void CDeviceListView::DeleteAllItems() {
    selection_mark_ = -1;
    if (list_ == nullptr) return;
    list_->clear();
    UpdateNotes();
}

void CDeviceListView::SetSelectionMark(int row) {
    // Only remembered: moving the widget's current row would draw its focus frame there.
    selection_mark_ = row >= 0 && list_ != nullptr && row < list_->topLevelItemCount() ? row : -1;
}

int CDeviceListView::SelectionMark() const {
    return selection_mark_;
}

void CDeviceListView::Invalidate(bool /*erase*/) {
    ReleaseRepaints();
}

QMenu* CDeviceListView::CreateRowMenu(int row, QWidget* parent) {
    const DEVICE_INFO* e = EntryAt(row);
    if (e == nullptr) return nullptr;
    const ROW_MENU_TEXTS texts = RowMenuTexts(row, *e);
    const QString row_text = ToQString(texts.row);
    const QString mac = ToQString(texts.mac);
    const QString ipv4 = ToQString(texts.ipv4);
    const QUrl url(QString::fromStdString(texts.url));

    auto* menu = new QMenu(parent);
    const auto copy = [menu](const QString& name, const QString& caption, const QString& text) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, menu, [text] { QGuiApplication::clipboard()->setText(text); });
    };
    copy(QStringLiteral("copyRow"), tr("&Copy Row"), row_text);
    copy(QStringLiteral("copyMac"), tr("Copy &MAC Address"), mac);
    copy(QStringLiteral("copyIpv4"), tr("Copy &IPv4 Address"), ipv4);
    menu->addSeparator();
    QAction* open = menu->addAction(tr("Open &Web Page"));
    open->setObjectName(QStringLiteral("openWebPage"));
    // A page that cannot be reached from here is explained instead of opened dead.
    connect(open, &QAction::triggered, menu, [opener = open_url_, tell = tell_, url, unreachable = texts.unreachable] {
        if (!unreachable.empty()) {
            if (tell) tell(unreachable);
        } else if (opener) {
            opener(url);
        }
    });
    return menu;
}

std::u16string CDeviceListView::EmptyNoteText() const {
    return empty_note_ != nullptr && !empty_note_->isHidden() ? empty_note_->text().toStdU16String() : std::u16string();
}

std::u16string CDeviceListView::FullNoteText() const {
    return full_note_ != nullptr && !full_note_->isHidden() ? full_note_->text().toStdU16String() : std::u16string();
}

void CDeviceListView::UpdateNotes() {
    if (list_ == nullptr) return;
    const bool enumerated = !enumerated_adapter_.empty();
    const bool empty = enumerated && list_->topLevelItemCount() == 0;
    if (empty != !empty_note_->isHidden()) {
        if (empty) {
            empty_note_->setText(ToQString(EmptyListText()));
            empty_note_->setGeometry(list_->viewport()->rect().adjusted(8, 8, -8, -8));
        }
        empty_note_->setVisible(empty);
    }
    const std::u16string full_text = FullListText();
    const bool full = !full_text.empty();
    if (full != !full_note_->isHidden()) {
        full_note_->setText(ToQString(full_text));
        full_note_->setVisible(full);
        // The note stands beside the scroll bar, so the bar is there while it is.
        list_->setHorizontalScrollBarPolicy(full ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    }
}

void CDeviceListView::SetUrlOpener(UrlOpenerFn opener) {
    open_url_ = std::move(opener);
}

// Filters run before Qt drops the input of a disabled widget, so each path from input to
// a notification asks whether the list may be used at all: while a procedure runs it is
// disabled, and no click, key or menu of it may reach the window.
bool CDeviceListView::Usable() const {
    return list_ != nullptr && list_->isEnabled();
}

bool CDeviceListView::eventFilter(QObject* watched, QEvent* event) {
    // From the keyboard (the Menu key, Shift+F10) the menu is the keyboard's row's, shown
    // beneath it; the position Qt gives then is the mouse pointer's or the row's centre
    // in the wrong widget's coordinates.
    if (list_ != nullptr && watched == list_) {
        const bool menu_event = event->type() == QEvent::ContextMenu &&
                                static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
        const bool shift_f10 = event->type() == QEvent::KeyPress &&
                               static_cast<QKeyEvent*>(event)->key() == Qt::Key_F10 &&
                               static_cast<QKeyEvent*>(event)->modifiers() == Qt::ShiftModifier;
        if (menu_event || shift_f10) {
            OpenKeyboardMenu();
            return true;
        }
    }
    if (list_ != nullptr && watched == list_->viewport() && event->type() == QEvent::Resize)
        empty_note_->setGeometry(list_->viewport()->rect().adjusted(8, 8, -8, -8));
    if (Usable() && watched == list_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            const QModelIndex index = list_->indexAt(mouse->position().toPoint());
            emit listClicked(index.isValid() ? index.row() : -1);
        }
    }
    return QObject::eventFilter(watched, event);
}

void CDeviceListView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    if (!Usable()) return;
    // One notification per row, the row losing the selection first.
    for (const QModelIndex& index : deselected.indexes()) {
        if (index.column() == 0) emit listItemChanged(index.row(), false);
    }
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() == 0) emit listItemChanged(index.row(), true);
    }
}

void CDeviceListView::OnContextMenuRequested(const QPoint& pos) {
    if (!Usable()) return;
    QMenu* menu = CreateRowMenu(list_->indexAt(pos).row(), list_);
    if (menu == nullptr) return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(list_->viewport()->mapToGlobal(pos));
}

void CDeviceListView::OpenKeyboardMenu() {
    if (!Usable()) return;
    int row = list_->currentIndex().row();
    if (EntryAt(row) == nullptr) row = table_.selected_index;
    QMenu* menu = CreateRowMenu(row, list_);
    if (menu == nullptr) return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QRect rect = list_->visualRect(list_->model()->index(row, 0));
    menu->popup(list_->viewport()->mapToGlobal(rect.bottomLeft()));
    // Opened from the keyboard, it starts on its first item, as a menu key's menu does.
    if (!menu->actions().isEmpty()) menu->setActiveAction(menu->actions().constFirst());
}

QTreeWidget* CDeviceListView::List() const {
    return list_.data();
}

}  // namespace telvane
