#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The rename of `path` made durable.
bool syncDirectory(const QString &path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}
} // namespace

bool AtomicFile::replace(const QString &path, const QByteArray &bytes)
{
    // Like QSettings itself, a missing folder (cfg/ on a first run) is created.
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // A new file beside the old one, flushed once (the save-file class would flush it a second time), then renamed
    // over it.
    QFile file;
    for (int attempt = 0; attempt < 8 && !file.isOpen(); ++attempt) {
        file.setFileName(
            path + QStringLiteral(".new-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    if (!file.isOpen())
        return false;
    const QString temporary = file.fileName();
    const QFileInfo old(path);
    bool ok =
        (!old.exists() || file.setPermissions(old.permissions())) && file.write(bytes) == bytes.size() && file.flush();
    if (ok) {
        int rc;
        do {
            rc = ::fsync(file.handle());
        } while (rc != 0 && errno == EINTR);
        ok = rc == 0;
    }
    file.close();
    ok = ok && file.error() == QFileDevice::NoError &&
         ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        QFile::remove(temporary);
        return false;
    }
    return syncDirectory(path);
}
