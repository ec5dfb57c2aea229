#include "BenchPaths.h"

#include "PortFileName.h"

#include "tgtlink/TargetConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace BenchPaths {

QString benchDir()
{
    const QString fromEnv = qEnvironmentVariable("TGTLINK_BENCH");
    if (!fromEnv.isEmpty())
        return QDir::cleanPath(fromEnv);
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/bench"));
}

QString kindFolder(unsigned kind)
{
    switch (kind) {
    case TGT_CONN_USB:
        return QStringLiteral("usb");
    case TGT_CONN_SERIAL:
        return QStringLiteral("com");
    case TGT_CONN_DEBUG_HOST:
        return QStringLiteral("dbg");
    default:
        return QString();
    }
}

unsigned kindFromFolder(const QString &folder)
{
    for (unsigned kind : {TGT_CONN_USB, TGT_CONN_SERIAL, TGT_CONN_DEBUG_HOST}) {
        if (kindFolder(kind) == folder)
            return kind;
    }
    return 0;
}

QString imagePath(unsigned kind, const QString &port)
{
    return benchDir() + QLatin1Char('/') + kindFolder(kind) + QLatin1Char('/') + PortFileName::of(port);
}

QString sideDir()
{
    return benchDir() + QStringLiteral("/.side");
}

QString sidePath(const QString &port, const QString &suffix)
{
    return sideDir() + QLatin1Char('/') + PortFileName::of(port) + suffix;
}

bool isValidPortName(const QString &port)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_-]{1,32}$"));
    return re.match(port).hasMatch();
}

bool locate(const QString &port, unsigned &kind, QString &path)
{
    if (!isValidPortName(port))
        return false;
    for (unsigned k : {TGT_CONN_USB, TGT_CONN_SERIAL, TGT_CONN_DEBUG_HOST}) {
        const QString candidate = imagePath(k, port);
        if (QFileInfo(candidate).isFile()) {
            kind = k;
            path = candidate;
            return true;
        }
    }
    return false;
}

QStringList portsIn(unsigned kind)
{
    const QString folder = kindFolder(kind);
    if (folder.isEmpty())
        return {};
    QStringList names;
    for (const QString &name :
         QDir(benchDir() + QLatin1Char('/') + folder).entryList(QDir::Files | QDir::NoDotAndDotDot)) {
        const QString port = PortFileName::portOf(name);
        if (isValidPortName(port))
            names.append(port);
    }
    names.sort(Qt::CaseSensitive);
    return names;
}

} // namespace BenchPaths
