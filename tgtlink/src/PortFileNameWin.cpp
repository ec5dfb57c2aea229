#include "PortFileName.h"

namespace {
const QString Prefix = QStringLiteral("port.");
} // namespace

QString PortFileName::of(const QString &port)
{
    return Prefix + port;
}

QString PortFileName::portOf(const QString &fileName)
{
    return fileName.startsWith(Prefix) ? fileName.mid(Prefix.size()) : QString();
}
