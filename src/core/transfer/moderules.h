#pragma once

#include "core/ftp/transfertype.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringListModel>

class Dialogs;
class SettingsLines;

// The transfer type of each file, chosen from its extension just before it is transferred, and
// the extensions that uploads never send. Both lists are kept in the settings lines as the
// blocks <SetText>…</SetText> and <NotText>…</NotText>, one extension per line, and shown in
// `textExtensionModel` and `neverSendExtensionModel`. The switches `allAscii` (all ASCII) and `allBinary` (all binary)
// live in memory only.
class ModeRules : public QObject {
    Q_OBJECT
public:
    explicit ModeRules(SettingsLines& lines, QObject* parent = nullptr);

    // The text after the last dot of the name trimmed of blanks; empty when the name holds no
    // dot or ends with one. Case is kept.
    static QString GetExtension(const QString& name);

    // The type a file of this name travels in: the switches first, then the text list, compared
    // without regard to case.
    TransferType typeFor(const QString& name) const;
    // typeFor(name), also shown by the indicator: what a transfer calls for each file it sends.
    TransferType SetTransferMode(const QString& name);

    // False when the name's extension is in the never-send list (compared with case). A name
    // without an extension is always sent.
    bool IsSendable(const QString& name) const;

    // Start-up: fills both lists from their blocks. Without a <SetText> line the defaults are
    // used, the settings saved, and the missing blocks appended to the lines afterwards.
    void LoadModeLists();

    // Both lists from the built-in defaults, written into their blocks; both switches off.
    void RestoreDefaultModeLists();

    // The panel's buttons. Command7(2): clear, restore the defaults, save.
    void restoreDefaults();
    // Command7(5) and Command7(6): adds the entry box's text (trimmed) to the text list or the
    // never-send list and saves. False when the text is empty and nothing was added.
    bool addTextExtension(const QString& text);
    bool addNeverSendExtension(const QString& text);
    // Command7(7): removes the given rows of both lists and their lines, then saves.
    void deleteEntries(const QList<int>& textRows, const QList<int>& neverSendRows);
    // Command7(4): true when the panel may close; asks first when a switch is on.
    bool mayClose(Dialogs& dialogs) const;

    QStringListModel* textExtensionModel() { return &m_textExtensions; }
    QStringListModel* neverSendExtensionModel() { return &m_neverSend; }
    QStringList textExtensions() const { return m_textExtensions.stringList(); }
    QStringList neverSendExtensions() const { return m_neverSend.stringList(); }

    bool allAscii() const { return m_allAscii; }
    bool allBinary() const { return m_allBinary; }
    void setAllAscii(bool checked);
    void setAllBinary(bool checked);
    bool textListEnabled() const { return m_textListEnabled; }

    // The type the indicator shows ("Asc", "Bin"): that of the last file a transfer chose.
    TransferType indicator() const { return m_indicator; }

    static QStringList defaultTextExtensions();
    static QStringList defaultNeverSendExtensions();
    static QString closeWarning();

Q_SIGNALS:
    void indicatorChanged(TransferType type);
    // A switch or the text list's enabled state changed.
    void switchesChanged();

private:
    struct Block {
        qsizetype open = -1; // index of the opening tag
        qsizetype close = -1; // index of its closing tag, -1 when the block is never closed
    };
    QList<Block> blocks(const QString& openTag) const;
    QStringList readBlocks(const QString& openTag) const;
    void replaceBlockContents(const QString& openTag, const QStringList& entries);
    void insertIntoBlock(const QString& openTag, const QString& entry);
    void removeFromBlock(const QString& openTag, const QString& entry, int occurrence);
    void removeRows(QStringListModel& model, const QString& openTag, QList<int> rows);
    void setIndicator(TransferType type);
    void updateTextListEnabled();

    SettingsLines& m_lines;
    QStringListModel m_textExtensions;
    QStringListModel m_neverSend;
    bool m_allAscii = false;
    bool m_allBinary = false;
    bool m_textListEnabled = true;
    TransferType m_indicator = TransferType::Binary;
};
