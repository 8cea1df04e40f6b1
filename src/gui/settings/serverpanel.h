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

// The panel `Frame1` "サーバーの設定": the profile names `List1`, the seven profile fields
// `txtftp(0..6)` in the frames `Frame22(0..6)`, the server time option `Check9`, and the buttons
// that register, delete, clear, back up and restore. It creates the chooser `Frame6` beside
// itself, for the local start folder and for the backup to restore.
class ServerPanel : public MovablePanel {
    Q_OBJECT
public:
    ServerPanel(Profiles& profiles, Options& options, QWidget* parent);

    FolderChooserPanel* Frame6() const { return m_frame6; }

    // `Command14(0)` "OK" closes the panel (and the chooser); `Command14(1)` "anony" fills in the
    // anonymous user.
    void Command14_Click(int index);
    // `Command23` "DIR" and `Command35`: the chooser in folder and in file mode.
    void Command23_Click();
    void Command35_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void showList1Index(int row);
    void openChooser();

    Profiles& m_profiles;
    Options& m_options;
    QListView* m_list1;
    QGroupBox* m_frame22[Profiles::FieldCount];
    QLineEdit* m_txtftp[Profiles::FieldCount];
    QCheckBox* m_check9;
    FolderChooserPanel* m_frame6;
};
