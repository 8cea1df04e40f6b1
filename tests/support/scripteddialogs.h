#pragma once

#include "core/app/dialogs.h"

#include <QList>
#include <QStringList>

// Answers every question from a queue and records what was asked, so a test can assert the
// exact texts. An unexpected question (empty queue) is answered with the default: Ok/No/Cancel
// and records it all the same.
class ScriptedDialogs : public Dialogs {
public:
    struct Asked {
        QString kind; // "message", "input", "open", "save", "folder"
        QString text;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
    };

    void queueAnswer(Answer a) { m_answers.append(a); }
    void queueInput(std::optional<QString> text) { m_inputs.append(text); }
    void queueFile(const QString& path) { m_files.append(path); }

    QList<Asked> asked;
    QStringList texts() const;
    void clear();

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString folderName(const QString& title, const QString& folder) override;

private:
    QList<Answer> m_answers;
    QList<std::optional<QString>> m_inputs;
    QStringList m_files;
};
