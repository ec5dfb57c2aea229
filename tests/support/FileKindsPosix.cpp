#include "FileKinds.h"

#include <QFile>

#include <sys/stat.h>

bool FileKinds::makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool FileKinds::haveFifos()
{
    return true;
}

bool FileKinds::makeLink(const QString &target, const QString &path)
{
    return QFile::link(target, path);
}
