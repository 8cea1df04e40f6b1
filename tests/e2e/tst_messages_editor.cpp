// The editor channel with the companion editor: the handshake of a "jsTarvo" start, a server text
// sent to the editor, and the editor's messages to `RB4` (shown, stored on the server, end), with
// the main window built in this process and a real FTP server.
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/statuslines.h"
#include "core/ftpsession/remotepane.h"
#include "core/link/companionprotocol.h"
#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"
#include "core/workspace/companionlink.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/panes/viewerpanel.h"
#include "support/ftpserverfixture.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <atomic>
#include <thread>

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

// One profile "Site One" for the server, starting in its folder "pub".
QByteArray settingsFor(const FtpServerFixture& server)
{
    return SettingsFiles::profileSettings(server, QStringLiteral("Site One"), QStringLiteral("pub"));
}

// The data, home and message bus folders of one test, set in the environment.
struct TestFolders {
    QTemporaryDir data, home, runtime;

    bool use()
    {
        if (!data.isValid() || !home.isValid() || !runtime.isValid())
            return false;
        qputenv("FTPTARVO_HOME", QFile::encodeName(data.path()));
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        DataFolder::reset();
        return true;
    }
};

// The companion's WM_SETTEXT from another thread, so it travels through RB4's socket.
bool setTextFromOutside(qint64 handle, const QString& text)
{
    std::optional<qint32> answer;
    std::atomic<bool> done { false };
    std::thread sender([&] {
        answer = MessageBus::SendMessage(handle, MessageBus::WM_SETTEXT, Cp932::encode(text));
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    sender.join();
    return answer == 0;
}

QString textOf(const QSignalSpy& spy, qsizetype i)
{
    return spy[i][0].toUInt() == MessageBus::WM_SETTEXT ? MessageBus::payloadText(spy[i][1].toByteArray())
                                                        : QStringLiteral("<not WM_SETTEXT>");
}

} // namespace

class TestMessagesEditor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exchangesTextsWithTheEditor();
    void commandChannelOfAVisibleStart();
};

void TestMessagesEditor::exchangesTextsWithTheEditor()
{
    FtpServerFixture server(FtpServerFixture::Kind::Pyftpdlib);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QString root = server.root();
    QVERIFY(writeBytes(root + QStringLiteral("/pub/page.HTML"), QStringLiteral("<h1>見出し</h1>\n").toUtf8()));
    QVERIFY(writeBytes(root + QStringLiteral("/pub/noext"), "x"));
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(root + QStringLiteral("/pub/photo.jpg")));

    TestFolders folders;
    QVERIFY(folders.use());
    const QTemporaryDir& data = folders.data;
    const QTemporaryDir& home = folders.home;
    QVERIFY(writeBytes(data.filePath(QStringLiteral("ftpset.ini")), settingsFor(server)));
    QVERIFY(writeBytes(home.filePath(QStringLiteral("site/index.html")), "<p>top</p>"));

    MessageListener editor;
    QVERIFY(editor.listen());
    QSignalSpy toEditor(&editor, &MessageListener::messageReceived);

    ScriptedDialogs dialogs;
    MainWindow w;
    w.dialogs().setOverride(&dialogs);
    w.Form_Load(QStringLiteral("jsTarvo%1/site/index.html handle=%2").arg(home.path()).arg(editor.handle()));

    // The handshake names RB4's own handle.
    const qint64 rb4 = w.workspace().companionLink().editorHandle();
    QVERIFY(rb4 > 0 && rb4 != editor.handle());
    QCOMPARE(toEditor.size(), 1);
    QCOMPARE(textOf(toEditor, 0), QStringLiteral("<mode=sendhandle><handle=%1>").arg(rb4));
    QVERIFY(w.workspace().statusLines().stringList().join(u'\n').contains(
        QStringLiteral("GetHandle=%1").arg(editor.handle())));
    // A companion start of the editor channel does not install the command channel.
    QCOMPARE(MessageBus::readMainHandle(), qint64(0));

    w.workspace().profiles().selectProfileRow(0);
    w.workspace().remotePane().ConnectServer();
    QVERIFY2(w.workspace().state().IsConnected, qPrintable(dialogs.texts().join(u'|')));

    ViewerPanel& viewer = w.viewer();
    auto* command45 = viewer.findChild<QPushButton*>(QStringLiteral("Command45"));
    QVERIFY(command45);

    w.workspace().viewServerFile(QStringLiteral("noext"));
    QCOMPARE(toEditor.size(), 1);

    // Without a linked editor the view sends nothing.
    w.workspace().state().CompanionWindow = 0;
    w.workspace().viewServerFile(QStringLiteral("page.HTML"));
    QCOMPARE(toEditor.size(), 1);
    QVERIFY(!command45->isVisibleTo(&viewer));
    QVERIFY(QFile::exists(data.filePath(QStringLiteral("$temp$.HTML"))));
    QCOMPARE(viewer.textView()->toPlainText(), QStringLiteral("<h1>見出し</h1>\n"));
    w.workspace().state().CompanionWindow = editor.handle();

    viewer.textView()->clear();
    w.workspace().viewServerFile(QStringLiteral("page.HTML"));
    QCOMPARE(toEditor.size(), 2);
    QCOMPARE(textOf(toEditor, 1),
        QStringLiteral("<mode=settext><name=page.HTML><local=FTP><path=/pub><handle=%1><contents=<h1>見出し</h1>\n>")
            .arg(rb4));
    QCOMPARE(viewer.tag(), QStringLiteral("FTP"));
    QCOMPARE(viewer.nameBox()->text(), QStringLiteral("page.HTML"));
    QVERIFY(command45->isVisibleTo(&viewer));
    QVERIFY(w.workspace().statusLines().stringList().join(u'\n').contains(QStringLiteral("set text")));

    // A double-click on a file row of the FTP list views it the same way.
    viewer.textView()->clear();
    auto* listView1 = w.findChild<QTreeView*>(QStringLiteral("ListView1"));
    QVERIFY(listView1);
    const QModelIndexList pages = listView1->model()->match(
        listView1->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("page.HTML"), 1, Qt::MatchExactly);
    QCOMPARE(pages.size(), 1);
    Q_EMIT listView1->doubleClicked(pages.first());
    QCOMPARE(toEditor.size(), 3);
    QCOMPARE(viewer.textView()->toPlainText(), QStringLiteral("<h1>見出し</h1>\n"));

    // A picture goes to the picture view, not to the editor.
    w.workspace().viewServerFile(QStringLiteral("photo.jpg"));
    QCOMPARE(toEditor.size(), 3);
    QCOMPARE(viewer.tag(), QStringLiteral("FTP"));
    QCOMPARE(viewer.nameBox()->text(), QStringLiteral("photo.jpg"));
    QVERIFY(viewer.pictureView()->isVisibleTo(&viewer));
    QVERIFY(QFile::exists(data.filePath(QStringLiteral("$temp$.jpg"))));

    QTest::mouseClick(command45, Qt::LeftButton);
    QCOMPARE(toEditor.size(), 4);
    QCOMPARE(textOf(toEditor, 3), QStringLiteral("<mode=gettext><handle=%1>").arg(rb4));

    QVERIFY(setTextFromOutside(rb4, QStringLiteral("<mode=sendtext><contents=new <b>text</b> = 1>")));
    QTRY_COMPARE(viewer.textView()->toPlainText(), QStringLiteral("new <b>text</b> = 1"));
    QVERIFY(setTextFromOutside(rb4, QStringLiteral("<mode=sendtext>")));
    QTRY_COMPARE(viewer.textView()->toPlainText(), QString());

    // The contents run to the last character but one: "<" and ">" reach the server unchanged.
    const QString stored = QStringLiteral("<p>a > b & c < d</p>\n<br>");
    QVERIFY(
        setTextFromOutside(rb4, QStringLiteral("<mode=upload><path=/pub><name=stored.htm><contents=") + stored + u'>'));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(root + QStringLiteral("/pub/stored.htm")), 15000);
    QTRY_COMPARE(QString::fromUtf8(readBytes(root + QStringLiteral("/pub/stored.htm")))
                     .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                     .trimmed(),
        stored);
    QCOMPARE(viewer.nameBox()->text(), QStringLiteral("stored.htm"));

    QVERIFY(setTextFromOutside(rb4, QStringLiteral("<mode=unknown><contents=x>")));
    QVERIFY(!w.isUnloaded());
    QVERIFY(setTextFromOutside(rb4, QStringLiteral("<mode=end>")));
    QTRY_VERIFY(w.isUnloaded());
    // The program's own end message goes to the editor as well.
    QCOMPARE(textOf(toEditor, toEditor.size() - 1), QStringLiteral("<mode=end>"));
    QVERIFY(!QFile::exists(data.filePath(QStringLiteral("$temp$.HTML"))));
}

void TestMessagesEditor::commandChannelOfAVisibleStart()
{
    TestFolders folders;
    QVERIFY(folders.use());

    ScriptedDialogs dialogs;
    MainWindow w;
    w.dialogs().setOverride(&dialogs);
    w.Form_Load(QStringLiteral("<message visible>"));
    CompanionLink& link = w.workspace().companionLink();
    const qint64 handle = link.mainHandle();
    QVERIFY(handle > 0);
    QCOMPARE(readBytes(MessageBus::mainHandleFile()), QByteArray::number(handle) + '\n');
    QVERIFY(w.isVisible());

    // The message panel from its menu item, shown only for this start.
    QAction* mmessage = w.findChild<QAction*>(QStringLiteral("mmessage"));
    QVERIFY(mmessage && mmessage->isVisible() && mmessage->isEnabled());
    mmessage->trigger();
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("Frame21"))->isVisible());

    // Text up to the first NUL; messages sent one after the other are all interpreted in turn.
    QCOMPARE(MessageBus::SendMessage(handle, MessageBus::WM_COPYDATA, QByteArray("<invisible>\0<visible>", 21)),
        std::optional<qint32>(0));
    QTRY_VERIFY(!w.isVisible());
    QCOMPARE(link.lastMessage(), QStringLiteral("<invisible>"));
    QCOMPARE(
        MessageBus::SendMessage(handle, MessageBus::WM_COPYDATA, QByteArray("<visible>")), std::optional<qint32>(0));
    QCOMPARE(
        MessageBus::SendMessage(handle, MessageBus::WM_COPYDATA, QByteArray("<upfile>")), std::optional<qint32>(0));
    QTRY_VERIFY(w.isVisible());
    QTRY_COMPARE(link.lastMessage(), QStringLiteral("<upfile>"));
    QCOMPARE(link.messageLines().stringList(), QStringList { QStringLiteral("<upfile>") });
    QCOMPARE(
        MessageBus::SendMessage(handle, MessageBus::WM_COPYDATA, QByteArray("<invisible>")), std::optional<qint32>(0));
    QTRY_VERIFY(!w.isVisible());
    QCOMPARE(link.messageLines().stringList(), QStringList());
    w.show();
    // Only WM_COPYDATA is the command channel's.
    QCOMPARE(
        MessageBus::SendMessage(handle, MessageBus::WM_SETTEXT, QByteArray("<invisible>")), std::optional<qint32>(0));
    QTest::qWait(50);
    QVERIFY(w.isVisible());

    w.Form_Unload();
    QVERIFY(!QFile::exists(MessageBus::mainHandleFile()));
    QCOMPARE(MessageBus::SendMessage(handle, MessageBus::WM_COPYDATA, QByteArray("<end>")), std::nullopt);
}

QTEST_MAIN(TestMessagesEditor)
#include "tst_messages_editor.moc"
