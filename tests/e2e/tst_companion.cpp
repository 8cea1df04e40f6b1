// The program driven over the message bus against pyftpdlib: a companion using ftptarvo-msg on the command
// channel, the editor ending a "jsTarvo" start, ftptarvo-msg on its own, and the window's side of the editor.
#include "../gui/windowtest.h"
#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"
#include "core/workspace/companionlink.h"
#include "gui/panes/viewerpanel.h"
#include "program.h"

#include <atomic>
#include <thread>

namespace {

// ftptarvo-msg main TEXT, answered by the program.
bool command(const QString& text)
{
    QByteArray out;
    return runTool({ u"main"_s, text }, &out) == 0 && out == "0\n";
}

// The editor's WM_SETTEXT from another thread, so that it travels through the socket.
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

} // namespace

class TestCompanion : public QObject {
    Q_OBJECT

    QTemporaryDir m_runtime;
    std::unique_ptr<FtpServerFixture> m_server;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())); // ftptarvo-msg and the program meet here
        m_server = std::make_unique<FtpServerFixture>(FtpServerFixture::Kind::Pyftpdlib);
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }

    void companionDrivesTheProgram()
    {
        const QString pub = m_server->root() + u"/pub/"_s;
        QVERIFY(writeBytes(pub + u"readme.txt"_s, "read me\r\n") && writeBytes(pub + u"docs/old.htm"_s, "<p>old</p>")
            && writeBytes(pub + u"docs/note.txt"_s, "note"));
        QVERIFY(QFile::setPermissions(pub + u"readme.txt"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther)
            && QFile::setPermissions(pub + u"docs"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        Program program;
        QVERIFY(writeBytes(program.data.filePath(u"ftpset.ini"_s),
            SettingsFiles::profileSettings(*m_server, u"Site One"_s, u"pub"_s)));
        const QString work = program.home.filePath(u"work"_s);
        QVERIFY(writeBytes(work + u"/up.txt"_s, "up\r\n"));
        QVERIFY(program.start({ u"<message"_s, u"invisible>"_s }, m_runtime.path()));
        QTRY_VERIFY_WITH_TIMEOUT(MessageBus::readMainHandle() > 0, 20000);
        Listener companion;
        QVERIFY(companion.start());
        QVERIFY(command(u"<mehandle>\r\n%1\r\n</mehandle>"_s.arg(companion.handle)));
        QCOMPARE(companion.next(), u"0x4A <hello>"_s);
        // The profile's name in lower case connects; the lists come a row a line.
        QVERIFY(command(u"<name>site one</name>"_s) && command(u"<ftplist>"_s));
        QCOMPARE(companion.next(30000),
            u"0x4A <ftplist>\\r\\ndocs/           rwx------\\r\\nreadme.txt           rw----r--\\r\\n</ftplist>"_s);
        QVERIFY(command(u"<chdir>%1/</chdir>"_s.arg(work)) && command(u"<locallist>"_s));
        QCOMPARE(companion.next(), u"0x4A <locallist>\\r\\n%1/up.txt\\r\\n</locallist>"_s.arg(work));
        QVERIFY(command(u"<download>readme.txt</download>"_s));
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(work + u"/readme.txt"_s), QByteArray("read me\n"), 15000);
        QVERIFY(command(u"<upload>%1/up.txt</upload>"_s.arg(work)));
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(pub + u"up.txt"_s), QByteArray("up\n"), 15000);
        // The file name stands before the tag.
        QVERIFY(command(u"<ftpchdir>docs\\</ftpchdir>"_s) && command(u"<ftpfilekill>old.htm<ftpfilekill>"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(pub + u"docs/old.htm"_s), 15000);
        QVERIFY(QFile::exists(pub + u"docs/note.txt"_s));
        QVERIFY(command(u"<permit>\r\nnote.txt\r\n640\r\n</permit>"_s));
        QTRY_COMPARE_WITH_TIMEOUT(modeOf(pub + u"docs/note.txt"_s), 0640, 15000);
        // No mode, no command to the server.
        QVERIFY(command(u"<permit>\r\nnote.txt\r\n6; rm\r\n</permit>"_s) && command(u"<return>ping</return>"_s));
        QCOMPARE(companion.next(), u"0x4A ping"_s);
        QVERIFY(!m_server->logText().contains(u"SITE CHMOD 6;"_s));
        QVERIFY(command(u"<end>"_s));
        QCOMPARE(companion.next(), u"0x4A <by>"_s);
        QVERIFY(program.endedCleanly() && !QFile::exists(MessageBus::mainHandleFile()));
    }

    // Started by the editor with its handle, the program sends the editor its own; the editor's end ends
    // it with the exit steps, and the editor is told.
    void editorEndsAJsTarvoStart()
    {
        Listener editor;
        QVERIFY(editor.start());
        Program program;
        QVERIFY(writeBytes(program.data.filePath(u"$temp$.html"_s), "x"));
        QVERIFY(writeBytes(program.home.filePath(u"site/index.html"_s), "<p>top</p>"));
        QVERIFY(program.start(
            { u"jsTarvo%1/site/index.html"_s.arg(program.home.path()), u"handle=%1"_s.arg(editor.handle) },
            m_runtime.path()));
        const QString handshake = editor.next(30000);
        const QString prefix = u"0x0C <mode=sendhandle><handle="_s;
        QVERIFY2(handshake.startsWith(prefix) && handshake.endsWith(u'>'), qPrintable(handshake));
        const QString rb4 = handshake.mid(prefix.size()).chopped(1);
        QVERIFY(rb4.toLongLong() != editor.handle);
        QCOMPARE(runTool({ u"--settext"_s, rb4, u"<mode=sendtext><contents=x>"_s }), 0);
        QCOMPARE(runTool({ u"--settext"_s, rb4, u"<mode=end>"_s }), 0);
        QVERIFY(program.endedCleanly());
        QCOMPARE(editor.next(), u"0x0C <mode=end>"_s);
        QVERIFY(!QFile::exists(program.data.filePath(u"$temp$.html"_s)));
    }

    // ftptarvo-msg on its own: what it prints, and how it ends when nobody is there.
    void toolSendsAndListens()
    {
        Listener listener;
        QVERIFY(listener.start({ u"--count"_s, u"2"_s }));
        const QString handle = QString::number(listener.handle);
        QByteArray answer;
        QCOMPARE(runTool({ handle, u"<ftplist>\r\na\\b\tｱ"_s }, &answer), 0);
        QCOMPARE(answer, QByteArray("0\n"));
        QTemporaryDir files;
        QVERIFY(writeBytes(files.filePath(u"text"_s), Cp932::encode(u"<mode=end>漢字"_s)));
        QCOMPARE(runTool({ u"--settext"_s, u"--file"_s, files.filePath(u"text"_s), handle }), 0);
        QVERIFY(listener.process.waitForFinished(5000) && listener.process.exitCode() == 0);
        QCOMPARE(
            QString::fromUtf8(listener.process.readAll()), u"0x4A <ftplist>\\r\\na\\\\b\\tｱ\n0x0C <mode=end>漢字\n"_s);
        // Nobody under the handle, no program announced, a listener that hears nothing.
        const QList<int> codes { runTool({ handle, u"<end>"_s }), runTool({ u"main"_s, u"<end>"_s }),
            runTool({ u"0"_s, u"<end>"_s }), runTool({ u"--listen"_s, u"--timeout"_s, u"0.3"_s }) };
        QCOMPARE(codes, QList<int>({ 1, 1, 1, 2 }));
    }

    // The window's side, last (its rig moves the bus folder): the command channel shows and hides the window;
    // a server text sent to the editor offers "変更内容の更新"; the editor's text lands in the viewer, its
    // upload on the server.
    void windowShowsTheEditorsTexts()
    {
        QVERIFY(writeBytes(m_server->root() + u"/pub/page.html"_s, "<h1>page</h1>\n"));
        WindowRig rig;
        QVERIFY(rig.useServer(*m_server));
        MainWindow& w = rig.load(u"<message visible>"_s);
        CompanionLink& link = w.workspace().companionLink();
        rig.find<QAction>("mmessage")->trigger();
        QVERIFY(rig.find("Frame21")->isVisible());
        QCOMPARE(MessageBus::SendMessage(link.mainHandle(), MessageBus::WM_COPYDATA, "<invisible>"), 0);
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(MessageBus::SendMessage(link.mainHandle(), MessageBus::WM_COPYDATA, "<visible>"), 0);
        QTRY_VERIFY(w.isVisible());

        MessageListener editor;
        QVERIFY(editor.listen());
        QSignalSpy toEditor(&editor, &MessageListener::messageReceived);
        w.workspace().state().CompanionWindow = editor.handle();
        QTest::mouseClick(rig.button("cmdConnect"), Qt::LeftButton);
        QVERIFY(rig.openFtp(u"/pub"_s));
        ViewerPanel& viewer = w.viewer();
        auto* takeChanges = viewer.findChild<QPushButton*>(u"Command45"_s);
        QVERIFY(!takeChanges->isVisibleTo(&viewer));
        w.workspace().viewServerFile(u"page.html"_s);
        QVERIFY(toEditor.size() == 1 && takeChanges->isVisibleTo(&viewer));
        const qint64 rb4 = link.editorHandle();
        QTest::mouseClick(takeChanges, Qt::LeftButton);
        QCOMPARE(toEditor.size(), 2);
        QCOMPARE(MessageBus::payloadText(toEditor[1][1].toByteArray()), u"<mode=gettext><handle=%1>"_s.arg(rb4));
        QVERIFY(setTextFromOutside(rb4, u"<mode=sendtext><contents=new <b>text</b> = 1>"_s));
        QTRY_COMPARE(viewer.textView()->toPlainText(), u"new <b>text</b> = 1"_s);
        QVERIFY(setTextFromOutside(rb4, u"<mode=upload><path=/pub><name=stored.htm><contents=<p>a > b</p>>"_s));
        QTRY_VERIFY_WITH_TIMEOUT(readBytes(m_server->root() + u"/pub/stored.htm"_s).startsWith("<p>a > b</p>"), 15000);
        QCOMPARE(viewer.nameBox()->text() + viewer.textView()->toPlainText(), u"stored.htm<p>a > b</p>"_s);
        QVERIFY(setTextFromOutside(rb4, u"<mode=end>"_s));
        QTRY_VERIFY(w.isUnloaded());
        QCOMPARE(MessageBus::payloadText(toEditor.last()[1].toByteArray()), u"<mode=end>"_s);
    }
};

QTEST_MAIN(TestCompanion)
#include "tst_companion.moc"
