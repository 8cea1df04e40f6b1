#include "support/scriptedftpserver.h"

#include <QFile>
#include <QProcess>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");
const QString Script = QStringLiteral(FTPTARVO_TEST_SUPPORT_DIR "/scripted_ftpd.py");

} // namespace

ScriptedFtpServer::~ScriptedFtpServer() { stop(); }

bool ScriptedFtpServer::startScenario(const QString& name, QString* error)
{
    return start({ QStringLiteral("--scenario"), name }, error);
}

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
        && m_process.start(Python,
            QStringList { Script, QStringLiteral("--port"), QString::number(port()), QStringLiteral("--pasv-min"),
                QString::number(m_ports.port(1)), QStringLiteral("--pasv-max"), QString::number(m_ports.last()),
                QStringLiteral("--log"), logFile() }
                + scriptArgs,
            m_work->filePath(QStringLiteral("server.out")), &why)
        && m_process.waitForOutput(QStringLiteral("listening"), 20000, &why))
        return true;
    if (error)
        *error = QStringLiteral("scripted FTP server (%1): %2").arg(scriptArgs.join(u' '), why);
    m_process.stop();
    return false;
}

void ScriptedFtpServer::stop() { m_process.stop(); }

void ScriptedFtpServer::kill() { m_process.kill(); }

QString ScriptedFtpServer::hostField() const { return host() + u':' + QString::number(port()); }

QString ScriptedFtpServer::logFile() const
{
    return m_work ? m_work->filePath(QStringLiteral("protocol.log")) : QString();
}

QStringList ScriptedFtpServer::logLines() const
{
    QFile f(logFile());
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
    const QStringList lines = logLines();
    return int(std::count_if(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith(u"CONNECT "); }));
}

QStringList ScriptedFtpServer::scenarios()
{
    QProcess p;
    p.start(Python, { Script, QStringLiteral("--list-scenarios") });
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}
