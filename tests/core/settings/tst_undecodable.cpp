// A settings file with bytes CP932 cannot decode (cut inside a character, or not CP932 at all).
#include "core/app/datafolder.h"
#include "core/settings/options.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace SettingsFiles;

class TestUndecodable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The damaged lines go back byte for byte, nothing spreads into the next line, the file is
    // kept aside and the user is told; what the user changes is stored as usual.
    void damagedLinesStayAsTheyWere()
    {
        QTemporaryDir dir;
        qputenv("FTPTARVO_HOME", dir.path().toUtf8());
        DataFolder::reset();
        const QString ini = dir.filePath("ftpset.ini");
        const QByteArray damaged = cp932Lines({ "<プロキシ名>", "proxy" }) + "</\x83\r\n" + cp932Lines({ "<メール>" })
            + "\xff\xfe mail \x82\r\n" + cp932Lines({ "</メール>", "<パッシブ>", "ON", "</パッシブ>" }) + "\x83";
        QVERIFY(writeBytes(ini, damaged));
        ScriptedDialogs dialogs;
        SettingsLines lines;
        Options options(lines);
        options.loadAtStartUp(&dialogs);
        QVERIFY(options.passiveMode());
        QCOMPARE(dialogs.texts().size(), 1);
        QVERIFY2(dialogs.texts()[0].contains("文字として読めない部分がありました")
                && dialogs.texts()[0].contains(ini + ".unreadable"),
            qPrintable(dialogs.texts()[0]));
        QCOMPARE(readBytes(ini + ".unreadable"), damaged);
        options.setPassiveMode(false);
        QCOMPARE(readBytes(ini), QByteArray(damaged).replace("\r\nON\r\n", "\r\nOFF\r\n") + "\r\n");
        DataFolder::reset();
    }
};

QTEST_GUILESS_MAIN(TestUndecodable)
#include "tst_undecodable.moc"
