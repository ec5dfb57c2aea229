#pragma once

#include <QByteArray>
#include <QtGlobal>

// CRC-32 (IEEE, reflected) used by every checksum of the bench formats.
quint32 tgtCrc32(const char *data, qsizetype size, quint32 crc = 0);
inline quint32 tgtCrc32(const QByteArray &data)
{
    return tgtCrc32(data.constData(), data.size());
}
