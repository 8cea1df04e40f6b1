#pragma once

#include <QDialog>
#include <QStringList>

class Dialogs;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The About box `frmAbout`: the version, the program's name and a short notice, with "OK" and
// "システム情報" buttons.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(Dialogs& dialogs, QWidget* parent = nullptr);

    // "ﾊﾞｰｼﾞｮﾝ 0.1.0" for the version the program was built as.
    static QString versionText();
    // The notice shown in Text1 (and, shortened, in lblDisclaimer and Label1).
    static QStringList noticeLines();

    // System-information programs of the desktops, most informative first.
    static QStringList systemInfoCandidates();
    // The first candidate found on PATH; empty when there is none.
    static QString findSystemInfoProgram(const QStringList& candidates = systemInfoCandidates());

    // cmdSysInfo: starts the program found, else says that there is none.
    void StartSysInfo();

private:
    Dialogs& m_dialogs;
};
