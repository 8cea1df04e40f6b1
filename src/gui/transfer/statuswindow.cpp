#include "gui/transfer/statuswindow.h"

#include "core/app/statusreport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// QProgressBar counts in int; bytes of a large file do not fit, so the bar counts in 1/1000.
constexpr int BarSteps = 1000;

void setBar(QProgressBar* bar, qint64 done, qint64 total, bool known)
{
    if (!known) {
        // Busy: the bar moves without a figure.
        if (bar->maximum() != 0)
            bar->setRange(0, 0);
        return;
    }
    if (bar->maximum() != BarSteps)
        bar->setRange(0, BarSteps);
    const qint64 clamped = qBound<qint64>(0, done, total);
    bar->setValue(total > 0 ? int(clamped * BarSteps / total) : BarSteps);
}

void setText(QLineEdit* box, const QString& text)
{
    // setText would move the cursor and repaint even for the same text.
    if (box->text() != text) {
        box->setText(text);
        box->setCursorPosition(0);
    }
}

QLineEdit* readOnlyBox(const QString& name, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace

StatusWindow::StatusWindow(StatusReport& report, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame27"), QStringLiteral("Label22"), report.caption(), parent)
    , m_report(report)
    , m_currentFileBox(readOnlyBox(QStringLiteral("Text7"), this))
    , m_countsBox(readOnlyBox(QStringLiteral("Text9"), this))
    , m_progressFile(new QProgressBar(this))
    , m_progressRun(new QProgressBar(this))
    , m_inFlight(new QLabel(this))
    , m_stop(new QPushButton(QStringLiteral("中止"), this))
    , m_close(new QPushButton(QStringLiteral("X"), this))
{
    m_progressFile->setObjectName(QStringLiteral("ProgressFile"));
    m_progressFile->setToolTip(QStringLiteral("転送中のファイル"));
    m_progressRun->setObjectName(QStringLiteral("ProgressRun"));
    m_progressRun->setToolTip(QStringLiteral("全体"));
    for (QProgressBar* bar : { m_progressFile, m_progressRun }) {
        bar->setRange(0, 0);
        bar->setTextVisible(false);
        bar->setMaximumHeight(14);
    }
    m_progressRun->setMaximumHeight(18);
    m_inFlight->setObjectName(QStringLiteral("lblInFlight"));
    m_inFlight->setTextFormat(Qt::PlainText);
    m_inFlight->setVisible(false);
    m_stop->setObjectName(QStringLiteral("cmdStatusStop"));
    m_close->setObjectName(QStringLiteral("cmdStatusClose"));
    m_close->setFixedWidth(m_close->sizeHint().height());
    m_close->setToolTip(QStringLiteral("閉じる"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_stop);
    buttons->addWidget(m_close);
    body()->addWidget(m_currentFileBox);
    body()->addWidget(m_countsBox);
    body()->addWidget(m_progressFile);
    body()->addWidget(m_progressRun);
    body()->addWidget(m_inFlight);
    body()->addLayout(buttons);
    resize(300, sizeHint().height());

    m_pending.setSingleShot(true);
    connect(&m_pending, &QTimer::timeout, this, &StatusWindow::refresh);
    connect(&report, &StatusReport::changed, this, &StatusWindow::reportChanged);
    connect(&report, &StatusReport::shownChanged, this, &StatusWindow::reportShownChanged);
    connect(m_stop, &QPushButton::clicked, &report, &StatusReport::requestStop);
    // Hiding goes through the report, so the next run's show() shows the window again.
    connect(m_close, &QPushButton::clicked, &report, [this] {
        m_report.hide();
        hide();
    });
    refresh();
    setVisible(report.isShown());
}

void StatusWindow::refresh()
{
    m_pending.stop();
    m_sinceRefresh.start();
    if (titleLabel()->text() != m_report.caption())
        titleLabel()->setText(m_report.caption());
    setText(m_currentFileBox, m_report.currentFile());
    setText(m_countsBox, m_report.countsText());
    setBar(m_progressFile, m_report.fileDone(), m_report.fileTotal(), m_report.fileTotal() >= 0);
    setBar(m_progressRun, m_report.runDone(), m_report.runTotal(), m_report.runTotal() > 0);
    // The run's bar says how many of how many files; the file bar needs no figure.
    m_progressRun->setTextVisible(m_report.runTotal() > 0);
    m_progressRun->setFormat(QStringLiteral("%1 / %2").arg(m_report.runDone()).arg(m_report.runTotal()));
    // Names from the server are shown as plain text, one line per connection, cut in the middle
    // to the window's width rather than widening it.
    QStringList lines;
    const int lineWidth = qMax(200, m_currentFileBox->width());
    for (const QString& line : m_report.inFlight())
        lines.append(m_inFlight->fontMetrics().elidedText(line, Qt::ElideMiddle, lineWidth));
    const QString inFlight = lines.join(u'\n');
    if (m_inFlight->text() != inFlight) {
        const qsizetype linesBefore = m_inFlight->text().isEmpty() ? 0 : m_inFlight->text().count(u'\n') + 1;
        m_inFlight->setText(inFlight);
        m_inFlight->setVisible(!inFlight.isEmpty());
        if (linesBefore != lines.size()) {
            // The layout learns of the new lines only when activated; its hint is stale before.
            if (layout())
                layout()->activate();
            resize(width(), sizeHint().height());
        }
    }
}

void StatusWindow::reportChanged()
{
    if (m_pending.isActive())
        return;
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : RefreshIntervalMs;
    if (since >= RefreshIntervalMs)
        refresh();
    else
        m_pending.start(int(RefreshIntervalMs - since));
}

void StatusWindow::reportShownChanged(bool shown)
{
    refresh();
    if (shown)
        showInFront();
    else
        hide();
}
