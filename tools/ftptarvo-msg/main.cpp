// ftptarvo-msg: sends one message on the local message bus, or listens under a handle of its own
// and prints what arrives. It plays the companion editor for tests and scripts.
#include "core/app/codepage.h"
#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>

namespace {

void printLine(FILE* out, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    std::fflush(out);
}

int fail(const QString& text)
{
    printLine(stderr, QStringLiteral("ftptarvo-msg: ") + text);
    return 1;
}

// One message a line: control characters and the backslash written as escapes.
QString escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

QString messageName(quint32 message)
{
    return QStringLiteral("0x") + QString::number(message, 16).toUpper().rightJustified(2, u'0');
}

int listen(const QCommandLineParser& args)
{
    bool ok = true;
    const qint64 handle
        = args.isSet(QStringLiteral("handle")) ? args.value(QStringLiteral("handle")).toLongLong(&ok) : 0;
    if (!ok || handle < 0)
        return fail(QStringLiteral("ハンドルは正の数で指定してください"));
    const int count = args.isSet(QStringLiteral("count")) ? args.value(QStringLiteral("count")).toInt(&ok) : 0;
    if (!ok || count < 0)
        return fail(QStringLiteral("--count には数を指定してください"));
    const double seconds
        = args.isSet(QStringLiteral("timeout")) ? args.value(QStringLiteral("timeout")).toDouble(&ok) : 0;
    if (!ok || seconds < 0)
        return fail(QStringLiteral("--timeout には秒数を指定してください"));
    const bool raw = args.isSet(QStringLiteral("raw"));

    MessageListener listener;
    if (!listener.listen(handle))
        return fail(listener.errorString());
    printLine(stdout, QStringLiteral("handle %1").arg(listener.handle()));

    int received = 0;
    QObject::connect(&listener, &MessageListener::messageReceived, [&](quint32 message, const QByteArray& payload) {
        const QString text = MessageBus::payloadText(payload);
        printLine(stdout, messageName(message) + u' ' + (raw ? text : escaped(text)));
        if (count > 0 && ++received >= count)
            QCoreApplication::exit(0);
    });
    if (seconds > 0)
        QTimer::singleShot(int(seconds * 1000), [] { QCoreApplication::exit(2); });
    return QCoreApplication::exec();
}

int send(const QCommandLineParser& args)
{
    const QStringList positional = args.positionalArguments();
    const bool fromFile = args.isSet(QStringLiteral("file"));
    if (positional.size() != (fromFile ? 1 : 2))
        return fail(QStringLiteral("送り先のハンドル (または main) と送る文字列を指定してください"));

    qint64 handle = 0;
    if (positional[0] == QLatin1String("main")) {
        handle = MessageBus::readMainHandle();
        if (handle == 0)
            return fail(QStringLiteral("%1 がありません: メッセージを受け付けている FTPTarvo がありません")
                            .arg(MessageBus::mainHandleFile()));
    } else {
        bool ok = false;
        handle = positional[0].toLongLong(&ok);
        if (!ok || handle <= 0 || handle > MessageBus::MaxHandle)
            return fail(QStringLiteral("ハンドルが正しくありません: %1").arg(positional[0]));
    }

    QString text;
    if (fromFile) {
        QFile f(args.value(QStringLiteral("file")));
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1 を読めません").arg(f.fileName()));
        const QByteArray bytes = f.read(MessageBus::MaxPayload + 1);
        text = Utf8::isValid(bytes) ? QString::fromUtf8(bytes) : Cp932::decode(bytes);
    } else {
        text = positional[1];
    }

    const bool settext = args.isSet(QStringLiteral("settext"));
    QByteArray payload = Cp932::encode(text);
    // The companion's copy data is a C string: its NUL goes with it.
    if (!settext)
        payload.append('\0');
    if (payload.size() > MessageBus::MaxPayload)
        return fail(QStringLiteral("メッセージが長すぎます (64 MiB まで)"));

    bool ok = true;
    const int timeoutMs = args.isSet(QStringLiteral("timeout"))
        ? int(args.value(QStringLiteral("timeout")).toDouble(&ok) * 1000)
        : MessageBus::SendTimeoutMs;
    if (!ok || timeoutMs <= 0)
        return fail(QStringLiteral("--timeout には秒数を指定してください"));

    const std::optional<qint32> answer = MessageBus::SendMessage(
        handle, settext ? MessageBus::WM_SETTEXT : MessageBus::WM_COPYDATA, payload, timeoutMs);
    if (!answer)
        return fail(QStringLiteral("ハンドル %1 に届きませんでした").arg(handle));
    printLine(stdout, QString::number(*answer));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ftptarvo-msg"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(FTPTARVO_VERSION_MAJOR).arg(FTPTARVO_VERSION_MINOR).arg(FTPTARVO_VERSION_PATCH));

    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral(
        "Sends one message to a window on the FTPTarvo message bus (WM_COPYDATA unless --settext), or with --listen\n"
        "prints every message that arrives under a handle of its own: first \"handle N\", then one line a message,\n"
        "its number and its text (\\r, \\n, \\t, \\\\ and \\xHH escapes unless --raw).\n"
        "Texts travel in CP932. The target \"main\" is the program started with \"<message visible>\" or\n"
        "\"<message invisible>\" (its handle is in main.handle of the bus folder)."));
    args.addHelpOption();
    args.addVersionOption();
    args.addPositionalArgument(
        QStringLiteral("target"), QStringLiteral("Handle number, or main."), QStringLiteral("[target"));
    args.addPositionalArgument(QStringLiteral("text"), QStringLiteral("The message text."), QStringLiteral("text]"));
    args.addOptions({
        { QStringLiteral("settext"), QStringLiteral("Send WM_SETTEXT (0x0C), the editor channel.") },
        { QStringLiteral("copydata"), QStringLiteral("Send WM_COPYDATA (0x4A), the command channel (default).") },
        { QStringLiteral("file"), QStringLiteral("Send the text of this file (UTF-8 or CP932)."),
            QStringLiteral("path") },
        { QStringLiteral("listen"), QStringLiteral("Listen and print what arrives.") },
        { QStringLiteral("handle"), QStringLiteral("Listen under this handle (default: a new one)."),
            QStringLiteral("n") },
        { QStringLiteral("count"), QStringLiteral("Exit after n messages."), QStringLiteral("n") },
        { QStringLiteral("raw"), QStringLiteral("Print texts as they are, without escapes.") },
        { QStringLiteral("timeout"),
            QStringLiteral(
                "Sending: wait at most this long for the answer (default 5). Listening: exit with 2 after it."),
            QStringLiteral("seconds") },
    });
    args.process(app);
    if (args.isSet(QStringLiteral("settext")) && args.isSet(QStringLiteral("copydata")))
        return fail(QStringLiteral("--settext と --copydata は同時に指定できません"));
    return args.isSet(QStringLiteral("listen")) ? listen(args) : send(args);
}
