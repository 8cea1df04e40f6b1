#include "core/settings/options.h"

#include "core/app/dialogs.h"
#include "core/app/textfile.h"
#include "core/settings/settingslines.h"

#include <QFile>

namespace {

const QString TagProxy = QStringLiteral("<プロキシ>");
const QString TagProxyName = QStringLiteral("<プロキシ名>");
const QString TagProxyPort = QStringLiteral("<プロキシポート>");
const QString TagPassive = QStringLiteral("<パッシブ>");
const QString TagLocal = QStringLiteral("<ローカル>");
const QString TagProxyUser = QStringLiteral("<プロキシユーザー名>");
const QString TagProxyPassword = QStringLiteral("<プロキシパスワード>");
const QString TagNameCase = QStringLiteral("<ﾌｧｲﾙ転送時の名前>");
const QString TagLocaltime = QStringLiteral("<Localtime>");
const QString TagBrowse = QStringLiteral("<ブラウズ>");
const QString TagMail = QStringLiteral("<メール>");
const QString TagConnection = QStringLiteral("<コネクション>");
const QString TagConnectionWords = QStringLiteral("<コネクション言葉>");
const QString TagFileDisplay = QStringLiteral("<ファイル表示>");
const QString TagFileColour = QStringLiteral("<ファイル色>");
const QString TagLinkStop = QStringLiteral("<LinkStop>");
const QString TagSjisEuc = QStringLiteral("<SJIS-EUC>");
const QString TagEucSjis = QStringLiteral("<EUC-SJIS>");
const QString TagReplace = QStringLiteral("<置き換え>");
const QString TagConnections = QStringLiteral("<同時接続数>");
const QString TagProfileName = QStringLiteral("<管理用の名前（任意の名前）>");

const QString On = QStringLiteral("ON");
const QString Off = QStringLiteral("OFF");

QString onOff(bool checked) { return checked ? On : Off; }

// The leading number of a text, as the first platform read a check box value: blanks skipped,
// an optional sign, digits; text that is no number gives 0.
long long leadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    long long n = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        if (n < 1'000'000'000)
            n = n * 10 + (text.at(i).unicode() - u'0');
    }
    return negative ? -n : n;
}

// A check box holds 0 or 1; any other stored number leaves it unchecked.
int checkValue(const QString& text) { return leadingNumber(text) == 1 ? 1 : 0; }

bool validIndex(int index, int size) { return index >= 0 && index < size; }

} // namespace

Options::Options(SettingsLines& lines, QObject* parent)
    : QObject(parent)
    , m_lines(lines)
{
    connect(&m_lines, &SettingsLines::loaded, this, &Options::ApplySettings);
}

void Options::loadAtStartUp(Dialogs* dialogs)
{
    const QString path = m_lines.filePath();
    if (!QFile::exists(path)) {
        m_lines.WriteDefaultSettings();
        ApplySettings();
        return;
    }
    QString aside = path + QStringLiteral(".unreadable");
    for (int n = 2; QFile::exists(aside) && n < 1000; ++n)
        aside = path + QStringLiteral(".unreadable-") + QString::number(n);
    // Read before loading: applying the settings may save them at once.
    QByteArray original;
    if (QFile file(path); file.size() <= SettingsLines::MaxFileBytes && file.open(QIODevice::ReadOnly))
        original = file.readAll();
    if (m_lines.LoadSettingsFile(path)) {
        if (!m_lines.loadedUndecodable())
            return;
        // Owner-only: the file holds passwords.
        QFile out(aside);
        const bool kept = out.open(QIODevice::WriteOnly | QIODevice::NewOnly) && out.setPermissions(TextFile::OwnerOnly)
            && out.write(original) == original.size();
        if (dialogs) {
            QString text = QStringLiteral(
                "設定ファイル %1 に文字として読めない部分がありました。その行は変更せずにそのまま残します。")
                               .arg(path);
            if (kept)
                text += QStringLiteral("\n元のファイルは %1 として残してあります。").arg(aside);
            dialogs->message(text, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation, QStringLiteral("FTPTarvo"));
        }
        return;
    }
    const bool moved = QFile::rename(path, aside);
    if (dialogs) {
        QString text = QStringLiteral("設定ファイル %1 を読み込めませんでした。初期設定で起動します。").arg(path);
        if (moved)
            text += QStringLiteral("\n元のファイルは %1 として残してあります。").arg(aside);
        dialogs->message(text, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation, QStringLiteral("FTPTarvo"));
    }
    m_lines.clear();
    m_lines.WriteDefaultSettings();
    ApplySettings();
}

void Options::ApplySettings()
{
    m_applying = true;
    m_savePending = false;

    if (const auto v = m_lines.lastValueOf(TagProxy))
        setUseProxy(*v == On);
    if (const auto v = m_lines.lastValueOf(TagProxyName))
        setProxyHost(*v);
    if (const auto v = m_lines.lastValueOf(TagProxyPort))
        setProxyPort(*v);
    if (const auto v = m_lines.lastValueOf(TagPassive))
        setPassiveMode(*v == On);
    if (const auto v = m_lines.lastValueOf(TagLocal))
        setBypassProxyForLocal(*v == On);
    if (const auto v = m_lines.lastValueOf(TagProxyUser))
        setProxyCredential(0, *v);
    if (const auto v = m_lines.lastValueOf(TagProxyPassword))
        setProxyCredential(1, *v);
    if (const auto v = m_lines.lastValueOf(TagNameCase))
        setUploadNameCase(*v == QStringLiteral("NORMAL") ? 0 : *v == QStringLiteral("SMALL") ? 1 : 2);
    // One entry per profile block: the last block in the file decides.
    if (const auto v = m_lines.lastValueOf(TagLocaltime))
        setServerTimesAsLocal(*v == On);
    if (const auto v = m_lines.lastValueOf(TagBrowse))
        setSkipExternalLinks(*v == Off);
    if (const auto v = m_lines.lastValueOf(TagMail))
        setMailAddress(*v);
    if (const auto v = m_lines.lastValueOf(TagFileDisplay))
        setViewOption(0, *v == On);
    if (const auto v = m_lines.lastValueOf(TagFileColour))
        setViewOption(1, *v == On);
    if (const auto v = m_lines.lastValueOf(TagSjisEuc))
        setCodeConversion(0, checkValue(*v));
    if (const auto v = m_lines.lastValueOf(TagEucSjis))
        setCodeConversion(1, checkValue(*v));
    if (const auto v = m_lines.lastValueOf(TagLinkStop))
        setViewOption(2, *v == On);
    // The connection entry is restored too: a stored setting that came back unchecked at every
    // start would silently undo the user's choice.
    if (const auto v = m_lines.lastValueOf(TagConnection))
        setUseConsoleConnection(0, *v == On);
    if (const auto v = m_lines.lastValueOf(TagConnectionWords))
        setConsoleProxyText(0, *v);
    // Files written before the option existed hold no entry: the safe way stays on.
    if (const auto v = m_lines.lastValueOf(TagReplace))
        setReplaceThroughTemporary(*v != Off);
    if (const auto v = m_lines.lastValueOf(TagConnections))
        setTransferConnections(int(qBound(0LL, leadingNumber(*v), 99LL)));

    QStringList names;
    const QStringList& lines = m_lines.lines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i) == TagProfileName)
            names.append(m_lines.line(i + 1));
    }
    m_profileNames.setStringList(names);

    m_applying = false;
    if (m_savePending) {
        m_savePending = false;
        m_lines.SaveSettings();
    }
    Q_EMIT changed();
}

void Options::StoreOption(int code)
{
    switch (code) {
    case 4:
        break;
    case 5:
        m_lines.updateOrAppend(TagNameCase,
            m_uploadNameCase == 0       ? QStringLiteral("NORMAL")
                : m_uploadNameCase == 1 ? QStringLiteral("SMALL")
                                        : QStringLiteral("BIG"));
        break;
    case 6:
        m_lines.updateOrAppend(TagBrowse, m_skipExternalLinks ? Off : On);
        break;
    case 7:
        m_lines.updateOrAppend(TagMail, m_mailAddress);
        break;
    case 8:
        m_lines.updateOrAppend(TagConnection, onOff(m_useConsoleConnection));
        break;
    case 9:
        m_lines.updateOrAppend(TagConnectionWords, m_consoleProxyText);
        break;
    case 10:
        m_lines.updateOrAppend(TagFileDisplay, onOff(m_viewOptions[0]));
        break;
    case 11:
        m_lines.updateOrAppend(TagFileColour, onOff(m_viewOptions[1]));
        break;
    case 12:
        m_lines.updateOrAppend(TagLinkStop, onOff(m_viewOptions[2]));
        break;
    default:
        return;
    }
    save();
}

QString Options::proxyCredential(int index) const
{
    return validIndex(index, 2) ? m_proxyCredentials[index] : QString();
}

bool Options::useConsoleConnection(int index) const { return index == 0 && m_useConsoleConnection; }

QString Options::consoleProxyText(int index) const { return index == 0 ? m_consoleProxyText : QString(); }

bool Options::viewOption(int index) const { return validIndex(index, 3) && m_viewOptions[index]; }

int Options::codeConversion(int index) const { return validIndex(index, 2) ? m_codeConversion[index] : 0; }

void Options::setUseProxy(bool checked)
{
    if (m_useProxy == checked)
        return;
    m_useProxy = checked;
    onUseProxyChanged();
    Q_EMIT changed();
}

void Options::setProxyHost(const QString& text)
{
    if (m_proxyHost == text)
        return;
    m_proxyHost = text;
    onProxyHostChanged();
    Q_EMIT changed();
}

void Options::setProxyPort(const QString& text)
{
    if (m_proxyPort == text)
        return;
    m_proxyPort = text;
    onProxyPortChanged();
    Q_EMIT changed();
}

void Options::setPassiveMode(bool checked)
{
    if (m_passiveMode == checked)
        return;
    m_passiveMode = checked;
    onPassiveModeChanged();
    Q_EMIT changed();
}

void Options::setBypassProxyForLocal(bool checked)
{
    if (m_bypassProxyForLocal == checked)
        return;
    m_bypassProxyForLocal = checked;
    onBypassProxyForLocalChanged();
    Q_EMIT changed();
}

void Options::setProxyCredential(int index, const QString& text)
{
    if (!validIndex(index, 2) || m_proxyCredentials[index] == text)
        return;
    m_proxyCredentials[index] = text;
    onProxyCredentialChanged(index);
    Q_EMIT changed();
}

void Options::setUploadNameCase(int index)
{
    if (!validIndex(index, 3) || m_uploadNameCase == index)
        return;
    m_uploadNameCase = index;
    onUploadNameCaseChanged();
    Q_EMIT changed();
}

void Options::setSkipExternalLinks(bool checked)
{
    if (m_skipExternalLinks == checked)
        return;
    m_skipExternalLinks = checked;
    onSkipExternalLinksChanged();
    Q_EMIT changed();
}

void Options::setMailAddress(const QString& text)
{
    if (m_mailAddress == text)
        return;
    m_mailAddress = text;
    Q_EMIT changed();
}

void Options::setUseConsoleConnection(int index, bool checked)
{
    if (index != 0 || m_useConsoleConnection == checked)
        return;
    m_useConsoleConnection = checked;
    onUseConsoleConnectionChanged();
    Q_EMIT changed();
}

void Options::setConsoleProxyText(int index, const QString& text)
{
    if (index != 0 || m_consoleProxyText == text)
        return;
    m_consoleProxyText = text;
    Q_EMIT changed();
}

void Options::setViewOption(int index, bool checked)
{
    if (!validIndex(index, 3) || m_viewOptions[index] == checked)
        return;
    m_viewOptions[index] = checked;
    onViewOptionChanged(index);
    Q_EMIT viewOptionChanged(index, checked);
    Q_EMIT changed();
}

void Options::setCodeConversion(int index, int value)
{
    value = value == 1 ? 1 : 0;
    if (!validIndex(index, 2) || m_codeConversion[index] == value)
        return;
    m_codeConversion[index] = value;
    Q_EMIT changed();
}

void Options::setServerTimesAsLocal(bool checked)
{
    if (m_serverTimesAsLocal == checked)
        return;
    m_serverTimesAsLocal = checked;
    Q_EMIT changed();
}

void Options::setReplaceThroughTemporary(bool checked)
{
    if (m_replaceThroughTemporary == checked)
        return;
    m_replaceThroughTemporary = checked;
    m_lines.updateOrAppend(TagReplace, onOff(checked));
    save();
    Q_EMIT changed();
}

void Options::setTransferConnections(int count)
{
    // A damaged entry falls back to the default rather than to a flood of connections.
    if (count < 1 || count > MaxTransferConnections)
        count = 2;
    if (m_transferConnections == count)
        return;
    m_transferConnections = count;
    m_lines.updateOrAppend(TagConnections, QString::number(count));
    save();
    Q_EMIT changed();
}

void Options::proxyHostEditingFinished() { save(); }

void Options::proxyPortEditingFinished() { save(); }

void Options::proxyCredentialEditingFinished(int index)
{
    if (!validIndex(index, 2))
        return;
    if (m_proxyCredentials[1] == QLatin1String(ProxyAccessCode)) {
        setProxyHost(QString::fromLatin1(PresetProxyHost));
        setProxyPort(QString::fromLatin1(PresetProxyPort));
        setProxyCredential(1, QString());
    }
    save();
}

void Options::mailAddressEditingFinished()
{
    if (!trimBlanks(m_mailAddress).isEmpty())
        StoreOption(7);
}

void Options::consoleProxyTextEditingFinished(int index)
{
    if (index == 0 && !m_consoleProxyText.isEmpty())
        StoreOption(9);
}

void Options::codeConversionEditingFinished(int index)
{
    if (!validIndex(index, 2))
        return;
    m_lines.updateOrAppend(index == 0 ? TagSjisEuc : TagEucSjis, QString::number(m_codeConversion[index]));
    save();
}

void Options::onUseProxyChanged()
{
    m_lines.updateOrAppend(TagProxy, onOff(m_useProxy));
    save();
}

void Options::onPassiveModeChanged()
{
    m_lines.updateOrAppend(TagPassive, onOff(m_passiveMode));
    save();
}

void Options::onBypassProxyForLocalChanged()
{
    // Kept in memory: it reaches the file with the next save of any kind.
    m_lines.updateOrAppend(TagLocal, onOff(m_bypassProxyForLocal));
}

void Options::onProxyHostChanged() { m_lines.updateOrAppend(TagProxyName, m_proxyHost); }

void Options::onProxyPortChanged() { m_lines.updateOrAppend(TagProxyPort, m_proxyPort); }

void Options::onProxyCredentialChanged(int index)
{
    m_lines.updateOrAppend(index == 0 ? TagProxyUser : TagProxyPassword, m_proxyCredentials[index]);
}

void Options::onUploadNameCaseChanged() { StoreOption(5); }

void Options::onSkipExternalLinksChanged() { StoreOption(6); }

void Options::onUseConsoleConnectionChanged() { StoreOption(8); }

void Options::onViewOptionChanged(int index) { StoreOption(10 + index); }

void Options::save()
{
    if (m_applying) {
        m_savePending = true;
        return;
    }
    m_lines.SaveSettings();
}
