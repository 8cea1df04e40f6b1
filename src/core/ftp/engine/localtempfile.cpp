#include "core/ftp/engine/localtempfile.h"

#include "core/ftp/ftperrors.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LocalTempFile::~LocalTempFile() { discard(); }

int LocalTempFile::errorFor(int e, int fallback)
{
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return FtpError::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return FtpError::AccessDenied;
    case EEXIST:
        return FtpError::FileExists;
    case ENOSPC:
    case EDQUOT:
        return FtpError::DiskFull;
    case ENAMETOOLONG:
        return FtpError::InvalidName;
    default:
        return fallback;
    }
}

int LocalTempFile::create(const QString& target)
{
    discard();
    m_target = target;
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    QByteArray base = QFile::encodeName(folder + QStringLiteral("/.") + info.fileName());
    if (base.size() - QFile::encodeName(folder).size() > 200)
        base = QFile::encodeName(folder + QStringLiteral("/.ftptarvo"));
    m_tempPath = base + ".part-XXXXXX";
    m_fd = mkostemp(m_tempPath.data(), O_CLOEXEC);
    if (m_fd < 0) {
        const int e = errno;
        m_tempPath.clear();
        return errorFor(e, FtpError::WriteFault);
    }
    // The file gets the mode the target has, else what a new file would get.
    struct stat st;
    const QByteArray targetPath = QFile::encodeName(target);
    if (::stat(targetPath.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(m_fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_fd, 0666 & ~mask);
    }
    return FtpError::None;
}

int LocalTempFile::write(const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errorFor(errno, FtpError::WriteFault);
        }
        data += n;
        size -= n;
    }
    return FtpError::None;
}

int LocalTempFile::commit()
{
    if (m_fd < 0)
        return FtpError::InternalError;
    if (::close(m_fd) != 0) {
        m_fd = -1;
        const int e = errno;
        discard();
        return errorFor(e, FtpError::WriteFault);
    }
    m_fd = -1;
    const QByteArray targetPath = QFile::encodeName(m_target);
    if (::rename(m_tempPath.constData(), targetPath.constData()) != 0) {
        const int e = errno;
        discard();
        return errorFor(e, FtpError::WriteFault);
    }
    m_tempPath.clear();
    return FtpError::None;
}

void LocalTempFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.isEmpty()) {
        ::unlink(m_tempPath.constData());
        m_tempPath.clear();
    }
}
