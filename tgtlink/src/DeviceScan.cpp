#include "tgtlink/DeviceScan.h"

#include "BenchPaths.h"
#include "FaultStore.h"
#include "HandsetImage.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"

namespace {

bool hidden(const QString &port)
{
    return FaultStore::takeFault(port, QStringLiteral("scan")).has_value();
}

// A serial or debug-host port is listed when its handset answers a probe (a sound header). Excluded names are
// in use elsewhere: they are listed as they are, never opened.
QStringList probeScan(unsigned kind, const QStringList &exclude)
{
    QStringList found;
    for (const QString &port : BenchPaths::portsIn(kind)) {
        if (exclude.contains(port, Qt::CaseSensitive)) {
            found.append(port);
            continue;
        }
        HandsetHeader header;
        if (hidden(port) || HandsetImage::readHeader(BenchPaths::imagePath(kind, port), header) != TGT_OK)
            continue;
        found.append(port);
    }
    return found;
}

} // namespace

QStringList UsbDeviceScan()
{
    QStringList found = BenchPaths::portsIn(TGT_CONN_USB);
    found.removeIf([](const QString &port) { return hidden(port); });
    return found;
}

QStringList SerialDeviceScan(const QStringList &exclude)
{
    return probeScan(TGT_CONN_SERIAL, exclude);
}

QStringList DebugHostDeviceScan(const QStringList &exclude)
{
    return probeScan(TGT_CONN_DEBUG_HOST, exclude);
}
