#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The one seam for message boxes, input boxes and file dialogs. The GUI implements it with
// QMessageBox, QInputDialog and QFileDialog; tests implement it with scripted answers and
// record every question, so they can assert the exact Japanese texts.
class Dialogs {
public:
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };
    enum class Icon { None, Information, Exclamation, Critical, Question };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Dialogs() = default;

    virtual Answer message(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
        const QString& title = QString())
        = 0;

    // nullopt when cancelled (the first platform's input box then gives the empty text).
    virtual std::optional<QString> input(
        const QString& prompt, const QString& title = QString(), const QString& defaultText = QString())
        = 0;

    // Empty when cancelled. `filter` uses Qt's "説明 (*.txt)" form.
    virtual QString openFileName(const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QString saveFileName(const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QString folderName(const QString& title, const QString& folder) = 0;
};
