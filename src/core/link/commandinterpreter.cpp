#include "core/link/commandinterpreter.h"

#include "core/app/commandline.h"
#include "core/link/companioncommands.h"

namespace CommandInterpreter {

void run(QStringList& lines, CompanionCommands& commands)
{
    const qsizetype last = lines.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
        const QString line = i < lines.size() ? lines[i].toLower() : QString();
        auto before = [&](qsizetype back) {
            const qsizetype k = i - back;
            return k >= 0 && k < lines.size() ? lines[k] : QString();
        };
        // The command and the `count` - 1 lines before it (those that exist).
        auto remove = [&](qsizetype count) {
            for (qsizetype k = 0; k < count; ++k) {
                const qsizetype index = i - k;
                if (index >= 0 && index < lines.size())
                    lines.removeAt(index);
            }
        };
        const QString p1 = before(1);
        const QString p2 = before(2);

        if (line == QLatin1String("<disconnect>")) {
            remove(1);
            commands.disconnectServer();
            return;
        }
        if (line == QLatin1String("<end>")) {
            commands.SendToCompanion(QStringLiteral("<by>"));
            commands.endProgram();
            return;
        }
        if (line == QLatin1String("<visible>") || line == QLatin1String("<invisible>")) {
            remove(1);
            commands.setMainWindowVisible(line == QLatin1String("<visible>"));
        } else if (line == QLatin1String("</mehandle>")) {
            remove(3);
            commands.setCompanionReplyWindow(leadingHandleNumber(p1));
            commands.SendToCompanion(QStringLiteral("<hello>"));
        } else if (line == QLatin1String("<locallist>")) {
            remove(1);
            commands.SendToCompanion(commands.localListReply());
        } else if (line == QLatin1String("<ftplist>")) {
            remove(1);
            commands.SendToCompanion(commands.ftpListReply());
        } else if (line == QLatin1String("</permit>")) {
            remove(4);
            commands.changePermissions(p1, p2);
        } else if (line == QLatin1String("</chdir>")) {
            remove(3);
            commands.openLocalFolder(p1);
        } else if (line == QLatin1String("</ftpchdir>")) {
            remove(3);
            commands.openFtpFolder(p1);
        } else if (line == QLatin1String("<upfile>")) {
            commands.localFolderUp();
        } else if (line == QLatin1String("<ftpupdir>")) {
            commands.ftpFolderUp();
        } else if (line == QLatin1String("</download>")) {
            remove(3);
            commands.download(p1);
        } else if (line == QLatin1String("<localfilekill>")) {
            remove(3);
            commands.deleteLocal(p1);
        } else if (line == QLatin1String("<ftpfilekill>")) {
            remove(3);
            commands.deleteOnServer(p1);
        } else if (line == QLatin1String("</upload>")) {
            remove(3);
            commands.upload(p1);
        } else if (line == QLatin1String("</return>")) {
            remove(3);
            commands.SendToCompanion(p1);
        } else if (line == QLatin1String("</name>")) {
            if (commands.connectProfile(p1)) {
                remove(3);
                return;
            }
        }
    }
}

} // namespace CommandInterpreter
