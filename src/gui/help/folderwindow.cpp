#include "gui/help/folderwindow.h"

#include "core/app/appstate.h"
#include "core/app/dialogs.h"
#include "core/app/folderanalysis.h"
#include "core/app/textfile.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

FolderWindow::FolderWindow(AppState& state, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FomFolder"));
    setWindowTitle(QStringLiteral("フォルダー解析"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setUniformItemSizes(true);
    m_save = new QPushButton(QStringLiteral("保存"), this);
    m_save->setObjectName(QStringLiteral("Command1"));
    connect(m_save, &QPushButton::clicked, this, [this] { SaveList(m_lastFolder); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(520, 420);
}

bool FolderWindow::analyse(const QString& folder)
{
    if (m_analysing)
        return false;
    m_analysing = true;
    m_lastFolder = folder;
    m_list->clear();
    m_list->addItem(QStringLiteral("解析中: ") + folder);
    m_save->setEnabled(false);
    FolderAnalysis analysis(m_state);
    const QStringList lines = FolderAnalysis::lines(analysis.run(folder));
    m_list->clear();
    m_list->addItems(lines);
    m_save->setEnabled(true);
    m_analysing = false;
    return true;
}

void FolderWindow::SaveList(const QString& folder)
{
    const QString path = m_dialogs.saveFileName(
        QStringLiteral("フォルダー解析の保存"), folder, QStringLiteral("テキスト (*.txt);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    QStringList lines;
    lines.reserve(m_list->count());
    for (int i = 0; i < m_list->count(); ++i)
        lines << m_list->item(i)->text();
    TextFile::writeLines(path, lines);
}

void FolderWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window ends a running walk; its lines are no longer wanted.
    if (m_analysing)
        m_state.StopRequested = true;
    QWidget::closeEvent(event);
}
