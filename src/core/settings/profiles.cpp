#include "core/settings/profiles.h"

#include "core/app/codepage.h"
#include "core/app/dialogs.h"
#include "core/app/textfile.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringListModel>

namespace {

constexpr const char16_t* Captions[Profiles::FieldCount] = {
    u"管理用の名前（任意の名前）",
    u"FTPサーバー名（ホストアドレス）",
    u"FTPアカウント（ユーザーID）",
    u"FTP　パスワード",
    u"ローカルマシン初期フォルダー",
    u"サーバー初期フォルダー",
    u"ホームページアドレス",
};

const QString LastProfileTag = QStringLiteral("<最終 プロﾌｧｲﾙ>");
const QString LastProfileEndTag = QStringLiteral("</最終 プロﾌｧｲﾙ>");
const QString LocaltimeTag = QStringLiteral("<Localtime>");
const QString Empty = QStringLiteral("-");
// What an empty password is registered as; every save trims it to an empty line.
const QString BlankPassword = QStringLiteral("   ");

// No password typed into a one-line box comes near this; a longer value is no password of ours.
constexpr qsizetype MaxPasswordLength = 1024;

int fieldOfTag(const QString& line)
{
    for (int i = 0; i < Profiles::FieldCount; ++i) {
        if (line == Profiles::fieldTag(i))
            return i;
    }
    return -1;
}

// The CP932 code of one character as the first platform's Asc gave it: a double-byte character's
// two bytes as one signed 16-bit number.
int ansiCode(QStringView character)
{
    const QByteArray bytes = Cp932::encode(character);
    if (bytes.size() == 1)
        return static_cast<unsigned char>(bytes.at(0));
    if (bytes.size() == 2)
        return static_cast<qint16>(
            (static_cast<unsigned char>(bytes.at(0)) << 8) | static_cast<unsigned char>(bytes.at(1)));
    return '?';
}

} // namespace

Profiles::Profiles(SettingsLines& lines, Options& options, Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_lines(lines)
    , m_options(options)
    , m_dialogs(dialogs)
{
    // A restore or a reload rebuilds the names; no row stays selected.
    connect(m_options.profileNameModel(), &QAbstractItemModel::modelReset, this, [this] { setSelectedProfileRow(-1); });
}

QString Profiles::fieldCaption(int index)
{
    return index >= 0 && index < FieldCount ? QString::fromUtf16(Captions[index]) : QString();
}

QString Profiles::fieldTag(int index) { return u'<' + fieldCaption(index) + u'>'; }

QString Profiles::backupFileName(const QDateTime& when)
{
    return QStringLiteral("FTPSet1") + when.toString(QStringLiteral("yyyyMMddHHmmss")) + QStringLiteral(".txt");
}

QString Profiles::scramblePassword(const QString& password)
{
    QStringList numbers;
    int position = 0;
    for (qsizetype i = 0; i < password.size(); ++i) {
        // A character outside the basic plane is one character, stored as CP932's "?".
        const qsizetype length = password.at(i).isHighSurrogate() && i + 1 < password.size() ? 2 : 1;
        ++position;
        numbers.append(QString::number(ansiCode(QStringView(password).mid(i, length)) + 5 * position));
        i += length - 1;
    }
    return numbers.join(u'&');
}

QString Profiles::unscramblePassword(const QString& value)
{
    const QString text = trimBlanks(value);
    if (text.isEmpty())
        return QString();
    const QStringList parts = text.split(u'&');
    if (parts.size() > MaxPasswordLength)
        return QString();
    QString password;
    for (qsizetype k = 0; k < parts.size(); ++k) {
        bool ok = false;
        const qlonglong number = trimBlanks(parts.at(k)).toLongLong(&ok);
        if (!ok)
            return QString();
        const qlonglong code = number - 5 * (k + 1);
        if (code < -32768 || code > 65535)
            return QString();
        // A line end or NUL cannot come from the password box; it would end the PASS command early.
        if (code == 0 || code == '\r' || code == '\n')
            return QString();
        QByteArray bytes;
        if (code >= 0 && code <= 255) {
            bytes.append(char(code));
        } else {
            const auto word = static_cast<quint16>(code & 0xFFFF);
            bytes.append(char(word >> 8));
            bytes.append(char(word & 0xFF));
        }
        password += Cp932::decode(bytes);
    }
    return password;
}

QString Profiles::localStartFolder(const QString& field4)
{
    const QString folder = trimBlanks(field4);
    if (folder.isEmpty() || folder.compare(QLatin1String("c:"), Qt::CaseInsensitive) == 0
        || folder.compare(QLatin1String("c:/"), Qt::CaseInsensitive) == 0)
        return QDir::homePath();
    return folder;
}

QString Profiles::field(int index) const { return index >= 0 && index < FieldCount ? m_fields[index] : QString(); }

void Profiles::setField(int index, const QString& text)
{
    if (index < 0 || index >= FieldCount || m_fields[index] == text)
        return;
    m_fields[index] = text;
    Q_EMIT changed();
}

int Profiles::selectedProfileRow() const
{
    return m_selectedProfileRow < m_options.profileNameModel()->rowCount() ? m_selectedProfileRow : -1;
}

QStringList Profiles::profileNames() const { return m_options.profileNameModel()->stringList(); }

void Profiles::setSelectedProfileRow(int row)
{
    if (row < -1 || row >= m_options.profileNameModel()->rowCount())
        row = -1;
    if (m_selectedProfileRow == row)
        return;
    m_selectedProfileRow = row;
    Q_EMIT selectedProfileRowChanged(row);
    Q_EMIT changed();
}

void Profiles::appendProfileName(const QString& name)
{
    QStringListModel* model = m_options.profileNameModel();
    const int row = model->rowCount();
    model->insertRows(row, 1);
    model->setData(model->index(row), name);
}

void Profiles::removeProfileName(int row)
{
    QStringListModel* model = m_options.profileNameModel();
    if (row < 0 || row >= model->rowCount())
        return;
    const int selected = selectedProfileRow();
    model->removeRows(row, 1);
    if (selected == row)
        setSelectedProfileRow(-1);
    else if (selected > row)
        setSelectedProfileRow(selected - 1);
}

void Profiles::selectProfileRow(int row)
{
    const QStringList names = profileNames();
    if (row < 0 || row >= names.size())
        return;
    setSelectedProfileRow(row);
    SelectProfile(names.at(row));
}

int Profiles::unstorableField() const
{
    for (int i = 0; i < FieldCount; ++i) {
        const QString& text = m_fields[i];
        if (text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0)) || !Cp932::canEncode(text))
            return i;
    }
    return -1;
}

void Profiles::registerProfile()
{
    for (int i : { 0, 1 }) {
        if (trimBlanks(m_fields[i]).isEmpty()) {
            m_dialogs.message(fieldCaption(i) + QStringLiteral("が有りません。"), Dialogs::Buttons::Ok);
            return;
        }
    }
    // The file is CP932, one value a line: anything else would come back as another profile.
    if (const int field = unstorableField(); field >= 0) {
        m_dialogs.message(fieldCaption(field) + QStringLiteral("に設定ファイルへ保存できない文字が含まれています。"),
            Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return;
    }

    // The file stores the name trimmed; profileNameModel and the selection must hold the same text.
    const QString name = trimBlanks(m_fields[0]);
    const QStringList names = profileNames();
    for (int row = 0; row < names.size(); ++row) {
        if (trimBlanks(names.at(row)) != name)
            continue;
        if (m_dialogs.message(name + QStringLiteral("は既に登録されています更新しますか？"), Dialogs::Buttons::YesNo,
                Dialogs::Icon::Question)
            != Dialogs::Answer::Yes)
            return;
        DeleteProfile(names.at(row));
        removeProfileName(row);
        break;
    }

    m_fields[0] = name;
    appendProfileName(name);
    QStringList block;
    for (int i = 0; i < FieldCount; ++i) {
        QString value;
        if (i == 3) {
            value = trimBlanks(m_fields[3]).isEmpty() ? BlankPassword : scramblePassword(m_fields[3]);
        } else {
            if (trimBlanks(m_fields[i]).isEmpty())
                m_fields[i] = Empty;
            value = m_fields[i];
        }
        block << fieldTag(i) << value << SettingsLines::closingTag(fieldTag(i));
    }
    block << LocaltimeTag << (m_options.serverTimesAsLocal() ? QStringLiteral("ON") : QStringLiteral("OFF"))
          << SettingsLines::closingTag(LocaltimeTag);
    m_lines.appendLines(block);
    Q_EMIT changed();

    // The new profile is the selected one, in profileNameModel as in the fields.
    setSelectedProfileRow(m_options.profileNameModel()->rowCount() - 1);
    SelectProfile(name);
}

void Profiles::deleteSelectedProfile()
{
    if (m_dialogs.message(QStringLiteral("登録を抹消しますか？"), Dialogs::Buttons::YesNo, Dialogs::Icon::Question)
        != Dialogs::Answer::Yes)
        return;
    const int row = selectedProfileRow();
    if (row < 0)
        return;
    DeleteProfile(profileNames().at(row));
    removeProfileName(row);
    setSelectedProfileRow(-1);
    clearFields();
}

void Profiles::clearFields()
{
    for (int i = 0; i < 4; ++i)
        m_fields[i].clear();
    Q_EMIT changed();
}

void Profiles::anonymous()
{
    m_fields[2] = QStringLiteral("anonymous");
    if (!trimBlanks(m_options.mailAddress()).isEmpty())
        m_fields[3] = m_options.mailAddress();
    Q_EMIT changed();
}

void Profiles::setLocalStartFolder(const QString& folder) { setField(4, folder); }

void Profiles::DeleteProfile(const QString& name)
{
    const QStringList& lines = m_lines.lines();
    const qsizetype n = lines.size();
    QList<bool> drop(n, false);
    const QString nameTag = fieldTag(0);

    qsizetype start = -1;
    for (qsizetype i = 0; i + 1 < n; ++i) {
        if (lines.at(i) == nameTag && lines.at(i + 1) == name) {
            start = i;
            break;
        }
    }
    if (start >= 0) {
        // The block is the name's entry and the field and Localtime entries that follow it, in
        // whatever order and however many (older blocks stop after the password). Each entry is
        // its tag, its value unless the closing tag follows at once, and its closing tag.
        drop[start] = drop[start + 1] = true;
        qsizetype k = start + 2;
        if (k < n && lines.at(k) == SettingsLines::closingTag(nameTag))
            drop[k++] = true;
        while (k < n) {
            const QString& tag = lines.at(k);
            const int field = fieldOfTag(tag);
            if (field == 0 || (field < 0 && tag != LocaltimeTag))
                break;
            const QString closing = SettingsLines::closingTag(tag);
            drop[k++] = true;
            if (k < n && lines.at(k) != closing && lines.at(k) != nameTag && lines.at(k) != LastProfileTag)
                drop[k++] = true;
            if (k < n && lines.at(k) == closing)
                drop[k++] = true;
        }
    }
    for (qsizetype i = 0; i + 1 < n; ++i) {
        if (lines.at(i) != LastProfileTag || lines.at(i + 1) != name)
            continue;
        drop[i] = drop[i + 1] = true;
        if (i + 2 < n && lines.at(i + 2) == LastProfileEndTag)
            drop[i + 2] = true;
    }

    // Only the block's own lines go: an empty value elsewhere (a cleared proxy name) is an entry.
    QStringList kept;
    kept.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        if (!drop.at(i))
            kept.append(lines.at(i));
    }
    if (kept.size() != n)
        m_lines.setLines(kept);
    m_lines.SaveSettings();
}

void Profiles::SelectProfile(const QString& name)
{
    const QStringList& lines = m_lines.lines();
    const QString nameTag = fieldTag(0);
    // The profile starts at its name's entry, not at any line that happens to equal the name
    // (a profile called "anonymous" or "ON").
    qsizetype start = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines.at(i) == name && lines.at(i - 1) == nameTag) {
            start = i;
            break;
        }
    }

    bool folderSelected = false;
    if (start >= 0) {
        m_fields[0] = lines.at(start);
        for (qsizetype i = start + 1; i < lines.size(); ++i) {
            const int field = fieldOfTag(lines.at(i));
            if (field == 0)
                break;
            if (field < 0)
                continue;
            const QString value = m_lines.line(i + 1);
            if (field == 1 || field == 2) {
                m_fields[field] = value;
            } else if (field == 3) {
                m_fields[3] = unscramblePassword(value);
            } else if (field == 4) {
                QString folder = value;
                folder.replace(u'\\', u'/');
                // "-" is how an empty folder is registered; listing a folder called "-" is no one's intent.
                if (trimBlanks(folder).isEmpty() || trimBlanks(folder) == Empty)
                    folder = QStringLiteral("c:");
                m_fields[4] = folder;
                folderSelected = true;
            } else if (field == 5) {
                m_fields[5] = value == Empty ? QString() : value;
            } else {
                m_fields[6] = trimBlanks(value) == Empty ? QString() : value;
                break;
            }
        }
    }
    Q_EMIT changed();
    if (folderSelected)
        Q_EMIT localFolderSelected(localStartFolder(m_fields[4]));

    // Every last-profile block goes; a block cut short takes only its tag and name along.
    QStringList kept = m_lines.lines();
    for (qsizetype i = kept.size() - 1; i >= 0; --i) {
        if (kept.at(i) != LastProfileTag)
            continue;
        qsizetype count = 2;
        if (i + 2 < kept.size() && kept.at(i + 2) == LastProfileEndTag)
            count = 3;
        kept.remove(i, qMin(count, kept.size() - i));
    }
    kept << LastProfileTag << m_fields[0] << LastProfileEndTag;
    m_lines.setLines(kept);

    Q_EMIT showInFtpFolderText(m_fields[0]);
    m_lines.SaveSettings();
}

int Profiles::selectLastProfile()
{
    const QStringList names = profileNames();
    const QStringList& lines = m_lines.lines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i) != LastProfileTag)
            continue;
        const qsizetype row = names.indexOf(m_lines.line(i + 1));
        if (row >= 0) {
            selectProfileRow(int(row));
            return int(row);
        }
    }
    return -1;
}

QString Profiles::backUpSettings()
{
    const QString source = m_lines.filePath();
    const QFileInfo info(source);
    QFile in(source);
    QByteArray bytes;
    if (info.isFile() && info.size() <= SettingsLines::MaxFileBytes && in.open(QIODevice::ReadOnly))
        bytes = in.readAll();
    if (!in.isOpen() || in.error() != QFileDevice::NoError) {
        m_dialogs.message(QStringLiteral("設定ファイル %1 を読めないため、バックアップできませんでした。").arg(source),
            Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return QString();
    }
    const QString target = info.dir().filePath(backupFileName(m_clock()));
    QSaveFile out(target);
    bool written = out.open(QIODevice::WriteOnly);
    if (written) {
        // Owner-only before the rename: the backup holds the passwords too.
        out.setPermissions(TextFile::OwnerOnly);
        written = out.write(bytes) == bytes.size() && out.commit();
    }
    if (!written) {
        out.cancelWriting();
        m_dialogs.message(
            QStringLiteral("バックアップファイル %1 を作れませんでした。\n%2").arg(target, out.errorString()),
            Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return QString();
    }
    return target;
}

bool Profiles::restoreSettings(const QString& path)
{
    if (m_lines.LoadSettingsFile(path))
        return true;
    m_dialogs.message(QStringLiteral("設定ファイル %1 を読み込めませんでした。設定は元のままです。").arg(path),
        Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    return false;
}
