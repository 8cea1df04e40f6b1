#include "core/panecommands/menustate.h"

namespace {

QString lowerExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

} // namespace

MenuState::MenuState(QObject* parent)
    : QObject(parent)
{
    for (int i : itemIndexes())
        m_captions.insert(i, designCaption(i));
    setInitialState();
}

const QList<int>& MenuState::itemIndexes()
{
    static const QList<int> indexes { 4, 6, 8, 9, 11, 13, 15, 16, 17, 19 };
    return indexes;
}

const QStringList& MenuState::buttonKeys()
{
    static const QStringList keys { QStringLiteral("open"), QStringLiteral("cut"), QStringLiteral("copy"),
        QStringLiteral("paste"), QStringLiteral("link1"), QStringLiteral("link2"), QStringLiteral("linkcut"),
        QStringLiteral("imageshow"), QStringLiteral("Timer"), QStringLiteral("Stop") };
    return keys;
}

QString MenuState::designCaption(int index)
{
    switch (index) {
    case 4:
        return QStringLiteral("フォルダーの作成(&N)");
    case 6:
        return QStringLiteral("フォルダーとファイルの削除(&T)");
    case 8:
        return QStringLiteral("ファイルコピー");
    case 9:
        return QStringLiteral("ファイル貼り付け");
    case 11:
        return QStringLiteral("ファイル名の変更(&A)");
    case 13:
        return QStringLiteral("アクセス権(ﾊﾟｰﾐｯｼｮﾝ)の変更(&L)");
    case 15:
        return QStringLiteral("リンクのチェック(&L)");
    case 16:
        return QStringLiteral("リンクのチェック　基準ファイルから(&M)");
    case 17:
        return QStringLiteral("リンクの無いファイルの削除(&D)");
    case 19:
        return QStringLiteral("画像の表示");
    default:
        return QString();
    }
}

QString MenuState::buttonOf(int index)
{
    switch (index) {
    case 4:
        return QStringLiteral("open");
    case 6:
        return QStringLiteral("cut");
    case 8:
        return QStringLiteral("copy");
    case 9:
        return QStringLiteral("paste");
    case 15:
        return QStringLiteral("link1");
    case 16:
        return QStringLiteral("link2");
    case 17:
        return QStringLiteral("linkcut");
    case 19:
        return QStringLiteral("imageshow");
    default:
        return QString();
    }
}

bool MenuState::isPageName(const QString& name)
{
    const QString ext = lowerExtension(name);
    return ext == QLatin1String("htm") || ext == QLatin1String("html");
}

bool MenuState::isPictureName(const QString& name)
{
    static const QStringList pictures { QStringLiteral("jpg"), QStringLiteral("gif"), QStringLiteral("bmp"),
        QStringLiteral("tif"), QStringLiteral("ico") };
    return pictures.contains(lowerExtension(name));
}

void MenuState::setItem(int index, bool enabled)
{
    if (m_itemEnabled.value(index, !enabled) == enabled)
        return;
    m_itemEnabled.insert(index, enabled);
    Q_EMIT changed();
}

void MenuState::setButton(const QString& key, bool enabled)
{
    if (m_buttonEnabled.value(key, !enabled) == enabled)
        return;
    m_buttonEnabled.insert(key, enabled);
    Q_EMIT changed();
}

void MenuState::setCaption(int index, const QString& caption)
{
    if (m_captions.value(index) == caption)
        return;
    m_captions.insert(index, caption);
    Q_EMIT changed();
}

void MenuState::setLinked(int index, bool enabled)
{
    setItem(index, enabled);
    const QString key = buttonOf(index);
    if (!key.isEmpty())
        setButton(key, enabled);
}

void MenuState::setInitialState()
{
    for (int i : { 4, 6, 8 })
        setLinked(i, true);
    setItem(11, true);
    for (int i : { 9, 13, 15, 16, 17, 19 })
        setLinked(i, false);
    setButton(QStringLiteral("Stop"), true);
    // The reservation panel comes with the schedule.
    setButton(QStringLiteral("Timer"), false);
}

void MenuState::treeClicked(bool ftp)
{
    const QString side = ftp ? QStringLiteral("FTP") : QStringLiteral("ローカルPC");
    setCaption(
        4, ftp ? QStringLiteral("FTP上にフォルダーの作成(&N)") : QStringLiteral("ローカルPC上にフォルダーの作成(&N)"));
    setCaption(6,
        ftp ? QStringLiteral("FTPのフォルダーとﾌｧｲﾙの削除(&T)")
            : QStringLiteral("ローカルPCのフォルダーとﾌｧｲﾙの削除(&T)"));
    setCaption(8, side + QStringLiteral("上のファイルのコピー"));
    setCaption(9, side + QStringLiteral("上のファイルの貼り付け"));
    for (int i : { 4, 8, 13, 15, 16, 17 })
        setItem(i, false);
    for (int i : { 6, 19 })
        setItem(i, true);
    setButton(QStringLiteral("cut"), true);
    setButton(QStringLiteral("Stop"), true);
    for (const char* key : { "open", "copy", "link1", "linkcut", "Timer" })
        setButton(QLatin1String(key), false);
    // The top-page check works on local sites only: its button stays off for the FTP tree too.
    setButton(QStringLiteral("link2"), false);
    setButton(QStringLiteral("imageshow"), ftp);
}

void MenuState::SetLocalMenuState() { treeClicked(false); }

void MenuState::SetRemoteMenuState() { treeClicked(true); }

void MenuState::localListClicked(const QString& name, bool isFolder, const QString& clipboardSource)
{
    // The lists get complete states of their own: after a tree click the folder, delete and copy
    // commands would otherwise stay off for the list.
    setCaption(4, QStringLiteral("ローカルPC上にフォルダーの作成(&N)"));
    setCaption(6, QStringLiteral("ローカルPCのフォルダーとﾌｧｲﾙの削除(&T)"));
    for (int i : { 4, 6, 8 })
        setLinked(i, true);
    if (clipboardSource == QLatin1String("listview2"))
        setLinked(9, true);
    else if (clipboardSource == QLatin1String("listview1"))
        setLinked(9, false);
    setCaption(8, QStringLiteral("フォルダー又はファイルのコピー"));
    setItem(13, false);
    setLinked(15, isPageName(name));
    setLinked(16, !name.isEmpty() && isFolder);
    setLinked(19, isPictureName(name));
}

void MenuState::ftpListClicked(const QString& name, const QString& clipboardSource)
{
    setCaption(4, QStringLiteral("FTP上にフォルダーの作成(&N)"));
    setCaption(6, QStringLiteral("FTPのフォルダーとﾌｧｲﾙの削除(&T)"));
    for (int i : { 4, 6, 8 })
        setLinked(i, true);
    if (clipboardSource == QLatin1String("listview1"))
        setLinked(9, true);
    else if (clipboardSource == QLatin1String("listview2"))
        setLinked(9, false);
    setCaption(8, QStringLiteral("FTP上のファイルのコピー"));
    setItem(13, true);
    setLinked(16, false);
    setLinked(15, isPageName(name));
    setLinked(19, isPictureName(name));
}

void MenuState::copied(const QString& source)
{
    if (source == QLatin1String("listview2"))
        setCaption(9, QStringLiteral("ローカルPCのファイル又はフォルダーの貼り付け"));
    else if (source == QLatin1String("listview1"))
        setCaption(9, QStringLiteral("FTPファイルの貼り付け"));
    setLinked(9, true);
}

void MenuState::topPageLinkCheckDone() { setLinked(17, true); }

void MenuState::cleanUpDone() { setLinked(17, false); }
