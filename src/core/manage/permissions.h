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
//   ShowPermissionPanel()      fills the explanation `explanationText` and asks for the panel (panelRequested)
//   setModeBit(index, on)       a click on box `modeBit(index)`: the mode texts follow
//   ChangeServerPermissions()  "SITE CHMOD " + `modeText` + " " + name for each selected FTP row
//   onRunClicked()          "実行": the change, then the panel closes when `closeAfterChange` is ticked
//   setModeText(mode)           the mode as three octal digits (the companion's "</permit>")
// The mode lives only here (`modeText`); it is neither read from the listing nor stored.
class Permissions : public QObject {
    Q_OBJECT
public:
    Permissions(AppState& state, RemotePane& remotePane, StatusLines& statusLines, ActivityLog& log, Dialogs& dialogs,
        QObject* parent = nullptr);
    ~Permissions() override;

    // Box `modeBit(index)`, 0 to 8: read, write, execute of owner, group and other.
    bool modeBit(int index) const;
    void setModeBit(int index, bool on);
    // "実行終了時このウィンドウを閉じる".
    bool closeAfterChange() const { return m_closeAfterChange; }
    void setCloseAfterChange(bool on);

    // The three-digit mode ("644"), the digit of one level (0 owner, 1 group, 2 other) and the
    // nine letters ("rw-r--r--").
    QString modeText() const { return m_modeText; }
    // Sets the mode and the boxes with it. False (nothing changed) unless `mode` is three octal
    // digits: the text goes to the server.
    bool setModeText(const QString& mode);
    QString modeDigit(int level) const;
    QString modeLetters() const { return m_modeLetters; }
    QString explanationText() const { return m_explanationText; }

    void ShowPermissionPanel();
    // False when no row of the FTP list is selected (the user is told) or no connection.
    bool ChangeServerPermissions();
    void onRunClicked();

    // The texts of the panel.
    static QString title() { return QStringLiteral("アクセス権の変更(パーミッション)"); }
    static QString explanation();
    static QString nothingSelectedText()
    {
        return QStringLiteral("パーミッション変更を変更するファイルが選択されていません。");
    }

Q_SIGNALS:
    // A box, `closeAfterChange` or a mode text changed.
    void changed();
    // Show `Frame17` over the FTP list, in front.
    void panelRequested();
    // Hide `Frame17` (after "実行" with `closeAfterChange` ticked).
    void panelHideRequested();
    // The server's reply to a SITE CHMOD, for the console's text box `Text3`.
    void consoleReply(const QString& text);

private:
    void updateMode();

    AppState& m_state;
    RemotePane& m_remotePane;
    StatusLines& m_statusLines;
    ActivityLog& m_log;
    Dialogs& m_dialogs;
    std::array<bool, 9> m_modeBits {};
    bool m_closeAfterChange = false;
    QString m_modeText;
    QString m_modeLetters;
    QString m_explanationText;
};
