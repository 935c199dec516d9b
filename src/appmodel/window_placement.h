// The main window's placement in the profile: normal outer geometry and maximised/minimised state.
#pragma once

#include <vector>

#include "appmodel/profile_store.h"

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ScreenRect&) const = default;
};

struct WindowPlacement {
    ScreenRect normal{0, 0, 640, 400}; // restored (not maximised) outer geometry in screen coordinates
    bool zoomed = false;
    bool iconic = false;
    bool stored = true; // false at the first start, when the profile holds no size yet
};

// "X", "Y", "CX", "CY" (defaults 0, 0, 640, 400), "ISZOOM", "ISICON".
WindowPlacement Placement_Read(ckvd::ui::ProfileStore& profile);
// Writes the six values; a maximised window writes ISZOOM 1 ISICON 0, a minimised one 0 and 1.
void Placement_Write(ckvd::ui::ProfileStore& profile, const WindowPlacement& placement);

// The first start's rectangle on a screen whose available area is `available`: three quarters of it each
// way, never below 640 x 400, centred.
ScreenRect Placement_FirstStart(const ScreenRect& available);

// Keeps a restored rectangle usable on `screens` (available areas, the primary first): a size that is not
// positive gets the default, a size larger than the screen is cut to it, and a window that is not wholly on
// a screen is moved onto the screen it overlaps most (the primary when it overlaps none).
ScreenRect Placement_KeepOnScreen(ScreenRect rect, const std::vector<ScreenRect>& screens);
