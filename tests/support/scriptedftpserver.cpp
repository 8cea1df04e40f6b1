#include "support/scriptedftpserver.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

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
    const QString path = m_work->filePath(QStringLiteral("script.txt"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(script.toLatin1()) < 0) {
        *error = QStringLiteral("cannot write ") + path;
        return false;
    }
    f.close();
    return start({ QStringLiteral("--script"), path }, error);
}

bool ScriptedFtpServer::start(const QStringList& scriptArgs, QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    stop();
    if (!m_work)
        m_work = std::make_unique<QTemporaryDir>();
    QString why;
    if (!m_work->isValid()) {
        why = QStringLiteral("cannot create a temporary folder");
    } else if (!QFile::exists(Python)) {
        why = Python + QStringLiteral(" is missing");
    } else if (m_ports.isReserved() || m_ports.reserve(&why)) {
        const QStringList args = QStringList { Script, QStringLiteral("--port"), QString::number(port()),
            QStringLiteral("--pasv-min"), QString::number(m_ports.port(1)), QStringLiteral("--pasv-max"),
            QString::number(m_ports.last()), QStringLiteral("--log"), logFile() }
            + scriptArgs;
        if (m_process.start(Python, args, m_work->filePath(QStringLiteral("server.out")), &why)
            && m_process.waitForOutput(QStringLiteral("listening"), 20000, &why))
            return true;
    }
    *error = QStringLiteral("scripted FTP server (%1): %2").arg(scriptArgs.join(QLatin1Char(' ')), why);
    m_process.stop();
    return false;
}

void ScriptedFtpServer::stop() { m_process.stop(); }

void ScriptedFtpServer::kill() { m_process.kill(); }

QString ScriptedFtpServer::hostField() const { return host() + QLatin1Char(':') + QString::number(port()); }

QString ScriptedFtpServer::logFile() const
{
    return m_work ? m_work->filePath(QStringLiteral("protocol.log")) : QString();
}

QStringList ScriptedFtpServer::logLines() const
{
    QFile f(logFile());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList ScriptedFtpServer::commands() const
{
    static const QRegularExpression command(QStringLiteral("^C\\d+ (.*)$"));
    QStringList out;
    for (const QString& line : logLines()) {
        const QRegularExpressionMatch m = command.match(line);
        if (m.hasMatch() && m.captured(1) != QLatin1String("(silent)"))
            out.append(m.captured(1));
    }
    return out;
}

int ScriptedFtpServer::connectionCount() const
{
    int n = 0;
    for (const QString& line : logLines())
        n += line.startsWith(QLatin1String("CONNECT ")) ? 1 : 0;
    return n;
}

QStringList ScriptedFtpServer::scenarios()
{
    QProcess p;
    p.start(Python, { Script, QStringLiteral("--list-scenarios") });
    if (!p.waitForFinished(20000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
