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
            m_check2[index]
                = checkBox(QStringLiteral("Check2_%1").arg(index), QString::fromUtf16(rights[right]), frame);
            column->addWidget(m_check2[index]);
            connect(m_check2[index], &QCheckBox::clicked, &m_permissions,
                [this, index](bool on) { m_permissions.setCheck2(index, on); });
        }
        m_label12[level] = label(QStringLiteral("Label12_%1").arg(level), QString(), frame);
        m_label12[level]->setAlignment(Qt::AlignCenter);
        column->addWidget(m_label12[level]);
        grid->addWidget(frame);
    }
    body()->addLayout(grid);

    auto* mode = new QHBoxLayout;
    m_label11 = label(QStringLiteral("Label11"), QString(), this);
    QFont big = m_label11->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    m_label11->setFont(big);
    mode->addWidget(m_label11);
    mode->addSpacing(16);
    mode->addWidget(label(QStringLiteral("Label15"), QStringLiteral("UNIX形式で表示"), this));
    m_label13 = label(QStringLiteral("Label13"), QString(), this);
    m_label13->setFont(big);
    mode->addWidget(m_label13);
    mode->addStretch();
    body()->addLayout(mode);

    m_text8 = new QPlainTextEdit(this);
    m_text8->setObjectName(QStringLiteral("Text8"));
    m_text8->setReadOnly(true);
    m_text8->horizontalScrollBar()->setObjectName(QStringLiteral("Text8HScroll"));
    m_text8->verticalScrollBar()->setObjectName(QStringLiteral("Text8VScroll"));
    body()->addWidget(m_text8, 1);

    auto* run = new QHBoxLayout;
    m_check4 = checkBox(QStringLiteral("Check4"), QStringLiteral("実行終了時このウィンドウを閉じる"), this);
    m_command27 = button(QStringLiteral("Command27"), QStringLiteral("実行"), this);
    run->addWidget(m_check4);
    run->addStretch();
    run->addWidget(m_command27);
    body()->addLayout(run);
    addCloseButton(QStringLiteral("Frame17Close"));

    connect(m_check4, &QCheckBox::toggled, &m_permissions, &Permissions::setCheck4);
    connect(m_command27, &QPushButton::clicked, &m_permissions, &Permissions::Command27_Click);
    connect(&m_permissions, &Permissions::changed, this, &PermissionPanel::refresh);
    connect(&m_permissions, &Permissions::panelHideRequested, this, &QWidget::hide);
    refresh();
}

void PermissionPanel::refresh()
{
    for (int i = 0; i < 9; ++i) {
        const QSignalBlocker block(m_check2[i]);
        m_check2[i]->setChecked(m_permissions.Check2(i));
    }
    for (int level = 0; level < 3; ++level)
        m_label12[level]->setText(m_permissions.Label12(level));
    m_label11->setText(m_permissions.Label11());
    m_label13->setText(m_permissions.Label13());
    mirrorChecked(m_check4, m_permissions.Check4());
    QString text = m_permissions.Text8();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (m_text8->toPlainText() != text)
        m_text8->setPlainText(text);
}
