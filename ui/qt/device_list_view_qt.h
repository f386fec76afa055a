#pragma once

// The device list of the main window: a controller on the window's QTreeWidget that
// shows the device table, one row per entry in table order (row i is entry i). Rows
// hold only their four texts; colours, tooltips and accessible descriptions are read
// from the table whenever they are needed, so a row always looks as its entry's state
// says, whatever the widget's own selection is.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "inventory/device_list.h"

class QFont;
class QItemSelection;
class QLabel;
class QMenu;
class QPoint;
class QTreeWidget;
class QWidget;

namespace telvane {

class CDialog;

// A column width given for the 8-point dialog font the layout was drawn for, scaled to
// the font in use (by the ratio of the average character widths).
int ScaledColumnWidth(std::int32_t width, const QFont& font);

class CDeviceListView final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDeviceListView)

public:
    using SelectDeviceFn = std::function<void(std::int32_t)>;
    using UrlOpenerFn = std::function<bool(const QUrl&)>;
    // What the window knows about a row beyond its entry: sentences for its tooltip and
    // accessible description, and why its web page cannot be reached from here (empty
    // when it can).
    struct ROW_HINTS {
        std::u16string text;
        std::u16string unreachable;
    };
    using RowHintsFn = std::function<ROW_HINTS(int row)>;
    using TellFn = std::function<void(const std::u16string&)>;

    // Takes over the look and the notifications of list; table belongs to the window
    // and must outlive the list's rows.
    CDeviceListView(QTreeWidget* list, const DEVICE_TABLE& table, QObject* parent = nullptr);
    // The same on the dialog's list control_id.
    CDeviceListView(CDialog& dialog, int control_id, const DEVICE_TABLE& table);
    ~CDeviceListView() override;

    // Columns 0..count-1 from columns (headings, widths, left-aligned), full-row selection.
    void InsertListColumns(int count, std::span<const LIST_COLUMN> columns);
    // Inserts entry's row at index (appended when index is past the end) and returns the
    // position it got, or -1 for a negative index.
    int AddDeviceRow(std::int32_t index, const DEVICE_INFO& entry);
    // Every row anew from the table; callers invalidate.
    void RefillDeviceList();
    void DeleteAllItems();
    // Marks row (or none for a row not in the list); selects nothing and changes no
    // row's look. Emptying the list clears the mark.
    void SetSelectionMark(int row);
    int SelectionMark() const;
    // Repaints the whole list. Qt always paints the background, so erase makes no difference.
    void Invalidate(bool erase);

    // The list half of a heading click: sorts table (the one this list shows) by column,
    // rebuilds the list, invalidates it without erasing, then select_device(0) when given.
    // Returns 0, the notification's result.
    std::int32_t SortDeviceList(DEVICE_TABLE& table, int column, const SelectDeviceFn& select_device);

    // The context menu of a row (Copy row / MAC / IPv4 address, Open web page), or
    // nullptr when row shows no device. Its actions use the texts of the moment it opened.
    QMenu* CreateRowMenu(int row, QWidget* parent);
    // How "Open web page" opens its address; QDesktopServices::openUrl unless replaced.
    void SetUrlOpener(UrlOpenerFn opener);
    // The hints of rows; none unless given.
    void SetRowHints(RowHintsFn hints);
    // How "Open web page" says why it does not open a page it cannot reach.
    void SetTeller(TellFn tell);

    QTreeWidget* List() const;

    // What the list says when its rows cannot, painted in its own area: after an
    // enumeration on adapter_address that found nothing, that no device answered there
    // and what to check; when the table is full and more devices answered, that more
    // did. An empty address hides both (an enumeration is under way).
    void SetEnumeratedAdapter(std::u16string_view adapter_address);
    // Shows or hides the notes after the rows or the table's drop count changed.
    void UpdateNotes();
    // The note shown now, or an empty text.
    std::u16string EmptyNoteText() const;
    std::u16string FullNoteText() const;

    // The window's handlers of the notifications below.
    void SetHeaderClickHandler(std::function<void(int column)> handler);
    void SetItemChangedHandler(std::function<void(int row, bool selected)> handler);
    void SetClickHandler(std::function<void(int row)> handler);

signals:
    // A column heading was clicked (column 0..3).
    void headerItemClicked(int column);
    // A row's selected state in the widget changed; selected is its new state.
    void listItemChanged(int row, bool selected);
    // Left click on the list: the row, or -1 for a click outside the rows.
    void listClicked(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnContextMenuRequested(const QPoint& pos);
    // The menu of the keyboard's row, or of the selected device when no row has the keyboard.
    void OpenKeyboardMenu();
    const DEVICE_INFO* EntryAt(int row) const;
    bool Usable() const;

    void HoldRepaints();
    void ReleaseRepaints();

    QPointer<QTreeWidget> list_;
    const DEVICE_TABLE& table_;
    QTimer* repaint_timer_ = nullptr;
    QLabel* empty_note_ = nullptr;
    QLabel* full_note_ = nullptr;
    std::u16string enumerated_adapter_;
    UrlOpenerFn open_url_;
    RowHintsFn row_hints_;
    TellFn tell_;
    int selection_mark_ = -1;
};

}  // namespace telvane
