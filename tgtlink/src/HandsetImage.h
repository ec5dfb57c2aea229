#pragma once

#include "HandsetHeader.h"

#include <QByteArray>
#include <QString>

// The on-disk handset image: a 256-byte header with its own checksum, then the factory-data area, then the
// user-data area. The header checksum covers the header only, so factory saves and erases, which write the
// areas in place like flash, never invalidate it.
namespace HandsetImage {

constexpr int HeaderSize = 256;
constexpr quint16 FormatVersion = 1;
constexpr int FlashModelField = 32;
constexpr int VersionField = 64;
constexpr quint32 MinFactoryAreaBytes = 256;
constexpr quint32 MaxFactoryAreaBytes = 1u << 20;
constexpr quint32 MaxUserAreaBytes = 64u << 20;

QByteArray encodeHeader(const HandsetHeader &header);
// TGT_OK or TGT_ERR_BAD_IMAGE.
int decodeHeader(const QByteArray &bytes, HandsetHeader &header);
// Why a header cannot be written; empty when it can.
QString checkHeader(const HandsetHeader &header);

inline qint64 factoryOffset()
{
    return HeaderSize;
}
inline qint64 userOffset(const HandsetHeader &header)
{
    return HeaderSize + qint64(header.factoryAreaBytes);
}
inline qint64 imageSize(const HandsetHeader &header)
{
    return userOffset(header) + header.userAreaBytes;
}

// Reads and checks the header, the file size included. TGT_ERR_NO_DEVICE when the file is gone.
int readHeader(const QString &path, HandsetHeader &header);
int readFactoryArea(const QString &path, const HandsetHeader &header, QByteArray &area);
int readUserArea(const QString &path, const HandsetHeader &header, QByteArray &area);
// Rewrites the header in place.
int writeHeader(const QString &path, const HandsetHeader &header);
// A whole new image, written atomically: the handset appears complete or not at all.
// `userArea` may be empty for an erased one.
int create(const QString &path, const HandsetHeader &header, const QByteArray &factoryArea, const QByteArray &userArea,
           QString *error);

} // namespace HandsetImage
