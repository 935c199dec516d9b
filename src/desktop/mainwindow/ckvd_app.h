// CKVDApp: the program's entry: the single instance, the engine modules, the main frame, the command line.
#pragma once

#include "appmodel/app_options.h"

class CKVDApp {
  public:
    // Runs the program; the process exit status.
    int Run(int argc, char** argv);

  private:
    int RunWindow(int argc, char** argv, const AppOptions& options);
    int RunText(const AppOptions& options);
};
