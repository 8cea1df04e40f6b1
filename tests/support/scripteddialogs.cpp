#include "support/scripteddialogs.h"

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const Asked& a : asked)
        out.append(a.text);
    return out;
}

void ScriptedDialogs::clear()
{
    asked.clear();
    m_answers.clear();
    m_inputs.clear();
    m_files.clear();
}

Dialogs::Answer ScriptedDialogs::message(const QString& text, Buttons buttons, Icon icon, const QString&)
{
    asked.append({ QStringLiteral("message"), text, buttons, icon });
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
    case Buttons::YesNoDefaultNo:
        return Answer::No;
    }
    return Answer::Ok;
}

std::optional<QString> ScriptedDialogs::input(const QString& prompt, const QString&, const QString&)
{
    asked.append({ QStringLiteral("input"), prompt, Buttons::OkCancel, Icon::None });
    if (!m_inputs.isEmpty())
        return m_inputs.takeFirst();
    return std::nullopt;
}

QString ScriptedDialogs::openFileName(const QString& title, const QString&, const QString&)
{
    asked.append({ QStringLiteral("open"), title, Buttons::OkCancel, Icon::None });
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}

QString ScriptedDialogs::saveFileName(const QString& title, const QString&, const QString&)
{
    asked.append({ QStringLiteral("save"), title, Buttons::OkCancel, Icon::None });
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}

QString ScriptedDialogs::folderName(const QString& title, const QString&)
{
    asked.append({ QStringLiteral("folder"), title, Buttons::OkCancel, Icon::None });
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}
