#include "app/telvane_app.h"

#include "app/telvane_dlg.h"
#include "ui/message_box.h"
#include "net/system_checks.h"
#include "resources/main_dialog.h"

namespace telvane {

int CTelvaneApp::InitInstance() {
    if (!StartSockets()) {
        ShowMessageBox(nullptr, LoadString(IDS_SOCKETS_INIT_FAILED));
        return 0;
    }
    CTelvaneDlg dialog;
    dialog.DoModal();
    return 0;
}

}  // namespace telvane
