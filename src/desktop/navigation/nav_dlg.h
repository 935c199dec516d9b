// The navigation-file viewers: CContentsDlg, CMenuDlg, CTextDlg, CPlaylistDlg and CLsnDlg over their content
// models. Each reads its file when it opens and releases the image however it closes (OK, Esc, close box).
#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QListWidget>
#include <QTreeWidget>
#include <memory>

#include "appmodel/message_sink.h"
#include "desktop/mediainfo/info_dialog.h"
#include "desktop/navigation/nav_widgets.h"
#include "navigation/contents_model.h"
#include "navigation/lsn_model.h"
#include "navigation/menu_model.h"
#include "navigation/nav_viewer.h"
#include "navigation/playlist_model.h"
#include "navigation/text_model.h"

class CNavViewerDlg : public QDialog {
  public:
    // Reads the file; on success fills the viewer, otherwise shows the read error through `sink` and leaves
    // every value, list and tree empty.
    void OnInitDialog(ckvd::ui::MessageSink& sink);
    // Whether the file's image is held (from a successful read until the dialog ends).
    bool HoldsImage() const { return m_file && m_file->Ok(); }
    // The list titled `title`, the value field labelled `label` (nullptr when there is none).
    NavListView* List(const QString& title) const { return findChild<NavListView*>(title); }
    QLineEdit* Field(const QString& label) const;

    void done(int result) override;

  protected:
    CNavViewerDlg(FileEntry* entry, NavViewerKind kind, QSize dialogUnits, QWidget* parent);
    virtual void Fill(const NavImage& image) = 0;
    // Form of `fields` (labels and empty values), kept for Field().
    InfoForm* AddForm(const std::vector<NavField>& fields);
    static void SetValues(InfoForm* form, const std::vector<NavField>& fields);
    // A list under its title label, in `layout`.
    NavListView* AddList(QBoxLayout* layout, const NavList& shape, int visibleRows);

    FileEntry* m_entry;
    NavViewerKind m_kind;

  private:
    // The dialog's own size, grown to what its content asks for, within the screen.
    void FitToScreen();

    QSize m_initialSize;
    std::unique_ptr<NavFileImage> m_file;
    std::vector<InfoForm*> m_forms;
};

class CContentsDlg final : public CNavViewerDlg {
  public:
    CContentsDlg(FileEntry* entry, QWidget* parent);
    const CContentsDlgModel& Model() const { return m_model; }
    // The radio buttons OnAudio, OnMenuImage, OnImage, OnVideo.
    void OnTable(CContentsDlgModel::FileTable table);
    QAbstractButton* Radio(CContentsDlgModel::FileTable table) const;
    QListWidget* LcidList() const { return m_lcid; }
    NavListView* FileTable() const { return m_files; }

  protected:
    void Fill(const NavImage& image) override;

  private:
    CContentsDlgModel m_model;
    InfoForm* m_header;
    QListWidget* m_lcid;
    NavListView* m_directories;
    NavListView* m_playlists;
    NavListView* m_files;
    QButtonGroup* m_radios;
};

class CMenuDlg final : public CNavViewerDlg {
  public:
    CMenuDlg(FileEntry* entry, QWidget* parent);
    const CMenuDlgModel& Model() const { return m_model; }
    QTreeWidget* Tree() const { return m_tree; }

  protected:
    void Fill(const NavImage& image) override;

  private:
    CMenuDlgModel m_model;
    InfoForm* m_header;
    QTreeWidget* m_tree;
    NavListView* m_menuHeaders;
    NavListView* m_menuItems;
    NavListView* m_playlistItems;
};

class CTextDlg final : public CNavViewerDlg {
  public:
    CTextDlg(FileEntry* entry, QWidget* parent);
    const CTextDlgModel& Model() const { return m_model; }

  protected:
    void Fill(const NavImage& image) override;

  private:
    CTextDlgModel m_model;
    InfoForm* m_header;
    NavListView* m_contents;
    NavListView* m_groups;
    NavListView* m_extra;
};

class CPlaylistDlg final : public CNavViewerDlg {
  public:
    CPlaylistDlg(FileEntry* entry, QWidget* parent);
    const CPlaylistDlgModel& Model() const { return m_model; }
    QTreeWidget* Tree() const { return m_tree; }
    NavListView* Files() const { return m_files; }

  protected:
    void Fill(const NavImage& image) override;

  private:
    // OnSelchangedGroupTree.
    void OnSelectionChanged();
    void ShowGroupPart();

    CPlaylistDlgModel m_model;
    InfoForm* m_header;
    InfoForm* m_counts;
    InfoForm* m_transitions;
    InfoForm* m_name;
    QTreeWidget* m_tree;
    NavListView* m_files;
};

class CLsnDlg final : public CNavViewerDlg {
  public:
    CLsnDlg(FileEntry* entry, QWidget* parent);
    const CLsnDlgModel& Model() const { return m_model; }

  protected:
    void Fill(const NavImage& image) override;

  private:
    CLsnDlgModel m_model;
    InfoForm* m_header;
    NavListView* m_entries;
};

// OpenNavigationViewer's dialog for `entry`, chosen by its name, after its OnInitDialog (a failed read has
// shown its message through `sink`).
std::unique_ptr<CNavViewerDlg> App_NavigationViewer(FileEntry* entry, ckvd::ui::MessageSink& sink,
                                                    QWidget* parent);
