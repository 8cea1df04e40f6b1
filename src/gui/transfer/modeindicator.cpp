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
        m_labels[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        m_labels[i]->setObjectName(QStringLiteral("Label8_%1").arg(i));
        m_labels[i]->setAutoFillBackground(true);
        m_labels[i]->setAlignment(Qt::AlignCenter);
        m_labels[i]->setContentsMargins(3, 0, 3, 0);
        layout->addWidget(m_labels[i]);
    }
    connect(&rules, &ModeRules::indicatorChanged, this, &ModeIndicator::showMode);
    showMode(rules.indicator());
}

void ModeIndicator::showMode(TransferType type)
{
    // The second label stands for ASCII, the first for binary.
    const int chosen = type == TransferType::Ascii ? 1 : 0;
    for (int i = 0; i < 2; ++i) {
        QPalette pal = m_labels[i]->palette();
        pal.setColor(QPalette::Window, i == chosen ? chosenColour() : otherColour());
        pal.setColor(QPalette::WindowText, Qt::white);
        m_labels[i]->setPalette(pal);
    }
}
