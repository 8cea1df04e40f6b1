#include "gui/manage/permissionpanel.h"

#include "core/manage/permissions.h"
#include "gui/settings/panelcontrols.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace PanelControls;

PermissionPanel::PermissionPanel(Permissions& permissions, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame17"), QStringLiteral("Label10"), Permissions::title(), parent)
    , m_permissions(permissions)
{
    static const char16_t* const levels[] = { u"本人(Owner)", u"グループ(Group)", u"他人(Other)" };
    static const char16_t* const rights[] = { u"R:読み込み可能", u"W:書き込み可能", u"X:実行可能" };

    auto* grid = new QHBoxLayout;
    for (int level = 0; level < 3; ++level) {
        auto* frame = new QGroupBox(QString::fromUtf16(levels[level]), this);
        frame->setObjectName(QStringLiteral("Frame18_%1").arg(level));
        auto* column = new QVBoxLayout(frame);
        for (int right = 0; right < 3; ++right) {
            const int index = 3 * level + right;
            m_modeBoxes[index]
                = checkBox(QStringLiteral("Check2_%1").arg(index), QString::fromUtf16(rights[right]), frame);
            column->addWidget(m_modeBoxes[index]);
            connect(m_modeBoxes[index], &QCheckBox::clicked, &m_permissions,
                [this, index](bool on) { m_permissions.setModeBit(index, on); });
        }
        m_digitLabels[level] = label(QStringLiteral("Label12_%1").arg(level), QString(), frame);
        m_digitLabels[level]->setAlignment(Qt::AlignCenter);
        column->addWidget(m_digitLabels[level]);
        grid->addWidget(frame);
    }
    body()->addLayout(grid);

    auto* mode = new QHBoxLayout;
    m_modeLabel = label(QStringLiteral("Label11"), QString(), this);
    QFont big = m_modeLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    m_modeLabel->setFont(big);
    mode->addWidget(m_modeLabel);
    mode->addSpacing(16);
    mode->addWidget(label(QStringLiteral("Label15"), QStringLiteral("UNIX形式で表示"), this));
    m_lettersLabel = label(QStringLiteral("Label13"), QString(), this);
    m_lettersLabel->setFont(big);
    mode->addWidget(m_lettersLabel);
    mode->addStretch();
    body()->addLayout(mode);

    m_explanationView = new QPlainTextEdit(this);
    m_explanationView->setObjectName(QStringLiteral("Text8"));
    m_explanationView->setReadOnly(true);
    m_explanationView->horizontalScrollBar()->setObjectName(QStringLiteral("Text8HScroll"));
    m_explanationView->verticalScrollBar()->setObjectName(QStringLiteral("Text8VScroll"));
    body()->addWidget(m_explanationView, 1);

    auto* run = new QHBoxLayout;
    m_closeAfterBox = checkBox(QStringLiteral("Check4"), QStringLiteral("実行終了時このウィンドウを閉じる"), this);
    m_runButton = button(QStringLiteral("Command27"), QStringLiteral("実行"), this);
    run->addWidget(m_closeAfterBox);
    run->addStretch();
    run->addWidget(m_runButton);
    body()->addLayout(run);
    addCloseButton(QStringLiteral("Frame17Close"));

    connect(m_closeAfterBox, &QCheckBox::toggled, &m_permissions, &Permissions::setCloseAfterChange);
    connect(m_runButton, &QPushButton::clicked, &m_permissions, &Permissions::onRunClicked);
    connect(&m_permissions, &Permissions::changed, this, &PermissionPanel::refresh);
    connect(&m_permissions, &Permissions::panelHideRequested, this, &QWidget::hide);
    refresh();
}

void PermissionPanel::refresh()
{
    for (int i = 0; i < 9; ++i) {
        const QSignalBlocker block(m_modeBoxes[i]);
        m_modeBoxes[i]->setChecked(m_permissions.modeBit(i));
    }
    for (int level = 0; level < 3; ++level)
        m_digitLabels[level]->setText(m_permissions.modeDigit(level));
    m_modeLabel->setText(m_permissions.modeText());
    m_lettersLabel->setText(m_permissions.modeLetters());
    mirrorChecked(m_closeAfterBox, m_permissions.closeAfterChange());
    QString text = m_permissions.explanationText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (m_explanationView->toPlainText() != text)
        m_explanationView->setPlainText(text);
}
