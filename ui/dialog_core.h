#pragma once

// What every dialog obeys, whatever toolkit draws it: notifications routed to their
// handlers, a disabled control that never acts, dialog keys that do nothing inside a
// pumped wait, a close request ignored while busy, the end result, and the exchange of
// data between controls and members. A toolkit's CDialog creates and draws the controls
// and turns the system's messages into the calls below.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_notification.h"
#include "ui/dialog_template.h"

namespace telvane {

// The keys a dialog itself acts on, whichever control has the focus.
enum class DIALOG_KEY : std::uint8_t {
    ESCAPE,  // IDCANCEL
    ENTER,   // the default button, or the focused push button
    TAB,     // the next or previous tab stop
    ARROW,   // the next button of a radio group
};

class CDialogCore {
public:
    explicit CDialogCore(const DLG_TEMPLATE& dialog_template) : template_(dialog_template) {}
    virtual ~CDialogCore() = default;
    CDialogCore(const CDialogCore&) = delete;
    CDialogCore& operator=(const CDialogCore&) = delete;

    // Ends the dialog with result; when called before the window is shown, it never is.
    void EndDialog(int result);
    bool IsEnded() const { return ended_; }
    int EndResult() const { return end_result_; }

    // Routes a notification of control id to handler; handlers run in the order mapped.
    void MapNotification(int id, NOTIFICATION code, std::function<void()> handler);

    // Controls by ID, each toolkit reaching its own. For IDs used more than once
    // (IDC_STATIC), the first in template order.
    virtual void EnableDlgItem(int id, bool enable) = 0;
    // The control's own enabled state, whatever its ancestors.
    virtual bool IsDlgItemEnabled(int id) const = 0;
    // BM_SETCHECK: sets this button only; never clears the other buttons of its group.
    virtual void CheckDlgButton(int id, int check) = 0;
    virtual int IsDlgButtonChecked(int id) const = 0;
    virtual void SetDlgItemText(int id, std::u16string_view text) = 0;
    virtual std::u16string GetDlgItemText(int id) const = 0;
    // Reads the whole text as a decimal integer; *translated tells whether it was one.
    std::int64_t GetDlgItemInt(int id, bool* translated, bool is_signed) const;
    // Like the platform: the value is taken as a 32-bit integer of the given signedness.
    void SetDlgItemInt(int id, std::int64_t value, bool is_signed);
    // EM_LIMITTEXT of an edit.
    virtual void LimitText(int id, int max_chars) = 0;
    // Drop-down lists: CB_ADDSTRING (returns the new index), CB_SETCURSEL (-1 clears),
    // CB_GETCURSEL (-1 for none), CB_GETCOUNT.
    virtual int ComboAddString(int id, std::u16string_view text) = 0;
    virtual void ComboSetCurSel(int id, int index) = 0;
    virtual int ComboGetCurSel(int id) const = 0;
    virtual int ComboGetCount(int id) const = 0;
    // Gives the keyboard focus to a control.
    virtual void GotoDlgCtrl(int id) = 0;
    // Progress bars: PBM_SETRANGE32 and PBM_SETPOS.
    virtual void SetProgressRange(int id, int low, int high) = 0;
    virtual void SetProgressPos(int id, int pos) = 0;
    // The program icon (IDR_MAINFRAME) on the title bar and the task bar.
    virtual void SetProgramIcon() = 0;

    const DLG_TEMPLATE& Template() const { return template_; }

protected:
    // The framework's initialisation: the dialog-initialisation data, then the members
    // into the controls. Overrides call it first.
    virtual bool OnInitDialog();
    // Takes the controls' data into the members (UpdateData(true)) and ends with IDOK.
    virtual void OnOK();
    // Ends with IDCANCEL.
    virtual void OnCancel();
    // Exchanges members with controls: save true reads the controls.
    virtual void DoDataExchange(bool save);
    bool UpdateData(bool save);

    // While true, a close request and Escape are ignored.
    virtual bool IsBusy() const { return false; }
    // While true (inside a pumped wait), the dialog keys do nothing.
    virtual bool DialogKeysSuspended() const;

    // From the toolkit: a control's notification, dropped when the control cannot act now.
    void Notify(int id, NOTIFICATION code);
    // From the toolkit: whether key may act as a dialog key now.
    bool DialogKeyActs(DIALOG_KEY key) const;
    // From the toolkit: the command of a dialog key (IDOK for Enter without a button,
    // IDCANCEL for Escape); anything else is no command of the dialog's own.
    void DialogKeyCommand(int id);
    // From the toolkit: the caption's close button, Alt+F4, the system menu. True when the
    // dialog ended.
    bool CloseRequested();

    // The toolkit's part: whether control id can act (enabled, and no disabled ancestor);
    // true for an ID the dialog does not have.
    virtual bool ControlActs(int id) const = 0;
    // The toolkit's part: takes the window down with result once the dialog has ended.
    virtual void CloseWindow(int result) = 0;

private:
    struct MAP_ENTRY {
        int id;
        NOTIFICATION code;
        std::function<void()> handler;
    };

    const DLG_TEMPLATE& template_;
    std::vector<MAP_ENTRY> message_map_;
    bool ended_ = false;
    int end_result_ = 0;
};

}  // namespace telvane
