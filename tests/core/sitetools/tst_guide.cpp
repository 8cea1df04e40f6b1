// The user guide shipped with the program, and where the program looks for it.
#include "core/app/appstate.h"
#include "core/app/datafolder.h"
#include "core/app/guide.h"
#include "core/app/statuslines.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/linkexclusions.h"
#include "support/scripteddialogs.h"
#include "support/texttable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The first fault a simple reading finds in a page, or "": the heading every page has, no
// reference out of the guide, and every element other than a void one closed in order.
QString htmlFault(const QString& text)
{
    if (!text.startsWith(u"<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">"_s)
        || !text.contains(u"<title>"_s))
        return u"not the heading of a guide page"_s;
    static const QRegularExpression tag(u"<!--.*?-->|<(/?)([a-z][a-z0-9]*)([^>]*)>"_s,
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    static const QStringList voids = u"area base br col embed hr img input link meta source track wbr"_s.split(u' ');
    QStringList open;
    for (auto it = tag.globalMatch(text, 15); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(2).toLower();
        if (m.captured(3).contains(u"://"_s) || m.captured(3).contains(u"=\"//"_s))
            return u"<%1> refers outside the guide"_s.arg(name);
        if (name.isEmpty() || voids.contains(name))
            continue;
        if (m.captured(1).isEmpty())
            open << name;
        else if (open.isEmpty() || open.takeLast() != name)
            return u"</%1> closes another element"_s.arg(name);
    }
    return open.isEmpty() ? QString() : u"unclosed <%1>"_s.arg(open.join(u"> <"_s));
}

} // namespace

class TestGuide : public QObject {
    Q_OBJECT
    QTemporaryDir m_data;

private Q_SLOTS:
    // Every page is well formed UTF-8; the program's own link checker finds every link and picture
    // of every page, the style sheet on each, and every page linked from the index.
    void pages()
    {
        qputenv("FTPTARVO_HOME", m_data.path().toUtf8());
        DataFolder::reset();
        const QDir docs(QDir::cleanPath(QStringLiteral(FTPTARVO_TEST_SUPPORT_DIR) + u"/../../docs"_s));
        QStringList faults, pages, unreached = docs.entryList({ u"*.html"_s }, QDir::Files);
        for (const QString& name : unreached) {
            QFile file(pages.emplaceBack(docs.filePath(name)));
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            const QString text = QString::fromUtf8(bytes);
            const QString fault = text.toUtf8() == bytes ? htmlFault(text) : u"not UTF-8"_s;
            if (!fault.isEmpty())
                faults << name + u": "_s + fault;
        }
        unreached.removeAll(u"index.html"_s);

        AppState state;
        SettingsLines lines;
        Options options { lines };
        options.setSkipExternalLinks(true);
        StatusLines status;
        LinkExclusions exclusions(m_data.filePath(u"link.txt"_s));
        ScriptedDialogs dialogs;
        LinkChecker checker(state, options, status, exclusions, &dialogs);
        QVERIFY(pages.size() > 10 && checker.checkLocalPages(pages));
        QString page;
        for (const QString& line : checker.report()->stringList()) {
            page = line.startsWith(u"---"_s) ? line : page;
            if (line.startsWith(u"NG-"_s))
                faults << page + u' ' + line;
            if (line.startsWith(u"OK-"_s) && page.contains(u"/index.html"_s))
                unreached.removeAll(line.mid(3).section(u'#', 0, 0));
        }
        QCOMPARE(faults.join(u'\n'), QString());
        QCOMPARE(unreached, QStringList());
        QVERIFY(checker.report()->stringList().count(u"OK-style.css"_s) >= pages.size());
    }

    void findsTheFirstGuideThatExists_data()
    {
        // Paths ending in "/" are folders.
        TextTable::rows({ u"present"_s, u"found"_s }, R"(
            the data folder's own page wins | data/ftpindex.html installed/index.html source/index.html | data/ftpindex.html
            installed before the source     | installed/index.html source/index.html                    | installed/index.html
            folders and other names are not | data/ftpindex.html/ data/index.html installed/index.html/ source/index.html | source/index.html
            nothing                         | | -
        )");
    }
    void findsTheFirstGuideThatExists()
    {
        QFETCH(QString, present);
        QFETCH(QString, found);
        QTemporaryDir dir;
        for (const QString& p : present.split(u' ', Qt::SkipEmptyParts)) {
            QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(p)).path()));
            QFile f(dir.filePath(p));
            QVERIFY(p.endsWith(u'/') ? QDir().mkpath(f.fileName()) : f.open(QIODevice::WriteOnly));
        }
        const QString page = Guide::findIndexPage(
            dir.filePath(u"data"_s), { QString(), dir.filePath(u"installed"_s), dir.filePath(u"source"_s) });
        QCOMPARE(page, found == u"-" ? QString() : dir.filePath(found));
    }
};

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"
