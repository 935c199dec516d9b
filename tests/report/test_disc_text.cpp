// The tree listing of `ckvd ls` over a model built by hand: the fields at their widest, names that are not
// plain ASCII, and a text longer than one piece of the writer.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

#include "iso9660/iso9660.h"
#include "report/disc_text.h"
#include "report/name_match.h"

namespace {

// `name` as a primary volume records it: the model keeps its Unicode reading beside it.
FileEntry* Entry(char type, const char* name, FileEntry* parent) {
    static std::deque<std::string> texts;
    auto* e = new FileEntry{};
    e->type = type;
    std::strncpy(e->name, name, sizeof e->name - 1);
    e->text =
        texts.emplace_back(Iso_BytesToUtf8(reinterpret_cast<const uint8_t*>(name), strlen(name))).c_str();
    if (parent) {
        FileEntry** link = &parent->firstChild;
        while (*link)
            link = &(*link)->nextSibling;
        *link = e;
    }
    return e;
}

class TreeText : public ::testing::Test {
  protected:
    FileEntry* root = nullptr;
    void SetUp() override {
        Iso_Terminate();
        g_DiscModel = new DiscModel{};
        g_DiscModel->firstTree = new SessionTree{};
        g_DiscModel->firstTree->next = new SessionTree{}; // a second session without a tree
        root = g_DiscModel->firstTree->root = Entry('V', "VOLUME", nullptr);
    }
    void TearDown() override { Iso_Terminate(); }
};

TEST_F(TreeText, FieldsAtTheirWidestAndNamesBeyondAscii) {
    FileEntry* dir = Entry('D', "\x83\x65\x83\x58\x83\x67", root); // テスト in Shift-JIS
    dir->lbn = 23;
    dir->size = 2048;
    dir->date[0] = 99;                          // a directory shows no date
    FileEntry* f = Entry('F', "\xB1\x83", dir); // half-width katakana, then a lead byte without its trail
    f->lbn = 4294967295u;
    f->size = 0;
    const uint8_t date[7] = {255, 255, 1, 9, 100, 7, 0};
    std::memcpy(f->date, date, sizeof date);
    // A full-width space, a pair that is no character (its second byte stays itself), a byte that starts
    // none (the "z" after it stays).
    FileEntry* g = Entry('F', "\x81\x40\x85\x40\xA0z", root);
    g->lbn = 1;
    g->size = 10;
    std::memset(g->date, 0, sizeof g->date);
    Entry('D', "EMPTY", root);

    EXPECT_EQ(Report_TreeText(-1), "(Session1) VOLUME\n"
                                   "D  23  2048  0000-00-00 00:00:00  /テスト\n"
                                   "F  4294967295  0  2155-255-01 09:100:07  /テスト/ｱ\uFFFD\n"
                                   "F  1  10  1900-00-00 00:00:00  /\u3000\uFFFD@\uFFFDz\n"
                                   "D  0  0  0000-00-00 00:00:00  /EMPTY\n"
                                   "(Session2) \n");
    EXPECT_EQ(Report_TreeText(1), "(Session2) \n");
    EXPECT_EQ(Report_TreeText(2), "");
}

TEST_F(TreeText, PiecesMakeTheWholeTextAndTheLongestNameWhole) {
    // A chain of directories of long names with files beside each: some hundred kilobytes of text.
    FileEntry* dir = root;
    for (int depth = 0; depth < 30; ++depth) {
        dir = Entry('D', std::string(250, static_cast<char>('a' + depth % 26)).c_str(), dir);
        for (int i = 0; i < 10; ++i)
            Entry('F', ("F" + std::to_string(i)).c_str(), dir);
    }
    FileEntry* longest = dir->firstChild;
    std::memset(longest->name, 'n', sizeof longest->name - 1);
    longest->text = nullptr; // its name reads the same in both forms

    const std::string whole = Report_TreeText(-1);
    std::string joined;
    int pieces = 0;
    Report_WriteTreeText(-1, [&](std::string_view piece) {
        joined += piece;
        ++pieces;
    });
    EXPECT_EQ(joined, whole);
    EXPECT_GT(pieces, 1);
    EXPECT_NE(whole.find("/" + std::string(255, 'n') + "\n"), std::string::npos);
}

// Names typed in another normal form than the disc's: expected forms from Python's unicodedata.normalize.
TEST_F(TreeText, TypedNamesWithoutTheIso9660Version) {
    FileEntry* a = Entry('F', "A.MP3;1", root);
    FileEntry* b1 = Entry('F', "B.MP3;1", root);
    FileEntry* b2 = Entry('F', "B.MP3;2", root);
    FileEntry* c = Entry('F', "C;X", root);
    const struct {
        const char* typed;
        FileEntry* found;
    } cases[] = {
        {"A.MP3;1", a},      {"A.MP3", a},       {"B.MP3;2", b2},
        {"B.MP3;1", b1},     {"B.MP3", nullptr}, // two versions: neither is meant more than the other
        {"C;X", c},          {"C", nullptr},     // ";X" is no version
        {"A.MP3;", nullptr},
    };
    for (const auto& k : cases)
        EXPECT_EQ(Report_FindChild(root, k.typed), k.found) << k.typed;
}

TEST(TypedNames, NormalizationFormC) {
    const struct {
        const char* typed;
        const char* nfc;
    } cases[] = {
        {"cafe\u0301.txt", "caf\u00e9.txt"},          // a letter and its accent
        {"\u1100\u1161\u11A8", "\uAC01"},             // Hangul jamo to a syllable
        {"a\u0301\u0328", "\u0105\u0301"},            // marks put in canonical order first
        {"\u212B", "\u00C5"},                         // a singleton
        {"\u0344", "\u0308\u0301"},                   // a mark that never composes
        {"\u0958", "\u0915\u093C"},                   // a composite excluded from composition
        {"\U0001D15E", "\U0001D157\U0001D165"},       // beyond the BMP, excluded
        {"s\u0307\u0323", "\u1E69"},                  // two marks, both composed
        {"\u0B47\u0300\u0B3E", "\u0B47\u0300\u0B3E"}, // a starter between blocks the pair
        {"e\u0301\u0301", "\u00E9\u0301"},            // a second mark of one class stays
        {"\xFF name", "\xFF name"},                   // no UTF-8: as it stands
    };
    for (const auto& c : cases)
        EXPECT_EQ(Report_NfcText(c.typed), c.nfc) << c.typed;
}

} // namespace
