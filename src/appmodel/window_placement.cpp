#include "appmodel/window_placement.h"

#include <algorithm>

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 400;
constexpr int kMinWidth = 120;
constexpr int kMinHeight = 80;

long long Overlap(const ScreenRect& a, const ScreenRect& b) {
    long long left = std::max<long long>(a.x, b.x);
    long long top = std::max<long long>(a.y, b.y);
    long long right =
        std::min<long long>(static_cast<long long>(a.x) + a.width, static_cast<long long>(b.x) + b.width);
    long long bottom =
        std::min<long long>(static_cast<long long>(a.y) + a.height, static_cast<long long>(b.y) + b.height);
    if (right <= left || bottom <= top)
        return 0;
    return (right - left) * (bottom - top);
}

} // namespace

WindowPlacement Placement_Read(ckvd::ui::ProfileStore& profile) {
    WindowPlacement p;
    p.normal.x = profile.GetInt("X", 0);
    p.normal.y = profile.GetInt("Y", 0);
    p.stored = profile.GetInt("CX", -1) >= 0;
    p.normal.width = profile.GetInt("CX", kDefaultWidth);
    p.normal.height = profile.GetInt("CY", kDefaultHeight);
    p.zoomed = profile.GetInt("ISZOOM", 0) != 0;
    p.iconic = profile.GetInt("ISICON", 0) != 0;
    return p;
}

void Placement_Write(ckvd::ui::ProfileStore& profile, const WindowPlacement& p) {
    profile.WriteInt("X", p.normal.x);
    profile.WriteInt("Y", p.normal.y);
    profile.WriteInt("CX", p.normal.width);
    profile.WriteInt("CY", p.normal.height);
    profile.WriteInt("ISZOOM", p.zoomed ? 1 : 0);
    profile.WriteInt("ISICON", !p.zoomed && p.iconic ? 1 : 0);
}

ScreenRect Placement_FirstStart(const ScreenRect& available) {
    ScreenRect r;
    r.width = std::max(kDefaultWidth, available.width / 4 * 3);
    r.height = std::max(kDefaultHeight, available.height / 4 * 3);
    r.x = available.x + (available.width - r.width) / 2;
    r.y = available.y + (available.height - r.height) / 2;
    return r;
}

ScreenRect Placement_KeepOnScreen(ScreenRect r, const std::vector<ScreenRect>& screens) {
    if (r.width <= 0)
        r.width = kDefaultWidth;
    if (r.height <= 0)
        r.height = kDefaultHeight;
    r.width = std::max(r.width, kMinWidth);
    r.height = std::max(r.height, kMinHeight);
    if (screens.empty())
        return r;
    const ScreenRect* target = &screens.front();
    long long best = 0;
    for (const ScreenRect& s : screens) {
        long long o = Overlap(r, s);
        if (o > best) {
            best = o;
            target = &s;
        }
    }
    const ScreenRect& s = *target;
    if (best == 0) {
        r.x = s.x;
        r.y = s.y;
    }
    r.width = std::min(r.width, s.width);
    r.height = std::min(r.height, s.height);
    // Wholly on the screen: the title bar must be reachable.
    long long maxX = static_cast<long long>(s.x) + s.width - r.width;
    long long maxY = static_cast<long long>(s.y) + s.height - r.height;
    r.x = static_cast<int>(std::clamp<long long>(r.x, s.x, maxX));
    r.y = static_cast<int>(std::clamp<long long>(r.y, s.y, maxY));
    return r;
}
