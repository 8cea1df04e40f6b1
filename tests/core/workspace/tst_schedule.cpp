// Timed transfers: the record rules in tables (due test with wildcards and both date orders, the
// pieces of a hand-edited schedule, the time boxes), and whole schedules run against pyftpdlib
// with the clock fixed, by the window's runner and by the window-less run alike; the lock.
#include "core/app/textfile.h"
#include "core/workspace/runschedule.h"
#include "core/workspace/schedulerecords.h"
#include "core/workspace/schedulerunner.h"
#include "workspacerig.h"

#include <QLockFile>
#include <QSignalSpy>

using namespace ScheduleRecords;
using Action = ScheduleRecords::Action;

namespace {

// "1" for each done record, "0" for each pending one, in order.
QString marks(const QString& text)
{
    QString out;
    for (const Piece& piece : pieces(text))
        out += piece.done ? u'1' : u'0';
    return out;
}

QString fileText(const QString& path)
{
    const std::optional<QStringList> lines = TextFile::readLines(path);
    return lines ? lines->join(u'\n') : QStringLiteral("(missing)");
}

} // namespace

class TestSchedule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dueTest_data()
    {
        // The clock stands at 2024-03-15 09:05:40. tagged: the time in <Time>, else at the 6th
        // character of a record without one.
        TextTable::rows({ "time", "tagged", "due" }, R"(
an earlier day | 2024-03-14 23:59 | yes | 1
the minute itself | 2024-03-15 09:05 | yes | 1
the next minute | 2024-03-15 09:06 | yes | 0
a later year, earlier month | 2025-01-01 00:00 | yes | 0
an earlier year, later month | 2023-12-31 23:59 | yes | 1
any day, the hour passed | ****-**-** 08:30 | yes | 1
any day, the hour to come | ****-**-** 09:30 | yes | 0
any minute of this hour | 2024-03-15 09:** | yes | 1
any minute of the next hour | 2024-03-15 10:** | yes | 0
month first, passed | 03-15-2024 09:00 | yes | 1
month first, tomorrow | 03-16-2024 09:00 | yes | 0
month first, last year's December | 12-31-2023 09:00 | yes | 1
no time tag | 2024-03-15 09:00 | no | 1
no time at all | soon | yes | 0
a short time | 2024-03-15 9:05 | yes | 0
)");
    }
    void dueTest()
    {
        auto [time, tagged, due] = fetch("time", "tagged", "due");
        const QString piece = tagged == u"yes"
            ? recordText("p", time, { "/l/a" }, "/", Action::Upload).mid(OpenTag.size())
            : QStringLiteral("\n    ") + time + QStringLiteral("\n</Session>\n");
        QCOMPARE(isDue(piece, QDateTime(QDate(2024, 3, 15), QTime(9, 5, 40))), due == u"1");
    }

    void pieces_data()
    {
        // Each record as done/profile/action/sources/destinations, records joined by " ; ", none "-".
        TextTable::rows({ "text", "records" }, R"(
one record | <Session>\n <Provider>a b</Provider>\n <From>/l/x</From>\n <To>/s</To>\n <From>/l/y</From>\n <To>/s</To>\n <Action>Upload</Action>\n</Session>\n | 0/a b/Upload/x y//s /s
a done record after a pending one | <Session><Provider>a</Provider><From>/l/x</From><To>/</To><Action>Download</Action></Session>\n<Session End><Provider>b</Provider><From>/l/z</From><To>/</To><Action>Upload</Action></Session> | 0/a/Download/x// ; 1/b/Upload/z//
no closing tag runs to the next | <Session><Provider>a</Provider><From>/l/x</From><Session><Provider>b</Provider> | 0/a//x/ ; 0/b///
notes between records are no part | <Session><Provider>a</Provider></Session> note <From>/l/q</From> <Session></Session> | 0/a/// ; 0////
unclosed tags and an unknown action | <Session><Provider>a<From>/l/x <Action>upload</Action></Session> | 0////
empty pieces are left out | <Session>  <Session End>\n\n | -
)");
    }
    void pieces()
    {
        auto [text, records] = fetch("text", "records");
        QStringList out;
        for (const Piece& piece : ScheduleRecords::pieces(text)) {
            QStringList names;
            for (const QString& source : sourcesOf(piece.body))
                names << nameOf(source);
            out << QString("%1/%2/%3/%4/%5")
                       .arg(piece.done ? "1" : "0", profileOf(piece.body), actionName(actionOf(piece.body)),
                           names.join(u' '), destinationsOf(piece.body).join(u' '));
        }
        QCOMPARE(out.isEmpty() ? QString("-") : out.join(" ; "), records);
    }

    void marksAndBoxes()
    {
        const QString a = recordText("a", "2024-03-15 09:00", { "/l/x" }, "/", Action::Upload);
        const QString b = recordText("b", "2024-03-15 09:00", { "/l/y" }, "/", Action::Upload);
        // A record loaded twice is one record: marking it marks both, the other stays.
        const QString text = a + u'\n' + b + u'\n' + a;
        const QString marked = markDone(text, ScheduleRecords::pieces(a).first().body);
        QCOMPARE(marks(marked), "101");
        QVERIFY(hasPending(marked) && !hasPending(markDone(marked, ScheduleRecords::pieces(b).first().body)));
        // Marks are taken over record by record; a record the other text lacks keeps its state.
        QCOMPARE(marks(takeOverMarks(a + b, marked)), "10");

        const QDateTime now(QDate(2024, 3, 5), QTime(7, 4));
        QCOMPARE(timeFromBoxes(timeBoxes(now)), "2024-03-05 07:04");
        QStringList fixed;
        for (const auto& [index, typed] : std::initializer_list<std::pair<int, const char*>> {
                 { 0, " 24 " }, { 0, "2031" }, { 1, "" }, { 2, " 7 " }, { 3, "*" }, { 4, "123" } })
            fixed << fixTimeBox(index, typed, now);
        QCOMPARE(fixed, QStringList({ "2024", "2031", "1", "07", "0*", "123" }));
    }

    void recordsFromSelectionAndFile()
    {
        WorkspaceRig rig;
        QVERIFY(makeEntries(rig.local.path(), { "a.txt", "b.txt", "c.txt", "dir/" }));
        rig.showLocal();
        rig.ws->profiles().setField(0, "site");
        rig.remote().setFolderText("/www");
        ScheduleRunner runner(*rig.ws);
        QSignalSpy changed(&runner, &ScheduleRunner::textChanged);
        QVERIFY(!runner.appendRecordForSelection("2024-03-15 10:00", Action::Upload));
        QVERIFY(rig.selectLocal({ "dir", "c.txt", "a.txt" }));
        QVERIFY(runner.appendRecordForSelection("2024-03-15 10:00", Action::Upload));
        const QString l = rig.local.path();
        const QString record = "<Session>\n   <Provider>site</Provider>\n   <Time>2024-03-15 10:00</Time>\n"
                               "       <From>"
            + l + "/dir</From>\n       <To>/www</To>\n       <From>" + l + "/a.txt</From>\n       <To>/www</To>\n"
            + "       <From>" + l + "/c.txt</From>\n       <To>/www</To>\n     <Action>Upload</Action>\n</Session>\n\n";
        QCOMPARE(runner.text(), record);
        QCOMPARE(changed.size(), 1);

        // Saved in CP932 with CR LF; loading appends after a line end, twice gives every record twice.
        QVERIFY(runner.saveFile());
        QVERIFY(readFile(ScheduleRunner::filePath()).startsWith("<Session>\r\n   <Provider>site</Provider>\r\n"));
        runner.clear();
        QVERIFY(runner.loadFile() && runner.loadFile());
        QCOMPARE(marks(runner.text()), "00");
        QCOMPARE(runner.text().count(l + "/c.txt"), 2);
        QVERIFY(runner.start() && runner.isRunning() && runner.timer().isActive());
        runner.clear();
        QVERIFY(!runner.start() && !runner.isRunning() && !runner.timer().isActive());
    }

    void dueSessionsRunOnce_data()
    {
        QTest::addColumn<bool>("windowLess");
        QTest::newRow("the window's runner") << false;
        QTest::newRow("ftptarvo --run-schedule") << true;
    }
    void dueSessionsRunOnce()
    {
        QFETCH(bool, windowLess);
        FtpServerFixture s(Kind::Pyftpdlib);
        QVERIFY(startServer(s));
        QVERIFY(makeEntries(s.root(), { "up/", "dl/d.txt", "dl/sub/e.txt", "dl/sub/f.txt" }));
        WorkspaceRig rig;
        const QString l = rig.local.path();
        QVERIFY(makeEntries(l, { "a.txt", "b.txt", "c.txt", "f.txt", "x.txt", "fetched/" }));
        rig.setProfile(s);
        rig.ws->profiles().registerProfile();
        QCOMPARE(rig.ws->profiles().profileNames(), QStringList { "test" });

        const QString done = recordText("test", "2024-03-15 08:00", { l + "/x.txt" }, "/up", Action::Upload);
        const QString schedule
            = recordText("test", "2024-03-15 08:10", { l + "/a.txt", l + "/b.txt" }, "/up", Action::Upload)
            + QString(done).replace(OpenTag, DoneTag)
            + recordText("test", "2024-03-15 09:05", { "/dl/d.txt", "/dl/sub" }, l + "/fetched", Action::Download)
            + recordText("test", "****-**-** 08:**", { l + "/c.txt", l + "/missing.txt" }, "/", Action::Upload)
            + recordText("test", "2024-03-15 09:06", { l + "/f.txt" }, "/", Action::Upload)
            + recordText("gone", "2024-03-01 00:00", { l + "/a.txt" }, "/", Action::Upload);
        ScheduleRunner runner(*rig.ws);
        runner.setClock([&rig] { return rig.now; });
        runner.setText(schedule);
        QVERIFY(runner.saveFile());

        // One run of the due sessions, as the window's tick or the command does it.
        auto run = [&](int expectedStatus) {
            QStringList lines;
            if (windowLess) {
                QString out, err;
                QTextStream outStream(&out), errStream(&err);
                const int status = runScheduleOnce(outStream, errStream, [&rig] { return rig.now; });
                if (status != expectedStatus)
                    qWarning("status %d: %s", status, qPrintable(err));
                lines = out.split(u'\n', Qt::SkipEmptyParts);
            } else {
                QList<ScheduleSessionResult> results;
                if (!runner.RunDueSessions(&results))
                    lines << "locked out";
                for (const ScheduleSessionResult& r : results)
                    lines << r.line();
            }
            return lines;
        };

        QCOMPARE(run(1),
            QStringList({ "test Upload 2件 OK", "test Download 3件 OK",
                "test Upload 1件 失敗: 1件のファイルを転送できませんでした。",
                "gone Upload 0件 失敗: プロファイル「gone」は登録されていません。" }));
        // The done record after the first one is not sent with it; the future one waits.
        QCOMPARE(entriesBelow(s.root()),
            QStringList({ "c.txt", "dl/", "dl/d.txt", "dl/sub/", "dl/sub/e.txt", "dl/sub/f.txt", "up/", "up/a.txt",
                "up/b.txt" }));
        QCOMPARE(entriesBelow(l + "/fetched"), QStringList({ "d.txt", "sub/", "sub/e.txt", "sub/f.txt" }));
        QCOMPARE(readFile(l + "/fetched/sub/e.txt"), "dl/sub/e.txt");
        QCOMPARE(marks(fileText(ScheduleRunner::filePath())), "111101");
        if (!windowLess)
            QCOMPARE(marks(runner.text()), "111101");
        QVERIFY(rig.logText().contains("<予約転送失敗>2024-03-15 09:05:03 gone Upload 0件 失敗: "
                                       "プロファイル「gone」は登録されていません。</予約転送失敗>"));
        QCOMPARE(rig.logCount("<予約転送>"), 2);

        // Once: the next tick runs nothing, and a window with the old text takes the file's marks.
        QCOMPARE(run(0), QStringList());
        ScheduleRunner other(*rig.ws);
        other.setClock([&rig] { return rig.now; });
        other.setText(schedule);
        QList<ScheduleSessionResult> none;
        QVERIFY(other.RunDueSessions(&none));
        QVERIFY(none.isEmpty());
        QCOMPARE(marks(other.text()), "111101");

        rig.now = rig.now.addSecs(60);
        QCOMPARE(run(0), QStringList({ "test Upload 1件 OK" }));
        QCOMPARE(readFile(s.root() + "/f.txt"), "f.txt");
        QCOMPARE(marks(fileText(ScheduleRunner::filePath())), "111111");
        QCOMPARE(rig.logCount("</FTP接続開始>"), 4);
    }

    void lockKeepsSecondRunOut()
    {
        WorkspaceRig rig;
        ScheduleRunner runner(*rig.ws);
        runner.setClock([&rig] { return rig.now; });
        runner.setText(recordText("gone", "2024-03-01 00:00", { "/l/a.txt" }, "/", Action::Upload));
        QVERIFY(runner.saveFile());
        const QByteArray saved = readFile(ScheduleRunner::filePath());

        QLockFile held(DataFolder::file("auto.lock"));
        QVERIFY(held.tryLock(0));
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(runScheduleOnce(outStream, errStream, [&rig] { return rig.now; }), 3);
        QVERIFY(out.isEmpty() && err.contains("実行中"));
        QVERIFY(!runner.RunDueSessions());
        runner.onTick();
        QCOMPARE(readFile(ScheduleRunner::filePath()), saved);
        QCOMPARE(marks(runner.text()), "0");

        held.unlock();
        QCOMPARE(runScheduleOnce(outStream, errStream, [&rig] { return rig.now; }), 1);
        QCOMPARE(marks(fileText(ScheduleRunner::filePath())), "1");
    }
};

QTEST_MAIN(TestSchedule)
#include "tst_schedule.moc"
