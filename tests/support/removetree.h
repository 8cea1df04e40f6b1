#pragma once

#include <QByteArray>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

// rm -r on bytes: QDir and QTemporaryDir cannot remove names that are not UTF-8 (CP932 ones).
inline void removeTree(const QByteArray& path)
{
    struct stat st { };
    if (::lstat(path.constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = ::opendir(path.constData())) {
            while (dirent* ent = ::readdir(d)) {
                const QByteArray name(ent->d_name);
                if (name != "." && name != "..")
                    removeTree(path + '/' + name);
            }
            ::closedir(d);
        }
        ::rmdir(path.constData());
    } else {
        ::unlink(path.constData());
    }
}
