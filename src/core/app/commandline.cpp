#include "core/app/commandline.h"

namespace {

constexpr qint64 MaxHandle = 0x7fffffff;

} // namespace

qint64 leadingHandleNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    if (i < text.size() && text[i] == u'+')
        ++i;
    qint64 value = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        any = true;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > MaxHandle)
            return 0;
    }
    return any ? value : 0;
}

CommandLineRequest parseCommandLine(const QString& commandLine, const QStringList& profileNames)
{
    CommandLineRequest request;
    if (commandLine.isEmpty())
        return request;

    const QString upper = commandLine.toUpper();
    for (int i = 0; i < profileNames.size(); ++i) {
        if (profileNames[i].toUpper() == upper) {
            request.profileIndex = i;
            break;
        }
    }

    const QString lower = commandLine.toLower();
    if (lower == QLatin1String("<message visible>")) {
        request.kind = CommandLineRequest::Kind::MessageVisible;
        return request;
    }
    if (lower == QLatin1String("<message invisible>")) {
        request.kind = CommandLineRequest::Kind::MessageInvisible;
        return request;
    }

    QString text = commandLine;
    text.remove(u'"');
    const QLatin1String companionPrefix("jsTarvo");
    if (text.startsWith(companionPrefix)) {
        text.remove(0, companionPrefix.size());
        request.companionStart = true;
    }
    const QLatin1String handleKey("handle=");
    const qsizetype p = text.indexOf(handleKey);
    if (p >= 0) {
        request.hasHandle = true;
        request.companionHandle = leadingHandleNumber(QStringView(text).mid(p + handleKey.size()));
        text.truncate(p);
        // The companion separates the path from "handle=" with a blank; it is no part of the name.
        while (text.endsWith(u' '))
            text.chop(1);
    }

    const QStringList parts = text.split(u'/');
    if (parts.size() < 3) {
        request.kind = CommandLineRequest::Kind::ShowOnly;
        return request;
    }
    request.kind = CommandLineRequest::Kind::OpenPath;
    request.name = parts.last();
    request.folder = parts.first(parts.size() - 1).join(u'/');
    return request;
}
