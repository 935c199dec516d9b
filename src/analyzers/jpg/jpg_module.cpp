#include "analyzers/analyzers.h"

// The JPG analyzer keeps no state.
int Jpg_Initialize() {
    return 1;
}

void Jpg_Terminate() {}
