#include "HandsetImage.h"

#include "ByteCursor.h"
#include "Crc32.h"
#include "tgtlink/TargetError.h"

#include <QFile>
#include <QSaveFile>

namespace HandsetImage {

namespace {

const char Magic[8] = {'T', 'G', 'T', 'H', 'S', 'I', 'M', 'G'};
constexpr int CrcOffset = 12;

bool printable(const QByteArray &s)
{
    for (char c : s) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

QByteArray fixedField(const QByteArray &bytes, int offset, int width, bool &ok)
{
    const QByteArray field = bytes.mid(offset, width);
    const qsizetype end = field.indexOf('\0');
    if (end < 0) { // no terminator: damaged
        ok = false;
        return QByteArray();
    }
    for (qsizetype i = end; i < field.size(); ++i) {
        if (field[i] != '\0')
            ok = false;
    }
    return field.left(end);
}

quint32 headerCrc(QByteArray bytes)
{
    qToLittleEndian<quint32>(0, bytes.data() + CrcOffset);
    return tgtCrc32(bytes);
}

} // namespace

QString checkHeader(const HandsetHeader &h)
{
    if (h.kind < 1 || h.kind > 3)
        return QStringLiteral("unknown connection kind");
    if (h.flashModel.size() >= FlashModelField || !printable(h.flashModel))
        return QStringLiteral("flash model must be at most %1 printable characters").arg(FlashModelField - 1);
    if (h.version.size() >= VersionField || !printable(h.version))
        return QStringLiteral("version must be at most %1 printable characters").arg(VersionField - 1);
    if (h.factoryAreaBytes < MinFactoryAreaBytes || h.factoryAreaBytes > MaxFactoryAreaBytes ||
        h.factoryAreaBytes % 2 != 0)
        return QStringLiteral("factory area must be an even size from %1 to %2 bytes")
            .arg(MinFactoryAreaBytes)
            .arg(MaxFactoryAreaBytes);
    if (h.userAreaBytes > MaxUserAreaBytes)
        return QStringLiteral("user area must be at most %1 bytes").arg(MaxUserAreaBytes);
    return QString();
}

QByteArray encodeHeader(const HandsetHeader &h)
{
    ByteWriter w;
    w.data().append(Magic, sizeof Magic);
    w.u16(FormatVersion);
    w.u16(HeaderSize);
    w.u32(0); // checksum, filled below
    w.u64(h.plugId);
    w.u32(h.chipId);
    w.u32(h.kind);
    w.u32(h.factoryBase);
    w.u32(h.factorySize);
    w.u32(h.userAreaStart);
    w.u32(h.userAreaSize);
    w.u32(h.factoryAreaBytes);
    w.u32(h.userAreaBytes);
    w.fixedString(h.flashModel, FlashModelField);
    w.fixedString(h.version, VersionField);
    QByteArray bytes = w.data();
    bytes.append(QByteArray(HeaderSize - bytes.size(), '\0'));
    qToLittleEndian<quint32>(headerCrc(bytes), bytes.data() + CrcOffset);
    return bytes;
}

int decodeHeader(const QByteArray &bytes, HandsetHeader &h)
{
    if (bytes.size() != HeaderSize || !bytes.startsWith(QByteArray(Magic, sizeof Magic)))
        return TGT_ERR_BAD_IMAGE;
    ByteReader r(bytes, sizeof Magic);
    const quint16 version = r.u16();
    const quint16 size = r.u16();
    const quint32 crc = r.u32();
    if (version != FormatVersion || size != HeaderSize || crc != headerCrc(bytes))
        return TGT_ERR_BAD_IMAGE;
    HandsetHeader out;
    out.plugId = r.u64();
    out.chipId = r.u32();
    out.kind = r.u32();
    out.factoryBase = r.u32();
    out.factorySize = r.u32();
    out.userAreaStart = r.u32();
    out.userAreaSize = r.u32();
    out.factoryAreaBytes = r.u32();
    out.userAreaBytes = r.u32();
    bool ok = r.ok();
    out.flashModel = fixedField(bytes, int(r.pos()), FlashModelField, ok);
    out.version = fixedField(bytes, int(r.pos()) + FlashModelField, VersionField, ok);
    if (!ok || !checkHeader(out).isEmpty())
        return TGT_ERR_BAD_IMAGE;
    h = out;
    return TGT_OK;
}

int readHeader(const QString &path, HandsetHeader &header)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? TGT_ERR_IO : TGT_ERR_NO_DEVICE;
    const QByteArray bytes = file.read(HeaderSize);
    HandsetHeader h;
    if (decodeHeader(bytes, h) != TGT_OK || file.size() != imageSize(h))
        return TGT_ERR_BAD_IMAGE;
    header = h;
    return TGT_OK;
}

namespace {

int readRange(const QString &path, qint64 offset, qint64 size, QByteArray &out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? TGT_ERR_IO : TGT_ERR_NO_DEVICE;
    if (!file.seek(offset))
        return TGT_ERR_IO;
    QByteArray bytes = file.read(size);
    if (bytes.size() != size)
        return TGT_ERR_BAD_IMAGE;
    out = bytes;
    return TGT_OK;
}

} // namespace

int readFactoryArea(const QString &path, const HandsetHeader &header, QByteArray &area)
{
    return readRange(path, factoryOffset(), header.factoryAreaBytes, area);
}

int readUserArea(const QString &path, const HandsetHeader &header, QByteArray &area)
{
    return readRange(path, userOffset(header), header.userAreaBytes, area);
}

int writeHeader(const QString &path, const HandsetHeader &header)
{
    if (!checkHeader(header).isEmpty())
        return TGT_ERR_INVALID_ARGUMENT;
    QFile file(path);
    if (!file.exists())
        return TGT_ERR_NO_DEVICE;
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return TGT_ERR_IO;
    const QByteArray bytes = encodeHeader(header);
    if (file.write(bytes) != bytes.size() || !file.flush())
        return TGT_ERR_IO;
    return TGT_OK;
}

int create(const QString &path, const HandsetHeader &header, const QByteArray &factoryArea, const QByteArray &userArea,
           QString *error)
{
    const QString problem = checkHeader(header);
    if (!problem.isEmpty() || factoryArea.size() != qsizetype(header.factoryAreaBytes) ||
        (!userArea.isEmpty() && userArea.size() != qsizetype(header.userAreaBytes))) {
        if (error)
            *error = problem.isEmpty() ? QStringLiteral("an area has the wrong size") : problem;
        return TGT_ERR_INVALID_ARGUMENT;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return TGT_ERR_IO;
    }
    const QByteArray head = encodeHeader(header);
    const QByteArray user = userArea.isEmpty() ? QByteArray(qsizetype(header.userAreaBytes), char(0xFF)) : userArea;
    if (file.write(head) != head.size() || file.write(factoryArea) != factoryArea.size() ||
        file.write(user) != user.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return TGT_ERR_IO;
    }
    return TGT_OK;
}

} // namespace HandsetImage
