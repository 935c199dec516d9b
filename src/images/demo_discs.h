// The built-in demo discs: a two-session Joliet data disc and an audio CD, generated at build time.
#pragma once

#include <string>
#include <vector>

namespace ckvd::images {

// Image paths of the demo discs (data disc first), from the first directory holding both: $CKVD_DEMO_DIR,
// share/ckvd-explorer/demo beside the running program's bin directory, the build tree's, the configured
// installation's. Empty when none does.
std::vector<std::string> demo_disc_paths();

} // namespace ckvd::images
