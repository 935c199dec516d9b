// A disc browsed from the catalogue without the disc: the tree and lists its image shows, the title marked,
// and the commands that read the disc's sectors asking for the disc (or opening its image) instead.
#include "widget_fixture.h"

#include "appmodel/catalogue_add.h"
#include "catalogue/catalogue.h"
#include "iso9660/disc.h"

namespace {

// Every tree item's text and, below each, its folder's rows (name, LBN, size, date).
QStringList Shown(CMainFrameModel& model) {
    QStringList shown;
    for (size_t i = 0; i < model.Tree().Items().size(); ++i) {
        uint32_t hint = 0;
        model.Tree().Select(-1, nullptr); // the item shown already is selected anew
        EXPECT_TRUE(model.Tree().Select(int(i), &hint));
        model.Doc().UpdateAllViews(true, hint);
        shown << QString::fromStdString(model.Tree().Items()[i].text);
        for (int row = 0; row < model.List().RowCount(); ++row)
            shown << QString::fromStdString(model.List().Text(row, 0) + "|" + model.List().Text(row, 1) +
                                            "|" + model.List().Text(row, 2) + "|" +
                                            model.List().Text(row, 3));
    }
    return shown;
}

// Closes the modal dialog shown next (noting it in `opened`), if one is.
void CloseModal(bool& opened) {
    QTimer::singleShot(0, [&opened] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            opened = true;
            w->close();
        }
    });
}

// The loaded disc into the catalogue at `db` as disc `number` read from `source`, `suffix` after its name.
void AddLoadedDisc(const std::string& db, int number, const std::string& source, const char* suffix) {
    Catalogue cat;
    std::string error;
    ASSERT_TRUE(cat.Open(db, true, error)) << error;
    CatalogueDisc disc;
    Cat_LoadedDisc(Iso_CurrentDisc(), disc);
    disc.number = number;
    disc.source = source;
    disc.volume += suffix;
    const auto walk = [](const std::function<void(CatalogueEntry&)>& put) {
        Cat_EachLoadedEntry(Iso_CurrentDisc(), put);
    };
    int used = 0;
    bool updated = false;
    ASSERT_TRUE(cat.Add(disc, walk, nullptr, &used, &updated, nullptr, error)) << error;
}

} // namespace

TEST_F(MainWindow, ACataloguedDiscIsBrowsedAsItsImageShowsAndNeverRead) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    const QStringList loaded = Shown(frame_->Model());
    // The loaded disc added twice: as read from a file that is gone (5), and from its image (6, another
    // volume name so that it is another disc).
    const std::string db = dir_.filePath("catalogue.sqlite").toStdString();
    App_UseCatalogue(db);
    ASSERT_NO_FATAL_FAILURE(AddLoadedDisc(db, 5, "/nonexistent/demo.cue", ""));
    ASSERT_NO_FATAL_FAILURE(AddLoadedDisc(db, 6, demo_[0], " COPY"));
    const std::string volume = Iso_EntryName(Iso_CurrentDisc().model->firstTree->next->root);

    ASSERT_TRUE(frame_->ShowCatalogued(5));
    EXPECT_TRUE(Iso_CurrentDisc().listed);
    EXPECT_EQ(frame_->windowTitle().toStdString(), volume + " (catalogue) - CKVD Explorer");
    QStringList browsed = Shown(frame_->Model());
    // The catalogue keeps the disc's volume name (its last session's), not each session's.
    ASSERT_EQ(browsed.size(), loaded.size());
    browsed[0] = loaded[0];
    EXPECT_EQ(browsed, loaded);

    // Verify and Tag Information ask for the disc and open nothing.
    const QString insert = QString("insert disc %1 (number 5)").arg(QString::fromStdString(volume));
    bool opened = false;
    const auto closeAny = [&] { CloseModal(opened); };
    Select("/CONTENTS.LMX");
    const std::vector<std::function<void()>> reading = {
        [&] { frame_->OnVerifyDisc(); },
        [&] { frame_->OnSaveDiscImage(); },
        [&] { frame_->OnPlayerCheck(); },
        [&] { frame_->OnAddToCatalogue(); },
        [&] { frame_->OnSaveDiscInformation(); },
        [&] { frame_->GetRightPane()->OnCommand(ID_TAG_INFORMATION); },
        [&] { frame_->GetRightPane()->OnCommand(ID_NAVIGATION_VIEWER); },
        [&] { frame_->GetRightPane()->OnCommand(ID_SAVE_TO_DISC); },
    };
    for (const auto& command : reading) {
        closeAny();
        command();
        QApplication::processEvents();
    }
    EXPECT_FALSE(opened);
    ASSERT_EQ(sink_.shown.size(), reading.size());
    for (const std::string& message : sink_.shown)
        EXPECT_TRUE(QString::fromStdString(message).contains(insert)) << message;
    // What reads only the model opens as ever; the drive poll has no drive to look at.
    closeAny();
    frame_->OnDiscInformation();
    closeAny();
    frame_->OnLevel1Simulation();
    frame_->PollDrive();
    EXPECT_TRUE(Iso_CurrentDisc().listed);
    sink_.shown.clear();

    // A copy of disc 6 on the Duplicates tab of Find in Catalogue browses that disc at the copy's path.
    WithModalDialog<CFindCatalogueDlg>(
        [&] { frame_->OnFindInCatalogue(); }, "Find in Catalogue",
        [&](CFindCatalogueDlg* dlg) {
            dlg->Tabs()->setCurrentIndex(CFindCatalogueDlg::DuplicatesTab);
            QTreeWidgetItem* file = dlg->DuplicateList()->topLevelItem(0);
            ASSERT_NE(file, nullptr);
            for (int i = 0; i < file->childCount(); ++i)
                if (file->child(i)->text(1) == "000006") {
                    emit dlg->DuplicateList()->itemDoubleClicked(file->child(i), 0);
                    break;
                }
            EXPECT_TRUE(frame_->windowTitle().contains(" COPY (catalogue)"))
                << frame_->windowTitle().toStdString();
            CKVDAppViewModel& files = frame_->Model().List();
            ASSERT_NE(files.Entry(files.CurrentItem()), nullptr);
            EXPECT_EQ(QString::fromUtf8(Iso_EntryName(files.Entry(files.CurrentItem()))), file->text(0));
        });

    // Disc 6 was read from an image that is still there: a command that reads opens that image instead.
    ASSERT_TRUE(frame_->ShowCatalogued(6));
    frame_->OnVerifyDisc();
    EXPECT_FALSE(Iso_CurrentDisc().listed);
    EXPECT_EQ(Shown(frame_->Model()), loaded);
    EXPECT_TRUE(sink_.shown.empty());
    App_UseCatalogue({});
}
