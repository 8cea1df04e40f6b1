// The Japanese text converters against glibc's iconv command on the same 100 MB file, file to
// file, best of three each. Prints the speed ratio: above 1 means the converter is faster.
#include "core/app/codepage.h"
#include "core/transfer/textconvert.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

constexpr qint64 TargetBytes = 100 * 1000 * 1000;

QByteArray sampleText()
{
    const QString text
        = QStringLiteral("<p>本日は晴天なり。ホームページの更新情報をお知らせします。新しい写真を掲載しました。</p>\r\n"
                         "<a href=\"news/2026/index.html\">最新ニュース一覧へ</a> | <a "
                         "href=\"mailto:info@example.jp\">お問い合わせ</a>\r\n"
                         "ｶﾀｶﾅのお知らせ：ｾｰﾙ開催中！ 価格は￥１，９８０（税込）です。\r\n"
                         "\r\n"
                         "東京都千代田区丸の内一丁目　電話 03-1234-5678 （受付時間　午前９時～午後５時）\r\n"
                         "Last modified: 2026/12/06 21:00 JST -- counter: 123456\r\n"
                         "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所"
                         "でニャーニャー泣いていた事だけは記憶している。\r\n");
    return Cp932::encode(text);
}

bool writeSample(const QString& path)
{
    const QByteArray chunk = sampleText();
    QByteArray block;
    while (block.size() < 1024 * 1024)
        block += chunk;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    qint64 written = 0;
    while (written < TargetBytes) {
        const qint64 n = qMin<qint64>(block.size(), TargetBytes - written);
        if (f.write(block.constData(), n) != n)
            return false;
        written += n;
    }
    return true;
}

double bestOf3(const std::function<bool()>& run)
{
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (!run())
            return -1;
        best = qMin(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

bool iconvFile(const char* from, const char* to, const QString& in, const QString& out)
{
    QProcess p;
    p.start(QStringLiteral("iconv"),
        { QStringLiteral("-f"), QLatin1String(from), QStringLiteral("-t"), QLatin1String(to), QStringLiteral("-o"), out,
            in });
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString sjis = dir.filePath(QStringLiteral("sjis.txt"));
    const QString euc = dir.filePath(QStringLiteral("euc.txt"));
    const QString back = dir.filePath(QStringLiteral("back.txt"));
    const QString other = dir.filePath(QStringLiteral("iconv.txt"));
    if (!dir.isValid() || !writeSample(sjis)) {
        std::fprintf(stderr, "cannot write the sample file\n");
        return 1;
    }

    const double ours1 = bestOf3([&] { return TextConvert::SjisFileToEuc(sjis, euc); });
    const double theirs1 = bestOf3([&] { return iconvFile("CP932", "EUC-JP", sjis, other); });
    const double ours2 = bestOf3([&] { return TextConvert::EucFileToSjis(euc, back); });
    const double theirs2 = bestOf3([&] { return iconvFile("EUC-JP", "CP932", euc, other); });
    if (ours1 < 0 || theirs1 < 0 || ours2 < 0 || theirs2 < 0) {
        std::fprintf(stderr, "a conversion failed\n");
        return 1;
    }
    std::printf("sjis_to_euc_seconds: %.3f (iconv %.3f)\n", ours1, theirs1);
    std::printf("euc_to_sjis_seconds: %.3f (iconv %.3f)\n", ours2, theirs2);
    std::printf("sjis_to_euc_vs_iconv: %.2f\n", theirs1 / ours1);
    std::printf("euc_to_sjis_vs_iconv: %.2f\n", theirs2 / ours2);
    return 0;
}
