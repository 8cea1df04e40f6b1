#pragma once

#include <QString>
#include <QStringListModel>

// The links the user chose never to have reported (`List7`), kept in "link.txt" in the data
// folder, one entry a line. Every change is written to the file at once.
//
// An entry excludes a link that equals it, and a link whose last part (after its last "/")
// equals it: registering cuts a text to that last part, so "img/old.gif" is registered as
// "old.gif" and must still exclude the link "img/old.gif".
class LinkExclusions : public QStringListModel {
    Q_OBJECT
public:
    // Loads the file (a missing file gives an empty list).
    explicit LinkExclusions(const QString& path, QObject* parent = nullptr);

    // "link.txt" in the data folder.
    static QString defaultPath();

    QString path() const { return m_path; }
    void load();

    // "登録": adds the text cut to the part after its last "/"; an empty or already listed text
    // is not added. False when nothing was added or the file could not be written.
    bool registerText(const QString& text);

    bool excludes(const QString& link) const;

    // "削除" is removeRow(selected row). Edits through the model are saved too.
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The reason of the last failed save, in Japanese; empty after a good one.
    QString lastError() const { return m_lastError; }

Q_SIGNALS:
    void saveFailed(const QString& message);

private:
    bool save();

    QString m_path;
    QString m_lastError;
};
