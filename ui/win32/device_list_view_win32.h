#pragma once

// The device list of the main window on the system's list view (report view): one row per
// entry of the device table, in table order (row i is entry i). Rows hold only their four
// texts; colours, tooltips and the notes are read from the table whenever they are drawn.

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "ui/device_list_core.h"

namespace telvane {

class CDialog;

class CDeviceListView final : public CDeviceListCore {
public:
    // Takes over the look and the notifications of the dialog's list control_id; table belongs
    // to the window and outlives the list.
    CDeviceListView(CDialog& dialog, int control_id, const DEVICE_TABLE& table);

    // Columns 0..count-1 (headings, widths scaled to the dialog's font, left-aligned), then
    // full-row selection with row tooltips.
    void InsertListColumns(int count, std::span<const LIST_COLUMN> columns);
    int AddDeviceRow(std::int32_t index, const DEVICE_INFO& entry) override;
    void DeleteAllItems() override;
    void Invalidate(bool erase) override;
    // LVM_SETSELECTIONMARK: marks row (or none for a row not in the list).
    void SetSelectionMark(int row);
    int SelectionMark() const;

    // The context menu of a row (Copy Row / MAC / IPv4 address, Open Web Page), or nullptr
    // when row shows no device; the caller destroys it.
    HMENU CreateRowMenu(int row) const;

    // The notes are painted after the rows.
    void UpdateNotes() override;
    std::u16string EmptyNoteText() const override;
    std::u16string FullNoteText() const override;

    HWND List() const { return list_; }
    // Scales the columns from the DPI they were drawn for to dpi.
    void OnScaleChanged(UINT dpi);
    // The answer to the list's custom-draw notification: the rows' colours from their
    // entries' states, whatever the control's own selection, and the notes after painting.
    LRESULT OnDeviceListCustomDraw(NMLVCUSTOMDRAW& draw) const;

private:
    bool OnNotify(NMHDR* header, LRESULT* result);
    void OnContextMenu(int x, int y);
    void CopyText(const std::u16string& text) const;
    void DrawNotes(HDC dc) const;
    int RowCount() const;

    CDialog& dialog_;
    HWND list_;
    UINT dpi_ = 0;        // the DPI the column widths are drawn for
    std::u16string tip_;  // the text of the last tooltip asked for, alive while it shows
};

}  // namespace telvane
