#include "gui/manage/deleteconfirmation.h"

#include "core/app/appstate.h"
#include "core/manage/deletes.h"
#include "gui/settings/panelcontrols.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>

using namespace PanelControls;

DeleteConfirmation::DeleteConfirmation(AppState& state, QWidget* parent)
    : MovablePanel(QStringLiteral("FrmCaution"), QStringLiteral("FrmCautionTitle"), Deletes::cautionTitle(), parent)
    , m_state(state)
    , m_question(label(QStringLiteral("Label1"), Deletes::cautionQuestion(), this))
    , m_counts(label(QStringLiteral("Label2"), QString(), this))
    , m_run(button(QStringLiteral("Command1"), QStringLiteral("実行"), this))
    , m_cancel(button(QStringLiteral("Command2"), QStringLiteral("中止"), this))
{
    body()->addWidget(m_question);
    body()->addWidget(m_counts);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_run);
    buttons->addWidget(m_cancel);
    body()->addLayout(buttons);

    connect(m_run, &QPushButton::clicked, this, [this] {
        m_answer = true;
        hide();
        if (m_loop)
            m_loop->quit();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_state.StopRequested = true;
        m_answer = false;
        hide();
        if (m_loop)
            m_loop->quit();
    });
    resize(sizeHint().expandedTo(QSize(360, 0)));
}

DeleteConfirmation::~DeleteConfirmation()
{
    if (m_loop)
        m_loop->quit();
}

bool DeleteConfirmation::ask(const QString& counts)
{
    if (m_loop)
        return false;
    m_counts->setText(counts);
    m_answer = false;
    if (QWidget* p = parentWidget())
        move((p->width() - width()) / 2, (p->height() - height()) / 3);
    showInFront();
    m_run->setFocus();

    // The window stays live while the user decides; the delete goes on when the panel is hidden.
    QEventLoop loop;
    m_loop = &loop;
    QPointer<DeleteConfirmation> self(this);
    loop.exec();
    if (!self)
        return false;
    m_loop = nullptr;
    return m_answer;
}

void DeleteConfirmation::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && isAsking()) {
        m_cancel->click();
        return;
    }
    MovablePanel::keyPressEvent(event);
}

void DeleteConfirmation::hideEvent(QHideEvent* event)
{
    MovablePanel::hideEvent(event);
    if (m_loop)
        m_loop->quit();
}
