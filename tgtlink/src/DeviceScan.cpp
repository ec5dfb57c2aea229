#include "tgtlink/DeviceScan.h"

#include "TextIn.h"
#include "tgtlink/DeviceBackend.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/tgtlink_backend.h"

namespace {

QStringList scan(unsigned kind, const QStringList &exclude)
{
    const tgtlink_backend_functions *f = DeviceBackend::functions();
    if (!f)
        return {};
    const QByteArray excluded = exclude.join(QLatin1Char('\n')).toUtf8();
    std::string text;
    if (TextIn::read(text, [&](char *buffer, size_t size, size_t *length) {
            return f->scan(kind, excluded.constData(), buffer, size, length);
        }) != 0)
        return {};
    QStringList ports = QString::fromStdString(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ports.sort(Qt::CaseSensitive);
    return ports;
}

} // namespace

QStringList UsbDeviceScan()
{
    return scan(TGT_CONN_USB, {});
}

QStringList SerialDeviceScan(const QStringList &exclude)
{
    return scan(TGT_CONN_SERIAL, exclude);
}

QStringList DebugHostDeviceScan(const QStringList &exclude)
{
    return scan(TGT_CONN_DEBUG_HOST, exclude);
}
