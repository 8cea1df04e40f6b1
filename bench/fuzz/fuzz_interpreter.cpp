// libFuzzer target for what the companion editor sends: the field reader of the editor channel,
// the lines of a command-channel message, the command interpreter's visit over them, the name
// rule and the list replies. Every message is bytes from another program; a broken promise
// traps, so the fuzzer reports it like a crash. Built by scripts/fuzz-build; a short run is part
// of the test suite.
#include "core/app/codepage.h"
#include "core/link/commandinterpreter.h"
#include "core/link/companioncommands.h"
#include "core/link/companionprotocol.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

namespace {

void check(bool promise)
{
    if (!promise)
        __builtin_trap();
}

// Every parameter handed to a command is one of the message's lines (or empty, when the command
// stands at the start); the folders stand for the panes' path boxes.
class CheckingCommands : public CompanionCommands {
public:
    explicit CheckingCommands(const QStringList& lines)
        : m_lines(lines)
    {
    }
    int ended = 0;

    void disconnectServer() override { }
    void endProgram() override { ++ended; }
    void setMainWindowVisible(bool) override { }
    void setCompanionReplyWindow(qint64 handle) override { check(handle >= 0 && handle <= 0x7fffffff); }
    void SendToCompanion(const QString& text) override
    {
        const QByteArray payload = CompanionProtocol::copyDataPayload(text);
        check(payload.endsWith(QByteArrayView("\0\0", 2)));
    }
    QString localListReply() override
    {
        return CompanionProtocol::localListReply(
            QStringLiteral("c:\\web"), { { m_lines.value(0), QStringLiteral("closed"), QString() } });
    }
    QString ftpListReply() override
    {
        const QString reply
            = CompanionProtocol::ftpListReply({ { m_lines.value(0), QStringLiteral("leaf"), m_lines.value(1) } });
        check(!reply.contains(u'\\'));
        return reply;
    }
    void changePermissions(const QString& mode, const QString& name) override
    {
        parameter(mode);
        parameter(name);
    }
    void openLocalFolder(const QString& p) override { named(p, QStringLiteral("/home/u/web")); }
    void openFtpFolder(const QString& p) override { named(p, QStringLiteral("/")); }
    void localFolderUp() override { }
    void ftpFolderUp() override { }
    void download(const QString& p) override { named(p, QStringLiteral("/pub")); }
    void deleteLocal(const QString& p) override { named(p, QStringLiteral("c:/web")); }
    void deleteOnServer(const QString& p) override { named(p, QString()); }
    void upload(const QString& p) override { named(p, QStringLiteral("/home/u")); }
    bool connectProfile(const QString& name) override
    {
        parameter(name);
        return name == QLatin1String("site");
    }

private:
    void parameter(const QString& p) { check(p.isEmpty() || m_lines.contains(p)); }
    void named(const QString& p, const QString& folder)
    {
        parameter(p);
        const QString name = CompanionProtocol::nameRuleTarget(p, folder);
        check(!name.contains(u'/') && !name.contains(u'\\'));
    }

    QStringList m_lines;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = Cp932::decode(bytes);

    // The editor channel's fields.
    for (const char* name : { "mode", "contents", "name", "path", "handle", "" }) {
        const QString field = QLatin1String(name);
        const QString value = CompanionProtocol::GetValue(text, field);
        check(value.isEmpty() || text.contains(value));
        if (field != QLatin1String("contents"))
            check(!value.contains(u'>'));
        else
            check(value.isEmpty() || value.size() < text.size());
    }

    // The command channel: each tag on a line of its own.
    const QStringList lines = CompanionProtocol::messageLines(text);
    for (const QString& line : lines) {
        check(!line.trimmed().isEmpty());
        check(line.indexOf(u'<', 1) < 0);
        const qsizetype close = line.indexOf(u'>');
        check(close < 0 || close == line.size() - 1);
    }
    QStringList visited = lines;
    CheckingCommands commands(lines);
    CommandInterpreter::run(visited, commands);
    check(visited.size() <= lines.size());
    check(commands.ended <= 1);
    for (const QString& line : visited)
        check(lines.contains(line));
    return 0;
}
