#pragma once

#include "FactoryRecord.h"

#include <QByteArray>
#include <QString>

class QFile;

// Two copies of the factory data in the factory area, each in one half: a commit word, a sequence number, a
// length and a CRC over the rest. A save rewrites the older copy in three steps: clear its commit word, write
// its body, write the commit word. Cut at any byte, the copy being written stays invalid until its last byte,
// so the other (previous) copy stays the newest valid one.
namespace FactoryStore {

constexpr int SlotHeaderSize = 24;

struct Slot
{
    bool valid = false;
    quint64 sequence = 0;
    FactoryRecord record;
};

struct Area
{
    Slot slot[2];
    int newest() const; // index of the newest valid copy, -1 when none (a blank handset)
};

Area parseArea(const QByteArray &area);
// Bytes of payload one copy can hold in an area of that size.
int slotCapacity(qint64 areaBytes);
// An area holding `record` as copy 0 with `sequence` (or blank, all 0xFF, when `record` is null).
QByteArray buildArea(qint64 areaBytes, const FactoryRecord *record, quint64 sequence);

// Writes `record` over the older copy of the area at `areaOffset` in the open image. `budget` is the number of
// bytes that reach the image before a simulated power cut (-1: no cut). TGT_OK, TGT_ERR_IO on a cut or a failed
// write, TGT_ERR_INVALID_ARGUMENT when the record does not fit.
int save(QFile &image, qint64 areaOffset, qint64 areaBytes, const FactoryRecord &record, qint64 budget);

} // namespace FactoryStore
