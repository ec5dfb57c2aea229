#include "LodFormat.h"

#include "ByteCursor.h"
#include "Crc32.h"

namespace LodFormat {

namespace {
const char Magic[8] = {'T', 'G', 'T', 'L', 'O', 'D', 'I', 'M'};
constexpr quint16 Version = 1;
} // namespace

QByteArray encode(quint32 kind, quint32 chipId, const QByteArray &payload)
{
    ByteWriter w;
    w.data().append(Magic, sizeof Magic);
    w.u16(Version);
    w.u16(HeaderSize);
    w.u32(kind);
    w.u32(chipId);
    w.u32(quint32(payload.size()));
    w.u32(tgtCrc32(payload));
    w.u32(tgtCrc32(w.data()));
    return w.data() + payload;
}

bool decode(const QByteArray &bytes, quint32 &kind, quint32 &chipId, QByteArray &payload)
{
    if (bytes.size() < HeaderSize || bytes.size() > MaxFileBytes || !bytes.startsWith(QByteArray(Magic, sizeof Magic)))
        return false;
    ByteReader r(bytes, sizeof Magic);
    const quint16 version = r.u16();
    const quint16 headerSize = r.u16();
    const quint32 k = r.u32();
    const quint32 chip = r.u32();
    const quint32 length = r.u32();
    const quint32 payloadCrc = r.u32();
    const quint32 headerCrc = r.u32();
    if (!r.ok() || version != Version || headerSize != HeaderSize ||
        headerCrc != tgtCrc32(bytes.constData(), HeaderSize - 4) || length != quint32(bytes.size() - HeaderSize))
        return false;
    const QByteArray body = bytes.mid(HeaderSize);
    if (tgtCrc32(body) != payloadCrc)
        return false;
    kind = k;
    chipId = chip;
    payload = body;
    return true;
}

} // namespace LodFormat
