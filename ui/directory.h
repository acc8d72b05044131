#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace vidlume::platform {
class Launcher;
}

namespace vidlume::ui {
class FolderTreeModel;
}

/// The output folder chooser. Its result is SelectedDir, read after the modal run.
class TfmDirectory : public QDialog
{
    Q_OBJECT

public:
    explicit TfmDirectory(QWidget* owner = nullptr);

    /// The path accepted by the last successful OK; empty after Cancel or a refusal.
    std::string SelectedDir;

    QLabel* lbl1;
    QTreeView* stview_selectdir = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    /// On every showing: sets the outer size, reads the tree afresh, selects the
    /// start folder and applies the OK rule. Throws when the start folder cannot be
    /// selected, leaving the selection and btnOk as they were.
    void FormShow();

    /// The OK rule: btnOk is disabled for the four places under the desktop root
    /// that have no folder (entries 1 to 4) and when nothing is selected.
    void stview_selectdirClick();

    /// Accepts the selected folder into SelectedDir and closes, unless the folder
    /// lies on a CD-ROM: then SelectedDir is emptied, the refusal shown, and the
    /// dialog stays open.
    void btnOkClick();

    /// Empties SelectedDir and closes.
    void btnCancelClick();

    /// The folder menu of a right click (or the menu key) on a tree entry that is a
    /// folder: open it in the file manager, make a new folder in it, copy its path.
    /// The selection stays as it was, except that a new folder is selected.
    void stview_selectdirContextPopup(const QModelIndex& node, const QPoint& where);

    /// Selects a folder in the tree, expanding the nodes down to it; nothing changes
    /// when it is already selected. Throws "Error setting path: "<path>"" when the
    /// path is no existing folder; clears the selection when the folder exists but
    /// the tree does not list it (a hidden folder).
    void selectPath(const std::string& path);

    /// The folder tree behind stview_selectdir.
    vidlume::ui::FolderTreeModel* folderTree() const { return m_tree; }

    /// The folder that every showing selects ("/" unless a test sets another).
    void setStartFolder(const std::string& path) { m_startFolder = path; }

    /// Where the mount table text comes from (the running system's unless a test
    /// gives its own); it decides the CD-ROM refusal and the volumes under "Computer".
    void setMountTableSource(std::function<std::string()> source);

    /// Who opens a folder in the file manager (the system's unless a test sets another).
    void setLauncher(vidlume::platform::Launcher* launcher) { m_launcher = launcher; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyOuterSize();
    void placeOverOwner();
    void newFolderIn(const QModelIndex& node);

    vidlume::ui::FolderTreeModel* m_tree = nullptr;
    std::string m_startFolder = "/";
    std::function<std::string()> m_mountTable;
    vidlume::platform::Launcher* m_launcher;
    bool m_placed = false;
    bool m_watchingFrame = false;
    QSize m_sizeSet; // the client size that the last showing set, for its frame
};

/// The one chooser, created hidden at start-up.
extern TfmDirectory* fmDirectory;
