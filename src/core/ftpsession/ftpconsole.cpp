#include "core/ftpsession/ftpconsole.h"

#include "core/app/codepage.h"
#include "core/ftp/ftpconnection.h"
#include "core/log/activitylog.h"

#include <QCoreApplication>
#include <vector>

namespace {

constexpr qint64 ChunkBytes = 500000;

QString upperVerb(const QString& command)
{
    const QString trimmed = command.trimmed();
    const qsizetype blank = trimmed.indexOf(u' ');
    return (blank < 0 ? trimmed : trimmed.left(blank)).toUpper();
}

} // namespace

FtpConsole::FtpConsole(ActivityLog& log, QObject* parent)
    : QObject(parent)
    , m_log(log)
{
}

const QStringList& FtpConsole::commandList()
{
    static const QStringList list {
        QStringLiteral("PWD #カレントディレクトリを表示する"),
        QStringLiteral("CDUP #1つ上の階層のディレクトリに移動する"),
        QStringLiteral("MKD #ディレクトリを作る"),
        QStringLiteral("LIST #カレントディレクトリのファイル一覧を表示する"),
        QStringLiteral("RETR #FTPサーバからファイルをダウンロードする"),
        QStringLiteral("STOR #FTPサーバにファイルをアップロードする"),
        QStringLiteral("RNFR #変更するファイルやディレクトリの名前を指定する"),
        QStringLiteral("DELE #ファイルやディレクトリを削除する"),
        QStringLiteral("RMD #ディレクトリを削除する"),
        QStringLiteral("STAT #FTPサーバやファイルの情報を報告する"),
        QStringLiteral("ABOR #直前の転送コマンドなどの実行を中止する"),
        QStringLiteral("NLST #カレントディレクトリのファイル一覧を表示する。オプションも指定できる"),
        QStringLiteral("RNTO #変更後のファイルやディレクトリの名前を指定し、変更処理を開始する"),
        QStringLiteral("CWD #カレントディレクトリを変更する"),
        QStringLiteral("TYPE #転送するファイルのタイプを指定する'A'or'I'"),
        QStringLiteral("USER #ログインするユーザー名を指定する"),
        QStringLiteral("PASS #パスワードを指定する"),
        QStringLiteral("PORT #接続するIPアドレスとポートを指定する"),
        QStringLiteral("PASV #Passiveモードでの接続を指定する "),
        QStringLiteral("QUIT #接続を終了する"),
        QStringLiteral("HELP #HELPの表示"),
    };
    return list;
}

QString FtpConsole::commandOf(const QString& boxText)
{
    const qsizetype hash = boxText.indexOf(u'#');
    return (hash < 0 ? boxText : boxText.left(hash)).trimmed();
}

QString FtpConsole::shownCommand(const QString& command)
{
    const QString verb = upperVerb(command);
    if (verb == QLatin1String("PASS") || verb == QLatin1String("ACCT"))
        return verb + QStringLiteral(" ****");
    return command.trimmed();
}

void FtpConsole::clear()
{
    m_text.clear();
    Q_EMIT textReplaced(m_text);
}

void FtpConsole::append(const QString& text)
{
    QString added = text;
    added.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text += added;
    Q_EMIT textAppended(added);
}

void FtpConsole::setListingText(const QString& text)
{
    m_text = text.size() > MaxListingChars ? text.left(MaxListingChars) + QStringLiteral("\n…") : text;
    m_text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Q_EMIT textReplaced(m_text);
}

bool FtpConsole::run(FtpConnection* connection, const QString& command)
{
    const QString typed = command.trimmed();
    if (!connection || typed.isEmpty())
        return false;
    const QString shown = shownCommand(typed);
    m_log.write(QStringLiteral("<FTPコマンド>"), shown, QStringLiteral("</FTPコマンド>"));
    const QString verb = upperVerb(typed);
    // PORT and PASV typed here only ask the server: the engine opens its own data connections.
    if (verb != QLatin1String("LIST") && verb != QLatin1String("NLST")) {
        append(QStringLiteral("> ") + shown + u'\n');
        const bool ok = connection->command(typed);
        QCoreApplication::processEvents();
        if (ok || !connection->lastResponse().isEmpty())
            append(connection->lastResponse());
        return ok;
    }

    std::unique_ptr<FtpDataStream> stream;
    const bool sent = connection->dataCommand(typed, TransferType::Ascii, &stream);
    QCoreApplication::processEvents();
    if (!sent || !stream) {
        append(QStringLiteral("> ") + shown + u'\n' + connection->lastResponse());
        return false;
    }
    QByteArray bytes;
    std::vector<char> chunk(ChunkBytes);
    bool complete = true;
    for (;;) {
        qint64 got = 0;
        if (!stream->read(chunk.data(), ChunkBytes, &got)) {
            complete = false;
            break;
        }
        if (got <= 0)
            break;
        if (bytes.size() < MaxListingChars)
            bytes.append(chunk.data(), qsizetype(got));
        QCoreApplication::processEvents();
    }
    stream->close();
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        bytes.truncate(nul);
    const QString text = connection->utf8Names() ? QString::fromUtf8(bytes) : Cp932::decode(bytes);
    setListingText(text.trimmed());
    return complete;
}
