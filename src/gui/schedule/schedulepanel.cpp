#include "gui/schedule/schedulepanel.h"

#include "core/workspace/schedulerecords.h"
#include "core/workspace/schedulerunner.h"
#include "gui/settings/focusoutwatcher.h"
#include "gui/settings/panelcontrols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace PanelControls;

SchedulePanel::SchedulePanel(Workspace& workspace, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame29"), QStringLiteral("Label29"), QStringLiteral("UploadDownload予約"), parent)
    , m_runner(new ScheduleRunner(workspace, this))
    , m_upload(new QRadioButton(QStringLiteral("アップロード"), this))
    , m_download(new QRadioButton(QStringLiteral("ダウンロード"), this))
    , m_scheduleText(new QPlainTextEdit(this))
    , m_startButton(button(QStringLiteral("Command44"), QStringLiteral("開始"), this))
{
    auto* time = new QHBoxLayout;
    const char* separators[5] = { "-", "-", " ", ":", "" };
    const int widths[5] = { 48, 30, 30, 30, 30 };
    for (int i = 0; i < 5; ++i) {
        m_timeBoxes[i] = lineEdit(QStringLiteral("Text10_%1").arg(i), this);
        m_timeBoxes[i]->setFixedWidth(widths[i]);
        m_timeBoxes[i]->setMaxLength(i == 0 ? 4 : 2);
        time->addWidget(m_timeBoxes[i]);
        if (separators[i][0] != '\0' && separators[i][0] != ' ')
            time->addWidget(new QLabel(QString::fromLatin1(separators[i]), this));
        FocusOutWatcher::watch(m_timeBoxes[i], [this, i] { onTimeBoxLeft(i); });
    }
    time->addStretch(1);
    body()->addLayout(time);

    auto* direction = new QHBoxLayout;
    m_upload->setObjectName(QStringLiteral("Option2_0"));
    m_download->setObjectName(QStringLiteral("Option2_1"));
    m_upload->setChecked(true);
    direction->addWidget(m_upload);
    direction->addWidget(m_download);
    direction->addStretch(1);
    auto* setButton = button(QStringLiteral("Command41"), QStringLiteral("設定"), this);
    setButton->setToolTip(QStringLiteral("選択中のファイルを予約に加えます"));
    direction->addWidget(setButton);
    body()->addLayout(direction);

    m_scheduleText->setObjectName(QStringLiteral("Text11"));
    m_scheduleText->setLineWrapMode(QPlainTextEdit::NoWrap);
    body()->addWidget(m_scheduleText, 1);

    auto* commands = new QHBoxLayout;
    auto* clearButton = button(QStringLiteral("Command42"), QStringLiteral("クリア"), this);
    auto* saveButton = button(QStringLiteral("Command43_0"), QStringLiteral("記録"), this);
    auto* loadButton = button(QStringLiteral("Command43_1"), QStringLiteral("読込"), this);
    auto* closeButton = button(QStringLiteral("Command40"), QStringLiteral("閉じる"), this);
    saveButton->setToolTip(QStringLiteral("予約を auto.txt に記録します"));
    loadButton->setToolTip(QStringLiteral("auto.txt の予約を読み込みます"));
    for (QPushButton* b : { clearButton, saveButton, loadButton, m_startButton })
        commands->addWidget(b);
    commands->addStretch(1);
    commands->addWidget(closeButton);
    body()->addLayout(commands);

    connect(setButton, &QPushButton::clicked, this, &SchedulePanel::appendRecord);
    connect(clearButton, &QPushButton::clicked, m_runner, &ScheduleRunner::clear);
    connect(saveButton, &QPushButton::clicked, m_runner, &ScheduleRunner::saveFile);
    connect(loadButton, &QPushButton::clicked, m_runner, &ScheduleRunner::loadFile);
    connect(m_startButton, &QPushButton::clicked, this, &SchedulePanel::toggleSchedule);
    connect(closeButton, &QPushButton::clicked, this, &SchedulePanel::closePanel);
    connect(m_scheduleText, &QPlainTextEdit::textChanged, this,
        [this] { m_runner->setText(m_scheduleText->toPlainText()); });
    connect(m_runner, &ScheduleRunner::textChanged, this, &SchedulePanel::showText);
    connect(m_runner, &ScheduleRunner::runningChanged, this, &SchedulePanel::showRunning);
    resize(520, 380);
}

void SchedulePanel::open()
{
    const QStringList boxes = ScheduleRecords::timeBoxes(m_runner->now());
    for (int i = 0; i < 5; ++i)
        mirrorText(m_timeBoxes[i], boxes.at(i));
    showInFront();
}

void SchedulePanel::onTimeBoxLeft(int index)
{
    m_timeBoxes[index]->setText(ScheduleRecords::fixTimeBox(index, m_timeBoxes[index]->text(), m_runner->now()));
}

void SchedulePanel::appendRecord()
{
    QStringList boxes;
    for (QLineEdit* box : m_timeBoxes)
        boxes << box->text();
    m_runner->appendRecordForSelection(ScheduleRecords::timeFromBoxes(boxes),
        m_upload->isChecked() ? ScheduleRecords::Action::Upload : ScheduleRecords::Action::Download);
}

void SchedulePanel::toggleSchedule()
{
    if (m_startButton->text() == QLatin1String("開始") && m_runner->start())
        hide();
    else
        m_runner->stop();
}

void SchedulePanel::closePanel()
{
    hide();
    // The companion's message panel goes with it.
    if (parentWidget())
        if (QWidget* messages = parentWidget()->findChild<QWidget*>(QStringLiteral("Frame21")))
            messages->hide();
}

void SchedulePanel::showText(const QString& text)
{
    // Only the runner's own changes (a record, marks, a load): the user's typing is already shown.
    if (m_scheduleText->toPlainText() == text)
        return;
    const QSignalBlocker block(m_scheduleText);
    m_scheduleText->setPlainText(text);
}

void SchedulePanel::showRunning(bool running)
{
    m_startButton->setText(running ? QStringLiteral("中止") : QStringLiteral("開始"));
}

QIcon SchedulePanel::runningIcon(const QIcon& idle)
{
    QPixmap pixmap = idle.pixmap(24, 24);
    if (pixmap.isNull()) {
        pixmap = QPixmap(24, 24);
        pixmap.fill(Qt::transparent);
    }
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 90, 20), 1));
    p.setBrush(QColor(40, 170, 40));
    const qreal side = pixmap.width() / pixmap.devicePixelRatio();
    p.drawEllipse(QRectF(side - 10, side - 10, 9, 9));
    p.end();
    return QIcon(pixmap);
}
