#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class Dialogs;

// Leading and trailing blanks (the ASCII space and the ideographic space U+3000) removed; tabs
// and other characters stay, as the first platform's trim left them.
QString trimBlanks(const QString& text);

// The settings line list `List2`: ftpset.ini held line for line, in file order. Every reader and
// writer of settings and profiles works on this list; the file is read whole by
// LoadSettingsFile and written whole by SaveSettings. A line is recognised as a tag only when it
// equals the tag exactly; unknown lines are kept and written back unchanged.
class SettingsLines : public QObject {
    Q_OBJECT
public:
    explicit SettingsLines(QObject* parent = nullptr);

    // Where SaveSettings writes: ftpset.ini in the data folder unless set (tests, restore).
    QString filePath() const;
    void setFilePath(const QString& path);

    // A failed save is told to the user through this seam (null: only `saveFailed` is emitted).
    void setDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }

    const QStringList& lines() const { return m_lines; }
    qsizetype count() const { return m_lines.size(); }
    // The line at `index`, or the empty text past either end, as the hidden list box answered.
    QString line(qsizetype index) const;
    void setLine(qsizetype index, const QString& text);
    void insertLine(qsizetype index, const QString& text);
    void removeLine(qsizetype index);
    void appendLine(const QString& text);
    void appendLines(const QStringList& lines);
    void setLines(const QStringList& lines);
    void clear();

    // Index of the first line equal to `text` from `from` on, -1 when none.
    qsizetype indexOf(const QString& text, qsizetype from = 0) const;
    // The line after the first (last) line equal to the tag: nullopt when the tag is absent, the
    // empty text when the tag is the last line.
    std::optional<QString> valueOf(const QString& tag) const;
    std::optional<QString> lastValueOf(const QString& tag) const;

    // "<名前>" gives "</名前>".
    static QString closingTag(const QString& openingTag);

    // Every line equal to the tag gets the value on its next line; when no line matched, the tag,
    // the value and the closing tag are appended. A tag standing as the last line gets the value
    // and its closing tag appended after it. Does not save.
    void updateOrAppend(const QString& tag, const QString& value);

    // Reads the file (CP932, CR LF) and replaces the list with its lines, unchanged, then emits
    // `loaded` (the options apply themselves on it). A file that cannot be read leaves the list
    // as it was and returns false.
    bool LoadSettingsFile(const QString& path);
    // The loaded file had bytes CP932 cannot decode: those lines are written back as they were.
    bool loadedUndecodable() const { return !m_undecodable.isEmpty(); }

    // Appends the 25 lines of the default content: two anonymous profiles and the last-profile
    // block naming the first.
    void WriteDefaultSettings();

    // Trims every line in the list, then writes the whole list to filePath() in CP932 with CR LF,
    // through a temporary file renamed over the old one, owner-only. On failure the old file
    // stays, the user is told (Dialogs) and false is returned.
    bool SaveSettings();

    // The profile names and hosts of the default content.
    static QString defaultProfileName(int index);
    static QString defaultProfileHost(int index);

    // Settings files larger than this are not ours; they are refused rather than read.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

Q_SIGNALS:
    void changed();
    void loaded();
    void saveFailed(const QString& message);

private:
    QStringList m_lines;
    QHash<QString, QByteArray> m_undecodable; // lines of the loaded file CP932 could not decode
    QString m_path;
    Dialogs* m_dialogs = nullptr;
};
