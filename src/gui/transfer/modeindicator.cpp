#include "gui/transfer/modeindicator.h"

#include "core/transfer/moderules.h"

#include <QHBoxLayout>
#include <QLabel>

ModeIndicator::ModeIndicator(ModeRules& rules, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Label8"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    static const char* const captions[2] = { "Bin", "Asc" };
    for (int i : { 1, 0 }) {
        m_label8[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        m_label8[i]->setObjectName(QStringLiteral("Label8_%1").arg(i));
        m_label8[i]->setAutoFillBackground(true);
        m_label8[i]->setAlignment(Qt::AlignCenter);
        m_label8[i]->setContentsMargins(3, 0, 3, 0);
        layout->addWidget(m_label8[i]);
    }
    connect(&rules, &ModeRules::indicatorChanged, this, &ModeIndicator::showMode);
    showMode(rules.indicator());
}

void ModeIndicator::showMode(int mode)
{
    // Label8(1) stands for ASCII (mode 1), Label8(0) for binary (mode 2).
    const int chosen = mode == 1 ? 1 : 0;
    for (int i = 0; i < 2; ++i) {
        QPalette pal = m_label8[i]->palette();
        pal.setColor(QPalette::Window, i == chosen ? chosenColour() : otherColour());
        pal.setColor(QPalette::WindowText, Qt::white);
        m_label8[i]->setPalette(pal);
    }
}
