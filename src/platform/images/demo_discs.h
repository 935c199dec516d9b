// The built-in demo discs: a two-session Joliet data disc and an audio CD, generated at build time.
#pragma once

#include <string>
#include <vector>

namespace ckvd::images {

// Image paths of the demo discs (data disc first), found next to the build tree or in the installed share
// directory. Empty when they were not generated.
std::vector<std::string> demo_disc_paths();

} // namespace ckvd::images
