#pragma once

#include <QList>
#include <QString>

// The certificates the user accepted although they failed verification: one line
// "host fingerprint" each (fingerprint as SHA-256 hex pairs separated by ":"), in a text file
// written with mode 0600. A file that cannot be read counts as empty; garbage lines are skipped.
class KnownCertificates {
public:
    explicit KnownCertificates(QString path)
        : m_path(std::move(path))
    {
    }

    bool contains(const QString& host, const QString& fingerprint) const;
    // The fingerprint accepted last for the host, empty when none was.
    QString lastFor(const QString& host) const;
    // Adds the pair unless it is there; false when the file cannot be written.
    bool add(const QString& host, const QString& fingerprint);

private:
    QList<QByteArray> lines() const;

    QString m_path;
};
