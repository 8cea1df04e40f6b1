#pragma once

#include <QString>

// What the companion's commands do, as the command interpreter (CommandInterpreter) asks for it.
// The main window carries it out on its panes, its connection and its transfers. Parameters are
// passed as the companion wrote them; where a command names a list entry, the name rule
// (CompanionProtocol::nameRuleTarget) is the carrier's to apply against its current folder.
class CompanionCommands {
public:
    virtual ~CompanionCommands() = default;

    virtual void disconnectServer() = 0;
    // Unloads the main window and ends the program.
    virtual void endProgram() = 0;
    virtual void setMainWindowVisible(bool visible) = 0;
    // `CompanionReplyWindow`: where the replies go (0: nowhere).
    virtual void setCompanionReplyWindow(qint64 handle) = 0;
    virtual void SendToCompanion(const QString& text) = 0;
    virtual QString localListReply() = 0;
    virtual QString ftpListReply() = 0;
    // `modeText` gets the mode; the FTP row whose text equals `name` is selected and changed.
    virtual void changePermissions(const QString& mode, const QString& name) = 0;
    virtual void openLocalFolder(const QString& parameter) = 0;
    virtual void openFtpFolder(const QString& parameter) = 0;
    virtual void localFolderUp() = 0;
    virtual void ftpFolderUp() = 0;
    virtual void download(const QString& parameter) = 0;
    virtual void deleteLocal(const QString& parameter) = 0;
    virtual void deleteOnServer(const QString& parameter) = 0;
    virtual void upload(const QString& parameter) = 0;
    // Selects the first profile whose lower-cased name equals `name` and connects. False when no
    // profile has that name.
    virtual bool connectProfile(const QString& name) = 0;
};
