// The MENU.LMX viewer's content: the tree of menus and playlists, the three lists in walk order, and walks
// that would never end.
#include <gtest/gtest.h>

#include "golden.h"
#include "nav_bytes.h"
#include "navigation/menu_model.h"
#include "navigation/nav_text.h"

using Row = std::vector<std::string>;

namespace {

// The tree as lines, two spaces a level, "+" before an expanded item.
void Lines(const std::vector<NavTreeItem>& items, size_t depth, std::vector<std::string>& out) {
    for (const NavTreeItem& item : items) {
        out.push_back(std::string(2 * depth, ' ') + (item.expanded ? "+" : "") + item.text);
        Lines(item.children, depth + 1, out);
    }
}

std::vector<std::string> Lines(const CMenuDlgModel& m) {
    std::vector<std::string> out;
    Lines(m.Tree(), 0, out);
    return out;
}

} // namespace

// Title "Title". Menu 1 at 0x24 ("Top", 3 items from 0x48): a menu item "Sub" leading to menu 2 at 0x9A, a
// playlist item "PL1", a menu item "Back" leading to menu 1 again. Menu 2 (no subtitle, 2 items from 0xB8):
// playlist items "P2" and "P3".
std::vector<uint8_t> MenuSample() {
    NavTestBytes f("MENULMX0");
    f.Put(0x0A, 0xF4, 4).Put(0x0E, 1041, 4).Put(0x12, 0x24, 2).ByteText(0x14, "Title");
    f.Put(0x24, 0x1C, 4).Put(0x28, 0, 4).Put(0x2C, 100, 4).Put(0x30, 101, 4).Put(0x34, 0xFFFFFF, 4);
    f.Put(0x38, 0, 4).Put(0x3C, 3, 2).ByteText(0x3E, "Top");
    f.Put(0x48, 1, 1)
        .Put(0x49, 0, 1)
        .Put(0x4A, 10, 4)
        .Put(0x4E, 11, 4)
        .Put(0x52, 0x9A, 4)
        .ByteText(0x56, "Sub");
    f.Put(0x60, 2, 1).Put(0x61, 1, 1).Put(0x62, 20, 4).Put(0x66, 21, 4).Put(0x6A, 1, 4).Put(0x6E, 0, 4);
    f.Put(0x72, 0, 4).ByteText(0x76, "PL1");
    f.Put(0x80, 1, 1).Put(0x8A, 0x24, 4).ByteText(0x8E, "Back");
    f.Put(0x9A, 0x1C, 4).Put(0x9E, 0x24, 4).Put(0xB2, 2, 2).ByteText(0xB4, "");
    f.Put(0xB8, 2, 1).Put(0xC2, 2, 4).ByteText(0xCE, "P2");
    f.Put(0xD6, 2, 1).Put(0xE0, 3, 4).ByteText(0xEC, "P3");
    return f.bytes;
}

TEST(MenuViewer, TreeAndListsInWalkOrder) {
    const auto file = MenuSample();
    const NavImage image(file);
    CMenuDlgModel m;
    m.Fill(image);
    // The root is the first menu's subtitle; the menu met again is not entered twice.
    EXPECT_EQ(Lines(m), (std::vector<std::string>{"+Top", "  +Sub", "    P2", "    P3", "  PL1", "  Back",
                                                  "    (loop)"}));
    ExpectGolden("navigation/MENU.txt", Nav_MenuText(m));

    // An item of another type ends its menu's items; the menu above goes on.
    NavTestBytes odd("MENULMX0");
    odd.bytes = file;
    odd.Put(0xD6, 0, 1);
    const NavImage oddImage(odd.bytes);
    CMenuDlgModel o;
    o.Fill(oddImage);
    EXPECT_EQ(Lines(o),
              (std::vector<std::string>{"+Top", "  +Sub", "    P2", "  PL1", "  Back", "    (loop)"}));
}

TEST(MenuViewer, DeepChainsEndAtTheDepthLimit) {
    // 100 menus, each with one menu item leading to the next.
    NavTestBytes f("MENULMX0");
    f.Put(0x12, 0x20, 2).ByteText(0x14, "");
    const size_t menu = 0x1E, item = 0x12;
    for (size_t n = 0; n < 100; ++n) {
        const size_t at = 0x20 + n * (menu + item);
        f.Put(at + 0x18, 1, 2).ByteText(at + 0x1A, "");
        f.Put(at + menu, 1, 1).Put(at + menu + 0x0A, at + menu + item, 4).ByteText(at + menu + 0x0E, "");
    }
    const NavImage image(f.bytes);
    CMenuDlgModel m;
    m.Fill(image);
    EXPECT_EQ(m.MenuHeaders().rows.size(), size_t(kNavMenuDepth));
    const NavTreeItem* item_ = &m.Tree().front();
    while (!item_->children.empty())
        item_ = &item_->children.front();
    EXPECT_EQ(item_->text, "(too deep)");
}
