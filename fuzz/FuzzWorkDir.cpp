#include "FuzzWorkDir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace FuzzWorkDir {

QString dir()
{
    static QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/doverariz-fuzz-XXXXXX"));
    return scratch.path();
}

QString path(const QString &name)
{
    return dir() + QLatin1Char('/') + name;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace FuzzWorkDir
