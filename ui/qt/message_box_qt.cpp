#include "ui/message_box.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtWidgets/QMessageBox>

namespace telvane {

namespace {

QWidget* BoxOwner(QWidget* owner) {
    // A window not yet shown is no place to centre on; the box then stands alone.
    return owner != nullptr && owner->isVisible() ? owner : nullptr;
}

}  // namespace

std::u16string ApplicationName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdU16String();
}

void ShowMessageBox(QWidget* owner, std::u16string_view text) {
    if (HookedAnswer(text)) return;
    QMessageBox box(QMessageBox::Warning, QString::fromStdU16String(ApplicationName()),
                    QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok,
                    BoxOwner(owner));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool AskYesNo(QWidget* owner, std::u16string_view text) {
    if (const std::optional<bool> answer = HookedAnswer(text)) return *answer;
    QMessageBox box(QMessageBox::Warning, QString::fromStdU16String(ApplicationName()),
                    QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Yes | QMessageBox::No, BoxOwner(owner));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace telvane
