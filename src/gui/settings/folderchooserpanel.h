#pragma once

#include "gui/ui/movablepanel.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The chooser panel `Frame6`: a folder list to walk the local folders and, in file mode, the
// files of the shown folder that match a pattern. The path box holds the choice; OK (`Command24`)
// hands it on and the owner closes the panel.
class FolderChooserPanel : public MovablePanel {
    Q_OBJECT
public:
    enum class Mode { Folder, File };

    explicit FolderChooserPanel(QWidget* parent);

    // Folder mode: the path box holds the shown folder, or the folder clicked in the list.
    void openFolders(const QString& caption, const QString& folder);
    // File mode: the path box holds the full path of the file clicked in the list.
    void openFiles(const QString& caption, const QString& folder, const QString& pattern);

    Mode mode() const { return m_mode; }
    QString folder() const { return m_folder; }
    QString path() const;

    // Shows that folder's subfolders (and files, in file mode). False when it cannot be read.
    bool enterFolder(const QString& folder);

Q_SIGNALS:
    // `Command24`: the path box's text in the mode the panel was opened in.
    void chosen(FolderChooserPanel::Mode mode, const QString& path);

private:
    void folderClicked(QListWidgetItem* item);
    void folderActivated(QListWidgetItem* item);
    void fileClicked(QListWidgetItem* item);

    Mode m_mode = Mode::Folder;
    QString m_folder;
    QString m_pattern;
    QLineEdit* m_path;
    QListWidget* m_folders;
    QListWidget* m_files;
    QPushButton* m_command24;
    QPushButton* m_cancel;
};
