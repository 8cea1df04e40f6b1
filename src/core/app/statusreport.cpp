#include "core/app/statusreport.h"

#include "core/app/appstate.h"

StatusReport::StatusReport(AppState& state, QObject* parent)
    : QObject(parent)
    , m_state(state)
{
}

void StatusReport::show()
{
    if (m_shown)
        return;
    m_shown = true;
    Q_EMIT shownChanged(true);
}

void StatusReport::hide()
{
    if (!m_shown)
        return;
    m_shown = false;
    Q_EMIT shownChanged(false);
}

void StatusReport::setCaption(const QString& text)
{
    m_caption = text;
    Q_EMIT changed();
}

void StatusReport::setCurrentFile(const QString& text)
{
    m_currentFile = text;
    Q_EMIT changed();
}

void StatusReport::setCountsText(const QString& text)
{
    m_countsText = text;
    Q_EMIT changed();
}

QString StatusReport::statusPanel(int index) const { return index >= 0 && index < 3 ? m_panels[index] : QString(); }

void StatusReport::setStatusPanel(int index, const QString& text)
{
    if (index < 0 || index >= 3)
        return;
    m_panels[index] = text;
    Q_EMIT changed();
}

void StatusReport::ShowTransferCounts()
{
    m_countsText = QStringLiteral("フォルダ数: %1    ファイル数: %2").arg(FolderCount).arg(FileCount);
    m_panels[1] = QStringLiteral("ﾌｫﾙﾀﾞ数:%1").arg(FolderCount);
    m_panels[2] = QStringLiteral("ﾌｧｲﾙ数:%1").arg(FileCount);
    Q_EMIT changed();
}

void StatusReport::setFileProgress(qint64 done, qint64 total)
{
    m_fileDone = done;
    m_fileTotal = total;
    Q_EMIT changed();
}

void StatusReport::setRunProgress(qint64 done, qint64 total)
{
    m_runDone = done;
    m_runTotal = total;
    Q_EMIT changed();
}

void StatusReport::setInFlight(const QStringList& lines)
{
    if (m_inFlight == lines)
        return;
    m_inFlight = lines;
    Q_EMIT changed();
}

void StatusReport::requestStop() { m_state.StopRequested = true; }
