#pragma once

// The application object: starts the sockets layer and runs the main window.

namespace telvane {

class CTelvaneApp final {
public:
    // Runs the program to its end and returns 0: the main window is modal and the
    // program ends with it.
    int InitInstance();
};

}  // namespace telvane
