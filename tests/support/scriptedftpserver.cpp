#include "support/scriptedftpserver.h"

#include <QFile>
#include <QRegularExpression>

bool ScriptedFtpServer::startScript(const QString& script, QString* error)
{
    if (!m_work)
        m_work = std::make_unique<QTemporaryDir>();
    QFile f(m_work->filePath(QStringLiteral("script.txt")));
    if (f.open(QIODevice::WriteOnly) && f.write(script.toLatin1()) == script.size())
        return f.flush() && start({ QStringLiteral("--script"), f.fileName() }, error);
    if (error)
        *error = QStringLiteral("cannot write ") + f.fileName();
    return false;
}

bool ScriptedFtpServer::start(const QStringList& scriptArgs, QString* error)
{
    stop();
    if (!m_work)
        m_work = std::make_unique<QTemporaryDir>();
    QString why = QStringLiteral("cannot create a temporary folder");
    if (m_work->isValid() && (m_ports.isReserved() || m_ports.reserve(&why))
        && m_process.start(QStringLiteral("/usr/bin/python3"),
            QStringList { QStringLiteral(FTPTARVO_TEST_SUPPORT_DIR "/scripted_ftpd.py"), QStringLiteral("--port"),
                QString::number(m_ports.first()), QStringLiteral("--pasv-min"), QString::number(m_ports.port(1)),
                QStringLiteral("--pasv-max"), QString::number(m_ports.last()), QStringLiteral("--log"),
                m_work->filePath(QStringLiteral("protocol.log")) }
                + scriptArgs,
            m_work->filePath(QStringLiteral("server.out")), &why)
        && m_process.waitForOutput(QStringLiteral("listening"), 20000, &why))
        return true;
    if (error)
        *error = QStringLiteral("scripted FTP server (%1): %2").arg(scriptArgs.join(u' '), why);
    m_process.stop();
    return false;
}

QStringList ScriptedFtpServer::logLines() const
{
    QFile f(m_work ? m_work->filePath(QStringLiteral("protocol.log")) : QString());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                       : QStringList();
}

QStringList ScriptedFtpServer::commands() const
{
    QStringList out;
    for (const QString& line : logLines())
        if (line.startsWith(u'C') && !line.startsWith(u"CONNECT "))
            out.append(line.section(u' ', 1));
    return out;
}

int ScriptedFtpServer::connectionCount() const
{
    return int(logLines().filter(QRegularExpression(u"^CONNECT "_qs)).size());
}
