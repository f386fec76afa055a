// The Qt suite's part of the dialog contract.

#include <QtGui/QCloseEvent>
#include <QtTest/QTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTreeWidget>

#include <memory>

#include "tests/ui/dialog_contract.h"

namespace telvane::contract {

void Show(CDialog& dialog) {
    // QDialog presses its default button only while the button is visible.
    dialog.show();
}

void ReportClick(CDialog& dialog, int id) {
    emit static_cast<QAbstractButton*>(dialog.GetDlgItem(id))->clicked(false);
}

void PressKey(CDialog& dialog, int focus_id, DIALOG_KEY key) {
    const Qt::Key qt_key = key == DIALOG_KEY::ESCAPE ? Qt::Key_Escape : Qt::Key_Return;
    QTest::keyClick(dialog.GetDlgItem(focus_id), qt_key);
}

void RequestClose(CDialog& dialog) {
    QCloseEvent close;
    QCoreApplication::sendEvent(&dialog, &close);
}

std::u16string RowTooltip(CDeviceListView& view, int row) {
    return view.List()->model()->index(row, 0).data(Qt::ToolTipRole).toString().toStdU16String();
}

std::vector<std::u16string> RowMenuCaptions(CDeviceListView& view, int row) {
    std::unique_ptr<QMenu> menu(view.CreateRowMenu(row, view.List()));
    std::vector<std::u16string> captions;
    if (menu == nullptr) return captions;
    for (const QAction* action : menu->actions()) captions.push_back(action->text().toStdU16String());
    return captions;
}

}  // namespace telvane::contract
