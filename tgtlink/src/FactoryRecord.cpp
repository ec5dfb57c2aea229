#include "FactoryRecord.h"

#include "ByteCursor.h"

namespace {
constexpr quint16 RecordVersion = 1;
}

QByteArray FactoryRecord::encode() const
{
    ByteWriter w;
    w.u16(RecordVersion);
    w.u32(stationMagic);
    for (const std::string &i : imei)
        w.shortString(i);
    w.shortString(mbsn);
    w.shortString(psn);
    w.shortString(bt);
    w.u16(quint16(stations.size()));
    for (const auto &[name, passed] : stations) {
        w.shortString(name);
        w.u8(passed ? 1 : 0);
    }
    return w.data();
}

bool FactoryRecord::decode(const QByteArray &bytes, FactoryRecord &out)
{
    ByteReader r(bytes);
    if (r.u16() != RecordVersion)
        return false;
    FactoryRecord rec;
    rec.stationMagic = r.u32();
    for (std::string &i : rec.imei)
        i = r.shortString(MaxImeiLength);
    rec.mbsn = r.shortString(MaxSerialLength);
    rec.psn = r.shortString(MaxSerialLength);
    rec.bt = r.shortString(BtLength);
    const int count = r.u16();
    if (count > MaxStations)
        return false;
    for (int i = 0; i < count && r.ok(); ++i) {
        std::string name = r.shortString(MaxStationNameLength);
        const quint8 flag = r.u8();
        if (flag > 1)
            return false;
        rec.stations.emplace_back(std::move(name), flag == 1);
    }
    if (!r.ok() || !r.atEnd())
        return false;
    out = std::move(rec);
    return true;
}

int FactoryRecord::maxEncodedSize(int stationCount)
{
    return 2 + 4 + 4 * (1 + MaxImeiLength) + 2 * (1 + MaxSerialLength) + (1 + BtLength) + 2 +
           stationCount * (1 + MaxStationNameLength + 1);
}
