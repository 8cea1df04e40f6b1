#include "core/settings/options.h"

#include "core/app/dialogs.h"
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
    if (m_lines.LoadSettingsFile(path))
        return;
    QString aside = path + QStringLiteral(".unreadable");
    for (int n = 2; QFile::exists(aside) && n < 1000; ++n)
        aside = path + QStringLiteral(".unreadable-") + QString::number(n);
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
        setCheck1(*v == On);
    if (const auto v = m_lines.lastValueOf(TagProxyName))
        setTxtProxy(*v);
    if (const auto v = m_lines.lastValueOf(TagProxyPort))
        setTxtPport(*v);
    if (const auto v = m_lines.lastValueOf(TagPassive))
        setChkPassive(*v == On);
    if (const auto v = m_lines.lastValueOf(TagLocal))
        setCheck3(*v == On);
    if (const auto v = m_lines.lastValueOf(TagProxyUser))
        setTxtpro(0, *v);
    if (const auto v = m_lines.lastValueOf(TagProxyPassword))
        setTxtpro(1, *v);
    if (const auto v = m_lines.lastValueOf(TagNameCase))
        setOption5(*v == QStringLiteral("NORMAL") ? 0 : *v == QStringLiteral("SMALL") ? 1 : 2);
    // One entry per profile block: the last block in the file decides.
    if (const auto v = m_lines.lastValueOf(TagLocaltime))
        setCheck9(*v == On);
    if (const auto v = m_lines.lastValueOf(TagBrowse))
        setCheck8(*v == Off);
    if (const auto v = m_lines.lastValueOf(TagMail))
        setText13(*v);
    if (const auto v = m_lines.lastValueOf(TagFileDisplay))
        setCheck10(0, *v == On);
    if (const auto v = m_lines.lastValueOf(TagFileColour))
        setCheck10(1, *v == On);
    if (const auto v = m_lines.lastValueOf(TagSjisEuc))
        setCheck11(0, checkValue(*v));
    if (const auto v = m_lines.lastValueOf(TagEucSjis))
        setCheck11(1, checkValue(*v));
    if (const auto v = m_lines.lastValueOf(TagLinkStop))
        setCheck10(2, *v == On);
    // The connection entry is restored too: a stored setting that came back unchecked at every
    // start would silently undo the user's choice.
    if (const auto v = m_lines.lastValueOf(TagConnection))
        setCheck7(0, *v == On);
    if (const auto v = m_lines.lastValueOf(TagConnectionWords))
        setText5(0, *v);

    QStringList names;
    const QStringList& lines = m_lines.lines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i) == TagProfileName)
            names.append(m_lines.line(i + 1));
    }
    m_list1.setStringList(names);

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
            m_option5 == 0       ? QStringLiteral("NORMAL")
                : m_option5 == 1 ? QStringLiteral("SMALL")
                                 : QStringLiteral("BIG"));
        break;
    case 6:
        m_lines.updateOrAppend(TagBrowse, m_check8 ? Off : On);
        break;
    case 7:
        m_lines.updateOrAppend(TagMail, m_text13);
        break;
    case 8:
        m_lines.updateOrAppend(TagConnection, onOff(m_check7));
        break;
    case 9:
        m_lines.updateOrAppend(TagConnectionWords, m_text5);
        break;
    case 10:
        m_lines.updateOrAppend(TagFileDisplay, onOff(m_check10[0]));
        break;
    case 11:
        m_lines.updateOrAppend(TagFileColour, onOff(m_check10[1]));
        break;
    case 12:
        m_lines.updateOrAppend(TagLinkStop, onOff(m_check10[2]));
        break;
    default:
        return;
    }
    save();
}

QString Options::Txtpro(int index) const { return validIndex(index, 2) ? m_txtpro[index] : QString(); }

bool Options::Check7(int index) const { return index == 0 && m_check7; }

QString Options::Text5(int index) const { return index == 0 ? m_text5 : QString(); }

bool Options::Check10(int index) const { return validIndex(index, 3) && m_check10[index]; }

int Options::Check11(int index) const { return validIndex(index, 2) ? m_check11[index] : 0; }

void Options::setCheck1(bool checked)
{
    if (m_check1 == checked)
        return;
    m_check1 = checked;
    Check1_Click();
    Q_EMIT changed();
}

void Options::setTxtProxy(const QString& text)
{
    if (m_txtProxy == text)
        return;
    m_txtProxy = text;
    txtProxy_Change();
    Q_EMIT changed();
}

void Options::setTxtPport(const QString& text)
{
    if (m_txtPport == text)
        return;
    m_txtPport = text;
    TxtPport_Change();
    Q_EMIT changed();
}

void Options::setChkPassive(bool checked)
{
    if (m_chkPassive == checked)
        return;
    m_chkPassive = checked;
    chkPassive_Click();
    Q_EMIT changed();
}

void Options::setCheck3(bool checked)
{
    if (m_check3 == checked)
        return;
    m_check3 = checked;
    Check3_Click();
    Q_EMIT changed();
}

void Options::setTxtpro(int index, const QString& text)
{
    if (!validIndex(index, 2) || m_txtpro[index] == text)
        return;
    m_txtpro[index] = text;
    Txtpro_Change(index);
    Q_EMIT changed();
}

void Options::setOption5(int index)
{
    if (!validIndex(index, 3) || m_option5 == index)
        return;
    m_option5 = index;
    Option5_Click();
    Q_EMIT changed();
}

void Options::setCheck8(bool checked)
{
    if (m_check8 == checked)
        return;
    m_check8 = checked;
    Check8_Click();
    Q_EMIT changed();
}

void Options::setText13(const QString& text)
{
    if (m_text13 == text)
        return;
    m_text13 = text;
    Q_EMIT changed();
}

void Options::setCheck7(int index, bool checked)
{
    if (index != 0 || m_check7 == checked)
        return;
    m_check7 = checked;
    Check7_Click();
    Q_EMIT changed();
}

void Options::setText5(int index, const QString& text)
{
    if (index != 0 || m_text5 == text)
        return;
    m_text5 = text;
    Q_EMIT changed();
}

void Options::setCheck10(int index, bool checked)
{
    if (!validIndex(index, 3) || m_check10[index] == checked)
        return;
    m_check10[index] = checked;
    Check10_Click(index);
    Q_EMIT Check10Changed(index, checked);
    Q_EMIT changed();
}

void Options::setCheck11(int index, int value)
{
    value = value == 1 ? 1 : 0;
    if (!validIndex(index, 2) || m_check11[index] == value)
        return;
    m_check11[index] = value;
    Q_EMIT changed();
}

void Options::setCheck9(bool checked)
{
    if (m_check9 == checked)
        return;
    m_check9 = checked;
    Q_EMIT changed();
}

void Options::txtProxy_LostFocus() { save(); }

void Options::TxtPport_LostFocus() { save(); }

void Options::Txtpro_LostFocus(int index)
{
    if (!validIndex(index, 2))
        return;
    if (m_txtpro[1] == QLatin1String(ProxyAccessCode)) {
        setTxtProxy(QString::fromLatin1(PresetProxyHost));
        setTxtPport(QString::fromLatin1(PresetProxyPort));
        setTxtpro(1, QString());
    }
    save();
}

void Options::Text13_LostFocus()
{
    if (!trimBlanks(m_text13).isEmpty())
        StoreOption(7);
}

void Options::Text5_LostFocus(int index)
{
    if (index == 0 && !m_text5.isEmpty())
        StoreOption(9);
}

void Options::Check11_LostFocus(int index)
{
    if (!validIndex(index, 2))
        return;
    m_lines.updateOrAppend(index == 0 ? TagSjisEuc : TagEucSjis, QString::number(m_check11[index]));
    save();
}

void Options::Check1_Click()
{
    m_lines.updateOrAppend(TagProxy, onOff(m_check1));
    save();
}

void Options::chkPassive_Click()
{
    m_lines.updateOrAppend(TagPassive, onOff(m_chkPassive));
    save();
}

void Options::Check3_Click()
{
    // Kept in memory: it reaches the file with the next save of any kind.
    m_lines.updateOrAppend(TagLocal, onOff(m_check3));
}

void Options::txtProxy_Change() { m_lines.updateOrAppend(TagProxyName, m_txtProxy); }

void Options::TxtPport_Change() { m_lines.updateOrAppend(TagProxyPort, m_txtPport); }

void Options::Txtpro_Change(int index)
{
    m_lines.updateOrAppend(index == 0 ? TagProxyUser : TagProxyPassword, m_txtpro[index]);
}

void Options::Option5_Click() { StoreOption(5); }

void Options::Check8_Click() { StoreOption(6); }

void Options::Check7_Click() { StoreOption(8); }

void Options::Check10_Click(int index) { StoreOption(10 + index); }

void Options::save()
{
    if (m_applying) {
        m_savePending = true;
        return;
    }
    m_lines.SaveSettings();
}
