#include "core/sitetools/linkscan.h"
#include "support/texttable.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The page reading of the link checker over fragments of real home pages.
class TestLinkScan : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // links: the values in the order found, " ; " between; first: start+length of the first.
    void pageLinks_data()
    {
        TextTable::rows({ u"page"_s, u"links"_s, u"first"_s }, R"(
src before href     | <a href="a.html"><img src="b.gif"></a>                      | b.gif ; a.html | 27+5
any case            | <A HREF="Up.HTML">                                          | Up.HTML        | 9+7
href in prose       | <p>the href attribute names "x"</p>                          | |
comment hides link  | <!-- <a href="old.html"> --><a href="new.html">              | new.html | 37+8
open comment to end | <a href="a.html"><!-- <a href="b.html">                      | a.html   | 9+6
script keeps its comment opener | <script>if (a <!--b) go('<a href="s.html">');</script><a href="t.html"><!--x--> | s.html ; t.html | 34+6
style keeps its comment opener | <style>/* <!-- */ p{background:url(bg.gif)}</style><!-- <img src="gone.gif"> --> | bg.gif | 35+6
url with quotes     | body { background: URL( 'a b.gif' ) }                       | a b.gif  | 25+7
quot entities       | 日本<a href=&quot;q.html&quot;>q</a>                         | q.html   | 16+6
mailto              | <a href="mailto:me@example.jp">mail</a>                     | |
empty value         | <a href="">top</a><a href=" ">x</a>                          | |
single and unquoted | <img src='s.gif'><a href=u.html>u</a>                       | s.gif ; u.html | 10+5
srcset is no src    | <img srcset="x.gif 2x">                                     | |
line break in tag   | <a\nhref\n=\n"n.html">                                      | n.html | 11+6
)");
    }
    void pageLinks()
    {
        QFETCH(QString, page);
        QFETCH(QString, links);
        QFETCH(QString, first);
        const QList<LinkScan::PageLink> found = LinkScan::pageLinks(page);
        QStringList values;
        for (const LinkScan::PageLink& l : found)
            values << l.value;
        QCOMPARE(values.join(u" ; "_s), links);
        if (!found.isEmpty()) {
            QCOMPARE(u"%1+%2"_s.arg(found.first().start).arg(found.first().length), first);
            QCOMPARE(page.mid(found.first().start, found.first().length).remove(u"&quot;"_s), values.first());
        }
        QCOMPARE(LinkScan::BlankOutComments(page).size(), page.size());
    }

    void resolveLink_data()
    {
        TextTable::rows({ u"base"_s, u"link"_s, u"path"_s, u"anchor"_s }, R"(
same folder        | /s/d  | a.html              | /s/d/a.html    |
dot slashes        | /s/d  | ./img/./a.gif       | /s/d/img/a.gif |
two folders up     | /s/d/e | ../../a.html       | /s/a.html      |
above the root     | /s    | ../../../a.html     | /a.html        |
utf-8 escapes      | /s    | %E3%81%82.html      | /s/あ.html     |
blank escape       | /s    | a%20b.html          | /s/a b.html    |
cp932 escapes      | /s    | %82%A0/%83e.html    | /s/あ/テ.html  |
query cut          | /s    | a.html?x=1&y=%41    | /s/a.html      |
anchor of a page   | /s    | sub/b.html\x23Sec%201  | /s/sub/b.html  | Sec 1
anchor of the page | /s    | \x23top                |                | top
backslashes        | /s    | img\\a.gif          | /s/img/a.gif   |
lone percent       | /s    | 100%.html           | /s/100%.html   |
root-relative      | /s    | /img/a.gif          | /s/img/a.gif   |
amp entity         | /s    | a&amp;b.html        | /s/a&b.html    |
nul escape         | /s    | a%00.html           | /s/a%00.html   |
)");
    }
    void resolveLink()
    {
        QFETCH(QString, base);
        QFETCH(QString, link);
        QFETCH(QString, path);
        QFETCH(QString, anchor);
        const LinkScan::Target t = LinkScan::resolveLink(base, link);
        QCOMPARE(t.path, path);
        QCOMPARE(t.anchor, anchor);
    }

    void hasAnchor_data()
    {
        TextTable::rows({ u"page"_s, u"name"_s, u"found"_s }, R"(
a name             | <p><a name="top"></a>          | top | yes
blanks and case    | <A NAME = "Top">               | top | yes
unquoted name      | <a name=top>                   | top | yes
id of a heading    | <h2 class="x" id='sec'>        | sec | yes
in a comment       | <!-- <a name="old"> -->        | old | no
name of a div      | <div name="x">                 | x   | no
link to it         | <a href="\x23top">                | top | no
longer name        | <a name="topper">              | top | no
after an empty one | <a id="" name="z">             | z   | yes
)");
    }
    void hasAnchor()
    {
        QFETCH(QString, page);
        QFETCH(QString, name);
        QFETCH(QString, found);
        QCOMPARE(LinkScan::hasAnchor(page, name), found == u"yes");
    }

    void schemes()
    {
        for (const QString& link : { u"http://a/b"_s, u"HTTPS://a"_s, u"//cdn.example.jp/x.js"_s })
            QVERIFY2(LinkScan::isWebLink(link), qPrintable(link));
        for (const QString& link : { u"javascript:go('http://a')"_s, u"ftp://a/b"_s })
            QVERIFY2(LinkScan::hasScheme(link) && !LinkScan::isWebLink(link), qPrintable(link));
        for (const QString& link : { u"http_notes.html"_s, u"c:/site/a.html"_s, u"a.html?u=x:y"_s })
            QVERIFY2(!LinkScan::hasScheme(link) && !LinkScan::isWebLink(link), qPrintable(link));
    }
};

QTEST_GUILESS_MAIN(TestLinkScan)
#include "tst_linkscan.moc"
