#pragma once

#include "core/ftp/transfertype.h"

#include <QWidget>

class ModeRules;
class QLabel;

// The indicator `Label8`: index 1 "Asc" and index 0 "Bin", the chosen mode's label red, the other
// dark blue. It follows ModeRules::SetTransferMode.
class ModeIndicator : public QWidget {
    Q_OBJECT
public:
    ModeIndicator(ModeRules& rules, QWidget* parent);

    static QColor chosenColour() { return QColor(255, 0, 0); }
    static QColor otherColour() { return QColor(0, 0, 128); }

private:
    void showMode(TransferType type);

    QLabel* m_labels[2];
};
