// The disc tree and the file list over hand-built disc models.
#include <gtest/gtest.h>

#include "appmodel/kvd_app_view_model.h"
#include "appmodel/left_view_model.h"
#include "disc_model_builder.h"
#include "report/lbn_size_style.h"
#include "res/resource.h"

namespace {

// Three sessions: ONE (DOCS/{A,B}, EMPTY), a session without root (a failed session), THREE (X/Y).
struct ThreeSessions {
    DiscModelBuilder b;
    FileEntry *docs, *a, *bdir, *empty, *x, *y;
    ThreeSessions() {
        b.AddSession(0x04);
        b.AddSession(0x04);
        b.AddSession(0x04);
        FileEntry* one = b.AddTree("ONE", 5);
        b.File(one, "README.TXT", 30, 100);
        docs = b.Dir(one, "DOCS", 21);
        a = b.Dir(docs, "A", 22);
        b.File(a, "A.MP3", 40, 1000000);
        bdir = b.Dir(docs, "B", 23);
        empty = b.Dir(one, "EMPTY", 24);
        b.AddTree(nullptr, 0);
        FileEntry* three = b.AddTree("THREE", 3);
        x = b.Dir(three, "X", 50);
        y = b.Dir(x, "Y", 51);
        b.File(y, "deep.txt", 60, 5);
        b.Install();
    }
};

std::vector<std::string> Names(const CKVDAppViewModel& list) {
    std::vector<std::string> names;
    for (int r = 0; r < list.RowCount(); ++r)
        names.push_back(list.Text(r, 0));
    return names;
}

class TreeListTest : public ::testing::Test {
  protected:
    void SetUp() override { g_LbnSizeStyle = LBNSIZE_BASE10; }
    void TearDown() override { g_LbnSizeStyle = LBNSIZE_BASE10; }
};

TEST_F(TreeListTest, TreeNumbersItemsInPreOrderOverAllSessionsIncludingOneWithoutRoot) {
    ThreeSessions disc;
    CLeftViewModel tree;
    tree.Fill(disc.b.Model());
    const auto& items = tree.Items();
    ASSERT_EQ(tree.TopLevel().size(), 3u);
    std::vector<std::pair<std::string, uint32_t>> order;
    for (const TreeItem& i : items)
        order.emplace_back(i.text, i.number);
    std::vector<std::pair<std::string, uint32_t>> expected = {
        {"(Session1) ONE", 0},   {"DOCS", 1}, {"A", 2}, {"B", 3}, {"EMPTY", 4}, {"(Session2) ", 5},
        {"(Session3) THREE", 6}, {"X", 7},    {"Y", 8}};
    EXPECT_EQ(order, expected);
    const TreeItem& s1 = items[static_cast<size_t>(tree.TopLevel()[0])];
    EXPECT_EQ(s1.image, IMG_CD);
    EXPECT_EQ(s1.selectedImage, IMG_CD);
    EXPECT_TRUE(s1.expanded);
    const TreeItem& docs = items[static_cast<size_t>(s1.children[0])];
    EXPECT_EQ(docs.image, IMG_FOLDER_CLOSED);
    EXPECT_EQ(docs.selectedImage, IMG_FOLDER_OPEN);
    EXPECT_TRUE(docs.expanded);
    EXPECT_EQ(docs.children.size(), 2u);
    // Directories without sub-directories stay collapsed; the rootless session has no children.
    EXPECT_FALSE(items[static_cast<size_t>(s1.children[1])].expanded);
    EXPECT_TRUE(items[static_cast<size_t>(tree.TopLevel()[1])].children.empty());
}

TEST_F(TreeListTest, EveryTreeNumberResolvesToItsDirectoryInTheList) {
    ThreeSessions disc;
    CKVDAppDocModel doc;
    CKVDAppViewModel list(&doc);
    list.OnUpdate(true, 0);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"README.TXT", "DOCS", "EMPTY"}));
    EXPECT_EQ(g_CurrentSession, 0);
    EXPECT_EQ(doc.Title(), "ONE");
    list.OnUpdate(true, 1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A", "B"}));
    list.OnUpdate(true, 2);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A.MP3"}));
    list.OnUpdate(true, 4); // an empty directory gives an empty list
    EXPECT_EQ(list.RowCount(), 0);
    list.OnUpdate(true, 5); // the rootless session
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(g_CurrentSession, 1);
    list.OnUpdate(true, 6);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"X"}));
    EXPECT_EQ(g_CurrentSession, 2);
    EXPECT_EQ(doc.Title(), "THREE");
    EXPECT_EQ(disc.b.Model()->currentTree, disc.b.Model()->firstTree->next->next);
    list.OnUpdate(true, 8);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"deep.txt"}));
}

TEST_F(TreeListTest, NumberOutsideTheModelOrNoSenderLeavesNoStaleRows) {
    ThreeSessions disc;
    CKVDAppViewModel list;
    list.OnUpdate(true, 0);
    ASSERT_EQ(list.RowCount(), 3);
    list.OnUpdate(false, 1); // an update without a sender is ignored
    EXPECT_EQ(list.RowCount(), 3);
    list.OnUpdate(true, 9);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.Entries(), nullptr);
    EXPECT_EQ(list.CurrentItem(), -1);
    disc.b.Uninstall();
    g_DiscModel = nullptr;
    list.OnUpdate(true, 0);
    EXPECT_EQ(list.RowCount(), 0);
}

TEST_F(TreeListTest, ReselectingTheSelectedItemSendsNothing) {
    ThreeSessions disc;
    CLeftViewModel tree;
    tree.Fill(disc.b.Model());
    uint32_t hint = 99;
    EXPECT_TRUE(tree.Select(1, &hint));
    EXPECT_EQ(hint, 1u);
    hint = 99;
    EXPECT_FALSE(tree.Select(1, &hint));
    EXPECT_EQ(hint, 99u);
    EXPECT_FALSE(tree.Select(-1, &hint)); // clearing the selection sends nothing
    EXPECT_FALSE(tree.Select(100, &hint));
    tree.Clear();
    EXPECT_TRUE(tree.Items().empty());
    EXPECT_EQ(tree.Selected(), -1);
}

TEST_F(TreeListTest, ListRowsInTheThreeNumberStyles) {
    DiscModelBuilder b;
    b.AddSession(0x04);
    FileEntry* root = b.AddTree("VOL", 2);
    b.File(root, "BIG.MP3", 23, 1000000);
    b.Dir(root, "SUB", 4500);
    b.File(root, "MAX.BIN", 0xFFFFFFFFu, 0x80000000u);
    b.Install();
    CKVDAppViewModel list;
    list.OnUpdate(true, 0);
    ASSERT_EQ(list.RowCount(), 3);
    EXPECT_EQ(list.Image(0), IMG_DOCUMENT);
    EXPECT_EQ(list.Image(1), IMG_FOLDER_CLOSED);
    list.OnItemChanged(0, 1);
    // Style, row, column, text; directories have no date, sizes are unsigned, never negative.
    const struct {
        int style, row, column;
        const char* text;
    } cells[] = {{LBNSIZE_BASE10, 0, 1, "      23"},
                 {LBNSIZE_BASE10, 0, 2, " 1000000"},
                 {LBNSIZE_BASE10, 0, 3, "2002/10/21  9: 5:07"},
                 {LBNSIZE_BASE10, 1, 1, "    4500"},
                 {LBNSIZE_BASE10, 1, 2, "    2048"},
                 {LBNSIZE_BASE10, 1, 3, ""},
                 {LBNSIZE_BASE10, 2, 1, "4294967295"},
                 {LBNSIZE_BASE10, 2, 2, "2147483648"},
                 {LBNSIZE_BASE16, 0, 1, "0x00000017"},
                 {LBNSIZE_BASE16, 0, 2, "0x000F4240"},
                 {LBNSIZE_BASE16, 2, 1, "0xFFFFFFFF"},
                 {LBNSIZE_MSF, 1, 1, "01:00:00"},
                 {LBNSIZE_MSF, 0, 2, "222:13:25"},
                 {LBNSIZE_MSF, 0, 0, "BIG.MP3"},
                 {LBNSIZE_BASE10, 0, 1, "      23"}};
    int style = LBNSIZE_BASE10;
    for (const auto& c : cells) {
        SCOPED_TRACE(testing::Message() << c.style << " " << c.row << "," << c.column);
        if (c.style != style) {
            list.SetStyle(style = c.style);
            EXPECT_EQ(list.CurrentItem(), -1); // the refill leaves no current row
        }
        EXPECT_EQ(list.Text(c.row, c.column), c.text);
    }
}

TEST_F(TreeListTest, ContextMenuFollowsTheCurrentRow) {
    DiscModelBuilder b;
    b.AddSession(0x04);
    FileEntry* root = b.AddTree("VOL", 2);
    b.File(root, "A.MP3", 23, 10);
    b.Dir(root, "SUB");
    b.Install();
    CKVDAppViewModel list;
    list.OnUpdate(true, 0);
    EXPECT_EQ(list.ContextMenu(), IDR_MENU_LBNSIZE); // nothing touched yet
    list.OnItemChanged(0, 1);
    EXPECT_EQ(list.ContextMenu(), IDR_MENU_FILE);
    list.OnItemChanged(0, 0);
    list.OnItemChanged(1, 1);
    EXPECT_EQ(list.ContextMenu(), 0); // a directory row has no menu
    list.OnItemChanged(1, 0);
    EXPECT_EQ(list.ContextMenu(), IDR_MENU_LBNSIZE);
    EXPECT_FALSE(CKVDAppViewModel::CommandEnabled(ID_PLAY));
    EXPECT_TRUE(CKVDAppViewModel::CommandEnabled(ID_LBNSIZE_BASE16));
    EXPECT_TRUE(CKVDAppViewModel::CommandEnabled(ID_SAVE_TO_DISC));
}

TEST_F(TreeListTest, DeeplyNestedDirectoriesFillAndResolveWithoutRecursion) {
    DiscModelBuilder b;
    b.AddSession(0x04);
    constexpr int kDepth = 70000;
    FileEntry* root = b.AddTree("DEEP", kDepth + 1);
    FileEntry* d = root;
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
    EXPECT_EQ(Names(list), (std::vector<std::string>{"LEAF"}));
}

} // namespace
