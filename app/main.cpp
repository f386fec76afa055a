#include <QtWidgets/QApplication>

#include "app/telvane_app.h"
#include "platform/qt_event_loop.h"
#include "resources/main_dialog.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // One style everywhere, so that the layout measured in the dialog font holds.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(telvane::LoadProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.telvane.Telvane"));
    // The procedures' waits run the window's events, not only the socket's.
    telvane::UseQtEventLoop();
    telvane::CTelvaneApp app;
    return app.InitInstance();
}
