#include "ui/dialog_core.h"

#include <string>

#include "protocol/text.h"

namespace telvane {

// From net/pumped_wait.h, whose WAIT_* constants windows.h defines as macros.
int PumpDepth();

void CDialogCore::EndDialog(int result) {
    ended_ = true;
    end_result_ = result;
    CloseWindow(result);
}

void CDialogCore::MapNotification(int id, NOTIFICATION code, std::function<void()> handler) {
    message_map_.push_back({id, code, std::move(handler)});
}

std::int64_t CDialogCore::GetDlgItemInt(int id, bool* translated, bool is_signed) const {
    const std::optional<std::int64_t> value = ParseDialogInteger(GetDlgItemText(id), is_signed);
    if (translated != nullptr) *translated = value.has_value();
    return value.value_or(0);
}

void CDialogCore::SetDlgItemInt(int id, std::int64_t value, bool is_signed) {
    const std::string text = is_signed ? std::to_string(static_cast<std::int32_t>(value))
                                       : std::to_string(static_cast<std::uint32_t>(value));
    SetDlgItemText(id, std::u16string(text.begin(), text.end()));
}

bool CDialogCore::OnInitDialog() {
    for (const DLG_INIT_ENTRY& entry : template_.init_data) {
        const std::string_view utf8 = entry.text != nullptr ? entry.text : "";
        ComboAddString(entry.control_id, FromUtf8(utf8));
    }
    UpdateData(false);
    return true;
}

void CDialogCore::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialogCore::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialogCore::DoDataExchange(bool) {}

bool CDialogCore::UpdateData(bool save) {
    DoDataExchange(save);
    return true;
}

bool CDialogCore::DialogKeysSuspended() const {
    return PumpDepth() > 0;
}

void CDialogCore::Notify(int id, NOTIFICATION code) {
    // A disabled control never acts, whatever brought its notification: a keyboard
    // click started just before the control was disabled still ends after it. A change
    // of text is reported whoever made it.
    if (code != NOTIFICATION::CHANGE && !ControlActs(id)) return;
    // A cancel button is a close request: not in the middle of a procedure.
    if (id == IDCANCEL && code == NOTIFICATION::CLICKED && IsBusy()) return;
    bool handled = false;
    // Copied: a handler may end the dialog or map further entries.
    const std::vector<MAP_ENTRY> entries = message_map_;
    for (const MAP_ENTRY& entry : entries) {
        if (entry.id != id || entry.code != code) continue;
        handled = true;
        entry.handler();
    }
    if (handled || code != NOTIFICATION::CLICKED) return;
    if (id == IDOK) OnOK();
    if (id == IDCANCEL) OnCancel();
}

bool CDialogCore::DialogKeyActs(DIALOG_KEY key) const {
    // Inside a pumped wait no key ends the dialog, presses a button or moves the focus,
    // even if a key message slipped through to a nested loop.
    if (DialogKeysSuspended()) return false;
    return key != DIALOG_KEY::ESCAPE || !IsBusy();
}

void CDialogCore::DialogKeyCommand(int id) {
    if (id != IDOK && id != IDCANCEL) return;
    if (!DialogKeyActs(id == IDOK ? DIALOG_KEY::ENTER : DIALOG_KEY::ESCAPE)) return;
    Notify(id, NOTIFICATION::CLICKED);
}

bool CDialogCore::CloseRequested() {
    if (IsBusy()) return false;
    OnCancel();
    return ended_;
}

}  // namespace telvane
