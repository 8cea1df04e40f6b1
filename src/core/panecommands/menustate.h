#pragma once

#include <QHash>
#include <QObject>
#include <QString>

// Captions and enabled states of the file-operation menu `Mm1` (items of `M1` by index) and of
// the toolbar buttons (by key), as the pane clicks and the commands leave them. The window only
// mirrors this state onto its actions. The buttons "paste", "link1", "link2", "linkcut" and
// "imageshow" go with items 9, 15, 16, 17 and 19.
class MenuState : public QObject {
    Q_OBJECT
public:
    explicit MenuState(QObject* parent = nullptr);

    // Indexes of the items that carry commands (the rest are separators).
    static const QList<int>& itemIndexes();
    static const QStringList& buttonKeys();
    static QString designCaption(int index);

    QString caption(int index) const { return m_captions.value(index); }
    bool itemEnabled(int index) const { return m_itemEnabled.value(index, false); }
    bool buttonEnabled(const QString& key) const { return m_buttonEnabled.value(key, false); }

    // At start: items 4, 6, 8, 11 and their buttons on, items 9, 13, 15, 16, 17, 19 and theirs off.
    void setInitialState();

    // A click on the local tree or the FTP tree.
    void SetLocalMenuState();
    void SetRemoteMenuState();

    // A click in the local list (`fileList`) or the FTP list (`fileList`): the row's name and
    // whether it is a folder (an empty name: no row under the mouse). `clipboardSource` is the
    // list of the last copy ("listview1", "listview2" or empty).
    void localListClicked(const QString& name, bool isFolder, const QString& clipboardSource);
    void ftpListClicked(const QString& name, const QString& clipboardSource);

    // After a copy in a list (`source` "listview1" or "listview2") and after a copy with neither
    // list focused (empty `source`): paste is offered.
    void copied(const QString& source);

    // After the top-page link check (item 16) the clean-up is offered; after the clean-up
    // (item 17) it is not.
    void topPageLinkCheckDone();
    void cleanUpDone();

    void setItem(int index, bool enabled);
    void setButton(const QString& key, bool enabled);
    void setCaption(int index, const QString& caption);

    // The item's button key ("" when the item has none).
    static QString buttonOf(int index);

    // Lower-case extension rules of the list clicks.
    static bool isPageName(const QString& name); // "htm", "html"
    static bool isPictureName(const QString& name); // "jpg", "gif", "bmp", "tif", "ico"

Q_SIGNALS:
    void changed();

private:
    void treeClicked(bool ftp);
    // An item and its button together.
    void setLinked(int index, bool enabled);

    QHash<int, QString> m_captions;
    QHash<int, bool> m_itemEnabled;
    QHash<QString, bool> m_buttonEnabled;
};
