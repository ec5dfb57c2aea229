#include "config/BuildInfo.h"

#include "BuildId.h"

#include <QCoreApplication>

QString BuildInfo::packageVersion()
{
    return QStringLiteral(DOVERARIZ_PACKAGE_VERSION);
}

QString BuildInfo::buildId()
{
    return QStringLiteral(DOVERARIZ_BUILD_ID);
}

QString BuildInfo::aboutLine()
{
    return QCoreApplication::translate("BuildInfo", "Package %1, build %2").arg(packageVersion(), buildId());
}
