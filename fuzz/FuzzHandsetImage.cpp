// A handset image as the bench reads it: header, the two factory-data copies and their records; then saves
// into it, whole and cut short by a power cut, and what the next load sees.
//
// Input: one flag byte, then the image. Checksums stop a fuzzer at the first byte it changes, so the flags ask
// the target to put right the header checksum (bit 0) and the copies' checksums (bit 1) before reading; bits 2
// to 7 choose where a power cut falls in the save (0: no cut).
#include "FuzzTarget.h"
#include "FuzzWorkDir.h"

#include "Bench.h"
#include "BenchPaths.h"
#include "Crc32.h"
#include "FactoryStore.h"
#include "HandsetImage.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"

#include <QFile>
#include <QtEndian>

namespace {

const QString Port = QStringLiteral("USB1");

void fixHeaderChecksum(QByteArray &image)
{
    if (image.size() < HandsetImage::HeaderSize)
        return;
    QByteArray header = image.left(HandsetImage::HeaderSize);
    qToLittleEndian<quint32>(0, header.data() + 12);
    qToLittleEndian<quint32>(tgtCrc32(header), image.data() + 12);
}

// A copy: commit word, version, reserved, sequence, length, CRC over the 16 bytes before it and the payload.
void fixCopyChecksums(QByteArray &image, const HandsetHeader &header)
{
    const qsizetype half = qsizetype(header.factoryAreaBytes / 2);
    for (int copy = 0; copy < 2; ++copy) {
        char *slot = image.data() + HandsetImage::HeaderSize + copy * half;
        const quint32 length = qFromLittleEndian<quint32>(slot + 16);
        if (length > quint32(half - FactoryStore::SlotHeaderSize))
            continue;
        quint32 crc = tgtCrc32(slot + 4, 16);
        crc = tgtCrc32(slot + FactoryStore::SlotHeaderSize, qsizetype(length), crc);
        qToLittleEndian<quint32>(crc, slot + 20);
    }
}

FactoryStore::Area readArea(const QString &path, const HandsetHeader &header)
{
    QByteArray area;
    FUZZ_CHECK(HandsetImage::readFactoryArea(path, header, area) == TGT_OK);
    return FactoryStore::parseArea(area);
}

FactoryRecord savedRecord(const FactoryStore::Area &before)
{
    const int newest = before.newest();
    FactoryRecord record = newest >= 0 ? before.slot[newest].record : FactoryRecord();
    record.imei[0] = "490154203237518";
    record.mbsn = "FUZZSAVED";
    return record;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("TGTLINK_BENCH", FuzzWorkDir::path(QStringLiteral("bench")).toLocal8Bit());
    qputenv("TGTLINK_DELAY_SCALE", "0");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const quint8 flags = data[0];
    QByteArray image(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    if (flags & 1)
        fixHeaderChecksum(image);
    HandsetHeader header;
    const bool headerOk = HandsetImage::decodeHeader(image.left(HandsetImage::HeaderSize), header) == TGT_OK &&
                          image.size() == HandsetImage::imageSize(header);
    if (headerOk && (flags & 2))
        fixCopyChecksums(image, header);

    const QString path = BenchPaths::imagePath(TGT_CONN_USB, Port);
    FUZZ_CHECK(FuzzWorkDir::writeFile(path, image));
    HandsetHeader read;
    FUZZ_CHECK((HandsetImage::readHeader(path, read) == TGT_OK) == headerOk);
    BenchHandset shown;
    FUZZ_CHECK(Bench::read(Port, shown) == headerOk);
    if (!headerOk)
        return 0;

    const FactoryStore::Area before = readArea(path, header);
    for (const FactoryStore::Slot &slot : before.slot) {
        FactoryRecord again;
        if (slot.valid)
            FUZZ_CHECK(FactoryRecord::decode(slot.record.encode(), again) && again == slot.record);
    }
    FUZZ_CHECK(shown.blank == (before.newest() < 0));

    // A save cut short leaves the newest copy as it was; a save that reports success is what the next load
    // reads, however high the sequence numbers of the copies were.
    const FactoryRecord record = savedRecord(before);
    const qint64 cut = (flags >> 2) == 0 ? -1 : qint64(flags >> 2) * 7 - 7;
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
    const int rc = FactoryStore::save(file, HandsetImage::factoryOffset(), header.factoryAreaBytes, record, cut);
    file.close();
    const FactoryStore::Area after = readArea(path, header);
    const int newest = after.newest();
    if (rc == TGT_OK) {
        FUZZ_CHECK(newest >= 0 && after.slot[newest].record == record);
    } else if (before.newest() < 0) {
        FUZZ_CHECK(newest < 0);
    } else {
        FUZZ_CHECK(newest >= 0 && after.slot[newest].record == before.slot[before.newest()].record);
    }
    if (rc != TGT_OK)
        return 0;
    // And again from there, so that a save after a wrapped sequence is checked too.
    FactoryRecord second = record;
    second.mbsn = "FUZZSAVED2";
    FUZZ_CHECK(file.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
    const int rc2 = FactoryStore::save(file, HandsetImage::factoryOffset(), header.factoryAreaBytes, second, -1);
    file.close();
    const FactoryStore::Area last = readArea(path, header);
    if (rc2 == TGT_OK)
        FUZZ_CHECK(last.newest() >= 0 && last.slot[last.newest()].record == second);
    return 0;
}
