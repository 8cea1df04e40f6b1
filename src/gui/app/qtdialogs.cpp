#include "gui/app/qtdialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon toQtIcon(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtDialogs::QtDialogs(QWidget* parent)
    : m_parent(parent)
{
}

QString QtDialogs::titleOrDefault(const QString& title) const
{
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

Dialogs::Answer QtDialogs::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    if (m_override)
        return m_override->message(text, buttons, icon, title);
    QMessageBox box(toQtIcon(icon), titleOrDefault(title), text, QMessageBox::NoButton, m_parent);
    box.setObjectName(QStringLiteral("messageBox"));
    auto add = [&box](const QString& caption, QMessageBox::ButtonRole role, const char* name) {
        QPushButton* b = box.addButton(caption, role);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    QPushButton* ok = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* cancel = nullptr;
    switch (buttons) {
    case Buttons::Ok:
        ok = add(QStringLiteral("OK"), QMessageBox::AcceptRole, "okButton");
        break;
    case Buttons::OkCancel:
        ok = add(QStringLiteral("OK"), QMessageBox::AcceptRole, "okButton");
        cancel = add(QStringLiteral("キャンセル"), QMessageBox::RejectRole, "cancelButton");
        break;
    case Buttons::YesNo:
    case Buttons::YesNoDefaultNo:
        yes = add(QStringLiteral("はい"), QMessageBox::YesRole, "yesButton");
        no = add(QStringLiteral("いいえ"), QMessageBox::NoRole, "noButton");
        break;
    case Buttons::YesNoCancel:
        yes = add(QStringLiteral("はい"), QMessageBox::YesRole, "yesButton");
        no = add(QStringLiteral("いいえ"), QMessageBox::NoRole, "noButton");
        cancel = add(QStringLiteral("キャンセル"), QMessageBox::RejectRole, "cancelButton");
        break;
    }
    box.setDefaultButton(ok ? ok : buttons == Buttons::YesNoDefaultNo ? no : yes);
    // Closing the box with Escape or the window's close button answers like its gentlest button.
    box.setEscapeButton(cancel ? cancel : (no ? no : ok));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == nullptr)
        clicked = box.escapeButton();
    if (clicked == yes)
        return Answer::Yes;
    if (clicked == no)
        return Answer::No;
    if (clicked == ok)
        return Answer::Ok;
    return Answer::Cancel;
}

std::optional<QString> QtDialogs::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    if (m_override)
        return m_override->input(prompt, title, defaultText);
    QInputDialog dialog(m_parent);
    dialog.setObjectName(QStringLiteral("inputBox"));
    dialog.setWindowTitle(titleOrDefault(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString QtDialogs::runFileDialog(
    const QString& title, const QString& folder, const QString& filter, FileMode mode, const QString& acceptText)
{
    QFileDialog dialog(m_parent, titleOrDefault(title), folder, filter);
    dialog.setObjectName(QStringLiteral("fileDialog"));
    switch (mode) {
    case FileMode::Open:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileMode::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case FileMode::Folder:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類:"));
    dialog.setLabelText(QFileDialog::Accept, acceptText);
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString QtDialogs::openFileName(const QString& title, const QString& folder, const QString& filter)
{
    if (m_override)
        return m_override->openFileName(title, folder, filter);
    return runFileDialog(title, folder, filter, FileMode::Open, QStringLiteral("開く"));
}

QString QtDialogs::saveFileName(const QString& title, const QString& folder, const QString& filter)
{
    if (m_override)
        return m_override->saveFileName(title, folder, filter);
    return runFileDialog(title, folder, filter, FileMode::Save, QStringLiteral("保存"));
}

QString QtDialogs::folderName(const QString& title, const QString& folder)
{
    if (m_override)
        return m_override->folderName(title, folder);
    return runFileDialog(title, folder, QString(), FileMode::Folder, QStringLiteral("選択"));
}
