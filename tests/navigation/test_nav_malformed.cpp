// Every viewer over every cut of its sample file: nothing is read outside the image (the sanitizer build
// checks that), and no walk makes more rows than the bytes that are there could hold.
#include <gtest/gtest.h>

#include "nav_bytes.h"
#include "navigation/contents_model.h"
#include "navigation/lsn_model.h"
#include "navigation/menu_model.h"
#include "navigation/nav_text.h"
#include "navigation/nav_viewer.h"
#include "navigation/playlist_model.h"
#include "navigation/text_model.h"

TEST(NavigationViewers, EveryCutOfEveryFile) {
    for (const auto& file : {ContentsSample(), MenuSample(), TextSample(), PlaylistSample()}) {
        for (size_t length = 0; length <= file.size(); ++length) {
            const NavImage image(std::span<const uint8_t>(file.data(), length));
            CContentsDlgModel c;
            c.Fill(image);
            Nav_ContentsText(c);
            EXPECT_LE(c.Directories().rows.size(), length / 8 + 1);
            CMenuDlgModel m;
            m.Fill(image);
            Nav_MenuText(m);
            EXPECT_LE(m.MenuItems().rows.size() + m.PlaylistItems().rows.size(), length / 0x12 + 1);
            CTextDlgModel t;
            t.Fill(image);
            Nav_TextText(t);
            CPlaylistDlgModel p;
            p.Fill(image);
            Nav_PlaylistText(p);
            EXPECT_LE(p.Tree().size(), length / 14 + 2);
            CLsnDlgModel l;
            l.Fill(image);
            Nav_LsnText(l);
        }
    }
}

TEST(NavigationViewers, ChosenByTheNameAsTheDiscHoldsIt) {
    using K = NavViewerKind;
    const std::pair<const char*, K> cases[] = {{"CONTENTS.LMX;1", K::Contents},
                                               {"MENU.LMX", K::Menu},
                                               {"TEXT.LMX", K::Text},
                                               {"LSN.LMX", K::Lsn},
                                               {"PLAY0001.LMX", K::Playlist},
                                               {"contents.lmx", K::Playlist},
                                               {"LS", K::Playlist}};
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(Nav_ViewerFor(name), kind) << name;
    EXPECT_EQ(Nav_ReadErrorMessage(K::Contents, "CONTENTS.LMX;1"), "CONTENTS.LMX Read Error!");
    EXPECT_EQ(Nav_ReadErrorMessage(K::Playlist, "PLAY0001.LMX"), "PLAY0001.LMX Read Error!");
}
