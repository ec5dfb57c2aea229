#include "history/HistoryFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString notRegular(const QString &path, const QString &what)
{
    return QCoreApplication::translate("HistoryFile", "%1 is %2, not a regular file")
        .arg(QDir::toNativeSeparators(path), what);
}

bool open(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *why)
{
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction() || (info.exists() && !info.isFile())) {
        *why = notRegular(path, info.isDir() ? QCoreApplication::translate("HistoryFile", "a directory")
                                             : QCoreApplication::translate("HistoryFile", "a special file"));
        return false;
    }
    file.setFileName(path);
    if (!file.open(mode | QIODevice::Unbuffered)) {
        *why = QCoreApplication::translate("HistoryFile", "%1 cannot be opened: %2")
                   .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

} // namespace

bool HistoryFile::exists(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

bool HistoryFile::openForReading(QFile &file, const QString &path, QString *why)
{
    return open(file, path, QIODevice::ReadOnly, why);
}

bool HistoryFile::openForAppend(QFile &file, const QString &path, QString *why)
{
    return open(file, path, QIODevice::ReadWrite | QIODevice::Append, why);
}
