#include "core/log/activitylog.h"

#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <utility>

ActivityLog::ActivityLog(Clock clock, QObject* parent)
    : QObject(parent)
    , m_clock(std::move(clock))
{
}

QString ActivityLog::folder() const { return m_folder.isEmpty() ? DataFolder::path() : m_folder; }

QString ActivityLog::logPath() const { return folder() + QStringLiteral("/ftptarvo.log"); }

QString ActivityLog::backupPath() const { return folder() + QStringLiteral("/ftplogback.log"); }

bool ActivityLog::WriteLog(QString& text)
{
    text.remove(u'\t');
    QString reason;
    if (TextFile::appendText(logPath(), text + QStringLiteral("\r\n\r\n"), &reason)) {
        m_failing = false;
        m_lastError.clear();
        return true;
    }
    m_lastError = QStringLiteral("ログファイルに記録できませんでした。\n") + reason;
    if (!m_failing) {
        m_failing = true;
        Q_EMIT writeFailed(m_lastError);
    }
    return false;
}

QString ActivityLog::timeStamp(const QDateTime& when) { return when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ")); }

QString ActivityLog::cleanDetails(const QString& details)
{
    QString out = details;
    for (QChar& c : out) {
        if (c.unicode() < 0x20 && c != u'\t')
            c = u'?';
        else if (c.unicode() == 0x7F || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85))
            c = u'?';
    }
    return out;
}

bool ActivityLog::write(const QString& openTag, const QString& details, const QString& closeTag)
{
    QString text = entry(openTag, details, closeTag);
    return WriteLog(text);
}

QString ActivityLog::entry(const QString& openTag, const QString& details, const QString& closeTag) const
{
    return openTag + timeStamp(m_clock()) + cleanDetails(details) + closeTag;
}

QString ActivityLog::dateOnlyEntry(const QString& openTag, const QString& details, const QString& closeTag) const
{
    return openTag + m_clock().toString(QStringLiteral("yyyy-MM-dd ")) + cleanDetails(details) + closeTag;
}

QString ActivityLog::connectEntry(const QString& host) const
{
    return QStringLiteral("\r\n") + entry(QStringLiteral("<FTP接続開始>"), host, QStringLiteral("</FTP接続開始>"));
}

QString ActivityLog::disconnectEntry(const QString& host) const
{
    return entry(QStringLiteral("<FTP接続終了>"), host, QStringLiteral("</FTP接続終了>")) + QStringLiteral("\r\n");
}

ActivityLog::View ActivityLog::viewLog()
{
    View view;
    const QString path = logPath();
    QFile log(path);
    if (!log.exists())
        return view;
    if (!log.open(QIODevice::ReadOnly)) {
        view.ok = false;
        view.error = QStringLiteral("ログファイルを読み込めません: %1\n%2").arg(path, log.errorString());
        return view;
    }

    QFile backup(backupPath());
    QStringList batch;
    while (!log.atEnd()) {
        const QByteArray raw = log.readLine();
        if (raw.isEmpty() && log.error() != QFileDevice::NoError) {
            view.ok = false;
            view.error = QStringLiteral("ログファイルを読み込めません: %1\n%2").arg(path, log.errorString());
            return view;
        }
        // CP932 trail bytes are never LF, so a line read up to LF is whole.
        const QStringList parts = TextFile::splitLines(Cp932::decode(raw));
        for (const QString& line : parts) {
            if (line.isEmpty())
                continue;
            batch.append(line);
            if (batch.size() < BatchLines)
                continue;
            QByteArray bytes;
            for (const QString& l : std::as_const(batch)) {
                bytes += "\r\n";
                bytes += Cp932::encode(l);
            }
            bytes += "\r\n";
            if ((!backup.isOpen() && !backup.open(QIODevice::WriteOnly | QIODevice::Append))
                || backup.write(bytes) != bytes.size()) {
                view.ok = false;
                view.error = QStringLiteral(
                    "ログのバックアップファイルに書き込めません: %1\n%2\nログファイルはそのまま残しました。")
                                 .arg(backup.fileName(), backup.errorString());
                return view;
            }
            view.movedLines += batch.size();
            batch.clear();
        }
    }
    log.close();
    if (backup.isOpen() && (!backup.flush() || backup.error() != QFileDevice::NoError)) {
        view.ok = false;
        view.error
            = QStringLiteral("ログのバックアップファイルに書き込めません: %1\n%2\nログファイルはそのまま残しました。")
                  .arg(backup.fileName(), backup.errorString());
        return view;
    }
    backup.close();

    QString reason;
    if (!TextFile::writeLines(path, batch, &reason, QFileInfo(path).permissions())) {
        view.ok = false;
        view.error = QStringLiteral("ログファイルを書き直せませんでした。\n") + reason;
        view.lines = batch;
        return view;
    }
    view.lines = batch;
    return view;
}
