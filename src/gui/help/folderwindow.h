#pragma once

#include <QStringList>
#include <QWidget>

struct AppState;
class Dialogs;
class QListWidget;
class QPushButton;

// `FomFolder` "フォルダー解析": the analysis of a local folder in `List1`, saved by `Command1`.
class FolderWindow : public QWidget {
    Q_OBJECT
public:
    FolderWindow(AppState& state, Dialogs& dialogs, QWidget* parent = nullptr);

    QListWidget* list() const { return m_list; }
    QPushButton* saveButton() const { return m_save; }
    bool isAnalysing() const { return m_analysing; }

    // Lists what `folder` holds. The window stays live meanwhile; Stop ends the walk. False
    // when an analysis is already running.
    bool analyse(const QString& folder);

    // Command1: every line of List1 into a file the user chooses, CP932 with CR LF. A cancelled
    // dialog or a failed write ends the save without a word. `folder` is where the dialog opens.
    void SaveList(const QString& folder = QString());

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppState& m_state;
    Dialogs& m_dialogs;
    QListWidget* m_list;
    QPushButton* m_save;
    QString m_lastFolder;
    bool m_analysing = false;
};
