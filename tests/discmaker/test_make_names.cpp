// Names as a person orders them and as a player shows them, typed from the rules players and ISO 9660 set.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "discmaker/make_names.h"
#include "discmaker/natural_order.h"
#include "playercheck/player_profile.h"

TEST(MakeNames, NaturalOrderTakesNumbersByValueAndLettersInAnyCase) {
    std::vector<std::string> names = {
        "Track 10.mp3", "track 9.mp3", "Track 2.mp3", "Track 02b.mp3", "b", "A", "x100", "x20", "",
        "10",           "9",           "Disc 1 - 12", "Disc 1 - 3"};
    std::sort(names.begin(), names.end(), Make_NaturalLess);
    EXPECT_EQ(names,
              (std::vector<std::string>{"", "9", "10", "A", "b", "Disc 1 - 3", "Disc 1 - 12", "Track 2.mp3",
                                        "Track 02b.mp3", "track 9.mp3", "Track 10.mp3", "x20", "x100"}));
    EXPECT_FALSE(Make_NaturalLess("a", "a"));
    // Numbers longer than any integer still compare, by their digits.
    EXPECT_TRUE(Make_NaturalLess("v99999999999999999999999", "v100000000000000000000000"));
}

TEST(MakeNames, FittedToThePlayersCharactersLengthAndTree) {
    PlayerProfile car;
    ASSERT_TRUE(Player_BuiltinProfile("car-cd", car));
    PlayerProfile ascii = car;
    ascii.nameCharset = PlayerCharset::Ascii;
    ascii.maxNameLength = 20;
    PlayerProfile level1;
    ASSERT_TRUE(Player_BuiltinProfile("iso9660-level1", level1));
    PlayerProfile level2;
    ASSERT_TRUE(Player_BuiltinProfile("iso9660-level2", level2));
    const struct {
        const PlayerProfile& profile;
        std::string name;
        bool directory;
        int variant;
        std::string fitted;
    } cases[] = {
        {car, "Píseň o lásce.mp3", false, 0, "Píseň o lásce.mp3"},                     // UCS-2 shows it all
        {car, "a:b?c*d.mp3", false, 0, "a_b_c_d.mp3"},                                 // what Joliet forbids
        {car, std::string(70, 'x') + ".mp3", false, 0, std::string(60, 'x') + ".mp3"}, // 64 with .mp3
        {car, "Album", true, 2, "Album (2)"},
        {ascii, "Žluťoučký kůň.mp3", false, 0, "Zlutoucky kun.mp3"},
        {ascii, "さくら.mp3", false, 0, "___.mp3"},
        {ascii, "A very long name of a song.mp3", false, 0, "A very long name.mp3"}, // 20, the space dropped
        {ascii, "A very long name of a song.mp3", false, 3, "A very long (3).mp3"},
        {level1, "01 Track 10.mp3", false, 0, "01_TRACK.MP3"},
        {level1, "01 Album. Live", true, 0, "01_ALBUM"},
        {level1, "song.flac", false, 2, "SONG_2.FLA"},
        {level2, "02 Žluťoučký kůň.mp3", false, 0, "02_ZLUTOUCKY_KUN.MP3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Make_FitName(c.name, c.directory, c.profile, c.variant), c.fitted) << c.name;
}

TEST(MakeNames, DirectoryOrderOfJolietIsByUtf16) {
    PlayerProfile car;
    ASSERT_TRUE(Player_BuiltinProfile("car-cd", car));
    // U+FF21 (a full-width A) sorts after U+1F3B5 (a surrogate pair, D83C DFB5) in UTF-16, before it in
    // UTF-8.
    EXPECT_GT(Make_DirectoryKey("\xEF\xBC\xA1", car), Make_DirectoryKey("\xF0\x9F\x8E\xB5", car));
    EXPECT_LT(std::string("\xEF\xBC\xA1"), std::string("\xF0\x9F\x8E\xB5"));
    EXPECT_LT(Make_DirectoryKey("Track 10.mp3", car), Make_DirectoryKey("Track 2.mp3", car));
}
