// The Qt front ends on the offscreen platform: profile file, instance lock, display text, the main window on
// the demo disc, the list's commands, the dialogs they open and the navigation-file viewers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPalette>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <array>
#include <fstream>
#include <functional>
#include <typeinfo>

#include "appmodel/app_modules.h"
#include "appmodel/app_startup.h"
#include "appmodel/first_drive.h"
#include "appmodel/window_placement.h"
#include "desktop/dialogs/disc_info_dlg.h"
#include "desktop/dialogs/drive_dlg.h"
#include "desktop/dialogs/find_catalogue_dlg.h"
#include "desktop/dialogs/player_check_dlg.h"
#include "desktop/dialogs/save_disc_info_dlg.h"
#include "desktop/dialogs/save_to_disc_dlg.h"
#include "desktop/dialogs/verify_dlg.h"
#include "desktop/mainwindow/kvd_app_view.h"
#include "desktop/mainwindow/left_view.h"
#include "desktop/mainwindow/main_frm.h"
#include "desktop/mainwindow/screenshot.h"
#include "desktop/mediainfo/cda_dlg.h"
#include "desktop/mediainfo/mp3_dlg.h"
#include "desktop/mediainfo/pcm_format_dlg.h"
#include "desktop/mediainfo/tag_information.h"
#include "desktop/mediainfo/wav_dlg.h"
#include "desktop/mediainfo/wmf_dlg.h"
#include "desktop/navigation/nav_dlg.h"
#include "disc_model_builder.h"
#include "golden.h"
#include "iso9660/iso9660.h"
#include "platform/aspi32/drive_setup.h"
#include "platform/images/demo_discs.h"
#include "platform/images/disc_image.h"
#include "platform/ui/message_sink.h"
#include "platform/ui/ui_instance.h"
#include "platform/ui/ui_profile.h"
#include "platform/ui/ui_text.h"
#include "report/lbn_size_style.h"
#include "report/report_number.h"
#include "res/resource.h"

namespace {

// Action texts, "-" for a separator, " *" after a checked item.
QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions)
        texts << (a->isSeparator() ? "-" : a->text() + (a->isChecked() ? " *" : ""));
    return texts;
}

// The items of the popup menu that `open` shows.
QStringList PopupTexts(const std::function<void()>& open) {
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            texts = Texts(menu->actions());
            menu->close();
        }
    });
    open();
    return texts;
}

// What the view draws of a cell: its text, cut to the text rectangle the style gives it in that cell.
QString DrawnText(QAbstractItemView* view, const QModelIndex& index) {
    QStyleOptionViewItem opt;
    opt.initFrom(view);
    opt.rect = view->visualRect(index);
    opt.text = index.data().toString();
    opt.features = QStyleOptionViewItem::HasDisplay;
    if (!index.data(Qt::DecorationRole).isNull()) {
        opt.features |= QStyleOptionViewItem::HasDecoration;
        opt.decorationSize = view->iconSize();
    }
    opt.displayAlignment = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
    const QRect text = view->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, view);
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, text.width() - 2 * margin);
}

// The values beside `labels` in a form or viewer, "|" after each, or a marker for a field it does not have.
template <class Form> QString Value(const Form* form, std::initializer_list<const char*> labels) {
    QString text;
    for (const char* label : labels)
        text += (form->Field(label) ? form->Field(label)->text() : QString("<no field %1>").arg(label)) + "|";
    return text;
}

// Runs `open`, which should exec() a modal D titled `title`, hands that dialog to `check` and closes it.
template <class D>
void WithModalDialog(const std::function<void()>& open, const QString& title,
                     const std::function<void(D*)>& check) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (auto* dlg = dynamic_cast<D*>(shown)) {
            seen = true;
            EXPECT_EQ(dlg->windowTitle(), title);
            check(dlg);
        }
        if (shown)
            shown->accept();
    });
    open();
    QApplication::processEvents(); // the timer fires here when `open` showed nothing
    EXPECT_TRUE(seen) << "no modal " << typeid(D).name() << " opened";
}

// A press and release on the report view's row of that name, then the double-click event.
void DoubleClickRow(CKVDAppView* list, const QString& name) {
    const QModelIndexList found =
        list->ListModel()->match(list->ListModel()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString() << " is not in the list";
    QTreeView* view = list->ReportView();
    view->scrollTo(found[0]);
    const QPoint at = view->visualRect(found[0]).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        demo_ = ckvd::images::demo_disc_paths();
        ASSERT_EQ(demo_.size(), 2u);
        // The analyzers too, as the program brings them up: Tag Information needs their buffers.
        ASSERT_TRUE(App_InitializeModules(App_EngineModules(), sink_));
        std::string error;
        ASSERT_TRUE(ckvd::aspi32::SetupDrives(demo_, &error)) << error;
        g_LbnSizeStyle = 0;
        profile_ = std::make_unique<ckvd::ui::IniProfile>(ProfilePath());
        frame_ = std::make_unique<CMainFrame>(sink_, *profile_);
        frame_->Model().waitBetweenTests = false;
    }
    void TearDown() override {
        frame_.reset();
        App_TerminateModules(App_EngineModules());
    }
    // Where ckvd report finds the profile with XDG_CONFIG_HOME set to dir_/config.
    QString ProfilePath() const { return dir_.path() + "/config/ckvd-explorer/profile.ini"; }
    void Show() {
        frame_->ShowWindow(5);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void ShowDemoDisc() {
        ASSERT_NO_FATAL_FAILURE(Show());
        ASSERT_TRUE(frame_->LoadDisc(uint16_t(App_StartFirstDrive(true, sink_, false))));
    }
    // The entry of `path` in the session the window shows, made the list's current row.
    FileEntry* Select(const std::string& path) {
        std::string error;
        EXPECT_TRUE(Screenshot_Select(*frame_, path, &error)) << error;
        CKVDAppViewModel& list = frame_->Model().List();
        return const_cast<FileEntry*>(list.Entry(list.CurrentItem()));
    }
    void OpenImage(const std::string& path) {
        frame_->chooseImage = [path] { return QString::fromStdString(path); };
        frame_->OnOpenDiscImage();
    }
    QTemporaryDir dir_;
    std::vector<std::string> demo_;
    ckvd::ui::RecordingSink sink_;
    std::unique_ptr<ckvd::ui::IniProfile> profile_;
    std::unique_ptr<CMainFrame> frame_;
};

TEST(UiProfile, WritesTheSectionAsNamedAndReadsItBack) {
    QTemporaryDir dir;
    QString path = dir.path() + "/sub/profile.ini";
    {
        ckvd::ui::IniProfile p(path);
        EXPECT_EQ(p.GetInt("CX", 640), 640);
        p.WriteInt("CX", 812);
        p.WriteString("Recent Images", "Image1", "/discs/one disc.cue");
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string text = f.readAll().toStdString();
    EXPECT_EQ(text.find("[CkvdExplorer Settings]\nCX=812\n"), 0u) << text;
    EXPECT_NE(text.find("[Recent Images]\nImage1=/discs/one disc.cue\n"), std::string::npos) << text;
    ckvd::ui::IniProfile again(path);
    EXPECT_EQ(again.GetInt("CX", 0), 812);
    EXPECT_EQ(again.GetString("Recent Images", "Image1"), "/discs/one disc.cue");
    // No temporary file is left beside the profile.
    EXPECT_EQ(QDir(dir.path() + "/sub").entryList(QDir::Files), QStringList{"profile.ini"});
}

TEST(UiInstance, SecondGuardFailsWhileTheFirstHoldsAndReleaseHappensOnce) {
    QTemporaryDir dir;
    ckvd::ui::LockFileGuard first(dir.path()), second(dir.path());
    // The name holds the user, the display and the profile directory.
    EXPECT_TRUE(QFileInfo(first.Path()).fileName().contains("-offscreen-")) << first.Path().toStdString();
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(QFile::exists(first.Path()));
    EXPECT_FALSE(second.Acquire());
    first.Release();
    first.Release();
    EXPECT_FALSE(QFile::exists(first.Path()));
    EXPECT_TRUE(second.Acquire());
    // Another display or profile is another session; a name too long for a socket's path is hashed.
    const QString name = ckvd::ui::Instance_Name("u", ":57", "/home/u/.config/ckvd-explorer");
    EXPECT_TRUE(name.startsWith("CKVDExpInstance-u-:57-")) << name.toStdString();
    EXPECT_NE(name, ckvd::ui::Instance_Name("u", ":58", "/home/u/.config/ckvd-explorer"));
    EXPECT_NE(name, ckvd::ui::Instance_Name("u", ":57", "/tmp/p/ckvd-explorer"));
    EXPECT_LE(ckvd::ui::Instance_Name(QString(200, 'u'), "wayland-0", "/p").size(), 60);
}

TEST(UiText, ShiftJisToUnicode) {
    // "音楽" 0x89B9 0x8A79, half-width katakana "ｱ" 0xB1, ASCII, and a lone lead byte at the end.
    EXPECT_EQ(ckvd::ui::SjisToQString("\x89\xb9\x8a\x79-\xb1 A\x82\xa0\x81"),
              QString::fromUtf8("音楽-ｱ Aあ\xEF\xBF\xBD"));
    EXPECT_EQ(ckvd::ui::SjisToQString(nullptr), QString());
}

TEST_F(MainWindow, MenusToolBarAndStatusBar) {
    QString text;
    auto add = [&text](const QList<QAction*>& actions) {
        for (QAction* a : actions)
            text += a->isSeparator() ? "  -\n"
                                     : "  " + a->text() + "|" + a->shortcut().toString() + "|" +
                                           a->statusTip() + "|" + a->toolTip() + "\n";
    };
    for (QAction* menu : frame_->menuBar()->actions()) {
        text += menu->text() + "\n";
        add(menu->menu()->actions());
    }
    text += "tool bar\n";
    add(frame_->ToolBar()->actions());
    text += frame_->statusBar()->currentMessage() + "\n" + frame_->windowTitle() + "\n";
    ExpectGolden("app/main_window_commands.txt", text.toStdString());
    // The view-style buttons carry their own four distinct pictures.
    QSet<QByteArray> pictures;
    for (int command : {ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS}) {
        QImage image = frame_->Action(command)->icon().pixmap(16, 16).toImage();
        ASSERT_FALSE(image.isNull());
        pictures.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(pictures.size(), 4);
}

TEST_F(MainWindow, ImagesOpenFromTheMenuADropAndTheRecentList) {
    ASSERT_NO_FATAL_FAILURE(Show());
    QAbstractItemModel* list = frame_->GetRightPane()->ListModel();
    frame_->chooseImage = [this] { return QString::fromStdString(demo_[1]); };
    frame_->Action(ID_OPEN_IMAGE)->trigger();
    EXPECT_TRUE(
        frame_->GetLeftPane()->model()->index(0, 0).data().toString().startsWith("(Session1) Audio CD"));
    EXPECT_EQ(list->index(0, 0).data().toString(), "Track01.cda");
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown[0];
    // A malformed sheet: a message, and the disc shown stays usable.
    const std::string bad = dir_.path().toStdString() + "/bad.cue";
    std::ofstream(bad) << "FILE \"none.bin\" BINARY\n  TRACK 01 MODE1/2048\n";
    OpenImage(bad);
    EXPECT_EQ(sink_.shown.size(), 1u);
    EXPECT_EQ(list->index(0, 0).data().toString(), "Track01.cda");
    // A dropped image is loaded the same way.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(demo_[0]))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame_.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame_.get(), &drop);
    EXPECT_EQ(sink_.shown.size(), 1u) << sink_.shown.back();
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S1"));
    // Both head the recent list, newest first; an entry whose file has gone leaves the menu.
    const QStringList recent{"&1 demo-data.cue", "&2 demo-audio.cue", "-"};
    EXPECT_EQ(Texts(frame_->FileMenu()->actions()).mid(4, 3), recent); // after Add to Catalogue
    EXPECT_EQ(profile_->GetString("Recent Images", "Image2"), demo_[1]);
    frame_->Model().Recent().Add(dir_.path().toStdString() + "/gone.iso");
    frame_->OpenRecentImage(0);
    EXPECT_EQ(Texts(frame_->FileMenu()->actions()).mid(4, 3), recent);
}

TEST_F(MainWindow, DemoDiscFillsTreeAndListAndTheTreeDrivesTheList) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CLeftView* tree = frame_->GetLeftPane();
    CKVDAppView* list = frame_->GetRightPane();
    QAbstractItemModel* rows = list->ListModel();
    EXPECT_EQ(tree->model()->rowCount(), 2);
    EXPECT_EQ(tree->currentIndex(), tree->model()->index(0, 0));
    EXPECT_TRUE(frame_->windowTitle().endsWith(" - CKVD Explorer"));
    EXPECT_EQ(rows->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "FileName");
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(tree->currentIndex().parent(), tree->model()->index(0, 0));
    EXPECT_NE(rows->rowCount(), 0);
    // The second session's item: the list follows. Focus moving alone, or the selection being cleared,
    // selects nothing.
    tree->setCurrentIndex(tree->model()->index(1, 0));
    EXPECT_EQ(g_CurrentSession, 1);
    const int shownRows = rows->rowCount();
    tree->selectionModel()->setCurrentIndex(tree->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    tree->selectionModel()->clearSelection();
    EXPECT_EQ(g_CurrentSession, 1);
    EXPECT_EQ(rows->rowCount(), shownRows);
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S2"));
    tree->setCurrentIndex(tree->model()->index(1, 0));
    // Japanese names come through the Shift-JIS conversion.
    EXPECT_EQ(rows->match(rows->index(0, 0), Qt::DisplayRole, QString::fromUtf8("追加"), 1, Qt::MatchExactly)
                  .size(),
              1);
    const QString lbn = rows->index(0, 1).data().toString();
    list->OnCommand(ID_LBNSIZE_BASE16);
    EXPECT_TRUE(rows->index(0, 1).data().toString().startsWith("0x"));
    EXPECT_EQ(rows->index(0, 1).data().toString().toUInt(nullptr, 16), lbn.trimmed().toUInt());
    list->OnCommand(ID_LBNSIZE_BASE10);
    frame_->OnViewStyle(ID_VIEW_LARGEICON);
    EXPECT_EQ(list->currentWidget(), list->IconView());
    EXPECT_EQ(list->IconView()->viewMode(), QListView::IconMode);
    EXPECT_TRUE(frame_->Action(ID_VIEW_LARGEICON)->isChecked());
    EXPECT_FALSE(frame_->Action(ID_VIEW_DETAILS)->isChecked());
    frame_->OnViewStyle(ID_VIEW_DETAILS);
    EXPECT_EQ(list->currentWidget(), list->ReportView());
    // Disc Information: one row per track, headings and values whole, within the screen.
    CDiscInfoDlg info(frame_.get());
    QTreeWidget* table = info.List();
    EXPECT_EQ(table->topLevelItemCount(), static_cast<int>(info.Content().Rows().size()));
    EXPECT_EQ(table->headerItem()->text(13), "RecordingAreaLeadOut");
    EXPECT_EQ(table->topLevelItem(0)->text(3), "1");
    EXPECT_LE(info.width(), frame_->screen()->availableGeometry().width());
    for (int c = 0; c < DISCINFO_COLUMNS; ++c)
        for (int r = -1; r < table->topLevelItemCount(); ++r) {
            const QString text = r < 0 ? table->headerItem()->text(c) : table->topLevelItem(r)->text(c);
            EXPECT_GT(table->columnWidth(c), table->fontMetrics().horizontalAdvance(text))
                << text.toStdString();
        }
    // Screenshots select a directory or a file by path, in the last session that has it.
    Select("/DOCS/NOTES");
    EXPECT_EQ(tree->currentIndex().data().toString(), "NOTES");
    Select("/README.TXT");
    EXPECT_EQ(tree->currentIndex().data().toString().left(10), "(Session2)");
    EXPECT_EQ(list->ReportView()->currentIndex().data().toString(), "README.TXT");
    Select(QString::fromUtf8("/追加").toStdString()); // a name only the second session has
    EXPECT_EQ(g_CurrentSession, 1);
    std::string error;
    EXPECT_FALSE(Screenshot_Select(*frame_, "/NO/SUCH", &error));
    QImage shot = Screenshot_Grab(*frame_);
    EXPECT_EQ(shot.width(), frame_->width());
    EXPECT_GT(shot.height(), frame_->height()); // the caption above the window
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, 3), frame_->palette().color(QPalette::Highlight));
    // The Save to Disc window copies the file and closes by itself.
    FileEntry* readme = Select("/README.TXT");
    CKVDAppViewModel& model = frame_->Model().List();
    CSaveToDiscDlg save(sink_, model.Entries(), model.CurrentItem(), frame_.get());
    const QString copy = dir_.path() + "/readme.txt";
    save.Model().chooseFile = [&](const std::string& proposed) {
        EXPECT_EQ(proposed, "README.TXT");
        return copy.toStdString();
    };
    EXPECT_EQ(save.exec(), QDialog::Accepted);
    EXPECT_EQ(save.Outcome().result, SaveResult::Ok);
    EXPECT_EQ(QFileInfo(copy).size(), qint64(readme->size));
    EXPECT_EQ(save.Progress()->value(), save.Progress()->maximum());
    EXPECT_TRUE(sink_.shown.empty());
    // An audio track's file dialog offers WAV and FLAC; the filter chosen gives the name its extension.
    const auto track = App_SaveToDiscFileDialog("Track02.wav", frame_.get(), true);
    EXPECT_EQ(track->nameFilters(), QStringList({"WAV audio (*.wav)", "FLAC audio (*.flac)"}));
    track->selectNameFilter("FLAC audio (*.flac)");
    Q_EMIT track->filterSelected("FLAC audio (*.flac)");
    EXPECT_TRUE(track->selectedFiles().value(0).endsWith("/Track02.flac"))
        << track->selectedFiles().value(0).toStdString();
    EXPECT_EQ(track->defaultSuffix(), "flac");
    EXPECT_FALSE(
        App_SaveToDiscFileDialog("README.TXT", frame_.get())->nameFilters().join(";").contains("FLAC"));
}

TEST_F(MainWindow, ClosingWritesThePlacementAndAMaximisedStartKeepsItRunAfterRun) {
    frame_->move(40, 30);
    frame_->resize(700, 500);
    ASSERT_NO_FATAL_FAILURE(Show());
    frame_->resize(720, 480);
    frame_->close();
    ckvd::ui::IniProfile read(ProfilePath());
    EXPECT_EQ(read.GetInt("CX", 0), frame_->frameGeometry().width());
    EXPECT_EQ(read.GetInt("CY", 0), frame_->frameGeometry().height());
    EXPECT_EQ(read.GetInt("ISZOOM", -1), 0);
    EXPECT_EQ(read.GetInt("DISCMNGRNO", -1), -1); // only a report stores a number: ckvd may have taken one
    frame_.reset();
    for (const auto& [key, value] : {std::pair{"X", 40}, {"Y", 30}, {"CX", 700}, {"CY", 500}})
        profile_->WriteInt(key, value);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        profile_->WriteInt("ISZOOM", 1);
        CMainFrame frame(sink_, *profile_);
        frame.ShowWindow(App_ShowCommand(*profile_));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        QTRY_VERIFY(frame.isMaximized());
        frame.showNormal();
        QTRY_VERIFY(!frame.isMaximized());
        frame.close();
        EXPECT_EQ((std::array{profile_->GetInt("X", 0), profile_->GetInt("Y", 0), profile_->GetInt("CX", 0),
                              profile_->GetInt("CY", 0)}),
                  (std::array{40, 30, 700, 500}));
    }
}

TEST_F(MainWindow, NumbersAndDatesShowWholeInEveryStyleAtTheFirstStartSize) {
    frame_->ShowWindow(5);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    // Three quarters of the offscreen screen's 800 x 800, never below 640 x 400.
    ASSERT_EQ(frame_->frameGeometry().size(), QSize(640, 600));
    ASSERT_TRUE(frame_->LoadDisc(uint16_t(App_StartFirstDrive(true, sink_, false))));
    CKVDAppView* list = frame_->GetRightPane();
    QTreeView* view = list->ReportView();
    auto expectWhole = [&](const char* what) {
        QApplication::processEvents();
        ASSERT_GT(list->ListModel()->rowCount(), 0);
        for (int r = 0; r < list->ListModel()->rowCount(); ++r)
            for (int c = 1; c <= 3; ++c) {
                QModelIndex i = list->ListModel()->index(r, c);
                EXPECT_EQ(DrawnText(view, i), i.data().toString()) << what << " row " << r << " column " << c;
            }
    };
    for (int style : {ID_LBNSIZE_BASE10, ID_LBNSIZE_BASE16, ID_LBNSIZE_MSF}) {
        list->OnCommand(style);
        expectWhole("demo disc");
    }
    // 10-digit sizes and LBNs, and long names, on a hand-built disc.
    DiscModelBuilder big;
    FileEntry* root = big.AddTree("BIG", 1);
    big.File(root, "b.mp3", 1000000000u, 3999999999u);
    big.File(root, "a-long-file-name-of-a-recording-that-goes-on-and-on.wav", 4294967295u, 4000000000u);
    list->OnCommand(ID_LBNSIZE_BASE10);
    frame_->Model().List().Clear();
    for (int style : {ID_LBNSIZE_BASE10, ID_LBNSIZE_BASE16, ID_LBNSIZE_MSF}) {
        frame_->Model().List().FillList(root->firstChild);
        list->OnCommand(style);
        expectWhole("10-digit sizes");
    }
    EXPECT_EQ(list->ListModel()->index(1, 2).data().toString(), "888888:53:25");
    // The long name is never cut: the row is wider than the list, which scrolls sideways.
    const QModelIndex name = list->ListModel()->index(1, 0);
    EXPECT_EQ(DrawnText(view, name), name.data().toString());
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
    // In the list style the cell is sized from the widest name (up to the view's width), not from the first.
    frame_->OnViewStyle(ID_VIEW_LIST);
    QApplication::processEvents();
    QListView* icons = list->IconView();
    QModelIndex longName = list->ListModel()->index(1, 0);
    const int need =
        icons->fontMetrics().horizontalAdvance(longName.data().toString()) + icons->iconSize().width();
    EXPECT_GE(icons->visualRect(longName).width(), std::min(need, icons->viewport()->width()));
    frame_->Model().List().Clear();
    list->Reload();
}

TEST_F(MainWindow, DriveDialogNamesImagesByFileAndPointsAtOpenDiscImageWhenEmpty) {
    frame_->ShowWindow(5);
    CDriveDlg dlg(sink_, frame_.get());
    dlg.Prepare();
    ASSERT_EQ(dlg.List()->topLevelItemCount(), 2);
    EXPECT_EQ(dlg.List()->topLevelItem(0)->text(0), "demo-data.cue");
    EXPECT_EQ(dlg.List()->topLevelItem(0)->toolTip(0), QString::fromStdString(demo_[0]));
    EXPECT_FALSE(dlg.EmptyHint()->isVisibleTo(&dlg));
    std::string error;
    ASSERT_TRUE(ckvd::aspi32::SetupDrives({}, &error));
    CDriveDlg empty(sink_, frame_.get());
    empty.Prepare();
    EXPECT_EQ(empty.List()->topLevelItemCount(), 0);
    EXPECT_TRUE(empty.EmptyHint()->isVisibleTo(&empty));
    EXPECT_TRUE(empty.EmptyHint()->text().contains("Open Disc Image"));
}

TEST_F(MainWindow, TagInformationOpensTheMp3WindowsMediaAndWavDialogs) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    // The demo's MP3 is tagged by id3v2: ID3v1.1 and ID3v2.3, title "Sakura", genre 12.
    std::unique_ptr<QDialog> dlg =
        App_TagInfoDialog(Select("/音楽/アルバム 一/01 さくら.mp3"), sink_, frame_.get());
    auto* mp3 = dynamic_cast<CMp3Dlg*>(dlg.get());
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(mp3->windowTitle(), "MP3");
    ASSERT_EQ(mp3->TagVersion()->count(), 2);
    EXPECT_EQ(mp3->TagVersion()->itemText(0), "v1.1");
    EXPECT_EQ(Value(mp3->Tag(), {"Title", "Genre"}) + Value(mp3->Mpeg(), {"Bitrate"}), "Sakura|12|128|");
    mp3->TagVersion()->setCurrentIndex(1);
    EXPECT_EQ(Value(mp3->Tag(), {"Genre"}), "(12)|");
    // The demo's WMA: ffmpeg's wmav2 titled "Evening".
    dlg = App_TagInfoDialog(Select("/音楽/アルバム 二/ボーナス/Evening.wma"), sink_, frame_.get());
    auto* wmf = dynamic_cast<CWmfDlg*>(dlg.get());
    ASSERT_NE(wmf, nullptr);
    EXPECT_EQ(Value(wmf->Fields(), {"Title"}), "Evening|");
    EXPECT_FALSE(wmf->Fields()->Field("Trusted")->isEnabled());
    // The demo's WAV: sox, one second of 16-bit stereo pink noise at 44.1 kHz.
    dlg = App_TagInfoDialog(Select("/音楽/アルバム 二/波の音.wav"), sink_, frame_.get());
    auto* wav = dynamic_cast<CWavDlg*>(dlg.get());
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(wav->windowTitle(), "WAV");
    EXPECT_EQ(Value(wav->Fields(), {"Format", "Sampling Freq.", "Channel", "Sample", "Length"}),
              "0x0001|44100|2|16| 0: 1|");
    WithModalDialog<CPcmFormatDlg>(
        [wav] { wav->FormatButton()->click(); }, "PCM Format Classify",
        [](CPcmFormatDlg* pcm) {
            QTreeWidget* list = pcm->List();
            ASSERT_EQ(list->topLevelItemCount(), 38);
            QString rows = list->headerItem()->text(0) + " " + list->headerItem()->text(1) + "\n";
            for (int r = 0; r < list->topLevelItemCount(); ++r) {
                const QModelIndex name = list->model()->index(r, 1);
                rows += list->topLevelItem(r)->text(0) + " " + name.data().toString() + "\n";
                // Every name shows whole, the longest included.
                EXPECT_EQ(DrawnText(list, name), name.data().toString());
            }
            ExpectGolden("app/pcm_formats.txt", rows.toStdString());
        });
    EXPECT_EQ(App_TagInfoDialog(Select("/README.TXT"), sink_, frame_.get()), nullptr);
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"This format isn't being supported."});
}

TEST_F(MainWindow, DoubleClickOpensAFilesInformationOrADirectoryInTheTree) {
    ASSERT_NO_FATAL_FAILURE(Show());
    CKVDAppView* list = frame_->GetRightPane();
    // The demo audio CD: Track01 starts the disc and lasts 2 s, 150 frames.
    OpenImage(demo_[1]);
    // The number base from the View menu's radio items (after the tool bar and status bar items).
    QMenu* viewMenu = nullptr;
    for (QAction* a : frame_->menuBar()->actions())
        if (a->text() == "View(&V)")
            viewMenu = a->menu();
    ASSERT_NE(viewMenu, nullptr);
    for (const bool hex : {false, true}) {
        viewMenu->actions()[hex ? 4 : 3]->trigger();
        WithModalDialog<CCdaDlg>(
            [list] { DoubleClickRow(list, "Track01.cda"); }, "CDA",
            [hex](CCdaDlg* cda) {
                EXPECT_EQ(Value(cda->Fields(), {"Number of Track", "Track Start Address", "Track Size"}),
                          hex ? "01|0x00000000|0x00000096|" : "01|0|150|");
            });
    }
    // Shift+F10: the row's context menu, the number base checked as in the View menu.
    EXPECT_EQ(PopupTexts([list] { QTest::keyClick(list->ReportView(), Qt::Key_F10, Qt::ShiftModifier); }),
              QStringList({"Tag &Information...", "Save to &Disc", "&Play", "-", "LBN/Size (&10)",
                           "LBN/Size (&16) *", "LBN/Size (&MSF)"}));
    list->OnCommand(ID_LBNSIZE_BASE10);
    emit viewMenu->aboutToShow();
    EXPECT_EQ(Texts(viewMenu->actions()).mid(3, 2),
              (QStringList{"Numbers in Base &10 *", "Numbers in Base 1&6"}));
    // The data disc's second session: a directory opens in the tree, a text file gets the message, by a
    // double-click and by Enter alike.
    OpenImage(demo_[0]);
    Select("/README.TXT");
    DoubleClickRow(list, "DOCS");
    EXPECT_EQ(frame_->GetLeftPane()->currentIndex().data().toString(), "DOCS");
    QAbstractItemModel* rows = list->ListModel();
    EXPECT_EQ(rows->match(rows->index(0, 0), Qt::DisplayRole, "SESSION2.TXT", 1, Qt::MatchExactly).size(), 1);
    Select("/README.TXT");
    DoubleClickRow(list, "README.TXT");
    Select("/README.TXT");
    QTest::keyClick(list->ReportView(), Qt::Key_Return);
    EXPECT_EQ(sink_.shown, std::vector<std::string>(2, "This format isn't being supported."));
}

TEST_F(MainWindow, ReportIsOfferedAfterEveryLoadAndNoKeyAnswersItsDialog) {
    frame_->SetOfferReports(true);
    frame_->ShowWindow(5);
    const auto device = uint16_t(App_StartFirstDrive(true, sink_, false));
    const QString saved = dir_.path() + "/offer.csv";
    const QString title = "Are You Save DiscInformation?";
    WithModalDialog<CSaveDiscInfoDlg>(
        [&] { EXPECT_TRUE(frame_->LoadDisc(device)); }, title,
        [&](CSaveDiscInfoDlg* dlg) {
            dlg->YesButton()->click();
            EXPECT_EQ(dlg->focusWidget(), dlg->NumberEdit()); // focus goes on from the number
            dlg->Model().chooseFile = [&](const std::string&) { return saved.toStdString(); };
            dlg->SaveButton()->click();
            EXPECT_EQ(dlg->Progress()->value(), dlg->Progress()->maximum());
        });
    EXPECT_TRUE(QFileInfo::exists(saved));
    EXPECT_EQ(frame_->LastAction(), "Report 000000 saved to " + saved); // kept in the status bar
    // Tab follows the eye; clearing the check box ends the offers until it is set again.
    WithModalDialog<CSaveDiscInfoDlg>(
        [&] { EXPECT_TRUE(frame_->LoadDisc(device)); }, title,
        [](CSaveDiscInfoDlg* dlg) {
            QWidgetList chain;
            for (QWidget* w = dlg->NumberEdit(); chain.size() < 6; w = w->nextInFocusChain())
                if (w->focusPolicy() & Qt::TabFocus)
                    chain << w;
            EXPECT_EQ(chain, QWidgetList({dlg->NumberEdit(), dlg->CommentEdit(), dlg->YesButton(),
                                          dlg->SaveButton(), dlg->NoButton(), dlg->OfferCheck()}));
            EXPECT_TRUE(dlg->OfferCheck()->isChecked());
            dlg->OfferCheck()->setChecked(false);
            dlg->NoButton()->click();
        });
    EXPECT_EQ(frame_->Model().DiscMngrNo(), 1);
    QTimer::singleShot(0, [] {
        if (auto* offered = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the report was offered again";
            offered->reject();
        }
    });
    EXPECT_TRUE(frame_->LoadDisc(device));
    QApplication::processEvents();
    EXPECT_EQ(profile_->GetInt("OFFERREPORT", 1), 0);
    // Return, Enter and Escape neither save nor close, before and after "Yes...Please".
    CSaveDiscInfoDlg dlg(41, sink_, frame_.get());
    dlg.Model().chooseFile = [](const std::string&) {
        ADD_FAILURE() << "a key saved the report";
        return std::string();
    };
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto usable = [&dlg] {
        return QList<bool>{dlg.NumberEdit()->isEnabled(), dlg.CommentEdit()->isEnabled(),
                           dlg.Progress()->isEnabled(),   dlg.SaveButton()->isEnabled(),
                           dlg.YesButton()->isEnabled(),  dlg.NoButton()->isEnabled()};
    };
    auto pressKeys = [&dlg](std::initializer_list<QWidget*> targets) {
        for (QWidget* target : targets)
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                QTest::keyClick(target, key);
                EXPECT_TRUE(dlg.isVisible()) << key << " on " << target->metaObject()->className();
            }
    };
    EXPECT_EQ(usable(), (QList<bool>{false, false, false, false, true, true}));
    pressKeys({&dlg, dlg.YesButton()});
    dlg.YesButton()->click();
    EXPECT_EQ(usable(), QList<bool>(6, true));
    EXPECT_EQ(dlg.NumberEdit()->text(), "000041");
    dlg.NumberEdit()->setText("123");
    dlg.YesButton()->click(); // refilled with the frame's number
    EXPECT_EQ(dlg.NumberEdit()->text(), "000041");
    pressKeys({&dlg, dlg.NumberEdit(), dlg.CommentEdit(), dlg.SaveButton()});
    EXPECT_EQ(dlg.Model().State(), ReportDlgState::Ready);
    dlg.NoButton()->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.Model().Result(), ReportDlgResult::Cancel);
    EXPECT_TRUE(sink_.shown.empty());
}

// The window and ckvd report share the profile's numbers: ckvd report while the window is open takes number
// 1; the window's next report shows and uses 2; one that ckvd takes between "Yes...Please" and "Save..."
// moves the window's report on to the next free one; closing the window stores no number of its own.
TEST_F(MainWindow, ManagementNumbersAreNeverHandedOutTwice) {
    const QString config = dir_.path() + "/config";
    ShowDemoDisc();
    auto cliReport = [&](const QString& out) {
        const std::string command = "XDG_CONFIG_HOME=" + config.toStdString() + " " + CKVD_BIN +
                                    " report demo -o " + out.toStdString() + " >/dev/null 2>&1";
        return std::system(command.c_str());
    };
    auto numberOf = [](const QString& csv) {
        QFile f(csv);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << csv.toStdString();
        for (int i = 0; i < 4; ++i)
            f.readLine();
        return QString::fromLatin1(f.readLine()).section(',', 0, 0);
    };
    ASSERT_EQ(cliReport(dir_.path() + "/cli1.csv"), 0);
    EXPECT_EQ(numberOf(dir_.path() + "/cli1.csv"), "MA000000");
    for (const bool takenMeanwhile : {false, true}) {
        const QString csv = dir_.path() + (takenMeanwhile ? "/late.csv" : "/window.csv");
        WithModalDialog<CSaveDiscInfoDlg>(
            [&] { frame_->Model().OnSaveDiscInformation(); }, "Are You Save DiscInformation?",
            [&](CSaveDiscInfoDlg* dlg) {
                dlg->YesButton()->click();
                EXPECT_EQ(dlg->NumberEdit()->text(), takenMeanwhile ? "000002" : "000001");
                if (takenMeanwhile) {
                    EXPECT_EQ(cliReport(dir_.path() + "/cli2.csv"), 0);
                }
                dlg->Model().chooseFile = [&](const std::string&) { return csv.toStdString(); };
                dlg->SaveButton()->click();
            });
        EXPECT_EQ(numberOf(csv), takenMeanwhile ? "MA000003" : "MA000001");
    }
    EXPECT_EQ(numberOf(dir_.path() + "/cli2.csv"), "MA000002");
    EXPECT_EQ(
        sink_.shown,
        std::vector<std::string>{
            "Number 000002 was taken by another report in the meantime: this report is number 000003."});
    frame_->close();
    frame_.reset();
    EXPECT_EQ(Report_ReadNumber(ProfilePath().toStdString()), 4);
}

// The navigation-file viewers on the demo disc's second session (tools/demo/make_demo.sh): playlists for
// 追加 (夜.mp3, 波.wav, the cover 夜.jpg), 追加/写真 (空.jpg, 海.png) and 追加/動画 (テスト.avi);
// MENU/BACK.JPG the one menu image.

QStringList Column(const NavListView* list, int column) {
    QStringList cells;
    for (int r = 0; r < list->Content().rowCount(); ++r)
        cells << list->Content().Cell(r, column);
    return cells;
}

TEST_F(MainWindow, NavViewerOnDoubleClickShowsContentsAndTheRadioButtonsRefillTheFileTable) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CKVDAppView* list = frame_->GetRightPane();
    Select("/CONTENTS.LMX");
    WithModalDialog<CContentsDlg>(
        [list] { DoubleClickRow(list, "CONTENTS.LMX"); }, "CONTENTS.LMX",
        [](CContentsDlg* dlg) {
            EXPECT_TRUE(dlg->HoldsImage());
            // Three playlists, two audio files, one menu image, three images, one video.
            EXPECT_EQ(
                Value(dlg, {"Number of Playlist Files", "Number of Image files", "Size of Audio Entry"}),
                "3(0x00000003)|3(0x00000003)|32(0x0020)|");
            EXPECT_EQ(dlg->LcidList()->count(), 1);
            EXPECT_EQ(Column(dlg->List("Directory Table"), 4),
                      (QStringList{"", "DOCS", "MENU", "追加", "写真", "動画"}));
            // Opens on Audio; CIDs go on from the playlists': 3 + 1.
            using T = CContentsDlgModel::FileTable;
            EXPECT_TRUE(dlg->Radio(T::Audio)->isChecked());
            NavListView* files = dlg->FileTable();
            EXPECT_EQ(Column(files, 0) + Column(files, 20),
                      (QStringList{"4(0x00000004)", "5(0x00000005)", "夜.mp3", "波.wav"}));
            // Video: the first CID after 3 + 2 + 1 + 3 entries; only its button checked.
            dlg->Radio(T::Video)->click();
            EXPECT_EQ(Column(files, 0) + Column(files, 20), (QStringList{"10(0x0000000A)", "テスト.avi"}));
            EXPECT_EQ((QList<bool>{dlg->Radio(T::Audio)->isChecked(), dlg->Radio(T::MenuImage)->isChecked(),
                                   dlg->Radio(T::Image)->isChecked()}),
                      QList<bool>(3, false));
            dlg->Radio(T::Image)->click();
            EXPECT_EQ(Column(files, 13), (QStringList{"160(0x000000A0)", "120(0x00000078)",
                                                      "160(0x000000A0)"})); // ffmpeg's sizes
            // The tables fit their values rather than cutting them to width / 21.
            for (int c = 0; c < 21; ++c)
                EXPECT_GE(files->columnWidth(c),
                          files->fontMetrics().horizontalAdvance(files->Content().Cell(0, c)))
                    << c;
        });
    EXPECT_EQ(g_FileData, nullptr); // released by OK
    EXPECT_TRUE(sink_.shown.empty());
}

TEST_F(MainWindow, NavViewersChosenByNameReleaseTheImageAndAnUnreadableFileGivesAnEmptyOne) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CKVDAppView* list = frame_->GetRightPane();
    auto contextMenu = [list] { list->OnContextMenu(list->mapToGlobal(QPoint(10, 10))); };
    auto open = [this](const char* path) { return App_NavigationViewer(Select(path), sink_, frame_.get()); };
    Select("/README.TXT");
    EXPECT_FALSE(PopupTexts(contextMenu).contains("&Navigation File Viewer..."));
    Select("/MENU.LMX");
    EXPECT_EQ(PopupTexts(contextMenu).mid(3, 2), (QStringList{"-", "&Navigation File Viewer..."}));
    WithModalDialog<CMenuDlg>([list] { list->OnCommand(ID_NAVIGATION_VIEWER); }, "MENU.LMX",
                              [](CMenuDlg* dlg) {
                                  // 追加 holds its own playlist and the two below.
                                  QTreeWidget* tree = dlg->Tree();
                                  ASSERT_EQ(tree->topLevelItemCount(), 1);
                                  EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
                                  QTreeWidgetItem* sub = tree->topLevelItem(0)->child(0);
                                  ASSERT_TRUE(sub && tree->topLevelItem(0)->childCount() == 1 &&
                                              sub->childCount() == 3);
                                  EXPECT_EQ(sub->text(0) + " " + sub->child(2)->text(0), "追加 動画");
                              });
    // 追加's playlist: one group of audio with images, the cover shown first; the groups are the root item's
    // siblings, and the root is selected on opening.
    std::unique_ptr<CNavViewerDlg> viewer = open("/PLAY0001.LMX");
    auto* playlist = dynamic_cast<CPlaylistDlg*>(viewer.get());
    ASSERT_NE(playlist, nullptr);
    EXPECT_EQ(playlist->windowTitle(), "PLAYLIST.LMX");
    EXPECT_EQ(Value(playlist, {"Playlist File Name"}), "PLAY0001.LMX|");
    QTreeWidget* groups = playlist->Tree();
    ASSERT_EQ(groups->topLevelItemCount(), 2);
    EXPECT_EQ(groups->topLevelItem(0)->text(0), "< Playlist Group Viewer >");
    EXPECT_EQ(groups->currentItem(), groups->topLevelItem(0));
    groups->setCurrentItem(groups->topLevelItem(1));
    EXPECT_EQ(Value(playlist, {"Number of Audio Files", "Number of Image Files"}),
              "2(0x00000002)|1(0x00000001)|");
    EXPECT_EQ(playlist->Files()->Content().rowCount(), 3);
    groups->setCurrentItem(groups->topLevelItem(0)); // the root item blanks the counts
    EXPECT_EQ(Value(playlist, {"Number of Audio Files"}), " |");
    // LSN.LMX in CID order: the first playlist's sector is where the disc holds PLAY0001.LMX.
    const uint32_t play1 = Select("/PLAY0001.LMX")->lbn;
    viewer.reset(); // one viewer at a time, as the modal dialogs are
    viewer = open("/LSN.LMX");
    ASSERT_NE(dynamic_cast<CLsnDlg*>(viewer.get()), nullptr);
    EXPECT_EQ(viewer->windowTitle(), "LSN.LMX");
    NavListView* entries = viewer->findChild<NavListView*>();
    ASSERT_NE(entries, nullptr);
    ASSERT_EQ(entries->Content().rowCount(), 10);
    EXPECT_EQ(entries->Content().Cell(0, 0).section('(', 0, 0), QString::number(play1));
    // Esc releases the image; another viewer afterwards reads its own file.
    viewer->show();
    ASSERT_NE(g_FileData, nullptr);
    QTest::keyClick(viewer.get(), Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_FALSE(viewer->HoldsImage());
    EXPECT_EQ(g_FileData, nullptr);
    viewer = open("/TEXT.LMX");
    ASSERT_NE(dynamic_cast<CTextDlg*>(viewer.get()), nullptr);
    EXPECT_EQ(viewer->windowTitle(), "TEXT.LMX");
    EXPECT_TRUE(viewer->HoldsImage());
    EXPECT_EQ(Value(viewer.get(), {"Identifier"}), "TXTLMX01|");
    viewer->reject();
    EXPECT_EQ(g_FileData, nullptr);
    // Tag Information keeps its answer for a navigation file.
    EXPECT_EQ(App_TagInfoDialog(Select("/TEXT.LMX"), sink_, frame_.get()), nullptr);
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"This format isn't being supported."});
    // Files placed past the disc's end: the message, then a viewer with nothing in it.
    FileEntry contents = *Select("/CONTENTS.LMX"), play2 = *Select("/PLAY0002.LMX");
    contents.lbn = play2.lbn = 0x7FFFFF00;
    sink_.shown.clear();
    viewer = App_NavigationViewer(&contents, sink_, frame_.get());
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"CONTENTS.LMX Read Error!"});
    EXPECT_FALSE(viewer->HoldsImage());
    EXPECT_EQ(Value(viewer.get(), {"Identifier"}), "|");
    EXPECT_EQ(viewer->List("Directory Table")->Content().rowCount(), 0);
    EXPECT_EQ(dynamic_cast<CContentsDlg*>(viewer.get())->LcidList()->count(), 0);
    sink_.shown.clear();
    viewer = App_NavigationViewer(&play2, sink_, frame_.get());
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"PLAY0002.LMX Read Error!"});
    auto* empty = dynamic_cast<CPlaylistDlg*>(viewer.get());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->Tree()->topLevelItemCount(), 0);
    EXPECT_EQ(Value(empty, {"Playlist File Name"}), "PLAY0002.LMX|"); // still names the file
    viewer.reset();                                                   // before the entries it was given
}

TEST(FirstStart, TakesThreeQuartersOfTheScreenCentredAndNeverLessThan640By400) {
    struct Case {
        ScreenRect available, expected;
    } const cases[] = {
        {{0, 0, 1366, 740}, {171, 92, 1023, 555}},
        {{1920, 24, 2560, 1416}, {2240, 201, 1920, 1062}},
        {{0, 0, 800, 480}, {80, 40, 640, 400}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Placement_FirstStart(c.available), c.expected) << c.available.width;
}

// A disc image cut short by genisoimage's standards: the volume the file starts claims blocks it lacks.
std::string CutImage(const QString& dir, qint64 blocks) {
    QDir().mkpath(dir + "/tree");
    for (int i = 0; i < 40; ++i) {
        QFile f(dir + QString("/tree/file_%1.dat").arg(i));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(30000, char('a' + i % 26)));
    }
    const QString iso = dir + "/cut.iso";
    QProcess mk;
    mk.start("genisoimage", {"-quiet", "-J", "-o", iso, dir + "/tree"});
    EXPECT_TRUE(mk.waitForFinished(60000) && mk.exitCode() == 0) << mk.readAllStandardError().toStdString();
    QFile f(iso);
    EXPECT_TRUE(f.resize(blocks * 2048));
    return iso.toStdString();
}

TEST_F(MainWindow, ACutImageKeepsTheDiscShownNamesTheReasonAndLeavesTheDrives) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    const QString title = frame_->windowTitle();
    const size_t treeItems = frame_->Model().Tree().Items().size();
    const int rows = frame_->GetRightPane()->ListModel()->rowCount();
    ASSERT_GT(rows, 0);

    const std::string cut = CutImage(dir_.path(), 19);
    sink_.shown.clear();
    OpenImage(cut);
    ASSERT_EQ(sink_.shown.size(), 1u);
    const std::string& text = sink_.shown[0];
    EXPECT_EQ(text.rfind("ISO9660 FileSystem Analyze Error\nFile MainFrm Line ", 0), 0u) << text;
    EXPECT_NE(
        text.find("\n\n" + cut + ": the image file ends at block 19; the disc's directory lies at block "),
        std::string::npos)
        << text;
    EXPECT_NE(text.find(": the file is incomplete."), std::string::npos) << text;

    // The demo disc is still shown and usable; the broken image is in no drive.
    EXPECT_EQ(frame_->windowTitle(), title);
    EXPECT_EQ(frame_->Model().Tree().Items().size(), treeItems);
    EXPECT_EQ(frame_->GetRightPane()->ListModel()->rowCount(), rows);
    EXPECT_EQ(ckvd::aspi32::FindImageDrive(cut), nullptr);
    EXPECT_TRUE(frame_->Model().CheckDisc());
    const FileEntry* mp3 = Select("/音楽/アルバム 一/01 さくら.mp3");
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(Iso_ReadFile(mp3->lbn, mp3->size), ISO_OK);
    Iso_FreeFile();

    // ckvd says the same after its own message.
    QProcess ckvd;
    ckvd.start(CKVD_BIN, {"ls", QString::fromStdString(cut)});
    ASSERT_TRUE(ckvd.waitForFinished(60000));
    EXPECT_EQ(ckvd.exitCode(), 1);
    const QStringList lines = QString(ckvd.readAllStandardError()).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "ckvd: ISO9660 FileSystem Analyze Error Code 1002");
    EXPECT_TRUE(
        lines[1].startsWith("ckvd: " + QString::fromStdString(cut) + ": the image file ends at block 19;"))
        << lines[1].toStdString();
}

TEST_F(MainWindow, TheTreeTakesWhatItNeedsUpToAThirdAndGivesWayFirst) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    auto* splitter = qobject_cast<QSplitter*>(frame_->centralWidget());
    ASSERT_NE(splitter, nullptr);
    const int needs = frame_->GetLeftPane()->NeededWidth();
    for (int width : {1200, 640, 400}) {
        frame_->resize(width, 500);
        QApplication::processEvents();
        const QList<int> sizes = splitter->sizes();
        EXPECT_EQ(sizes[0], std::min(needs, (sizes[0] + sizes[1]) / 3)) << width;
    }
    // Narrower than its names, the tree scrolls sideways and cuts none.
    CLeftView* tree = frame_->GetLeftPane();
    const QModelIndex session = tree->model()->index(0, 0);
    EXPECT_EQ(DrawnText(tree, session), session.data().toString());
    // Once the user moved the splitter, the tree keeps the width given.
    emit splitter->splitterMoved(300, 1);
    splitter->setSizes({300, 900});
    frame_->resize(1200, 500);
    QApplication::processEvents();
    EXPECT_EQ(splitter->sizes()[0], 300);
}

TEST_F(MainWindow, ToolBarPicturesAreDrawnInThePalettesTextColour) {
    ASSERT_NO_FATAL_FAILURE(Show());
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Window, QColor(32, 32, 32));
    dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
    QApplication::setPalette(dark);
    QApplication::processEvents();
    for (QAction* a : frame_->ToolBar()->actions()) {
        if (a->text() != "List" && a->text() != "Small Icon")
            continue;
        // The lines of the picture: light pixels on the dark bar.
        const QImage picture = a->icon().pixmap(16, 16).toImage();
        int light = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                light += qAlpha(picture.pixel(x, y)) > 128 && QColor(picture.pixel(x, y)).lightness() > 200;
        EXPECT_GT(light, 8) << a->text().toStdString();
    }
    QApplication::setPalette(before);
}

TEST_F(MainWindow, SaveToDiscTakesSeveralRowsWithTheirFoldersIntoAChosenFolder) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CKVDAppView* list = frame_->GetRightPane();
    list->ReportView()->selectAll(); // README.TXT, DOCS and 音楽
    const QString out = dir_.path() + "/saved";
    QDir().mkpath(out);
    // The progress window opens first and asks for the folder.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            answer.stop();
            // The folder shown, taken as it stands (a typed selection would race the dialog's own listing).
            chooser->setDirectory(out);
            static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
        }
    });
    answer.start(20);
    list->OnCommand(ID_SAVE_TO_DISC);
    EXPECT_FALSE(answer.isActive()) << "no folder chooser";
    EXPECT_TRUE(sink_.shown.empty());
    // The demo disc's files below the three rows, with the sizes its listing gives.
    const std::pair<const char*, qint64> files[] = {
        {"README.TXT", 36},
        {"DOCS/NOTES/2002/メモ.txt", 14},
        {"音楽/アルバム 一/01 さくら.mp3", 34944},
        {"音楽/アルバム 一/02 Morning.mp3", 49655},
        {"音楽/アルバム 二/波の音.wav", 176444},
        {"音楽/アルバム 二/ボーナス/Evening.wma", 19916},
    };
    for (const auto& [name, size] : files)
        EXPECT_EQ(QFileInfo(out + "/" + QString::fromUtf8(name)).size(), size) << name;
    // The status bar keeps what was done: 281,009 bytes in all.
    EXPECT_EQ(frame_->LastAction(), "Saved 6 files (281.0 kB) to " + out);
    EXPECT_TRUE(frame_->statusBar()->currentMessage().startsWith("Saved 6 files")); // the folder may give way
}

// The names of the list's rows in the order shown.
QStringList ShownNames(CMainFrame& frame) {
    QStringList names;
    for (int r = 0; r < frame.Model().List().RowCount(); ++r)
        names << QString::fromUtf8(Iso_EntryName(frame.Model().List().Entry(r)));
    return names;
}

TEST_F(MainWindow, HeadingClicksSortTheListForEveryFolderAndRunAndBackspaceGoesUp) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    QHeaderView* header = frame_->GetRightPane()->ReportView()->header();
    const auto click = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 8, header->height() / 2));
    };
    click(2);
    click(2); // sizes down; the folders' equal sizes keep the disc's order
    EXPECT_EQ(ShownNames(*frame_), QStringList({"DOCS", "音楽", "README.TXT"}));
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    // The next folder comes sorted the same way (sizes from ckvd ls demo), the status bar counts it.
    Select("/CONTENTS.LMX");
    EXPECT_EQ(ShownNames(*frame_).mid(4),
              QStringList({"TEXT.LMX", "CONTENTS.LMX", "MENU.LMX", "PLAY0001.LMX", "LSN.LMX", "PLAY0003.LMX",
                           "PLAY0002.LMX", "README.TXT"}));
    EXPECT_EQ(frame_->EntryCount()->text(), "12 entries");
    // Backspace and Alt+Up go up a folder, the folder left the current row.
    Select("/DOCS/NOTES/2002/メモ.txt");
    QTest::keyClick(frame_->GetRightPane()->ReportView(), Qt::Key_Backspace);
    CKVDAppViewModel& list = frame_->Model().List();
    ASSERT_NE(list.Entry(list.CurrentItem()), nullptr);
    EXPECT_STREQ(Iso_EntryName(list.Entry(list.CurrentItem())), "2002");
    QTest::keyClick(frame_->GetRightPane()->ReportView(), Qt::Key_Up, Qt::AltModifier);
    ASSERT_NE(list.Entry(list.CurrentItem()), nullptr);
    EXPECT_STREQ(Iso_EntryName(list.Entry(list.CurrentItem())), "NOTES");
    EXPECT_EQ(frame_->EntryCount()->text(), "2 entries"); // DOCS of session 2: SESSION2.TXT and NOTES
    // The sort stays for the next run.
    frame_->close();
    frame_ = std::make_unique<CMainFrame>(sink_, *profile_);
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    EXPECT_EQ(ShownNames(*frame_), QStringList({"DOCS", "音楽", "README.TXT"}));
    EXPECT_EQ(frame_->GetRightPane()->ReportView()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(MainWindow, WidthsTheUserSetStayForTheNextRun) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    auto* splitter = qobject_cast<QSplitter*>(frame_->centralWidget());
    emit splitter->splitterMoved(260, 1);
    splitter->setSizes({260, 380});
    frame_->GetRightPane()->ReportView()->header()->resizeSection(0, 333);
    frame_->close();
    EXPECT_EQ(profile_->GetInt("TREEWIDTH", 0), 260);
    EXPECT_EQ(profile_->GetInt("COLUMN0", 0), 333);
    frame_.reset();
    frame_ = std::make_unique<CMainFrame>(sink_, *profile_);
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    splitter = qobject_cast<QSplitter*>(frame_->centralWidget());
    EXPECT_EQ(splitter->sizes().value(0), 260);
    EXPECT_EQ(frame_->GetRightPane()->ReportView()->columnWidth(0), 333);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A written report adds its disc to the catalogue under XDG_DATA_HOME: the tests keep one of their own.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST_F(MainWindow, VerifyDiscNamesTheFilesACutImageLostAndADoubleClickShowsOne) {
    // The demo disc with its second session's track file cut after 80 blocks: the files beyond are named.
    ASSERT_NO_FATAL_FAILURE(Show());
    const QString cue = dir_.path() + "/cut.cue";
    for (const char* name : {"demo-data.cue", "demo-data.bin", "demo-data-s2.bin"})
        ASSERT_TRUE(
            QFile::copy(QFileInfo(QString::fromStdString(demo_[0])).dir().filePath(name),
                        dir_.path() + "/" + (name == std::string("demo-data.cue") ? "cut.cue" : name)));
    ASSERT_TRUE(QFile::resize(dir_.path() + "/demo-data-s2.bin", 80 * 2048));
    OpenImage(cue.toStdString());
    ASSERT_TRUE(sink_.shown.empty()) << sink_.shown[0];
    WithModalDialog<CVerifyDlg>(
        [&] { frame_->OnVerifyDisc(); }, "Verify Disc",
        [&](CVerifyDlg* dlg) {
            dlg->Model().RunToEnd();
            dlg->Refresh();
            EXPECT_FALSE(dlg->Model().Sound());
            EXPECT_EQ(dlg->Model().StatusText(), "The disc is damaged: the entries below are hit");
            QTreeWidget* list = dlg->List();
            ASSERT_GT(list->topLevelItemCount(), 0);
            QTreeWidgetItem* row = list->topLevelItem(0);
            const uint32_t cut = 11737 + 80; // the session's start in the full TOC (ckvd toc demo)
            EXPECT_TRUE(row->text(1).startsWith(QString::fromStdString(ckvd::images::grouped(cut)) + "-"))
                << row->text(1).toStdString();
            EXPECT_EQ(row->text(2), "unreadable: past the end of the recorded area");
            const QString path = row->text(0).section(") ", 1);
            emit list->itemDoubleClicked(row, 0);
            // The file is the list's current row now, in the directory the tree shows.
            CKVDAppViewModel& files = frame_->Model().List();
            const FileEntry* shown = files.Entry(files.CurrentItem());
            ASSERT_NE(shown, nullptr);
            EXPECT_TRUE(path.endsWith("/" + QString::fromUtf8(Iso_EntryName(shown)))) << path.toStdString();
            EXPECT_GT(shown->lbn + (shown->size + 2047) / 2048, cut);
        });
}

TEST_F(MainWindow, VerifyDiscSaysWhatWasCheckedAsCkvdVerifyDoes) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    // The demo disc holds 2,048-byte blocks: read, with no whole sectors to check.
    QProcess cli;
    cli.start(CKVD_BIN, {"verify", QString::fromStdString(demo_[0])});
    ASSERT_TRUE(cli.waitForFinished(60000));
    QStringList tracks;
    for (const QString& line : QString::fromUtf8(cli.readAllStandardOutput()).split('\n'))
        if (line.startsWith("(Session") && line.contains(" track "))
            tracks << line;
    ASSERT_EQ(tracks.size(), 2) << cli.readAllStandardError().toStdString();
    WithModalDialog<CVerifyDlg>([&] { frame_->OnVerifyDisc(); }, "Verify Disc",
                                [&](CVerifyDlg* dlg) {
                                    dlg->Model().RunToEnd();
                                    dlg->Refresh();
                                    EXPECT_EQ(
                                        dlg->Status()->text(),
                                        "No damage found: every block was read (no whole sectors to check)");
                                    EXPECT_EQ(dlg->Checked()->text(), tracks.join('\n'));
                                });
}

TEST_F(MainWindow, PlayerCheckAfterARefusedProfileShowsTheProfileItsResultsComeFrom) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    const QString bad = dir_.path() + "/bad.ini";
    std::ofstream(bad.toStdString()) << "colour = red\n";
    WithModalDialog<CPlayerCheckDlg>([&] { frame_->OnPlayerCheck(); }, "Player Check",
                                     [&](CPlayerCheckDlg* dlg) {
                                         const QString summary = dlg->Summary()->text();
                                         dlg->ChooseProfileFile(bad);
                                         ASSERT_EQ(sink_.shown.size(), 1u);
                                         EXPECT_NE(sink_.shown[0].find("colour"), std::string::npos)
                                             << sink_.shown[0];
                                         EXPECT_EQ(dlg->ProfileBox()->currentText(), "car-cd");
                                         EXPECT_EQ(dlg->ProfileBox()->findText(bad), -1);
                                         EXPECT_EQ(dlg->Model().SummaryText().rfind("car-cd", 0), 0u);
                                         EXPECT_EQ(dlg->Summary()->text(), summary);
                                     });
}

TEST_F(MainWindow, PlayerCheckListsTheDemoDiscsOrderAndADoubleClickShowsTheFile) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    WithModalDialog<CPlayerCheckDlg>(
        [&] { frame_->OnPlayerCheck(); }, "Player Check",
        [&](CPlayerCheckDlg* dlg) {
            // Session 2 as a car player reads it: 追加 is folder 1 (its files before 音楽's), the empty root
            // and 音楽 itself have no number.
            EXPECT_EQ(dlg->ProfileBox()->currentText(), "car-cd");
            EXPECT_EQ(dlg->Tabs()->tabText(0), "&Findings (0)");
            QTreeWidget* order = dlg->Order();
            ASSERT_EQ(order->topLevelItemCount(), 4);
            QStringList rows;
            for (int i = 0; i < 4; ++i)
                rows << order->topLevelItem(i)->text(0) + " " + order->topLevelItem(i)->text(1) + " " +
                            order->topLevelItem(i)->text(2);
            EXPECT_EQ(rows, QStringList({"1 1 /追加/夜.mp3", "2 1 /音楽/アルバム 一/01 さくら.mp3",
                                         "2 2 /音楽/アルバム 一/02 Morning.mp3",
                                         "3 1 /音楽/アルバム 二/ボーナス/Evening.wma"}));
            emit order->itemDoubleClicked(order->topLevelItem(2), 0);
            CKVDAppViewModel& files = frame_->Model().List();
            ASSERT_NE(files.Entry(files.CurrentItem()), nullptr);
            EXPECT_STREQ(Iso_EntryName(files.Entry(files.CurrentItem())), "02 Morning.mp3");
        });
}

TEST_F(MainWindow, AddToCatalogueThenFindAndOpenTheEntry) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    frame_->OnAddToCatalogue();
    ASSERT_TRUE(sink_.shown.empty()) << sink_.shown[0];
    // Added, or updated when a report of an earlier test added it first.
    EXPECT_TRUE(frame_->statusBar()->currentMessage().contains(" disc "))
        << frame_->statusBar()->currentMessage().toStdString();
    Select("/DOCS"); // somewhere else, so the double-click has to show the file
    WithModalDialog<CFindCatalogueDlg>(
        [&] { frame_->OnFindInCatalogue(); }, "Find in Catalogue",
        [&](CFindCatalogueDlg* dlg) {
            dlg->Field()->setText("contents.lmx");
            dlg->Search();
            EXPECT_EQ(dlg->Status()->text(), "1 entry on 1 disc");
            dlg->Field()->setText("さく"); // two characters: below the index's three, found all the same
            dlg->Search();
            QTreeWidget* results = dlg->Results();
            ASSERT_EQ(results->topLevelItemCount(), 2);
            EXPECT_EQ(results->topLevelItem(1)->text(2), "(Session2) /音楽/アルバム 一/01 さくら.mp3");
            EXPECT_EQ(dlg->Status()->text(), "2 entries on 1 disc");
            emit results->itemDoubleClicked(results->topLevelItem(1), 0);
            CKVDAppViewModel& files = frame_->Model().List();
            ASSERT_NE(files.Entry(files.CurrentItem()), nullptr);
            EXPECT_STREQ(Iso_EntryName(files.Entry(files.CurrentItem())), "01 さくら.mp3");
        });
}
