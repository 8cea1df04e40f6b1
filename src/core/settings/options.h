#pragma once

#include <QObject>
#include <QString>
#include <QStringListModel>

class Dialogs;
class SettingsLines;

// The option controls of the settings panels (proxy, other settings, the console's connection
// entry) as state, with their handlers. Each setter stands for a user's change of the control: when
// the value differs, the control's handler runs, rewrites its entry in the settings line list and,
// as the entry's rule says, saves at once or keeps the change in memory until the control loses
// focus. The widgets only mirror this state (`changed`) and forward edits and focus losses.
//
// Control arrays are indexed as on the panels: Txtpro(0) proxy user, Txtpro(1) proxy password;
// Option5(0..2) NORMAL / SMALL / BIG; Check10(0) hide system files, Check10(1) no file colours,
// Check10(2) stop the link check where a link is missing; Check11(0) SJIS -> EUC on upload,
// Check11(1) EUC -> SJIS on download.
class Options : public QObject {
    Q_OBJECT
public:
    explicit Options(SettingsLines& lines, QObject* parent = nullptr);

    SettingsLines& settingsLines() const { return m_lines; }

    // Start-up: ftpset.ini in the data folder is read and applied when it exists; otherwise the
    // default content goes into the list and is applied. A file that exists but cannot be read is
    // renamed aside and the user told (through `dialogs`, may be null), so that the first save
    // cannot overwrite a file that may still hold the user's profiles.
    void loadAtStartUp(Dialogs* dialogs);

    // Sets every option control from the list (an entry present more than once takes its last
    // value) and rebuilds `List1`. Runs by itself after SettingsLines::LoadSettingsFile.
    void ApplySettings();

    // Writes the present state of one option into the list and saves: 5 file-name case,
    // 6 browse, 7 mail, 8 connection, 9 connection words, 10 hide system files, 11 no colours,
    // 12 link stop; 4 only saves. Other codes do nothing.
    void StoreOption(int code);

    // The profile names in file order.
    QStringListModel* List1() { return &m_list1; }

    bool Check1() const { return m_check1; }
    QString txtProxy() const { return m_txtProxy; }
    QString TxtPport() const { return m_txtPport; }
    bool chkPassive() const { return m_chkPassive; }
    bool Check3() const { return m_check3; }
    // Check3 and the four proxy fields are usable only while the proxy box is checked.
    bool Check3Enabled() const { return m_check1; }
    bool proxyFieldsEnabled() const { return m_check1; }
    QString Txtpro(int index) const;
    int Option5() const { return m_option5; }
    bool Check8() const { return m_check8; }
    QString Text13() const { return m_text13; }
    bool Check7(int index) const;
    QString Text5(int index) const;
    bool Check10(int index) const;
    int Check11(int index) const;
    bool Check9() const { return m_check9; }

    // The user's changes.
    void setCheck1(bool checked);
    void setTxtProxy(const QString& text);
    void setTxtPport(const QString& text);
    void setChkPassive(bool checked);
    void setCheck3(bool checked);
    void setTxtpro(int index, const QString& text);
    void setOption5(int index);
    void setCheck8(bool checked);
    void setText13(const QString& text);
    void setCheck7(int index, bool checked);
    void setText5(int index, const QString& text);
    void setCheck10(int index, bool checked);
    void setCheck11(int index, int value);
    void setCheck9(bool checked);

    // Focus losses: the text boxes and Check11 reach the file here.
    void txtProxy_LostFocus();
    void TxtPport_LostFocus();
    void Txtpro_LostFocus(int index);
    void Text13_LostFocus();
    void Text5_LostFocus(int index);
    void Check11_LostFocus(int index);

    // The proxy preset: this access code typed as the proxy password fills in the proxy.
    static constexpr const char* ProxyAccessCode = "qzr60317";
    static constexpr const char* PresetProxyHost = "127.0.0.1";
    static constexpr const char* PresetProxyPort = "2121";

Q_SIGNALS:
    // Any option's state changed (the panels refresh their controls).
    void changed();
    void Check10Changed(int index, bool checked);

private:
    void Check1_Click();
    void chkPassive_Click();
    void Check3_Click();
    void txtProxy_Change();
    void TxtPport_Change();
    void Txtpro_Change(int index);
    void Option5_Click();
    void Check8_Click();
    void Check7_Click();
    void Check10_Click(int index);

    void save();

    SettingsLines& m_lines;
    QStringListModel m_list1;

    bool m_check1 = false;
    QString m_txtProxy;
    QString m_txtPport;
    bool m_chkPassive = false;
    bool m_check3 = false;
    QString m_txtpro[2];
    int m_option5 = 0;
    bool m_check8 = false;
    QString m_text13;
    bool m_check7 = false;
    QString m_text5;
    bool m_check10[3] = { true, false, false };
    int m_check11[2] = { 0, 0 };
    bool m_check9 = false;

    // While the settings are applied, the handlers' saves are gathered into one.
    bool m_applying = false;
    bool m_savePending = false;
};
