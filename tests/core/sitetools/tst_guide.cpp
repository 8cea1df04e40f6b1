#include "core/app/appstate.h"
#include "core/app/datafolder.h"
#include "core/app/guide.h"
#include "core/app/statuslines.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/linkexclusions.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString guideFolder() { return QDir::cleanPath(QStringLiteral(FTPTARVO_TEST_SUPPORT_DIR) + u"/../../docs"_s); }

QStringList guidePages()
{
    QStringList pages;
    const QDir dir(guideFolder());
    for (const QString& name : dir.entryList({ u"*.html"_s }, QDir::Files, QDir::Name))
        pages << dir.filePath(name);
    return pages;
}

// Elements that have no end tag.
const QSet<QString> VoidElements { u"area"_s, u"base"_s, u"br"_s, u"col"_s, u"embed"_s, u"hr"_s, u"img"_s, u"input"_s,
    u"link"_s, u"meta"_s, u"source"_s, u"track"_s, u"wbr"_s };

// What a simple reading finds wrong with a page: the first fault, or empty. Comments are skipped;
// every non-void element must be closed in order.
QString htmlFault(const QString& text)
{
    if (!text.startsWith(u"<!DOCTYPE html>"_s))
        return u"does not begin with <!DOCTYPE html>"_s;
    static const QRegularExpression tag(
        u"<!--.*?-->|<(/?)([A-Za-z][A-Za-z0-9]*)([^>]*)>"_s, QRegularExpression::DotMatchesEverythingOption);
    QStringList open;
    QSet<QString> seen;
    auto it = tag.globalMatch(text, 15);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(2).isEmpty())
            continue;
        const QString name = m.captured(2).toLower();
        const bool closing = !m.captured(1).isEmpty();
        seen.insert(name);
        if (closing) {
            if (open.isEmpty() || open.last() != name)
                return u"</%1> closes <%2>"_s.arg(name, open.value(open.size() - 1));
            open.removeLast();
        } else if (!VoidElements.contains(name) && !m.captured(3).endsWith(u'/')) {
            open << name;
        }
        const QString attributes = m.captured(3);
        if (attributes.contains(u"://"_s) || attributes.contains(u"=\"//"_s))
            return u"<%1> refers outside the guide: %2"_s.arg(name, attributes.trimmed());
    }
    if (!open.isEmpty())
        return u"unclosed <%1>"_s.arg(open.join(u"> <"_s));
    for (const char* needed : { "html", "head", "title", "body", "meta" }) {
        if (!seen.contains(QLatin1String(needed)))
            return u"no <%1>"_s.arg(QLatin1String(needed));
    }
    if (!text.contains(u"<html lang=\"ja\">"_s))
        return u"no <html lang=\"ja\">"_s;
    if (!text.contains(u"<meta charset=\"utf-8\">"_s))
        return u"no <meta charset=\"utf-8\">"_s;
    return QString();
}

} // namespace

// The user guide shipped with the program, and where the program looks for it.
class TestGuide : public QObject {
    Q_OBJECT
    QTemporaryDir m_data;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("FTPTARVO_HOME", m_data.path().toUtf8());
        DataFolder::reset();
        QVERIFY(QFile::exists(guideFolder() + u"/index.html"_s));
    }

    void everyPageIsWellFormed_data()
    {
        QTest::addColumn<QString>("path");
        const QStringList pages = guidePages();
        for (const QString& page : pages)
            QTest::newRow(qPrintable(QFileInfo(page).fileName())) << page;
    }
    void everyPageIsWellFormed()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QString text = QString::fromUtf8(bytes);
        QCOMPARE(text.toUtf8(), bytes); // valid UTF-8
        const QString fault = htmlFault(text);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // The program's own link checker reads every page: no link of the guide may be broken, and
    // the index reaches every page.
    void linksAreWhole()
    {
        AppState state;
        SettingsLines lines;
        Options options { lines };
        options.setSkipExternalLinks(true);
        StatusLines status;
        LinkExclusions exclusions(m_data.filePath(u"link.txt"_s));
        ScriptedDialogs dialogs;
        LinkChecker checker(state, options, status, exclusions, &dialogs);
        const QStringList pages = guidePages();
        QVERIFY(pages.size() > 10);
        QVERIFY(checker.checkLocalPages(pages));
        const QStringList report = checker.report()->stringList();
        QStringList broken;
        QSet<QString> fromIndex;
        QString page;
        for (const QString& line : report) {
            if (line.startsWith(u"---"_s))
                page = line;
            if (line.startsWith(u"NG-"_s))
                broken << page + u' ' + line;
            if (line.startsWith(u"OK-"_s) && page.contains(u"/index.html"_s))
                fromIndex.insert(line.mid(3).section(u'#', 0, 0));
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(u'\n')));
        QVERIFY(report.count(u"OK-style.css"_s) >= pages.size());
        for (const QString& p : pages) {
            const QString name = QFileInfo(p).fileName();
            QVERIFY2(name == u"index.html"_s || fromIndex.contains(name), qPrintable(name + u" is not in the index"_s));
        }
    }

    void findsTheFirstGuideThatExists_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the data folder's own page wins")
            << QStringList { u"data/ftpindex.html"_s, u"installed/index.html"_s, u"source/index.html"_s }
            << u"data/ftpindex.html"_s;
        QTest::newRow("installed before the source tree")
            << QStringList { u"installed/index.html"_s, u"source/index.html"_s } << u"installed/index.html"_s;
        QTest::newRow("the source tree when nothing is installed")
            << QStringList { u"source/index.html"_s } << u"source/index.html"_s;
        QTest::newRow("an index.html in the data folder is not the guide")
            << QStringList { u"data/index.html"_s, u"source/index.html"_s } << u"source/index.html"_s;
        QTest::newRow("a folder of the name is no page")
            << QStringList { u"data/ftpindex.html/"_s, u"installed/index.html/"_s } << QString();
        QTest::newRow("nothing") << QStringList {} << QString();
    }
    void findsTheFirstGuideThatExists()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        for (const QString& p : present) {
            const QString path = dir.filePath(p);
            if (p.endsWith(u'/')) {
                QVERIFY(QDir().mkpath(path));
                continue;
            }
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString found = Guide::findIndexPage(
            dir.filePath(u"data"_s), { QString(), dir.filePath(u"installed"_s), dir.filePath(u"source"_s) });
        QCOMPARE(found, expected.isEmpty() ? QString() : dir.filePath(expected));
    }
};

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"
