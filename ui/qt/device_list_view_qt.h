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

#include "ui/device_list_core.h"

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

class CDeviceListView final : public QObject, public CDeviceListCore {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDeviceListView)

public:
    using UrlOpenerFn = std::function<bool(const QUrl&)>;

    // Takes over the look and the notifications of list; table belongs to the window
    // and must outlive the list's rows.
    CDeviceListView(QTreeWidget* list, const DEVICE_TABLE& table, QObject* parent = nullptr);
    // The same on the dialog's list control_id.
    CDeviceListView(CDialog& dialog, int control_id, const DEVICE_TABLE& table);
    ~CDeviceListView() override;

    // Columns 0..count-1 from columns (headings, widths, left-aligned), full-row selection.
    void InsertListColumns(int count, std::span<const LIST_COLUMN> columns);
    int AddDeviceRow(std::int32_t index, const DEVICE_INFO& entry) override;
    void DeleteAllItems() override;
    // Marks row (or none for a row not in the list); selects nothing and changes no
    // row's look. Emptying the list clears the mark.
    void SetSelectionMark(int row);
    int SelectionMark() const;
    // Qt always paints the background, so erase makes no difference.
    void Invalidate(bool erase) override;

    // The context menu of a row (Copy row / MAC / IPv4 address, Open web page), or
    // nullptr when row shows no device. Its actions use the texts of the moment it opened.
    QMenu* CreateRowMenu(int row, QWidget* parent);
    // How "Open web page" opens its address; QDesktopServices::openUrl unless replaced.
    void SetUrlOpener(UrlOpenerFn opener);

    QTreeWidget* List() const;

    // The notes are labels in the list's own area.
    void UpdateNotes() override;
    // The texts of the labels shown now.
    std::u16string EmptyNoteText() const override;
    std::u16string FullNoteText() const override;

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
    bool Usable() const;

    void HoldRepaints();
    void ReleaseRepaints();

    QPointer<QTreeWidget> list_;
    QTimer* repaint_timer_ = nullptr;
    QLabel* empty_note_ = nullptr;
    QLabel* full_note_ = nullptr;
    UrlOpenerFn open_url_;
    int selection_mark_ = -1;
};

}  // namespace telvane
