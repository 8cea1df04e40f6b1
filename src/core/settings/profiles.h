#pragma once

#include "core/app/clock.h"

#include <QObject>
#include <QString>
#include <QStringList>

class Dialogs;
class Options;
class SettingsLines;

// The connection profiles of the server settings panel: the seven fields `field(0..6)` as
// state, the profile names of `profileNameModel` (the options' model) with the selected row, and the
// procedures that register, update, delete and select profiles in the settings line list.
// Field 0 profile name, 1 host, 2 user ID, 3 password, 4 local start folder, 5 server start
// folder, 6 home page address; each field's tag is "<" + the caption of `fieldCaption` with the same
// index + ">", so captions and tags can never drift apart.
class Profiles : public QObject {
    Q_OBJECT
public:
    static constexpr int FieldCount = 7;

    Profiles(SettingsLines& lines, Options& options, Dialogs& dialogs, QObject* parent = nullptr);

    // The captions of the frames around the fields, and the tags built from them.
    static QString fieldCaption(int index);
    static QString fieldTag(int index);

    // Backups are "FTPSet1" + year, month, day, hour, minute, second + ".txt", so they sort by age.
    static QString backupFileName(const QDateTime& when);

    // Password scrambling: one decimal number per character, joined by "&": the character's CP932
    // code (a double-byte character's two bytes as one signed 16-bit number) plus 5 × its position
    // from 1. It hides the password from a casual look only. A value that is no such list (blanks,
    // a closing tag, garbage, codes out of range) decodes to the empty password.
    static QString scramblePassword(const QString& password);
    static QString unscramblePassword(const QString& value);

    // The folder the local pane lists for field 4: "c:" (what an empty field becomes) and "c:/"
    // stand for the home folder.
    static QString localStartFolder(const QString& field4);

    void setClock(Clock clock) { m_clock = std::move(clock); }

    QString field(int index) const;
    // A user's edit of a field: nothing is stored until the register button.
    void setField(int index, const QString& text);

    // The selected row of `profileNameModel`, -1 when none.
    int selectedProfileRow() const;
    QStringList profileNames() const;

    // A click on a name in `profileNameModel`: selects that row and the profile.
    void selectProfileRow(int row);

    // `Command2(0)` "新規/再　登録": registers the fields as a profile, or replaces the profile of
    // the same name after asking.
    void registerProfile();
    // `Command2(1)` "登録抹消": deletes the selected profile after asking.
    void deleteSelectedProfile();
    // `Command6` "項目クリアー": empties fields 0 to 3.
    void clearFields();
    // `Command14(1)` "anony": the anonymous user, with the mail address as its password.
    void anonymous();
    // `Command24` of the chooser in folder mode: the chosen folder becomes field 4.
    void setLocalStartFolder(const QString& folder);

    // Removes the named profile's block (and the last-profile block naming it) and saves.
    void DeleteProfile(const QString& name);
    // Shows the named profile in the fields, makes it the last profile and saves.
    void SelectProfile(const QString& name);

    // Start-up: selects the first `profileNameModel` entry that a last-profile block names. The row
    // selected, or -1 when no block names a listed profile.
    int selectLastProfile();

    // `Command32` "設定のﾊﾞｯｸｱｯﾌﾟ": copies ftpset.ini as last saved to a new backup file in the
    // same folder, owner-only. The backup's path, or empty (the user was told why).
    QString backUpSettings();
    // `Command24` of the chooser in file mode: the backup's lines replace the settings line list
    // and are applied; they reach ftpset.ini with the next save. False (the user was told) when
    // the file cannot be read.
    bool restoreSettings(const QString& path);

Q_SIGNALS:
    // A field's text or the selection changed.
    void changed();
    void selectedProfileRowChanged(int row);
    // The text the FTP path box `folderText` shows for the selected profile.
    void showInFtpFolderText(const QString& text);
    // A selected profile's local start folder: the local pane shows it in `folderText` and lists it.
    void localFolderSelected(const QString& folder);

private:
    void setSelectedProfileRow(int row);
    void appendProfileName(const QString& name);
    void removeProfileName(int row);
    // A field that the settings file cannot hold as typed.
    int unstorableField() const;

    SettingsLines& m_lines;
    Options& m_options;
    Dialogs& m_dialogs;
    Clock m_clock = systemNow;
    QString m_fields[FieldCount];
    int m_selectedProfileRow = -1;
};
