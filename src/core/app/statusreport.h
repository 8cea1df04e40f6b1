#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

struct AppState;

// The status window "状況報告" (`Frame27`) as state: its caption label `caption`, the title or
// current path box `currentFile`, the counts box `countsText`, the run's counts and two progress figures
// (the file in flight and the whole run), and the main window's status bar panels 1 to 3.
// Transfers, deletes and tree walks write here; the window only shows it. `requestStop` is the
// window's "中止" button.
class StatusReport : public QObject {
    Q_OBJECT
public:
    explicit StatusReport(AppState& state, QObject* parent = nullptr);

    static QString defaultCaption() { return QStringLiteral("状況報告"); }

    bool isShown() const { return m_shown; }
    void show();
    void hide();

    QString caption() const { return m_caption; }
    void setCaption(const QString& text);
    QString currentFile() const { return m_currentFile; }
    void setCurrentFile(const QString& text);
    QString countsText() const { return m_countsText; }
    void setCountsText(const QString& text);

    // Status bar panels 1 to 3 (index 0 to 2).
    QString statusPanel(int index) const;
    void setStatusPanel(int index, const QString& text);

    qint32 FolderCount = 0;
    qint32 FileCount = 0;
    qint32 FileTotal = 0;
    void resetCounts() { FolderCount = FileCount = FileTotal = 0; }

    // `countsText` = "フォルダ数: " + FolderCount + "    " + "ファイル数: " + FileCount; panel 2
    // "ﾌｫﾙﾀﾞ数:" + FolderCount, panel 3 "ﾌｧｲﾙ数:" + FileCount.
    void ShowTransferCounts();

    // Bytes of the file in flight (total -1: unknown) and files of the run (total 0: unknown).
    void setFileProgress(qint64 done, qint64 total);
    void setRunProgress(qint64 done, qint64 total);
    qint64 fileDone() const { return m_fileDone; }
    qint64 fileTotal() const { return m_fileTotal; }
    qint64 runDone() const { return m_runDone; }
    qint64 runTotal() const { return m_runTotal; }

    // The files in flight of a run over several connections, one line per connection; empty
    // otherwise.
    QStringList inFlight() const { return m_inFlight; }
    void setInFlight(const QStringList& lines);

    // "中止": the running loop sees `StopRequested` and ends.
    void requestStop();

Q_SIGNALS:
    void shownChanged(bool shown);
    // Any text, count or progress changed.
    void changed();

private:
    AppState& m_state;
    bool m_shown = false;
    QString m_caption = defaultCaption();
    QString m_currentFile;
    QString m_countsText;
    QString m_panels[3];
    qint64 m_fileDone = 0;
    qint64 m_fileTotal = -1;
    qint64 m_runDone = 0;
    qint64 m_runTotal = 0;
    QStringList m_inFlight;
};
