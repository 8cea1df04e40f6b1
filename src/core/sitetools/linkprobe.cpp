#include "core/sitetools/linkprobe.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

NetworkLinkProbe::NetworkLinkProbe(int timeoutMs)
    : m_timeoutMs(timeoutMs)
{
}

LinkProbe::Outcome NetworkLinkProbe::probe(const QUrl& url, const std::function<bool()>& stopRequested)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return Outcome::Unreachable;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    QPointer<QNetworkReply> reply = m_manager.get(request);
    reply->setReadBufferSize(64 * 1024);

    int status = 0;
    bool done = false;
    QEventLoop loop;
    // The status of the answer that is not followed further decides; the body is not needed.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool followed = code >= 300 && code < 400 && reply->hasRawHeader("Location");
        if (code > 0 && !followed) {
            status = code;
            done = true;
            loop.quit();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] { reply->readAll(); });
    QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
        if (status == 0)
            status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        done = true;
        loop.quit();
    });
    QTimer tick;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start();

    QElapsedTimer clock;
    clock.start();
    Outcome outcome = Outcome::Unreachable;
    while (true) {
        if (done) {
            outcome = status >= 200 && status < 400 ? Outcome::Reachable : Outcome::Unreachable;
            break;
        }
        if (stopRequested && stopRequested()) {
            outcome = Outcome::Stopped;
            break;
        }
        if (clock.elapsed() >= m_timeoutMs)
            break;
        loop.exec();
    }
    if (reply) {
        reply->disconnect(&loop);
        reply->abort();
        reply->deleteLater();
    }
    return outcome;
}
