#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class ActivityLog;
class FtpConnection;

// The FTP command console's text `Text3` and its commands: a raw command typed by the user goes
// to the server over the pane's connection and its reply is appended; LIST and NLST bring their
// output through a data connection, which replaces the text. The last folder listing of the FTP
// pane is left here too. The engine keeps track of what a typed command changes on the server
// (type, folder, ...), so the program's own transfers stay right whatever the user typed.
class FtpConsole : public QObject {
    Q_OBJECT
public:
    explicit FtpConsole(ActivityLog& log, QObject* parent = nullptr);

    // The entries of the command box `Combo1`: the command, a blank, "#" and what it does.
    static const QStringList& commandList();
    // What the execute button sends for the box text: the text up to its first "#", trimmed.
    static QString commandOf(const QString& boxText);
    // A command as the console and the log show it: a password is never shown.
    static QString shownCommand(const QString& command);

    QString text() const { return m_text; }
    void clear();
    void append(const QString& text);
    // The raw text of the last folder listing; very long listings are cut.
    void setListingText(const QString& text);

    // Sends `command` over `connection` (null: not connected, nothing happens). False when it
    // failed: the text is then as it was, apart from the echoed command.
    bool run(FtpConnection* connection, const QString& command);

    // A listing shown here is cut at this many characters: the box is for reading, not for
    // holding a folder of a million entries.
    static constexpr qsizetype MaxListingChars = 1024 * 1024;

Q_SIGNALS:
    // The whole text changed (cleared or replaced).
    void textReplaced(const QString& text);
    // `text` was added at the end.
    void textAppended(const QString& text);

private:
    ActivityLog& m_log;
    QString m_text;
};
