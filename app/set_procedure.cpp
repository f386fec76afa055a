#include "app/telvane_dlg.h"

namespace telvane {

// Sending the panel's settings comes with the set procedure; until then the button
// does nothing.
void CTelvaneDlg::OnSetIp() {}

}  // namespace telvane
