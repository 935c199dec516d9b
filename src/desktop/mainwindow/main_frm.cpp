// The main window itself: its making (menus, tool bar, status bar, the splitter with the tree and the list),
// its placement and the view styles. The commands are in main_frm_commands.cpp.
#include "desktop/mainwindow/main_frm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <string>
#include <vector>

#include "appmodel/status_text.h"
#include "desktop/dialogs/save_disc_info_dlg.h"
#include "iso9660/iso9660.h"
#include "platform/ui/ui_images.h"
#include "res/app_strings.h"

namespace {

// The splitter between tree and list, which lets the frame share out its width after each resize.
class FrameSplitter final : public QSplitter {
  public:
    FrameSplitter(std::function<void()> resized, QWidget* parent)
        : QSplitter(Qt::Horizontal, parent), m_resized(std::move(resized)) {}

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QSplitter::resizeEvent(event);
        m_resized();
    }

  private:
    std::function<void()> m_resized;
};

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

// The picture of a menu command on the menus and the tool bar.
QIcon CommandIcon(int command) {
    switch (command) {
    case ID_SELECT_DRIVE:
        return QIcon(ckvd::ui::DrawImage(IMG_CDDRIVE, 16));
    case ID_SAVE_DISCINFO:
        return QIcon(ckvd::ui::DrawImage(IMG_DOCUMENT, 16));
    case ID_DISC_INFORMATION:
        return QIcon(ckvd::ui::DrawImage(IMG_INFO, 16));
    case ID_APP_ABOUT:
        return QIcon(ckvd::ui::DrawImage(IMG_QUESTION, 16));
    case ID_OPEN_IMAGE:
        return QIcon(ckvd::ui::DrawImage(IMG_CD, 16));
    default:
        return ckvd::ui::ViewStyleIcon(command);
    }
}

} // namespace

CMainFrame::CMainFrame(ckvd::ui::MessageSink& sink, ckvd::ui::ProfileStore& profile, QWidget* parent)
    : QMainWindow(parent), m_sink(sink), m_model(sink, profile),
      m_wndSplitter(new FrameSplitter([this] { ArrangeSplitter(); }, this)) {
    setWindowIcon(ckvd::ui::ApplicationIcon());
    // PreCreateWindow: the management number and the restored rectangle.
    WindowPlacement placement = m_model.PreCreateWindow();
    const std::vector<ScreenRect> screens = AvailableScreens();
    if (!placement.stored && !screens.empty())
        placement.normal = Placement_FirstStart(screens.front());
    m_normal = Placement_KeepOnScreen(placement.normal, screens);
    move(m_normal.x, m_normal.y);
    resize(m_normal.width, m_normal.height);

    // OnCreateClient: the tree (350 wide) and the list.
    m_left = new CLeftView(m_model.Tree(), m_model.Doc(), m_wndSplitter);
    m_right = new CKVDAppView(m_model.List(), m_wndSplitter);
    m_right->SetSink(&m_sink);
    m_right->SetOpenDirectory([this](const FileEntry* directory) { m_left->SelectEntry(directory); });
    m_model.runReportDialog = [this](int number, const ReportNumbers& numbers) {
        CSaveDiscInfoDlg dlg(number, m_sink, this);
        dlg.Model().numbers = numbers;
        dlg.OfferCheck()->setChecked(m_model.OffersReportAfterLoad());
        dlg.exec();
        m_model.SetOffersReportAfterLoad(dlg.OfferCheck()->isChecked());
        if (dlg.Model().Result() == ReportDlgResult::Ok || dlg.Model().Result() == ReportDlgResult::Failed)
            ShowLastAction(Status_Report(dlg.Model().Number(), dlg.Model().Path(),
                                         dlg.Model().Result() == ReportDlgResult::Ok));
        return std::make_pair(dlg.Model().Result(), dlg.Model().Number());
    };
    m_wndSplitter->addWidget(m_left);
    m_wndSplitter->addWidget(m_right);
    m_wndSplitter->setSizes({350, 100});
    m_wndSplitter->setStretchFactor(1, 1);
    m_wndSplitter->setChildrenCollapsible(false);
    connect(m_wndSplitter, &QSplitter::splitterMoved, this, [this] { m_splitterMoved = true; });
    setCentralWidget(m_wndSplitter);
    m_right->SetStyle(CKVDAppView::Style::Report);
    // Widths the user set in an earlier run.
    if (const int tree = profile.GetInt("TREEWIDTH", 0); tree > 0) {
        m_splitterMoved = true;
        m_wndSplitter->setSizes({tree, std::max(m_normal.width - tree, 100)});
    }
    std::vector<int> columns;
    for (int c = 0; c < LIST_COLUMNS; ++c)
        if (const int width = profile.GetInt("COLUMN" + std::to_string(c), 0); width > 0)
            columns.push_back(width);
    m_right->SetUserColumnWidths(columns);
    // The order the user chose in an earlier run.
    if (const int column = profile.GetInt("SORTCOLUMN", -1); column >= 0 && column < LIST_COLUMNS)
        m_right->SetSort({column, profile.GetInt("SORTORDER", 0) != 0});
    m_right->SetOpenParent([this] { OnParentFolder(); });
    m_right->SetSaved([this](const std::string& done) { ShowLastAction(done); });
    // A disc shown from the catalogue has no sectors to read: its image is opened instead where it is still
    // there, else the disc is asked for.
    m_right->SetDiscBytes([this] { return m_model.CheckDiscBytes(); });
    m_model.openImage = [this](const std::string& image) { OpenDiscImage(QString::fromStdString(image)); };

    // The list reads the tree's selection through the document; show its new rows and the new title.
    m_model.Doc().updateListView = [this](bool fromView, uint32_t hint) {
        m_model.List().OnUpdate(fromView, hint);
        m_right->Reload();
    };
    m_model.Doc().titleChanged = [this](const std::string& title) { UpdateTitle(title); };
    UpdateTitle({});
    // Both views are emptied before the disc is read and show the disc of before again when it fails.
    m_model.viewsChanged = [this] {
        m_left->Reload();
        m_right->Reload();
    };

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    OnUpdateViewStyles();
    RefreshRecentMenu();
    setAcceptDrops(true);
}

CMainFrame::~CMainFrame() {
    // The views read the models this frame holds: they go first, before the models are destroyed, and not
    // after, when the base class would delete them.
    delete m_wndSplitter;
    m_wndSplitter = nullptr;
    m_left = nullptr;
    m_right = nullptr;
}

void CMainFrame::UpdateTitle(const std::string& docTitle) {
    if (docTitle.empty())
        setWindowTitle(IDS_APP_TITLE);
    else
        setWindowTitle(QString::fromStdString(docTitle) + " - " + IDS_APP_TITLE);
}

void CMainFrame::SetDocumentTitle(const QString& name) {
    setWindowTitle(name + " - " + IDS_APP_TITLE);
}

QAction* CMainFrame::Action(int command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus() {
    auto make = [this](int command, const QString& text) {
        auto* a = new QAction(CommandIcon(command), text, this);
        if (const char* prompt = App_CommandPrompt(command)) {
            QString p(prompt);
            a->setStatusTip(p.section('\n', 0, 0));
            a->setToolTip(p.section('\n', 1, 1));
        }
        m_actions[command] = a;
        return a;
    };
    QMenu* viewMenu = nullptr;
    for (const MenuDef& def : kMainMenu) {
        QMenu* menu = menuBar()->addMenu(def.title);
        if (!m_fileMenu)
            m_fileMenu = menu;
        if (def.items == kViewMenu)
            viewMenu = menu;
        for (int i = 0; i < def.count; ++i) {
            const MenuItemDef& item = def.items[i];
            if (!item.text) {
                QAction* separator = menu->addSeparator();
                if (menu == m_fileMenu && !m_recentEnd)
                    m_recentEnd = separator; // the recent images go above Exit
                continue;
            }
            menu->addAction(make(item.command, item.text));
        }
    }
    Action(ID_OPEN_IMAGE)->setShortcut(QKeySequence::Open);
    // Not every platform theme binds Quit to a key.
    Action(ID_APP_EXIT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Action(ID_FIND_IN_CATALOGUE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    // Commands reached from the tool bar only.
    make(ID_VIEW_LARGEICON, "Large Icon");
    make(ID_VIEW_SMALLICON, "Small Icon");
    make(ID_VIEW_LIST, "List");
    make(ID_VIEW_DETAILS, "Detail");

    connect(Action(ID_SELECT_DRIVE), &QAction::triggered, this, [this] { OnSelectDrive(); });
    connect(Action(ID_OPEN_IMAGE), &QAction::triggered, this, [this] { OnOpenDiscImage(); });
    connect(Action(ID_SAVE_DISCINFO), &QAction::triggered, this, [this] { OnSaveDiscInformation(); });
    connect(Action(ID_APP_EXIT), &QAction::triggered, this, [this] { close(); });
    connect(Action(ID_DISC_INFORMATION), &QAction::triggered, this, [this] { OnDiscInformation(); });
    connect(Action(ID_LEVEL1_SIMULATION), &QAction::triggered, this, [this] { OnLevel1Simulation(); });
    connect(Action(ID_VERIFY_DISC), &QAction::triggered, this, [this] { OnVerifyDisc(); });
    connect(Action(ID_SAVE_DISC_IMAGE), &QAction::triggered, this, [this] { OnSaveDiscImage(); });
    connect(Action(ID_PLAYER_CHECK), &QAction::triggered, this, [this] { OnPlayerCheck(); });
    connect(Action(ID_ADD_TO_CATALOGUE), &QAction::triggered, this, [this] { OnAddToCatalogue(); });
    connect(Action(ID_FIND_IN_CATALOGUE), &QAction::triggered, this, [this] { OnFindInCatalogue(); });
    connect(Action(ID_OPEN_CATALOGUED), &QAction::triggered, this, [this] { OnOpenCatalogued(); });
    connect(Action(ID_NEW_DISC), &QAction::triggered, this, [this] { OnNewDisc(); });
    connect(Action(ID_BURN_IMAGE), &QAction::triggered, this, [this] { OnBurnImage(); });
    connect(Action(ID_APP_ABOUT), &QAction::triggered, this, [this] { OnAppAbout(); });
    m_viewStyles = new QActionGroup(this);
    for (int command : {ID_VIEW_SMALLICON, ID_VIEW_LARGEICON, ID_VIEW_LIST, ID_VIEW_DETAILS}) {
        QAction* a = Action(command);
        a->setCheckable(true);
        m_viewStyles->addAction(a);
        connect(a, &QAction::triggered, this, [this, command] { OnViewStyle(command); });
    }
    // The list's number base, the same radio items as its context menu; the check follows the list.
    auto* bases = new QActionGroup(this);
    for (int command : {ID_LBNSIZE_BASE10, ID_LBNSIZE_BASE16, ID_LBNSIZE_MSF}) {
        QAction* a = Action(command);
        a->setCheckable(true);
        bases->addAction(a);
        connect(a, &QAction::triggered, this, [this, command] { m_right->OnCommand(command); });
    }
    if (viewMenu)
        connect(viewMenu, &QMenu::aboutToShow, this, [this] {
            for (int command : {ID_LBNSIZE_BASE10, ID_LBNSIZE_BASE16, ID_LBNSIZE_MSF})
                Action(command)->setChecked(CKVDAppView::IsCurrentBase(command));
        });
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
    // The entries of the folder shown, counted anew whenever the list is filled.
    m_entryCount = new QLabel(bar);
    m_entryCount->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(m_entryCount);
    connect(m_right->ListModel(), &QAbstractItemModel::modelReset, this, [this] { ShowEntryCount(); });
    ShowEntryCount();
    for (const char* indicator : kStatusIndicators) {
        auto* pane = new QLabel(indicator, bar);
        pane->setEnabled(false); // the indicators are not tracked here
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(pane);
    }
    ShowIdle();
    // Once a menu's prompt or a passing message is gone, the bar says again what the last Save to Disc or
    // report did ("Ready" before any).
    connect(bar, &QStatusBar::messageChanged, bar, [this](const QString& text) {
        if (text.isEmpty())
            ShowIdle();
    });
    QAction* toggle = Action(ID_VIEW_STATUS_BAR);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QWidget::setVisible);
}

void CMainFrame::ShowEntryCount() {
    const bool shown = g_DiscModel && g_DiscModel->firstSession && m_model.Tree().Selected() >= 0;
    m_entryCount->setText(shown ? QString::fromStdString(Status_Entries(m_model.List().RowCount()))
                                : QString());
    m_entryCount->setVisible(shown);
}

void CMainFrame::ShowLastAction(const std::string& text) {
    if (text.empty())
        return;
    m_idleMessage = QString::fromStdString(text);
    statusBar()->setToolTip(m_idleMessage);
    ShowIdle();
}

void CMainFrame::ShowIdle() {
    // A load on a worker says so until it ends.
    const QString loading = LoadingText();
    m_shownIdle = loading.isEmpty() ? IdleText() : loading;
    statusBar()->showMessage(m_shownIdle);
}

QString CMainFrame::IdleText() const {
    // A long folder's name gives way in its middle to the panes on the right; the tool tip has it whole.
    const QStatusBar* bar = statusBar();
    int room = bar->width() - 2 * bar->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) - 24;
    for (const QLabel* pane : bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (pane->isVisible())
            room -= pane->width() + 4;
    return room < 120 ? m_idleMessage : bar->fontMetrics().elidedText(m_idleMessage, Qt::ElideMiddle, room);
}

void CMainFrame::OnParentFolder() {
    // The folder left stays the current row of the one shown, so going down again is one key away.
    const FileEntry* left = m_left->SelectParent();
    CKVDAppViewModel& list = m_model.List();
    for (int row = 0; left && row < list.RowCount(); ++row)
        if (list.Entry(row) == left) {
            m_right->SelectRow(row);
            break;
        }
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
        RememberNormalGeometry();
        m_right->OnInitialUpdate();
    }
}

void CMainFrame::RememberNormalGeometry() {
    if (!isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        return;
    // The profile holds the outer size, which Qt can only set as the inner one. The first time the window is
    // restored with a frame around it (at the first show, or after a maximised start), the frame is taken off
    // the inner size, so that the outer size is the profile's and does not grow from run to run.
    const QSize extra = frameGeometry().size() - geometry().size();
    if (!m_sizedToFrame && (extra.width() > 0 || extra.height() > 0)) {
        m_sizedToFrame = true;
        resize(m_normal.width - extra.width(), m_normal.height - extra.height());
        return;
    }
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
    // The last action's words fitted to the new width, unless another message stands there.
    if (statusBar()->currentMessage() == m_shownIdle)
        ShowIdle();
}

WindowPlacement CMainFrame::CurrentPlacement() const {
    WindowPlacement p;
    p.normal = m_normal;
    p.zoomed = isMaximized();
    p.iconic = !p.zoomed && isMinimized();
    return p;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A catalogue add still running is finished, not dropped: the disc the user asked for goes in.
    FinishCatalogueAdd();
    if (!m_placementSaved) {
        m_placementSaved = true;
        m_model.DestroyWindow(CurrentPlacement());
        // Widths the user set stay for the next run.
        ckvd::ui::ProfileStore& profile = m_model.Profile();
        if (m_splitterMoved)
            profile.WriteInt("TREEWIDTH", m_wndSplitter->sizes().value(0));
        const std::vector<int> columns = m_right->UserColumnWidths();
        for (size_t c = 0; c < columns.size(); ++c)
            profile.WriteInt("COLUMN" + std::to_string(c), columns[c]);
        const ListSort& sort = m_model.List().Sort();
        if (sort.column != profile.GetInt("SORTCOLUMN", -1))
            profile.WriteInt("SORTCOLUMN", sort.column);
        if (int(sort.descending) != profile.GetInt("SORTORDER", 0))
            profile.WriteInt("SORTORDER", sort.descending ? 1 : 0);
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The view-style pictures are drawn in the text colour: a new palette (a dark theme) redraws them.
    if (event->type() == QEvent::PaletteChange)
        for (int command : {ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS})
            if (auto it = m_actions.find(command); it != m_actions.end())
                it->second->setIcon(ckvd::ui::ViewStyleIcon(command));
}

void CMainFrame::ShowTreeNotes() {
    // A session read without its path table is listed all the same; the status bar says how it was read
    // (the whole sentence in its tool tip).
    statusBar()->setToolTip({});
    QStringList all;
    QString first;
    int number = 1;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next, ++number)
        for (const IsoTreeNote& note : Iso_TreeNotes(t)) {
            if (first.isEmpty())
                first = QString("(Session%1) %2").arg(number).arg(QString::fromStdString(note.shortText));
            all << QString("(Session%1) %2").arg(number).arg(QString::fromStdString(note.text));
        }
    if (!first.isEmpty()) {
        statusBar()->showMessage(all.size() > 1 ? first + QString(" (+%1)").arg(all.size() - 1) : first);
        statusBar()->setToolTip(all.join('\n'));
    }
}

void CMainFrame::ArrangeSplitter() {
    // Until the user moves the splitter, the tree takes what its items need up to a third of the window and
    // the list the rest: when the window narrows, the tree gives up width first.
    if (m_splitterMoved)
        return;
    const QList<int> sizes = m_wndSplitter->sizes();
    if (sizes.size() != 2 || !m_left)
        return;
    const int total = sizes[0] + sizes[1];
    const int tree = std::min(m_left->NeededWidth(), total / 3);
    if (tree != sizes[0])
        m_wndSplitter->setSizes({tree, total - tree});
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
