#include "core/transfer/filemover.h"

#include "core/ftp/ftperrors.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace {

// The three-digit code of the server's last reply, 0 when there is none.
int lastReplyCode(const QString& response)
{
    const QStringList lines = response.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QString last = lines.isEmpty() ? QString() : lines.last();
    bool ok = false;
    const int code = last.left(3).toInt(&ok);
    return ok && last.size() >= 3 && code >= 100 && code < 600 ? code : 0;
}

// The server's last reply as one short line for a status line.
QString shortReply(const QString& response)
{
    QString text = response.simplified();
    if (text.size() > 120)
        text = text.left(120) + QStringLiteral("…");
    return text;
}

} // namespace

FileMover::FileMover(FtpConnection& connection, QString conversionTemp, Stop stop)
    : m_connection(connection)
    , m_conversionTemp(std::move(conversionTemp))
    , m_stop(std::move(stop))
{
}

void FileMover::setPassiveAhead(bool on)
{
    m_passiveAhead = on;
    m_connection.setPassiveAhead(on);
}

FileMover::Result FileMover::get(const QString& remote, const QString& local, bool failIfExists, TransferType type,
    bool eucToSjis, qint64 expectedSize)
{
    Result result;
    const auto failed = [&] {
        result.code = m_connection.lastError();
        result.response = m_connection.lastResponse();
        return result;
    };
    m_connection.setExpectedSize(expectedSize);
    if (type != TransferType::Ascii || !eucToSjis) {
        result.ok = m_connection.getFile(remote, local, failIfExists, type);
        return result.ok ? result : failed();
    }
    if (failIfExists && QFileInfo::exists(local)) {
        result.code = FtpError::FileExists;
        return result;
    }
    const auto removeTemp = qScopeGuard([&] { QFile::remove(m_conversionTemp); });
    if (!m_connection.getFile(remote, m_conversionTemp, false, TransferType::Binary))
        return failed();
    // The conversion writes through its own temporary file: the local copy survives a failure.
    TextConvert::Error error;
    result.ok = TextConvert::EucFileToSjis(m_conversionTemp, local, &error);
    if (!result.ok)
        result.conversionError = error;
    return result;
}

FileMover::Result FileMover::put(
    const QString& local, const QString& remote, TransferType type, bool sjisToEuc, bool replace, const QString& mode)
{
    Result result;
    QString source = local;
    const auto removeConverted = qScopeGuard([&] {
        if (source != local)
            QFile::remove(m_conversionTemp);
    });
    if (type == TransferType::Ascii && sjisToEuc) {
        // Nothing was sent: no engine error to report.
        if (!TextConvert::SjisFileToEuc(local, m_conversionTemp))
            return result;
        source = m_conversionTemp;
        type = TransferType::Binary;
    }
    Replacement replacement = Replacement::SendDirectly;
    if (replace && !m_sendDirectly) {
        // A port asked ahead would be closed by the commands between the transfers.
        m_connection.setPassiveAhead(false);
        replacement = putThroughTemporary(source, remote, type, mode, &result);
        m_connection.setPassiveAhead(m_passiveAhead);
    }
    if (replacement == Replacement::SendDirectly) {
        result.ok = m_connection.putFile(source, remote, type);
        if (!result.ok) {
            result.code = m_connection.lastError();
            result.response = m_connection.lastResponse();
        }
    } else {
        result.ok = replacement == Replacement::Replaced;
    }
    return result;
}

QString FileMover::temporaryName(const QString& name)
{
    // Room for the marks within the 255 bytes a server's file name may have.
    QString kept = name;
    while (kept.toUtf8().size() > 200) {
        kept.chop(1);
        if (!kept.isEmpty() && kept.back().isHighSurrogate())
            kept.chop(1);
    }
    return QStringLiteral(".~ftptarvo-") + kept + QStringLiteral(".part");
}

FileMover::Replacement FileMover::putThroughTemporary(
    const QString& source, const QString& remote, TransferType type, const QString& mode, Result* result)
{
    const qsizetype slash = remote.lastIndexOf(u'/');
    const QString temp = remote.left(slash + 1) + temporaryName(remote.mid(slash + 1));
    // Ends a failed replacement: the temporary file goes, the old file stays.
    const auto fail = [&] {
        result->code = m_connection.lastError();
        result->response = m_connection.lastResponse();
        removeTemporary(temp);
        return Replacement::Failed;
    };
    const auto refuse = [&](const QString& step) {
        m_sendDirectly = true;
        result->notice = QStringLiteral("サーバーが一時ファイル ") + temp.mid(slash + 1) + QStringLiteral(" の") + step
            + QStringLiteral("を拒否したため、この接続ではファイルを直接上書きします（")
            + shortReply(m_connection.lastResponse()) + QStringLiteral("）");
        removeTemporary(temp);
        return Replacement::SendDirectly;
    };

    if (!m_connection.putFile(source, temp, type))
        return refused() ? refuse(QStringLiteral("作成")) : fail();
    if (!mode.isEmpty() && !m_connection.nameCommand(QStringLiteral("SITE CHMOD ") + mode + u' ' + temp))
        return refused() ? refuse(QStringLiteral("パーミッション設定")) : fail();
    if (!m_deleteBeforeRename) {
        if (!m_connection.nameCommand(QStringLiteral("RNFR ") + temp))
            return refused() ? refuse(QStringLiteral("名前の変更")) : fail();
        if (m_connection.nameCommand(QStringLiteral("RNTO ") + remote))
            return Replacement::Replaced;
        if (!refused())
            return fail();
        m_deleteBeforeRename = true;
    }
    // The old file is gone for a moment here, never half written.
    if (!m_connection.deleteFile(remote))
        return refused() ? refuse(QStringLiteral("置き換え")) : fail();
    if (!m_connection.renameFile(temp, remote))
        return refused() ? refuse(QStringLiteral("名前の変更")) : fail();
    return Replacement::Replaced;
}

bool FileMover::refused() const
{
    // A Stop, a lost connection or a passing trouble (4xx) is no answer about the server's rules.
    return m_connection.isOpen() && !m_stop.requested() && m_connection.lastError() == FtpError::ExtendedError
        && lastReplyCode(m_connection.lastResponse()) >= 500;
}

void FileMover::removeTemporary(const QString& temp)
{
    if (!m_connection.isOpen())
        return;
    // The Stop that ended the upload must not end its clean-up too.
    m_stop.hold(true);
    m_connection.deleteFile(temp);
    m_stop.hold(false);
}
