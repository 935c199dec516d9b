// The main window on the demo discs, and what the widget tests do with it: the dialogs a command opens, a
// double-click on a list row, the text a view draws of a cell.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appmodel/app_modules.h"
#include "appmodel/first_drive.h"
#include "desktop/mainwindow/kvd_app_view.h"
#include "desktop/mainwindow/main_frm.h"
#include "desktop/mainwindow/screenshot.h"
#include "platform/aspi32/drive_setup.h"
#include "platform/images/demo_discs.h"
#include "platform/ui/message_sink.h"
#include "platform/ui/ui_profile.h"
#include "report/lbn_size_style.h"

// Action texts, "-" for a separator.
inline QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions)
        texts << (a->isSeparator() ? "-" : a->text());
    return texts;
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
    }
    void TearDown() override {
        frame_.reset();
        App_TerminateModules(App_EngineModules());
    }
    // Where ckvd report finds the profile with XDG_CONFIG_HOME set to dir_/config.
    QString ProfilePath() const { return dir_.path() + "/config/ckvd-explorer/profile.ini"; }
    // Shows the window and loads the first demo disc, as the program does at start.
    void ShowDemoDisc() {
        frame_->ShowWindow(5);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
        const int device = App_StartFirstDrive(true, sink_, false);
        ASSERT_GE(device, 0);
        ASSERT_TRUE(frame_->LoadDisc(static_cast<uint16_t>(device)));
    }
    // The entry of `path` in the session the window shows, made the list's current row.
    FileEntry* Select(const std::string& path) {
        std::string error;
        EXPECT_TRUE(Screenshot_Select(*frame_, path, &error)) << error;
        CKVDAppViewModel& list = frame_->Model().List();
        return const_cast<FileEntry*>(list.Entry(list.CurrentItem()));
    }
    // Opens the disc image `path` as Open Disc Image does with that file chosen.
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

// Runs `open`, which should exec() a modal dialog, hands that dialog to `check` and closes it.
inline void WithModalDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& check) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        if (auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            seen = true;
            check(dlg);
            dlg->accept();
        }
    });
    open();
    QApplication::processEvents(); // the timer fires here when `open` showed nothing
    EXPECT_TRUE(seen) << "no modal dialog opened";
}

// The mouse on the row of that name in the report view: a press and release, then the double-click event
// (the one event QTest sends for it).
inline void DoubleClickRow(CKVDAppView* list, const QString& name) {
    for (int r = 0; r < list->ListModel()->rowCount(); ++r)
        if (list->ListModel()->index(r, 0).data().toString() == name) {
            QTreeView* view = list->ReportView();
            view->scrollTo(list->ListModel()->index(r, 0));
            const QPoint at = view->visualRect(list->ListModel()->index(r, 0)).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
            return;
        }
    ADD_FAILURE() << name.toStdString() << " is not in the list";
}
