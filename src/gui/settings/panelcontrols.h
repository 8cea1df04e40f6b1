#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

// Small helpers shared by the option panels: named controls, and mirroring the options' state
// into the controls without echoing it back as a user's change.
namespace PanelControls {

inline QLineEdit* lineEdit(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

inline QCheckBox* checkBox(const QString& name, const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

inline QLabel* label(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

inline QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

// Leaves the text (and so the cursor) alone when it already matches.
inline void mirrorText(QLineEdit* edit, const QString& text)
{
    if (edit->text() == text)
        return;
    const QSignalBlocker block(edit);
    edit->setText(text);
}

inline void mirrorChecked(QCheckBox* box, bool checked)
{
    const QSignalBlocker block(box);
    box->setChecked(checked);
}

} // namespace PanelControls
