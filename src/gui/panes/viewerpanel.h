#pragma once

#include "core/panecommands/viewertext.h"
#include "gui/ui/movablepanel.h"

#include <QPixmap>
#include <functional>

class Dialogs;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The viewer `FrmPic`: the text view `textView` with its name box `nameBox`, the picture
// view `pictureView`, and the store button `storeButton`. Its tag says where the shown file lives:
// "LOCAL" (opened from the local list; stored back in the encoding and line ends it was read
// in) or "FTP" (fetched from the server; stored through the transfers).
class ViewerPanel : public MovablePanel {
    Q_OBJECT
public:
    using StoreOnServer = std::function<void(const QString& text, const QString& ftpName)>;

    ViewerPanel(Dialogs& dialogs, QWidget* parent = nullptr);

    void setStoreOnServer(StoreOnServer store) { m_storeOnServer = std::move(store); }

    QString tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

    QLineEdit* nameBox() const { return m_nameBox; }
    QPlainTextEdit* textView() const { return m_textView; }
    QLabel* pictureView() const { return m_pictureView; }
    QPushButton* storeButton() const { return m_storeButton; }

    // A local file in the text view (tag "LOCAL"). False, with a message, when it cannot be read.
    bool showLocalText(const QString& path);
    // A local picture (tag "LOCAL"). False when it is no picture Qt can read.
    bool showLocalPicture(const QString& path);
    // Text fetched from the server (tag "FTP"), stored back under `ftpName`.
    void showServerText(const QString& text, const QString& ftpName);

    // The image viewer's grid and single picture, shown in place of the text and picture views.
    void setPicturePanel(QWidget* pictures) { m_pictures = pictures; }
    void showPicturePanel();

    // A page the link checker reads (no tag: nothing to store back), and a link in it coloured
    // blue when read or red when its target is missing.
    void showCheckedPage(const QString& text);
    void markLink(qsizetype start, qsizetype length, bool found);

    // The store button. True when something was stored.
    bool store();

    // How the shown local file was read, for storing it back.
    const ViewerText& localText() const { return m_local; }
    QString localFolder() const { return m_localFolder; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showTextView();
    void showPicture();

    Dialogs& m_dialogs;
    StoreOnServer m_storeOnServer;
    QString m_tag;
    ViewerText m_local;
    QString m_localFolder;
    QPixmap m_pixmap;
    QLineEdit* m_nameBox;
    QPlainTextEdit* m_textView;
    QLabel* m_pictureView;
    QPushButton* m_storeButton;
    QWidget* m_pictures = nullptr;
};
