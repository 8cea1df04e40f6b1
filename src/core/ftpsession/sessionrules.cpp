#include "core/ftpsession/sessionrules.h"

#include "core/ftp/ftperrors.h"

#include <QRegularExpression>
#include <cerrno>
#include <cstring>

namespace {

QString withoutDoubledSlashes(QString text)
{
    while (text.contains(QLatin1String("//")))
        text.replace(QLatin1String("//"), QLatin1String("/"));
    return text;
}

// Japanese texts for the errno values a connection or a local file can end with.
QString errnoText(int code)
{
    switch (code) {
    case EPERM:
        return QStringLiteral("この操作は許可されていません。");
    case ENOENT:
        return QStringLiteral("ファイルまたはフォルダーが見つかりません。");
    case EINTR:
        return QStringLiteral("処理が中断されました。");
    case EIO:
        return QStringLiteral("入出力エラーが発生しました。");
    case EBADF:
        return QStringLiteral("ファイルの指定が正しくありません。");
    case ENOMEM:
        return QStringLiteral("メモリが不足しています。");
    case EACCES:
        return QStringLiteral("アクセスが拒否されました。");
    case EEXIST:
        return QStringLiteral("ファイルは既に存在します。");
    case ENOTDIR:
        return QStringLiteral("フォルダーではありません。");
    case EISDIR:
        return QStringLiteral("フォルダーです。");
    case EINVAL:
        return QStringLiteral("引数が正しくありません。");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("開いているファイルが多すぎます。");
    case EFBIG:
        return QStringLiteral("ファイルが大きすぎます。");
    case ENOSPC:
        return QStringLiteral("ディスクの空き領域が不足しています。");
    case EROFS:
        return QStringLiteral("読み取り専用のファイルシステムです。");
    case EPIPE:
        return QStringLiteral("接続が切れています。");
    case ENAMETOOLONG:
        return QStringLiteral("ファイル名が長すぎます。");
    case ENOTEMPTY:
        return QStringLiteral("フォルダーが空ではありません。");
    case ENETDOWN:
    case ENETUNREACH:
        return QStringLiteral("ネットワークに到達できません。");
    case ECONNABORTED:
        return QStringLiteral("接続が中止されました。");
    case ECONNRESET:
        return QStringLiteral("接続が相手側からリセットされました。");
    case ETIMEDOUT:
        return QStringLiteral("接続がタイムアウトしました。");
    case ECONNREFUSED:
        return QStringLiteral("接続が拒否されました。");
    case EHOSTUNREACH:
        return QStringLiteral("ホストに到達できません。");
    case EDQUOT:
        return QStringLiteral("ディスクの使用量の制限を超えました。");
    default:
        return QString();
    }
}

} // namespace

namespace SessionRules {

QString proxyText(const QString& proxyHost, const QString& proxyPort)
{
    QString text = QStringLiteral("ftp=ftp://") + proxyHost;
    // A blank around the port can only be a slip of the keyboard.
    const QString port = proxyPort.trimmed();
    if (!port.isEmpty())
        text += u':' + port;
    return text;
}

QString startFolderPath(const QString& txtDir, const QString& startFolder)
{
    if (startFolder == u"/")
        return QStringLiteral("/");
    // A start folder such as "pub/" still needs the "/" in front of it.
    const QString separator = startFolder.startsWith(u'/') ? QString() : QStringLiteral("/");
    return withoutDoubledSlashes(txtDir + separator + startFolder);
}

QString winInetErrorText(int code, const QString& lastResponse)
{
    const QString blanks = QStringLiteral("    ");
    if (code == FtpError::ExtendedError)
        return QStringLiteral("WinInet エラー -") + QString::number(code) + QStringLiteral("\r\n") + lastResponse
            + blanks;
    return QStringLiteral("WinInet Error -") + QString::number(code) + QStringLiteral("\r\n")
        + FtpError::messageText(code) + blanks;
}

QString systemErrorText(int code)
{
    const QString engine = FtpError::messageText(code);
    if (!engine.isEmpty())
        return engine;
    const QString own = errnoText(code);
    if (!own.isEmpty())
        return own;
    return QStringLiteral("システムエラー ") + QString::number(code) + QStringLiteral(" (")
        + QString::fromLocal8Bit(std::strerror(code)) + u')';
}

int responseCode(const QString& lastResponse)
{
    const QStringList lines = lastResponse.split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return 0;
    static const QRegularExpression code(QStringLiteral("^([1-5][0-9][0-9])"));
    const QRegularExpressionMatch m = code.match(lines.last());
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QString withoutHostName(const QString& text, const QString& hostName)
{
    if (hostName.isEmpty() || !text.startsWith(hostName))
        return text;
    if (text.size() > hostName.size() && text[hostName.size()] != u'/')
        return text;
    return text.mid(hostName.size());
}

QString changeFolderTarget(const QString& path, const QString& hostName)
{
    QString target = path.trimmed();
    const QString host = hostName.trimmed();
    if (!host.isEmpty() && target == host)
        return QStringLiteral("/");
    target = withoutHostName(target, host);
    if (target.trimmed().isEmpty())
        return QString();
    if (target == u"/")
        return target;
    const qsizetype slashes = target.count(u'/');
    if (slashes == 1 && target.startsWith(u'/'))
        target.remove(0, 1);
    else if (slashes >= 1 && !target.startsWith(u'/'))
        target.prepend(u'/');
    return target;
}

QString lastPathPart(const QString& target) { return target.mid(target.lastIndexOf(u'/') + 1); }

QString treeRootKey(const QString& txtDir, const QString& hostName, const QString& folderName)
{
    QString key = withoutHostName(txtDir.trimmed(), hostName.trimmed());
    if (!key.endsWith(u'/'))
        key += u'/';
    return key + folderName;
}

QString treeChildKey(const QString& parentKey, const QString& name)
{
    const QString separator = parentKey.endsWith(u'/') ? QString() : QStringLiteral("/");
    return parentKey + separator + name;
}

QString treeSearchText(const QString& key) { return treeChildKey(key, QStringLiteral("*.*")); }

QString joinFtpPath(const QString& folder, const QString& name)
{
    return withoutDoubledSlashes(folder.trimmed() + u'/' + name);
}

} // namespace SessionRules
