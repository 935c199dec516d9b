// What the widget tests share: the includes, helpers that find texts, values and rows in the widgets, and
// the main window on the demo disc as a fixture.
#pragma once

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
#include "appmodel/message_sink.h"
#include "appmodel/window_placement.h"
#include "desktop/dialogs/burn_dlg.h"
#include "desktop/dialogs/disc_info_dlg.h"
#include "desktop/dialogs/drive_dlg.h"
#include "desktop/dialogs/find_catalogue_dlg.h"
#include "desktop/dialogs/make_disc_dlg.h"
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
#include "images/demo_discs.h"
#include "images/disc_image.h"
#include "iso9660/iso9660.h"
#include "listing/lbn_size_style.h"
#include "platform/drives/drive_setup.h"
#include "platform/ui/ui_instance.h"
#include "platform/ui/ui_profile.h"
#include "platform/ui/ui_text.h"
#include "report/report_number.h"
#include "res/resource.h"

// Action texts, "-" for a separator, " *" after a checked item.
inline QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions)
        texts << (a->isSeparator() ? "-" : a->text() + (a->isChecked() ? " *" : ""));
    return texts;
}

// The items of the popup menu that `open` shows.
inline QStringList PopupTexts(const std::function<void()>& open) {
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
inline QString DrawnText(QAbstractItemView* view, const QModelIndex& index) {
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
inline void WithModalDialog(const std::function<void()>& open, const QString& title,
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
// Events until `done` holds or 20 s have passed: work on a worker ends while the window goes on.
inline bool Within(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 20000);
}

inline void DoubleClickRow(CKVDAppView* list, const QString& name) {
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
        ASSERT_TRUE(ckvd::drives::SetupDrives(demo_, &error)) << error;
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
