#include "app/main_frm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>

#include "app/about_dlg.h"
#include "app/disc_info_dialog.h"
#include "app/drive_dlg.h"
#include "platform/ui/ui_images.h"
#include "platform/ui/ui_text.h"
#include "res/app_strings.h"

namespace {

std::vector<ScreenRect> AvailableScreens() {
    std::vector<ScreenRect> screens;
    QScreen* primary = QGuiApplication::primaryScreen();
    auto add = [&screens](QScreen* s) {
        QRect r = s->availableGeometry();
        screens.push_back({r.x(), r.y(), r.width(), r.height()});
    };
    if (primary)
        add(primary);
    for (QScreen* s : QGuiApplication::screens())
        if (s != primary)
            add(s);
    return screens;
}

} // namespace

CMainFrame::CMainFrame(ckvd::ui::MessageSink& sink, ckvd::ui::ProfileStore& profile, QWidget* parent)
    : QMainWindow(parent), m_sink(sink), m_model(sink, profile),
      m_wndSplitter(new QSplitter(Qt::Horizontal, this)) {
    setWindowIcon(ckvd::ui::ApplicationIcon());
    // PreCreateWindow: the management number and the restored rectangle.
    WindowPlacement placement = m_model.PreCreateWindow();
    m_normal = Placement_KeepOnScreen(placement.normal, AvailableScreens());
    move(m_normal.x, m_normal.y);
    resize(m_normal.width, m_normal.height);

    // OnCreateClient: the tree (350 wide) and the list.
    m_left = new CLeftView(m_model.Tree(), m_model.Doc(), m_wndSplitter);
    m_right = new CKVDAppView(m_model.List(), m_wndSplitter);
    m_wndSplitter->addWidget(m_left);
    m_wndSplitter->addWidget(m_right);
    m_wndSplitter->setSizes({350, 100});
    m_wndSplitter->setStretchFactor(1, 1);
    m_wndSplitter->setChildrenCollapsible(false);
    setCentralWidget(m_wndSplitter);
    m_right->SetStyle(CKVDAppView::Style::Report);

    // The list reads the tree's selection through the document; show its new rows and the new title.
    m_model.Doc().updateListView = [this](bool fromView, uint32_t hint) {
        m_model.List().OnUpdate(fromView, hint);
        m_right->Reload();
    };
    m_model.Doc().titleChanged = [this](const std::string& title) { UpdateTitle(title); };
    UpdateTitle({});

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    OnUpdateViewStyles();
}

void CMainFrame::UpdateTitle(const std::string& docTitle) {
    if (docTitle.empty())
        setWindowTitle(IDS_APP_TITLE);
    else
        setWindowTitle(ckvd::ui::SjisToQString(docTitle) + " - " + IDS_APP_TITLE);
}

QAction* CMainFrame::Action(int command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus() {
    auto icon = [this](int command) -> QIcon {
        switch (command) {
        case ID_SELECT_DRIVE:
            return QIcon(ckvd::ui::DrawImage(IMG_CDDRIVE, 16));
        case ID_SAVE_DISCINFO:
            return QIcon(ckvd::ui::DrawImage(IMG_DOCUMENT, 16));
        case ID_DISC_INFORMATION:
            return QIcon(ckvd::ui::DrawImage(IMG_INFO, 16));
        case ID_APP_ABOUT:
            return QIcon(ckvd::ui::DrawImage(IMG_QUESTION, 16));
        case ID_VIEW_LARGEICON:
            return style()->standardIcon(QStyle::SP_FileDialogContentsView);
        case ID_VIEW_SMALLICON:
            return style()->standardIcon(QStyle::SP_FileDialogInfoView);
        case ID_VIEW_LIST:
            return style()->standardIcon(QStyle::SP_FileDialogListView);
        case ID_VIEW_DETAILS:
            return style()->standardIcon(QStyle::SP_FileDialogDetailedView);
        default:
            return {};
        }
    };
    auto make = [this, &icon](int command, const QString& text) {
        auto* a = new QAction(icon(command), text, this);
        if (const char* prompt = App_CommandPrompt(command)) {
            QString p(prompt);
            a->setStatusTip(p.section('\n', 0, 0));
            a->setToolTip(p.section('\n', 1, 1));
        }
        m_actions[command] = a;
        return a;
    };
    for (const MenuDef& def : kMainMenu) {
        QMenu* menu = menuBar()->addMenu(def.title);
        for (int i = 0; i < def.count; ++i) {
            const MenuItemDef& item = def.items[i];
            if (!item.text) {
                menu->addSeparator();
                continue;
            }
            menu->addAction(make(item.command, item.text));
        }
    }
    // Commands reached from the tool bar only.
    make(ID_VIEW_LARGEICON, "Large Icon");
    make(ID_VIEW_SMALLICON, "Small Icon");
    make(ID_VIEW_LIST, "List");
    make(ID_VIEW_DETAILS, "Detail");

    connect(Action(ID_SELECT_DRIVE), &QAction::triggered, this, [this] { OnSelectDrive(); });
    connect(Action(ID_SAVE_DISCINFO), &QAction::triggered, this, [this] { OnSaveDiscInformation(); });
    connect(Action(ID_APP_EXIT), &QAction::triggered, this, [this] { close(); });
    connect(Action(ID_DISC_INFORMATION), &QAction::triggered, this, [this] { OnDiscInformation(); });
    connect(Action(ID_APP_ABOUT), &QAction::triggered, this, [this] { OnAppAbout(); });
    m_viewStyles = new QActionGroup(this);
    for (int command : {ID_VIEW_SMALLICON, ID_VIEW_LARGEICON, ID_VIEW_LIST, ID_VIEW_DETAILS}) {
        QAction* a = Action(command);
        a->setCheckable(true);
        m_viewStyles->addAction(a);
        connect(a, &QAction::triggered, this, [this, command] { OnViewStyle(command); });
    }
}

void CMainFrame::CreateToolBar() {
    m_wndToolBar = addToolBar("ToolBar");
    m_wndToolBar->setObjectName("ToolBar");
    m_wndToolBar->setIconSize(QSize(16, 16));
    m_wndToolBar->setMovable(true);
    for (int command : kToolBarButtons) {
        if (command == ID_SEPARATOR)
            m_wndToolBar->addSeparator();
        else
            m_wndToolBar->addAction(Action(command));
    }
    QAction* toggle = Action(ID_VIEW_TOOLBAR);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, m_wndToolBar, &QWidget::setVisible);
    connect(m_wndToolBar, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    for (const char* indicator : kStatusIndicators) {
        auto* pane = new QLabel(indicator, bar);
        pane->setEnabled(false); // the indicators are not tracked here
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(pane);
    }
    bar->showMessage(IDS_IDLE_MESSAGE);
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& text) {
        if (text.isEmpty())
            bar->showMessage(IDS_IDLE_MESSAGE);
    });
    QAction* toggle = Action(ID_VIEW_STATUS_BAR);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QWidget::setVisible);
}

void CMainFrame::ShowWindow(int showCommand) {
    if (showCommand == 3)
        showMaximized();
    else if (showCommand == 2)
        showMinimized();
    else
        show();
    repaint();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_firstShow) {
        m_firstShow = false;
        // The profile holds the outer size; take the frame the window manager added off the inner size.
        QSize extra = frameGeometry().size() - geometry().size();
        if (!m_sizedToFrame && (extra.width() > 0 || extra.height() > 0) &&
            windowState() == Qt::WindowNoState) {
            m_sizedToFrame = true;
            resize(m_normal.width - extra.width(), m_normal.height - extra.height());
        }
        m_right->OnInitialUpdate();
    }
}

void CMainFrame::RememberNormalGeometry() {
    if (!isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        return;
    QRect r = frameGeometry();
    m_normal = {r.x(), r.y(), r.width(), r.height()};
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    RememberNormalGeometry();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    RememberNormalGeometry();
}

WindowPlacement CMainFrame::CurrentPlacement() const {
    WindowPlacement p;
    p.normal = m_normal;
    p.zoomed = isMaximized();
    p.iconic = !p.zoomed && isMinimized();
    return p;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_placementSaved) {
        m_placementSaved = true;
        m_model.DestroyWindow(CurrentPlacement());
    }
    QMainWindow::closeEvent(event);
}

bool CMainFrame::LoadDisc(uint16_t device) {
    // Both views are emptied before the records they show are freed.
    m_model.Tree().Clear();
    m_model.List().Clear();
    m_left->Reload();
    m_right->Reload();
    UpdateTitle({});
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool ok = m_model.LoadDisc(device);
    QApplication::restoreOverrideCursor();
    m_left->Reload();
    m_right->Reload();
    return ok;
}

void CMainFrame::OnSelectDrive() {
    CDriveDlg dlg(m_sink, this);
    if (dlg.exec() != QDialog::Accepted) {
        m_model.DriveDialogCancelled();
        return;
    }
    LoadDisc(static_cast<uint16_t>(dlg.Selected()));
}

void CMainFrame::OnDiscInformation() {
    if (!m_model.OnDiscInformation())
        return;
    DiscInfoDialog dlg(this);
    dlg.exec();
}

void CMainFrame::OnSaveDiscInformation() {
    m_model.OnSaveDiscInformation();
}

void CMainFrame::OnAppAbout() {
    CAboutDlg dlg(this);
    dlg.exec();
}

void CMainFrame::OnViewStyle(int command) {
    if (!m_right)
        return;
    switch (command) {
    case ID_VIEW_SMALLICON:
        m_right->SetStyle(CKVDAppView::Style::SmallIcon);
        break;
    case ID_VIEW_LARGEICON:
        m_right->SetStyle(CKVDAppView::Style::LargeIcon);
        break;
    case ID_VIEW_LIST:
        m_right->SetStyle(CKVDAppView::Style::List);
        break;
    case ID_VIEW_DETAILS:
        m_right->SetStyle(CKVDAppView::Style::Report);
        break;
    case ID_VIEW_LINEUP:
        m_right->Arrange();
        break;
    default:
        break;
    }
    OnUpdateViewStyles();
}

void CMainFrame::OnUpdateViewStyles() {
    const CKVDAppView::Style s = m_right->CurrentStyle();
    Action(ID_VIEW_SMALLICON)->setChecked(s == CKVDAppView::Style::SmallIcon);
    Action(ID_VIEW_LARGEICON)->setChecked(s == CKVDAppView::Style::LargeIcon);
    Action(ID_VIEW_LIST)->setChecked(s == CKVDAppView::Style::List);
    Action(ID_VIEW_DETAILS)->setChecked(s == CKVDAppView::Style::Report);
}
