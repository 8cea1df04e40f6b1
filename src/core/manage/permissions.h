#pragma once

#include <QObject>
#include <QString>
#include <array>

class ActivityLog;
class Dialogs;
class RemotePane;
class StatusLines;
struct AppState;

// The permission panel `Frame17` as state, and the change it sends:
//   ShowPermissionPanel()      fills the explanation `Text8` and asks for the panel (panelRequested)
//   setCheck2(index, on)       a click on box `Check2(index)`: the mode texts follow
//   ChangeServerPermissions()  "SITE CHMOD " + `Label11` + " " + name for each selected FTP row
//   Command27_Click()          "実行": the change, then the panel closes when `Check4` is ticked
//   setLabel11(mode)           the mode as three octal digits (the companion's "</permit>")
// The mode lives only here (`Label11`); it is neither read from the listing nor stored.
class Permissions : public QObject {
    Q_OBJECT
public:
    Permissions(AppState& state, RemotePane& remotePane, StatusLines& statusLines, ActivityLog& log, Dialogs& dialogs,
        QObject* parent = nullptr);
    ~Permissions() override;

    // Box `Check2(index)`, 0 to 8: read, write, execute of owner, group and other.
    bool Check2(int index) const;
    void setCheck2(int index, bool on);
    // "実行終了時このウィンドウを閉じる".
    bool Check4() const { return m_check4; }
    void setCheck4(bool on);

    // The three-digit mode ("644"), the digit of one level (0 owner, 1 group, 2 other) and the
    // nine letters ("rw-r--r--").
    QString Label11() const { return m_label11; }
    // Sets the mode and the boxes with it. False (nothing changed) unless `mode` is three octal
    // digits: the text goes to the server.
    bool setLabel11(const QString& mode);
    QString Label12(int level) const;
    QString Label13() const { return m_label13; }
    QString Text8() const { return m_text8; }

    void ShowPermissionPanel();
    // False when no row of the FTP list is selected (the user is told) or no connection.
    bool ChangeServerPermissions();
    void Command27_Click();

    // The texts of the panel.
    static QString title() { return QStringLiteral("アクセス権の変更(パーミッション)"); }
    static QString explanation();
    static QString nothingSelectedText()
    {
        return QStringLiteral("パーミッション変更を変更するファイルが選択されていません。");
    }

Q_SIGNALS:
    // A box, `Check4` or a mode text changed.
    void changed();
    // Show `Frame17` over the FTP list, in front.
    void panelRequested();
    // Hide `Frame17` (after "実行" with `Check4` ticked).
    void panelHideRequested();
    // The server's reply to a SITE CHMOD, for the console's text box `Text3`.
    void Text3Appended(const QString& text);

private:
    void updateMode();
    void writeLog(const QString& openTag, const QString& details, const QString& closeTag);

    AppState& m_state;
    RemotePane& m_remotePane;
    StatusLines& m_statusLines;
    ActivityLog& m_log;
    Dialogs& m_dialogs;
    std::array<bool, 9> m_check2 {};
    bool m_check4 = false;
    QString m_label11;
    QString m_label13;
    QString m_text8;
};
