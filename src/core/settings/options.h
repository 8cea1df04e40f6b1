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
// Control arrays are indexed as on the panels: proxyCredential(0) proxy user, proxyCredential(1) proxy password;
// uploadNameCase(0..2) NORMAL / SMALL / BIG; viewOption(0) hide system files, viewOption(1) no file colours,
// viewOption(2) stop the link check where a link is missing; codeConversion(0) SJIS -> EUC on upload,
// codeConversion(1) EUC -> SJIS on download.
class Options : public QObject {
    Q_OBJECT
public:
    // The indexes of viewOption().
    enum ViewOption { HideSystemFiles = 0, NoFileColours = 1, StopAtMissingLink = 2 };

    explicit Options(SettingsLines& lines, QObject* parent = nullptr);

    SettingsLines& settingsLines() const { return m_lines; }

    // Start-up: ftpset.ini in the data folder is read and applied when it exists; otherwise the
    // default content goes into the list and is applied. A file that exists but cannot be read is
    // renamed aside and the user told (through `dialogs`, may be null), so that the first save
    // cannot overwrite a file that may still hold the user's profiles.
    void loadAtStartUp(Dialogs* dialogs);

    // Sets every option control from the list (an entry present more than once takes its last
    // value) and rebuilds `profileNameModel`. Runs by itself after SettingsLines::LoadSettingsFile.
    void ApplySettings();

    // Writes the present state of one option into the list and saves: 5 file-name case,
    // 6 browse, 7 mail, 8 connection, 9 connection words, 10 hide system files, 11 no colours,
    // 12 link stop; 4 only saves. Other codes do nothing.
    void StoreOption(int code);

    // The profile names in file order.
    QStringListModel* profileNameModel() { return &m_profileNames; }

    bool useProxy() const { return m_useProxy; }
    QString proxyHost() const { return m_proxyHost; }
    QString proxyPort() const { return m_proxyPort; }
    bool passiveMode() const { return m_passiveMode; }
    bool bypassProxyForLocal() const { return m_bypassProxyForLocal; }
    // bypassProxyForLocal and the four proxy fields are usable only while the proxy box is checked.
    bool bypassProxyForLocalEnabled() const { return m_useProxy; }
    bool proxyFieldsEnabled() const { return m_useProxy; }
    QString proxyCredential(int index) const;
    int uploadNameCase() const { return m_uploadNameCase; }
    bool skipExternalLinks() const { return m_skipExternalLinks; }
    QString mailAddress() const { return m_mailAddress; }
    bool useConsoleConnection(int index) const;
    QString consoleProxyText(int index) const;
    bool viewOption(int index) const;
    bool hideSystemFiles() const { return viewOption(HideSystemFiles); }
    bool noFileColours() const { return viewOption(NoFileColours); }
    bool stopAtMissingLink() const { return viewOption(StopAtMissingLink); }
    int codeConversion(int index) const;
    bool sjisToEucOnUpload() const { return codeConversion(0) != 0; }
    bool eucToSjisOnDownload() const { return codeConversion(1) != 0; }
    bool serverTimesAsLocal() const { return m_serverTimesAsLocal; }
    // An upload that replaces a server file goes to a temporary name first and is renamed over
    // the old file when it arrived whole (on by default).
    bool replaceThroughTemporary() const { return m_replaceThroughTemporary; }
    // How many connections a run of many files uses, the pane's own included (1 to 8, default 2;
    // 1 sends everything over the pane's connection).
    int transferConnections() const { return m_transferConnections; }
    static constexpr int MaxTransferConnections = 8;

    // The user's changes.
    void setUseProxy(bool checked);
    void setProxyHost(const QString& text);
    void setProxyPort(const QString& text);
    void setPassiveMode(bool checked);
    void setBypassProxyForLocal(bool checked);
    void setProxyCredential(int index, const QString& text);
    void setUploadNameCase(int index);
    void setSkipExternalLinks(bool checked);
    void setMailAddress(const QString& text);
    void setUseConsoleConnection(int index, bool checked);
    void setConsoleProxyText(int index, const QString& text);
    void setViewOption(int index, bool checked);
    void setCodeConversion(int index, int value);
    void setServerTimesAsLocal(bool checked);
    void setReplaceThroughTemporary(bool checked);
    void setTransferConnections(int count);

    // Focus losses: the text boxes and codeConversion reach the file here.
    void proxyHostEditingFinished();
    void proxyPortEditingFinished();
    void proxyCredentialEditingFinished(int index);
    void mailAddressEditingFinished();
    void consoleProxyTextEditingFinished(int index);
    void codeConversionEditingFinished(int index);

    // The proxy preset: this access code typed as the proxy password fills in the proxy.
    static constexpr const char* ProxyAccessCode = "qzr60317";
    static constexpr const char* PresetProxyHost = "127.0.0.1";
    static constexpr const char* PresetProxyPort = "2121";

Q_SIGNALS:
    // Any option's state changed (the panels refresh their controls).
    void changed();
    void viewOptionChanged(int index, bool checked);

private:
    void onUseProxyChanged();
    void onPassiveModeChanged();
    void onBypassProxyForLocalChanged();
    void onProxyHostChanged();
    void onProxyPortChanged();
    void onProxyCredentialChanged(int index);
    void onUploadNameCaseChanged();
    void onSkipExternalLinksChanged();
    void onUseConsoleConnectionChanged();
    void onViewOptionChanged(int index);

    void save();

    SettingsLines& m_lines;
    QStringListModel m_profileNames;

    bool m_useProxy = false;
    QString m_proxyHost;
    QString m_proxyPort;
    bool m_passiveMode = false;
    bool m_bypassProxyForLocal = false;
    QString m_proxyCredentials[2];
    int m_uploadNameCase = 0;
    bool m_skipExternalLinks = false;
    QString m_mailAddress;
    bool m_useConsoleConnection = false;
    QString m_consoleProxyText;
    bool m_viewOptions[3] = { true, false, false };
    int m_codeConversion[2] = { 0, 0 };
    bool m_serverTimesAsLocal = false;
    bool m_replaceThroughTemporary = true;
    int m_transferConnections = 2;

    // While the settings are applied, the handlers' saves are gathered into one.
    bool m_applying = false;
    bool m_savePending = false;
};
