#pragma once

// The built ftptarvo started offscreen on fresh data and home folders, and ftptarvo-msg beside it.
#include "core/app/codepage.h"
#include "support/settingsfiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;
using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

struct Program {
    QTemporaryDir data, home;
    QProcess process;

    ~Program()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    // The message bus folder lives in `runtime`, the home folder when empty.
    bool start(const QStringList& arguments, const QString& runtime = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"FTPTARVO_HOME"_s, data.path());
        env.insert(u"HOME"_s, home.path());
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime.isEmpty() ? home.path() : runtime);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(FTPTARVO_BINARY), arguments);
        return process.waitForStarted(10000);
    }
    bool endedCleanly()
    {
        return process.waitForFinished(15000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }
    QString log() const { return Cp932::decode(readBytes(data.filePath(u"ftptarvo.log"_s))); }
};

// ftptarvo-msg ARGUMENTS: its exit code (-1 when it crashed or hung), and what it printed.
inline int runTool(const QStringList& arguments, QByteArray* out = nullptr)
{
    QProcess tool;
    tool.start(QStringLiteral(FTPTARVO_MSG_BINARY), arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = tool.readAllStandardOutput();
    return tool.exitCode();
}

// ftptarvo-msg --listen: a window on the bus that prints what is sent to it.
struct Listener {
    QProcess process;
    qint64 handle = 0;

    bool start(const QStringList& options = { u"--timeout"_s, u"120"_s })
    {
        process.start(QStringLiteral(FTPTARVO_MSG_BINARY), QStringList(u"--listen"_s) + options);
        const QString first = next(5000);
        handle = first.section(u' ', 1).toLongLong();
        return first.startsWith(u"handle "_s) && handle > 0;
    }
    ~Listener()
    {
        process.kill();
        process.waitForFinished(3000);
    }
    // The next line it printed; empty after `ms` without one.
    QString next(int ms = 15000)
    {
        QElapsedTimer t;
        t.start();
        while (!process.canReadLine() && t.elapsed() < ms)
            process.waitForReadyRead(100);
        return process.canReadLine() ? QString::fromUtf8(process.readLine()).chopped(1) : QString();
    }
};
