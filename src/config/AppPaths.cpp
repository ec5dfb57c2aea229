#include "config/AppPaths.h"

#include "config/FileModes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {
QString &overrideDir()
{
    static QString dir;
    return dir;
}

// The data directory an installation names: the variable first (an engineer's choice for one station), then
// the first line of the location file the package puts beside the executable. Relative names resolve against
// the executable's directory. Empty when neither names one. A test's directory ignores the variable, so that a
// station's setting never leads a test to its real histories.
QString namedDataDir(const QString &appDir, bool useVariable)
{
    QString named = useVariable ? qEnvironmentVariable(AppPaths::DataDirVariable).trimmed() : QString();
    if (named.isEmpty()) {
        QFile file(QDir(appDir).filePath(QLatin1String(AppPaths::LocationFileName)));
        if (file.open(QIODevice::ReadOnly))
            named = QString::fromUtf8(file.readLine(4096)).trimmed();
    }
    if (named.isEmpty())
        return QString();
    return QDir::cleanPath(QDir(appDir).absoluteFilePath(named));
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

QString AppPaths::dataDir()
{
    const QString named = namedDataDir(appDir(), overrideDir().isEmpty());
    return named.isEmpty() ? appDir() : named;
}

QString AppPaths::dataFilePath(const QString &relative)
{
    return QDir(dataDir()).filePath(relative);
}

bool AppPaths::hasSeparateDataDir()
{
    return QDir::cleanPath(dataDir()) != QDir::cleanPath(appDir());
}

void AppPaths::applyInstalledLayout()
{
    if (!hasSeparateDataDir())
        return;
    if (qEnvironmentVariableIsEmpty("TGTLINK_BENCH"))
        qputenv("TGTLINK_BENCH", QFile::encodeName(dataFilePath(QStringLiteral("bench"))));
    FileModes::shareNewFilesWithGroup();
}

void AppPaths::setAppDirForTesting(const QString &dir)
{
    overrideDir() = dir;
}
