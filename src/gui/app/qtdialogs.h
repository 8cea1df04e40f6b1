#pragma once

#include "core/app/dialogs.h"

class QWidget;

// The program's questions as Qt dialogs, with Japanese button texts whatever the locale.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr);

    void setParent(QWidget* parent) { m_parent = parent; }
    // Tests answer the window's questions with their own dialogs (null: the Qt dialogs again).
    void setOverride(Dialogs* other) { m_override = other; }

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString folderName(const QString& title, const QString& folder) override;

private:
    QString titleOrDefault(const QString& title) const;
    enum class FileMode { Open, Save, Folder };
    // Empty when cancelled.
    QString runFileDialog(
        const QString& title, const QString& folder, const QString& filter, FileMode mode, const QString& acceptText);

    QWidget* m_parent;
    Dialogs* m_override = nullptr;
};
