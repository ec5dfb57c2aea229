#include "SpecialFiles.h"

#include <QFile>

#include <sys/stat.h>

bool SpecialFiles::makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool SpecialFiles::haveFifos()
{
    return true;
}

bool SpecialFiles::makeLink(const QString &target, const QString &path)
{
    return QFile::link(target, path);
}
