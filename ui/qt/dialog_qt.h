#pragma once

// A modal dialog built from one template table, with its controls reached by ID, in
// place of the Windows dialog manager. Every control is a direct child of the dialog,
// so disabling a frame never disables the controls drawn inside it.

#include <QtWidgets/QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_core.h"

class QIcon;
class QLabel;
class QRadioButton;

namespace telvane {

class CIpv4AddressBox;

// The program icon (IDR_MAINFRAME) in every size drawn for it.
QIcon LoadProgramIcon();

class CDialog : public QDialog, public CDialogCore {
public:
    explicit CDialog(const DLG_TEMPLATE& dialog_template, QWidget* parent = nullptr);
    ~CDialog() override;
    Q_DISABLE_COPY_MOVE(CDialog)

    // Creates the controls and runs OnInitDialog (before anything is shown); then, unless
    // the dialog was ended meanwhile, shows it and runs it modally. Returns the result
    // given to EndDialog.
    int DoModal();
    // Creates the controls and runs OnInitDialog without showing the window.
    void Create();

    QWidget* GetDlgItem(int id) const;
    CIpv4AddressBox* GetAddressBox(int id) const;
    void EnableDlgItem(int id, bool enable) override;
    bool IsDlgItemEnabled(int id) const override;
    void CheckDlgButton(int id, int check) override;
    int IsDlgButtonChecked(int id) const override;
    void SetDlgItemText(int id, std::u16string_view text) override;
    std::u16string GetDlgItemText(int id) const override;
    void LimitText(int id, int max_chars) override;
    int ComboAddString(int id, std::u16string_view text) override;
    void ComboSetCurSel(int id, int index) override;
    int ComboGetCurSel(int id) const override;
    int ComboGetCount(int id) const override;
    void GotoDlgCtrl(int id) override;
    void SetProgressRange(int id, int low, int high) override;
    void SetProgressPos(int id, int pos) override;
    void SetProgramIcon() override;

    // Dialog base units of the dialog's font (pixels per 4 horizontal, 8 vertical units).
    int BaseUnitX() const { return base_x_; }
    int BaseUnitY() const { return base_y_; }
    QRect MapDialogRect(int x, int y, int cx, int cy) const;

    // The controls in template order (the frames are stacked beneath the others).
    const std::vector<QWidget*>& Controls() const { return controls_; }

protected:
    bool ControlActs(int id) const override;
    void CloseWindow(int result) override;

    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // QDialog's own ways out are the dialog keys' commands.
    void reject() override;
    void accept() override;

private:
    void CreateControls();
    QWidget* CreateControl(const DLG_ITEM_TEMPLATE& item);
    void NameControls();
    void LabelControl(QWidget* control, QLabel* label);
    void OnRadioChecked(QRadioButton* button);
    void OnRadioArrow(QRadioButton* button, bool forward);

    std::vector<QWidget*> controls_;  // template order
    std::vector<std::vector<QRadioButton*>> radio_groups_;
    int base_x_ = 0;
    int base_y_ = 0;
    bool created_ = false;
};

}  // namespace telvane
