#include "ui/application.h"

#include <QtCore/QFile>
#include <QtGui/QIcon>
#include <QtWidgets/QApplication>

#include "ui/qt/dialog_qt.h"
#include "ui/qt/qt_event_loop.h"

namespace telvane {

int RunApplication(int argc, char** argv, const std::function<int()>& run) {
    QApplication application(argc, argv);
    // One style everywhere, so that the layout measured in the dialog font holds.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(LoadProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.telvane.Telvane"));
    // The procedures' waits run the window's events, not only the socket's.
    UseQtEventLoop();
    return run();
}

QIcon LoadProgramIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/icons/telvane-%1.png").arg(size);
        if (QFile::exists(path)) icon.addFile(path, QSize(size, size));
    }
    return icon;
}

}  // namespace telvane
