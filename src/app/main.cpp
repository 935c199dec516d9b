// ckvd-explorer: the desktop program.
#include "app/ckvd_app.h"

int main(int argc, char** argv) {
    CKVDApp app;
    return app.Run(argc, argv);
}
