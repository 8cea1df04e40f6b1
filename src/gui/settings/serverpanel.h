#pragma once

#include "core/settings/profiles.h"
#include "gui/ui/movablepanel.h"

class FolderChooserPanel;
class Options;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListView;
class QPushButton;

// The panel `Frame1` "サーバーの設定": the profile names `profileNameModel`, the seven profile fields
// `field(0..6)` in the frames `fieldCaption(0..6)`, the server time option `serverTimesAsLocal`, and the buttons
// that register, delete, clear, back up and restore. It creates the chooser `Frame6` beside
// itself, for the local start folder and for the backup to restore.
class ServerPanel : public MovablePanel {
    Q_OBJECT
public:
    ServerPanel(Profiles& profiles, Options& options, QWidget* parent);

    FolderChooserPanel* folderChooser() const { return m_chooser; }

    // `Command14(0)` "OK" closes the panel (and the chooser); `Command14(1)` "anony" fills in the
    // anonymous user.
    void onOkOrAnonymousClicked(int index);
    // `Command23` "DIR" and `Command35`: the chooser in folder and in file mode.
    void chooseLocalStartFolder();
    void chooseBackupToRestore();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void showSelectedProfileRow(int row);
    void openChooser();

    Profiles& m_profiles;
    Options& m_options;
    QListView* m_profileList;
    QGroupBox* m_fieldFrames[Profiles::FieldCount];
    QLineEdit* m_fieldBoxes[Profiles::FieldCount];
    QCheckBox* m_serverTimesAsLocalBox;
    FolderChooserPanel* m_chooser;
};
