#include "config/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString &overrideDir()
{
    static QString dir;
    return dir;
}
} // namespace

QString AppPaths::appDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    return QCoreApplication::applicationDirPath();
}

QString AppPaths::filePath(const QString &relative)
{
    return QDir(appDir()).filePath(relative);
}

void AppPaths::setAppDirForTesting(const QString &dir)
{
    overrideDir() = dir;
}
