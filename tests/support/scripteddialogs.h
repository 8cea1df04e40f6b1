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
    QStringList texts() const
    {
        QStringList out;
        for (const Asked& a : asked)
            out.append(a.text);
        return out;
    }
    void clear() { asked.clear(), m_answers.clear(), m_inputs.clear(), m_files.clear(); }

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString&) override
    {
        asked.append({ QStringLiteral("message"), text, buttons, icon });
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
    }
    std::optional<QString> input(const QString& prompt, const QString&, const QString&) override
    {
        asked.append({ QStringLiteral("input"), prompt, Buttons::OkCancel, Icon::None });
        return m_inputs.isEmpty() ? std::nullopt : m_inputs.takeFirst();
    }
    QString openFileName(const QString& title, const QString&, const QString&) override
    {
        return file(u"open"_qs, title);
    }
    QString saveFileName(const QString& title, const QString&, const QString&) override
    {
        return file(u"save"_qs, title);
    }
    QString folderName(const QString& title, const QString&) override { return file(u"folder"_qs, title); }

private:
    QString file(const QString& kind, const QString& title)
    {
        asked.append({ kind, title, Buttons::OkCancel, Icon::None });
        return m_files.isEmpty() ? QString() : m_files.takeFirst();
    }

    QList<Answer> m_answers;
    QList<std::optional<QString>> m_inputs;
    QStringList m_files;
};
