// CMainFrame: menu, tool bar, status bar and the splitter with the disc tree and the file list.
#pragma once

#include <QActionGroup>
#include <QLabel>
#include <QMainWindow>
#include <QSplitter>
#include <QToolBar>
#include <map>

#include "app/kvd_app_view.h"
#include "app/left_view.h"
#include "app/main_frame_model.h"

class CMainFrame final : public QMainWindow {
  public:
    CMainFrame(ckvd::ui::MessageSink& sink, ckvd::ui::ProfileStore& profile, QWidget* parent = nullptr);

    CMainFrameModel& Model() { return m_model; }
    CLeftView* GetLeftPane() const { return m_left; }
    CKVDAppView* GetRightPane() const { return m_right; }
    QAction* Action(int command) const;
    QToolBar* ToolBar() const { return m_wndToolBar; }

    // Shows the window as the profile says (3 maximised, 2 minimised, 5 normal).
    void ShowWindow(int showCommand);

    // Commands.
    void OnSelectDrive();
    void OnDiscInformation();
    void OnSaveDiscInformation();
    void OnAppAbout();
    void OnViewStyle(int command);

    // Loads the disc of `device` and shows it; false after a failure (its message was shown).
    bool LoadDisc(uint16_t device);
    // The restored outer geometry and state, as they are written to the profile.
    WindowPlacement CurrentPlacement() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void OnUpdateViewStyles();
    void RememberNormalGeometry();
    void UpdateTitle(const std::string& docTitle);

    ckvd::ui::MessageSink& m_sink;
    CMainFrameModel m_model;
    QSplitter* m_wndSplitter;
    CLeftView* m_left;
    CKVDAppView* m_right;
    QToolBar* m_wndToolBar = nullptr;
    QActionGroup* m_viewStyles = nullptr;
    std::map<int, QAction*> m_actions;
    ScreenRect m_normal;
    bool m_placementSaved = false;
    bool m_firstShow = true;
    bool m_sizedToFrame = false;
};
