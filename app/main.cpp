#include "app/telvane_app.h"
#include "ui/application.h"

int main(int argc, char** argv) {
    return telvane::RunApplication(argc, argv, [] {
        telvane::CTelvaneApp app;
        return app.InitInstance();
    });
}
