// ckvd-explorer: the desktop program.
#include "desktop/mainwindow/ckvd_app.h"

int main(int argc, char** argv) {
    CKVDApp app;
    return app.Run(argc, argv);
}
