// The navigation files of a planned disc, for a player whose profile asks for them: written into the
// image's root with the rest, then LSN.LMX filled in with the sectors the image gave each file.
#pragma once

#include <string>
#include <vector>

#include "discmaker/make_plan.h"
#include "navigation/nav_build.h"

// The navigation files of `plan` as the player reads it: its folders and tracks with the plan's names, the
// volume name as the disc's. `from` gives, in plan order (folders, then their files), the file each track is
// written from (its source, or the copy with its tag rewritten), whose size and media data they describe.
// False with the reason in `error`.
bool Make_Navigation(const MakePlan& plan, const std::vector<std::string>& from, NavSet& set,
                     std::string& error);
// The names of the navigation files `plan` gets (CONTENTS.LMX, MENU.LMX, TEXT.LMX, a playlist for each
// folder with tracks, LSN.LMX), as the plan lists them.
std::vector<std::string> Make_NavigationNames(const MakePlan& plan);
// Reads the image file `image`, just written with `set` in its root, through libisofs and writes LSN.LMX's
// sectors in place through `fd`, open on it for writing: each CID's file as the image places it (its size as
// `set` has it), LSN.LMX keeping its size. False with the reason in `error`.
bool Make_WriteSectors(const std::string& image, int fd, const NavSet& set, std::string& error);
