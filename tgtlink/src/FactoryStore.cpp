#include "FactoryStore.h"

#include "ByteCursor.h"
#include "Crc32.h"
#include "tgtlink/TargetError.h"

#include <QFile>

namespace FactoryStore {

namespace {

constexpr quint32 CommitWord = 0x31434446u; // "FDC1"
constexpr quint16 SlotVersion = 1;

// Body = everything after the commit word: version, reserved, sequence, length, CRC, payload.
QByteArray slotBody(quint64 sequence, const QByteArray &payload)
{
    ByteWriter w;
    w.u16(SlotVersion);
    w.u16(0);
    w.u64(sequence);
    w.u32(quint32(payload.size()));
    QByteArray head = w.data();
    quint32 crc = tgtCrc32(head);
    crc = tgtCrc32(payload.constData(), payload.size(), crc);
    ByteWriter tail;
    tail.u32(crc);
    return head + tail.data() + payload;
}

Slot parseSlot(const QByteArray &bytes)
{
    Slot slot;
    ByteReader r(bytes);
    if (r.u32() != CommitWord || r.u16() != SlotVersion)
        return slot;
    r.u16();
    const quint64 sequence = r.u64();
    const quint32 length = r.u32();
    const quint32 crc = r.u32();
    if (!r.ok() || length > quint32(bytes.size() - SlotHeaderSize))
        return slot;
    quint32 actual = tgtCrc32(bytes.constData() + 4, 16);
    actual = tgtCrc32(bytes.constData() + SlotHeaderSize, qsizetype(length), actual);
    if (actual != crc)
        return slot;
    if (!FactoryRecord::decode(bytes.mid(SlotHeaderSize, qsizetype(length)), slot.record))
        return slot;
    slot.valid = true;
    slot.sequence = sequence;
    return slot;
}

// Writes through a power-cut budget: past it, nothing more reaches the image.
class BudgetWriter final
{
public:
    BudgetWriter(QFile &file, qint64 budget) : m_file(file), m_budget(budget) {}

    int write(qint64 pos, const QByteArray &bytes)
    {
        qint64 n = bytes.size();
        const bool cut = m_budget >= 0 && m_budget < n;
        if (cut)
            n = m_budget;
        if (n > 0) {
            if (!m_file.seek(pos) || m_file.write(bytes.constData(), n) != n || !m_file.flush())
                return TGT_ERR_IO;
        }
        if (m_budget >= 0)
            m_budget -= n;
        return cut ? TGT_ERR_IO : TGT_OK;
    }

private:
    QFile &m_file;
    qint64 m_budget;
};

} // namespace

int Area::newest() const
{
    // Sequences are compared by their distance, as serial numbers are: a save after 2^64-1 writes 0, and that
    // copy is still the newer one. A save always writes the newest sequence plus one, so the copy it wrote
    // always wins the next load.
    if (slot[0].valid && slot[1].valid)
        return qint64(slot[1].sequence - slot[0].sequence) > 0 ? 1 : 0;
    if (slot[0].valid)
        return 0;
    if (slot[1].valid)
        return 1;
    return -1;
}

int slotCapacity(qint64 areaBytes)
{
    return int(areaBytes / 2) - SlotHeaderSize;
}

Area parseArea(const QByteArray &area)
{
    Area result;
    const qsizetype half = area.size() / 2;
    result.slot[0] = parseSlot(area.left(half));
    result.slot[1] = parseSlot(area.mid(half, half));
    return result;
}

QByteArray buildArea(qint64 areaBytes, const FactoryRecord *record, quint64 sequence)
{
    QByteArray area(qsizetype(areaBytes), char(0xFF));
    if (record) {
        ByteWriter commit;
        commit.u32(CommitWord);
        const QByteArray slot = commit.data() + slotBody(sequence, record->encode());
        if (slot.size() <= area.size() / 2)
            area.replace(0, slot.size(), slot);
    }
    return area;
}

int save(QFile &image, qint64 areaOffset, qint64 areaBytes, const FactoryRecord &record, qint64 budget)
{
    const QByteArray payload = record.encode();
    if (payload.size() > slotCapacity(areaBytes))
        return TGT_ERR_INVALID_ARGUMENT;
    if (!image.seek(areaOffset))
        return TGT_ERR_IO;
    const QByteArray current = image.read(areaBytes);
    if (current.size() != areaBytes)
        return TGT_ERR_IO;
    const Area area = parseArea(current);
    const int newest = area.newest();
    const int target = newest == 0 ? 1 : 0;
    const quint64 sequence = newest < 0 ? 1 : area.slot[newest].sequence + 1; // wraps: see Area::newest()
    const qint64 slotPos = areaOffset + target * (areaBytes / 2);

    BudgetWriter writer(image, budget);
    ByteWriter cleared, commit;
    cleared.u32(0);
    commit.u32(CommitWord);
    int rc = writer.write(slotPos, cleared.data());
    if (rc == TGT_OK)
        rc = writer.write(slotPos + 4, slotBody(sequence, payload));
    if (rc == TGT_OK)
        rc = writer.write(slotPos, commit.data());
    return rc;
}

} // namespace FactoryStore
