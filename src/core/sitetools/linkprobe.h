#pragma once

#include <QNetworkAccessManager>
#include <QUrl>
#include <functional>

// Asks whether a web link answers, for the link checker. Behind an interface so that the checker
// can be pointed at any such component; the program uses NetworkLinkProbe.
class LinkProbe {
public:
    enum class Outcome { Reachable, Unreachable, Stopped };

    virtual ~LinkProbe() = default;

    // Waits for the answer while the event loop runs. `stopRequested` is polled at least every
    // 100 ms; when it answers true the request is dropped and Stopped returned.
    virtual Outcome probe(const QUrl& url, const std::function<bool()>& stopRequested) = 0;
};

// A GET that ends as soon as the final status is known (redirects followed): 2xx and 3xx are
// Reachable; 4xx, 5xx, a network error, a scheme other than http or https, and no answer within
// the time limit are Unreachable. The body is never kept.
class NetworkLinkProbe : public LinkProbe {
public:
    static constexpr int DefaultTimeoutMs = 15000;

    explicit NetworkLinkProbe(int timeoutMs = DefaultTimeoutMs);

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }

    Outcome probe(const QUrl& url, const std::function<bool()>& stopRequested) override;

private:
    QNetworkAccessManager m_manager;
    int m_timeoutMs;
};
