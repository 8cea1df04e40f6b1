#pragma once

#include "core/ftp/ftpconnection.h"
#include "core/transfer/textconvert.h"

#include <QString>
#include <functional>
#include <optional>

// One file down or up over one connection: the engine's getFile and putFile with the EUC-JP /
// Shift-JIS conversion of ASCII transfers and the replacement of a server file through a
// temporary name. It shows nothing and asks nothing, so it serves the pane's connection on the
// window's thread and the extra connections of a run on their own threads alike; the caller
// turns a Result into messages.
//
// Replacing: the upload goes to temporaryName() in the same folder, gets the old file's mode by
// SITE CHMOD, and is renamed over the old file (delete, then rename, on a server that refuses to
// rename onto an existing name). A failed or stopped upload removes the temporary file and leaves
// the old one as it was. A server that refuses the temporary file, the mode or the rename gets
// direct uploads from this mover on, and the Result's notice says so once.
class FileMover {
public:
    // How the mover sees the user's Stop: `requested` tells, `hold(true)` keeps it from ending the
    // clean-up of a stopped replacement and `hold(false)` lets it act again.
    struct Stop {
        std::function<bool()> requested;
        std::function<void(bool)> hold;
    };

    struct Result {
        bool ok = false;
        int code = 0; // the engine's error of a failure
        QString response; // the server's reply to the failed step
        std::optional<TextConvert::Error> conversionError; // a download the EUC-JP conversion refused
        QString notice; // a status line: this connection now uploads directly
    };

    // `conversionTemp`: a file of the caller's own for the conversions (one per mover).
    FileMover(FtpConnection& connection, QString conversionTemp, Stop stop);

    // A run's mover asks the next passive port ahead after each transfer.
    void setPassiveAhead(bool on);
    bool sendsDirectly() const { return m_sendDirectly; }
    FtpConnection& connection() const { return m_connection; }

    // `eucToSjis`: an ASCII download is converted from EUC-JP.
    Result get(const QString& remote, const QString& local, bool failIfExists, TransferType type, bool eucToSjis,
        qint64 expectedSize = 0);
    // `sjisToEuc`: an ASCII upload is converted to EUC-JP. `replace`: the upload replaces the old
    // file through a temporary name, giving it the old file's mode `mode` ("755", empty when
    // unknown); else it is sent directly.
    Result put(const QString& local, const QString& remote, TransferType type, bool sjisToEuc, bool replace,
        const QString& mode);

    // The name an upload that replaces `name` travels under: hidden (a leading dot) and ending in
    // ".part", so a web server neither lists it, runs it as a script nor serves it as the page.
    static QString temporaryName(const QString& name);

private:
    enum class Replacement { Replaced, Failed, SendDirectly };
    Replacement putThroughTemporary(
        const QString& source, const QString& remote, TransferType type, const QString& mode, Result* result);
    bool refused() const;
    void removeTemporary(const QString& temp);

    FtpConnection& m_connection;
    QString m_conversionTemp;
    Stop m_stop;
    bool m_passiveAhead = false;
    bool m_sendDirectly = false; // the server refused a step of the replacement
    bool m_deleteBeforeRename = false; // the server refused to rename onto an existing name
};
