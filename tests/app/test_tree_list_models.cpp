// The disc tree, the file list and the Disc Information rows over hand-built disc models.
#include <gtest/gtest.h>

#include "appmodel/disc_info_dlg_model.h"
#include "appmodel/kvd_app_view_model.h"
#include "appmodel/left_view_model.h"
#include "appmodel/status_text.h"
#include "disc_model_builder.h"
#include "golden.h"
#include "listing/lbn_size_style.h"

namespace {

// Each row's cells, "|" after each, one line a row.
std::string Rows(const CKVDAppViewModel& list) {
    std::string text;
    for (int r = 0; r < list.RowCount(); ++r)
        for (int c = 0; c < 4; ++c)
            text += list.Text(r, c) + (c == 3 ? "|\n" : "|");
    return text;
}

// Three sessions: ONE (DOCS/{A,B}, EMPTY), a session without root (a failed session), THREE (X/Y).
TEST(TreeList, TreeNumbersInPreOrderOverAllSessionsAndEveryNumberResolvesInTheList) {
    DiscModelBuilder b;
    for (int i = 0; i < 3; ++i)
        b.AddSession(0x04);
    FileEntry* one = b.AddTree("ONE", 5);
    b.File(one, "README.TXT", 30, 100);
    FileEntry* docs = b.Dir(one, "DOCS", 21);
    b.File(b.Dir(docs, "A", 22), "A.MP3", 40, 1000000);
    b.Dir(docs, "B", 23);
    b.Dir(one, "EMPTY", 24);
    b.AddTree(nullptr, 0);
    b.File(b.Dir(b.Dir(b.AddTree("THREE", 3), "X", 50), "Y", 51), "deep.txt", 60, 5);
    b.Install();
    CLeftViewModel tree;
    tree.Fill(b.Model());
    std::string order;
    for (const TreeItem& i : tree.Items())
        order += std::to_string(i.number) + " " + i.text + (i.expanded ? "+" : "") + "\n";
    EXPECT_EQ(
        order,
        "0 (Session1) ONE+\n1 DOCS+\n2 A\n3 B\n4 EMPTY\n5 (Session2) \n6 (Session3) THREE+\n7 X+\n8 Y\n");
    ASSERT_EQ(tree.TopLevel().size(), 3u);
    const TreeItem& s1 = tree.Items()[size_t(tree.TopLevel()[0])];
    const TreeItem& dir = tree.Items()[size_t(s1.children[0])];
    EXPECT_EQ((std::array{s1.image, s1.selectedImage, dir.image, dir.selectedImage}),
              (std::array{1, 1, 2, 3}));
    EXPECT_TRUE(tree.Items()[size_t(tree.TopLevel()[1])].children.empty());
    uint32_t hint = 99;
    EXPECT_TRUE(tree.Select(1, &hint));
    EXPECT_EQ(hint, 1u);
    hint = 99;
    EXPECT_FALSE(tree.Select(1, &hint));  // reselecting sends nothing
    EXPECT_FALSE(tree.Select(-1, &hint)); // nor does clearing the selection
    EXPECT_FALSE(tree.Select(100, &hint));
    EXPECT_EQ(hint, 99u);
    tree.Clear();
    EXPECT_TRUE(tree.Items().empty());
    EXPECT_EQ(tree.Selected(), -1);
    CKVDAppDocModel doc;
    CKVDAppViewModel list(&doc);
    // Each number: the list's names, then the session and the title; 4 is an empty directory, 5 the
    // rootless session.
    const std::pair<uint32_t, const char*> cases[] = {{0, "README.TXT DOCS EMPTY |0 ONE"},
                                                      {1, "A B |0 ONE"},
                                                      {2, "A.MP3 |0 ONE"},
                                                      {4, "|0 ONE"},
                                                      {5, "|1 ONE"},
                                                      {6, "X |2 THREE"},
                                                      {8, "deep.txt |2 THREE"}};
    for (const auto& [number, expected] : cases) {
        SCOPED_TRACE(number);
        list.OnUpdate(true, number);
        std::string names;
        for (int r = 0; r < list.RowCount(); ++r)
            names += list.Text(r, 0) + " ";
        EXPECT_EQ(names + "|" + std::to_string(g_CurrentSession) + " " + doc.Title(), expected);
    }
    EXPECT_EQ(b.Model()->currentTree, b.Model()->firstTree->next->next);
    list.OnUpdate(true, 0);
    list.OnUpdate(false, 1); // an update without a sender is ignored
    EXPECT_EQ(list.RowCount(), 3);
    list.OnUpdate(true, 9); // a number outside the model leaves no stale rows
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.Entries(), nullptr);
    EXPECT_EQ(list.CurrentItem(), -1);
    b.Uninstall();
    g_DiscModel = nullptr;
    list.OnUpdate(true, 0);
    EXPECT_EQ(list.RowCount(), 0);
}

TEST(TreeList, ListRowsInTheThreeNumberStylesAndTheContextMenu) {
    g_LbnSizeStyle = LBNSIZE_BASE10;
    DiscModelBuilder b;
    b.AddSession(0x04);
    FileEntry* root = b.AddTree("VOL", 2);
    b.File(root, "BIG.MP3", 23, 1000000);
    b.Dir(root, "SUB", 4500);
    b.File(root, "MAX.BIN", 0xFFFFFFFFu, 0x80000000u);
    b.Install();
    CKVDAppViewModel list;
    list.OnUpdate(true, 0);
    EXPECT_EQ(list.ContextMenu(), 175); // LBN/Size: nothing touched yet
    list.OnItemChanged(1, 1);
    EXPECT_EQ(list.ContextMenu(), 0); // a directory row has no menu
    list.OnItemChanged(1, 0);
    EXPECT_EQ(list.ContextMenu(), 175);
    list.OnItemChanged(0, 1);
    EXPECT_EQ(list.ContextMenu(), 152); // the file menu
    EXPECT_EQ((std::array{list.Image(0), list.Image(1)}), (std::array{8, 2}));
    // Directories have no date; sizes are unsigned, never negative.
    std::string rows = Rows(list);
    list.SetStyle(LBNSIZE_BASE16);
    EXPECT_EQ(list.CurrentItem(), -1); // the refill leaves no current row
    rows += Rows(list);
    list.SetStyle(LBNSIZE_MSF);
    ExpectGolden("app/list_rows.txt", rows + Rows(list));
    list.SetStyle(LBNSIZE_BASE10);
    EXPECT_FALSE(CKVDAppViewModel::CommandEnabled(32788));
    EXPECT_TRUE(CKVDAppViewModel::CommandEnabled(32790));
    EXPECT_TRUE(CKVDAppViewModel::CommandEnabled(32781));
}

TEST(TreeList, DeeplyNestedDirectoriesFillAndResolveWithoutRecursion) {
    DiscModelBuilder b;
    b.AddSession(0x04);
    constexpr int kDepth = 70000;
    FileEntry* d = b.AddTree("DEEP", kDepth + 1);
    for (int i = 0; i < kDepth; ++i)
        d = b.Dir(d, "D");
    b.File(d, "LEAF", 1, 1);
    b.Install();
    CLeftViewModel tree;
    tree.Fill(b.Model());
    EXPECT_EQ(tree.Items().size(), static_cast<size_t>(kDepth + 1));
    EXPECT_EQ(tree.Items().back().number, static_cast<uint32_t>(kDepth));
    CKVDAppViewModel list;
    list.OnUpdate(true, kDepth);
    ASSERT_EQ(list.RowCount(), 1);
    EXPECT_EQ(list.Text(0, 0), "LEAF");
}

// The list's names in row order, a space after each.
std::string Names(const CKVDAppViewModel& list) {
    std::string names;
    for (int r = 0; r < list.RowCount(); ++r)
        names += list.Text(r, 0) + " ";
    return names;
}

TEST(TreeList, HeadingClicksSortNamesNaturallyNumbersAsNumbersDatesAsMomentsAndTheSortStays) {
    DiscModelBuilder b;
    b.AddSession(0x04);
    FileEntry* root = b.AddTree("VOL", 3);
    // Disc order; sizes and LBNs whose texts would sort otherwise than their values in base 16 and MSF.
    FileEntry* late = b.File(root, "Track10.mp3", 900, 9);
    FileEntry* later[] = {b.File(root, "track1.MP3", 1000, 100000), b.File(root, "Track2.mp3", 80, 10),
                          nullptr};
    FileEntry* early = b.File(root, "b.txt", 5, 4500);
    FileEntry* sub = b.Dir(root, "A", 30);
    later[2] = b.File(root, "..", 7, 1);
    b.File(sub, "x10", 1, 1);
    b.File(sub, "x2", 1, 1);
    // 2002/10/21 9:05:07 nine hours east is 0:05:07 UTC, before 1:00:00 UTC though its text reads later.
    const uint8_t at9East[7] = {102, 10, 21, 9, 5, 7, 36}, at1Utc[7] = {102, 10, 21, 1, 0, 0, 0};
    std::memcpy(late->date, at1Utc, 7);
    std::memcpy(early->date, at9East, 7);
    for (FileEntry* e : later)
        std::memcpy(e->date, "\x67\x01\x01\x00\x00\x00\x00", 7); // 2003/1/1 0:00:00 UTC
    b.Install();
    CKVDAppViewModel list;
    list.OnUpdate(true, 0);
    EXPECT_EQ(Names(list), "Track10.mp3 track1.MP3 Track2.mp3 b.txt A .. "); // the disc's order
    // Each click after the one before: ".." stays on top; equal keys keep the disc's order; the directory
    // without a recording time of its own is the oldest.
    const std::pair<int, const char*> clicks[] = {{0, ".. A b.txt track1.MP3 Track2.mp3 Track10.mp3 "},
                                                  {0, ".. Track10.mp3 Track2.mp3 track1.MP3 b.txt A "},
                                                  {0, "Track10.mp3 track1.MP3 Track2.mp3 b.txt A .. "},
                                                  {2, ".. Track10.mp3 Track2.mp3 A b.txt track1.MP3 "},
                                                  {1, ".. b.txt A Track2.mp3 Track10.mp3 track1.MP3 "},
                                                  {1, ".. track1.MP3 Track10.mp3 Track2.mp3 A b.txt "},
                                                  {3, ".. A b.txt Track10.mp3 track1.MP3 Track2.mp3 "},
                                                  {3, ".. track1.MP3 Track2.mp3 Track10.mp3 b.txt A "}};
    for (const auto& [column, expected] : clicks) {
        SCOPED_TRACE(column);
        list.SetSort(List_NextSort(list.Sort(), column));
        EXPECT_EQ(Names(list), expected);
    }
    // Rows map back to the disc's order (Save to Disc walks the chain), and the sort stays for the next
    // folder.
    EXPECT_EQ(list.Entry(1)->name, std::string("track1.MP3"));
    EXPECT_EQ(list.DiscRow(1), 1);
    EXPECT_EQ(list.DiscRow(0), 5);
    list.SetSort({0, false});
    list.OnUpdate(true, 1);
    EXPECT_EQ(Names(list), "x2 x10 ");
    EXPECT_EQ(list.DiscRow(0), 1);
    ListSort parsed;
    EXPECT_TRUE(List_ParseSort("size:desc", parsed));
    EXPECT_EQ(parsed, (ListSort{2, true}));
    EXPECT_TRUE(List_ParseSort("disc", parsed));
    EXPECT_EQ(parsed, ListSort{});
    for (const char* bad : {"Size", "size:down", "", "disc:desc"})
        EXPECT_FALSE(List_ParseSort(bad, parsed)) << bad;
}

TEST(TreeList, TheStatusBarCountsEntriesAndSaysWhatWasSaved) {
    EXPECT_EQ(Status_Entries(1) + "|" + Status_Entries(0) + "|" + Status_Entries(12345),
              "1 entry|0 entries|12,345 entries");
    std::string sizes;
    for (uint64_t n : {0ull, 999ull, 1000ull, 34500000ull, 999950ull, 1234567890ull})
        sizes += Status_Size(n) + "|";
    EXPECT_EQ(sizes, "0 bytes|999 bytes|1.0 kB|34.5 MB|1.0 MB|1.2 GB|");
    TreeCopyResult whole, cut, cancelled;
    cut.whole = false;
    cancelled.cancelled = true;
    EXPECT_EQ(Status_SavedFiles("/home/u/Music", {12, 34500000}, 12, whole),
              "Saved 12 files (34.5 MB) to /home/u/Music");
    EXPECT_EQ(Status_SavedFiles("/m", {11, 2000}, 12, cut),
              "Saved 11 of 12 files (2.0 kB) to /m; not everything could be saved");
    EXPECT_EQ(Status_SavedFiles("/m", {3, 0}, 12, cancelled),
              "Save to Disc cancelled: saved 3 of 12 files (0 bytes) to /m");
    EXPECT_EQ(Status_SavedFiles("", {}, 12, whole), "");
    SaveOutcome ok, failed;
    ok.written = 4100000;
    failed.result = SaveResult::ReadError;
    failed.written = 65536;
    EXPECT_EQ(Status_SavedFile("/home/u/A.MP3", ok), "Saved A.MP3 (4.1 MB) to /home/u");
    EXPECT_EQ(Status_SavedFile("/home/u/A.MP3", failed),
              "Not saved whole: A.MP3 in /home/u (65.5 kB written): Sorry, Disc Read Error...");
    EXPECT_EQ(Status_SavedFile("", ok), "");
    EXPECT_EQ(Status_Report(12, "/home/u/MA000012.csv", true), "Report 000012 saved to /home/u/MA000012.csv");
}

// The rows of Disc Information, "|" after each cell.
std::string RowsText(DiscModel* model, int style) {
    CDiscInfoDlgModel dlg;
    dlg.OnInitDialog(model, style);
    std::string text;
    for (const auto& row : dlg.Rows()) {
        for (const auto& cell : row)
            text += cell + "|";
        text += "\n";
    }
    return text;
}

TEST(DiscInfo, AudioAndMultiSessionDiscsInEveryStyle) {
    DiscModelBuilder audio;
    SessionEntry* a = audio.AddSession(0x00, 200000, 2352);
    a->leadOut = 200000;
    for (uint8_t t = 1; t <= 12; ++t)
        audio.AddTrack(a, t, 150u * t, 15000);
    DiscModelBuilder multi;
    SessionEntry* s1 = multi.AddSession(0x04, 11774, 2048);
    s1->pvdLbn = 16;
    s1->leadIn = static_cast<uint32_t>(-150); // an address before 00:02:00 reads negative
    s1->leadOut = 4500;
    s1->mode5Pointers = 0x02;
    s1->nextProgramArea = 11400;
    s1->recordingAreaLeadOut = 359849;
    multi.AddTrack(s1, 1, 0, 4500);
    SessionEntry* s2 = multi.AddSession(0x24, 20000, 2048);
    s2->pvdLbn = 11416;
    multi.AddTrack(s2, 2, 11400, 8600);
    multi.AddTrack(s2, 3, 20000, 75);
    multi.AddTrack(multi.AddSession(0x04, 30000, 2048), 4, 25000, 5000);
    std::string text = "audio\n" + RowsText(audio.Model(), LBNSIZE_BASE10);
    for (int style : {LBNSIZE_BASE10, LBNSIZE_BASE16, LBNSIZE_MSF})
        text += "multi-session, style " + std::to_string(style) + "\n" + RowsText(multi.Model(), style);
    ExpectGolden("app/disc_info.txt", text);
    DiscModel empty{};
    EXPECT_EQ(RowsText(&empty, 0) + RowsText(nullptr, 0), "");
}

} // namespace
