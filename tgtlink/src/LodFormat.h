#pragma once

#include <QByteArray>
#include <QtGlobal>

// RAM-run image files: a 32-byte header (magic, version, connection kind, chip id, payload length and CRC,
// header CRC) followed by the payload.
namespace LodFormat {

constexpr int HeaderSize = 32;
constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

QByteArray encode(quint32 kind, quint32 chipId, const QByteArray &payload);
bool decode(const QByteArray &bytes, quint32 &kind, quint32 &chipId, QByteArray &payload);

} // namespace LodFormat
