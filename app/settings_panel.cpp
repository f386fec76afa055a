#include "app/telvane_dlg.h"
#include "inventory/device_list_view.h"

namespace telvane {

// For now the selection only: the panel is filled from the entry once its controls'
// rules are in.
void CTelvaneDlg::SelectDevice(std::int32_t index) {
    if (index < 0 || index >= table.device_count) return;
    table.selected_index = index;
    for (std::int32_t i = 0; i < table.device_count; ++i) {
        auto& state = table.entries[static_cast<std::size_t>(i)].state;
        state = static_cast<std::uint8_t>(state & ~STATE_SELECTED);
    }
    auto& selected = table.entries[static_cast<std::size_t>(index)].state;
    selected = static_cast<std::uint8_t>(selected | STATE_SELECTED);
}

void CTelvaneDlg::OnListItemChanged(int row, bool selected) {
    if (!selected) return;
    SelectDevice(row);
    list_view_->Invalidate(true);
}

void CTelvaneDlg::OnListClick(int row) {
    if (row == -1) return;
    SelectDevice(row);
    list_view_->Invalidate(true);
}

}  // namespace telvane
