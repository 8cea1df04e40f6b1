// Timed transfers: the record rules in tables (due test with wildcards and both date orders, the
// pieces of a hand-edited schedule, the time boxes), and whole schedules run against pyftpdlib
// with the clock fixed, by the window's runner and by the window-less run alike; the lock.
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

QString fileMarks() { return marks(QString::fromLatin1(readFile(ScheduleRunner::filePath()))); }

} // namespace

class TestSchedule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dueTest_data()
    {
        // The clock stands at 2024-03-15 09:05:40. tagged: the time in <Time>, else at the 6th
        // character of a record without one.
        TextTable::rows({ "time", "tagged", "due" }, R"(
the minute itself | 2024-03-15 09:05 | yes | 1
the next minute | 2024-03-15 09:06 | yes | 0
an earlier year, later month | 2023-12-31 23:59 | yes | 1
any day, the hour passed | ****-**-** 08:30 | yes | 1
any day, the hour to come | ****-**-** 09:30 | yes | 0
month first, the day passed | 03-15-2024 09:00 | yes | 1
no time tag | 2024-03-15 09:00 | no | 1
no time at all | soon | yes | 0
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
        const QString marked = markDone(a + u'\n' + b + u'\n' + a, ScheduleRecords::pieces(a).first().body);
        QCOMPARE(marks(marked), "101");
        QVERIFY(hasPending(marked) && !hasPending(markDone(marked, ScheduleRecords::pieces(b).first().body)));
        // Marks are taken over record by record; a record the other text lacks keeps its state.
        QCOMPARE(marks(takeOverMarks(a + b, marked)), "10");

        const QDateTime now(QDate(2024, 3, 5), QTime(7, 4));
        QStringList boxes = timeBoxes(now);
        for (const auto& [index, typed] : std::initializer_list<std::pair<int, const char*>> {
                 { 0, " 24 " }, { 1, "" }, { 2, " 7 " }, { 3, "*" }, { 4, "123" } })
            boxes << fixTimeBox(index, typed, now);
        QCOMPARE(
            timeFromBoxes(boxes.mid(0, 5)) + u' ' + timeFromBoxes(boxes.mid(5)), "2024-03-05 07:04 2024-1-07 0*:123");
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
        // In the list's order, whatever the order of the clicks.
        QCOMPARE(runner.text(),
            recordText("site", "2024-03-15 10:00", { l + "/dir", l + "/a.txt", l + "/c.txt" }, "/www", Action::Upload)
                + u'\n');
        QCOMPARE(changed.size(), 1);

        // Saved in CP932 with CR LF; loading appends after a line end, twice gives every record twice.
        QVERIFY(runner.saveFile());
        QVERIFY(readFile(ScheduleRunner::filePath()).startsWith("<Session>\r\n   <Provider>site</Provider>\r\n"));
        runner.clear();
        QVERIFY(runner.loadFile() && runner.loadFile());
        QCOMPARE(marks(runner.text()), "00");
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
    // Due records run once, in order, each marked done in the window and in auto.txt; a done
    // record and a future one wait. Folders count their files; names not found count as failed.
    void dueSessionsRunOnce()
    {
        QFETCH(bool, windowLess);
        FtpServerFixture s(Kind::Pyftpdlib);
        QVERIFY(startServer(s));
        QVERIFY(makeEntries(s.root(), { "up/", "dl/d.txt", "dl/sub/e.txt", "dl/sub/f.txt" }));
        WorkspaceRig rig;
        const QString l = rig.local.path();
        QVERIFY(makeEntries(l, { "a.txt", "tree/t.txt", "c.txt", "f.txt", "x.txt", "fetched/" }));
        rig.setProfile(s);
        rig.ws->profiles().registerProfile();

        const QString done = recordText("test", "2024-03-15 08:00", { l + "/x.txt" }, "/up", Action::Upload);
        const QString schedule
            = recordText("test", "2024-03-15 08:10", { l + "/a.txt", l + "/tree" }, "/up", Action::Upload)
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
        auto run = [&] {
            QString out, err;
            QTextStream outStream(&out), errStream(&err);
            QList<ScheduleSessionResult> results;
            if (windowLess)
                runScheduleOnce(outStream, errStream, [&rig] { return rig.now; });
            else if (!runner.RunDueSessions(&results))
                return QString("locked out");
            for (const ScheduleSessionResult& r : results)
                outStream << r.line() << '\n';
            outStream.flush();
            return QString(out + err).trimmed();
        };

        QCOMPARE(run(),
            "test Upload 2件 OK\ntest Download 3件 OK\ntest Upload 1件 失敗: 1件のファイルを転送できませんでした。\n"
            "gone Upload 0件 失敗: プロファイル「gone」は登録されていません。");
        QCOMPARE(entriesBelow(s.root()).join(u' '),
            "c.txt dl/ dl/d.txt dl/sub/ dl/sub/e.txt dl/sub/f.txt up/ up/a.txt up/tree/ up/tree/t.txt");
        QCOMPARE(entriesBelow(l + "/fetched").join(u' '), "d.txt sub/ sub/e.txt sub/f.txt");
        QCOMPARE(fileMarks(), "111101");
        QCOMPARE(QString("%1 logged, %2 as failed").arg(rig.logCount("<予約転送>")).arg(rig.logCount("<予約転送失敗>")),
            "2 logged, 2 as failed");

        // Once: the next tick runs nothing, and a window with the old text takes the file's marks.
        runner.setText(schedule);
        QCOMPARE(run(), "");
        if (!windowLess)
            QCOMPARE(marks(runner.text()), "111101");
        rig.now = rig.now.addSecs(60);
        QCOMPARE(run(), "test Upload 1件 OK");
        QCOMPARE(readFile(s.root() + "/f.txt"), "f.txt");
        QCOMPARE(fileMarks(), "111111");
    }

    // While another run holds the lock, neither the command nor a window's tick runs or marks.
    void lockKeepsSecondRunOut()
    {
        WorkspaceRig rig;
        ScheduleRunner runner(*rig.ws);
        runner.setClock([&rig] { return rig.now; });
        runner.setText(recordText("gone", "2024-03-01 00:00", { "/l/a.txt" }, "/", Action::Upload));
        QVERIFY(runner.saveFile());
        QLockFile held(DataFolder::file("auto.lock"));
        QVERIFY(held.tryLock(0));
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(runScheduleOnce(outStream, errStream, [&rig] { return rig.now; }), 3);
        QVERIFY(out.isEmpty() && err.contains("実行中"));
        runner.onTick();
        QCOMPARE(fileMarks() + marks(runner.text()), "00");
        held.unlock();
        QCOMPARE(runScheduleOnce(outStream, errStream, [&rig] { return rig.now; }), 1);
        QCOMPARE(fileMarks(), "1");
    }
};

QTEST_MAIN(TestSchedule)
#include "tst_schedule.moc"
