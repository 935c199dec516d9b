#include "analyzers/jpg/jpg_module.h"

#include "analyzers/analyzers.h"

// The JPG analyzer keeps no state and recognises no file: every file that reaches it ends the chain.
int Jpg_Initialize() {
    return 1;
}

void Jpg_Terminate() {}

int Jpg_Analyze(const FileEntry*) {
    return JPG_ERR_NOT_JPEG;
}
