#include "PortFileName.h"

QString PortFileName::of(const QString &port)
{
    return port;
}

QString PortFileName::portOf(const QString &fileName)
{
    return fileName;
}
