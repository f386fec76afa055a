#include "platform/message_box.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtWidgets/QMessageBox>

namespace telvane {

namespace {

std::function<void(const std::u16string&)>& Hook() {
    static std::function<void(const std::u16string&)> hook;
    return hook;
}

}  // namespace

std::u16string ApplicationName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdU16String();
}

void ShowMessageBox(QWidget* owner, std::u16string_view text) {
    if (Hook()) {
        Hook()(std::u16string(text));
        return;
    }
    // A window not yet shown is no place to centre on; the box then stands alone.
    QMessageBox box(QMessageBox::Warning, QString::fromStdU16String(ApplicationName()),
                    QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok,
                    owner != nullptr && owner->isVisible() ? owner : nullptr);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void SetMessageBoxHookForTesting(std::function<void(const std::u16string&)> hook) {
    Hook() = std::move(hook);
}

}  // namespace telvane
