#include "history/HistoryFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString notRegular(const QString &path, const QString &what)
{
    return QCoreApplication::translate("HistoryFile", "%1 is %2, not a regular file")
        .arg(QDir::toNativeSeparators(path), what);
}

QString kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return QCoreApplication::translate("HistoryFile", "a symbolic link");
    if (S_ISDIR(mode))
        return QCoreApplication::translate("HistoryFile", "a directory");
    if (S_ISFIFO(mode))
        return QCoreApplication::translate("HistoryFile", "a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QCoreApplication::translate("HistoryFile", "a device");
    return QCoreApplication::translate("HistoryFile", "a special file");
}

bool open(QFile &file, const QString &path, int flags, QIODevice::OpenMode mode, QString *why)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat before;
    if (::lstat(name.constData(), &before) == 0 && !S_ISREG(before.st_mode)) {
        *why = notRegular(path, kindOf(before.st_mode));
        return false;
    }
    int fd;
    do {
        fd = ::open(name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        *why = error == ELOOP ? notRegular(path, kindOf(S_IFLNK))
                              : QCoreApplication::translate("HistoryFile", "%1 cannot be opened: %2")
                                    .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    // What was opened may have been put there after the look above.
    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        *why = notRegular(path, kindOf(opened.st_mode));
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        *why = QCoreApplication::translate("HistoryFile", "%1 cannot be opened: %2")
                   .arg(QDir::toNativeSeparators(path), file.errorString());
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace

bool HistoryFile::exists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool HistoryFile::openForReading(QFile &file, const QString &path, QString *why)
{
    return open(file, path, O_RDONLY, QIODevice::ReadOnly, why);
}

bool HistoryFile::openForAppend(QFile &file, const QString &path, QString *why)
{
    return open(file, path, O_RDWR | O_APPEND | O_CREAT, QIODevice::ReadWrite | QIODevice::Append, why);
}
