#pragma once

#include <QString>

// The temporary file a download is written to, beside its target, renamed over the target only
// by commit(). Anything else (a failure, a Stop, the destructor) removes it, so the old local
// file stays as it was.
class LocalTempFile {
public:
    LocalTempFile() = default;
    ~LocalTempFile();
    LocalTempFile(const LocalTempFile&) = delete;
    LocalTempFile& operator=(const LocalTempFile&) = delete;

    // Returns an FtpError code (0 on success).
    int create(const QString& target);
    int write(const char* data, qint64 size);
    int commit();
    void discard();

    // The engine's local error code for an errno value.
    static int errorFor(int errnoValue, int fallback);

private:
    QString m_target;
    QByteArray m_tempPath;
    int m_fd = -1;
};
