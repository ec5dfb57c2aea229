#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <string>
#include <utility>
#include <vector>

// The content of one factory-data copy.
struct FactoryRecord
{
    static constexpr int MaxImeiLength = 15;
    static constexpr int MaxSerialLength = 64;
    static constexpr int BtLength = 12;
    static constexpr int MaxStationNameLength = 32;
    static constexpr int MaxStations = 64;

    quint32 stationMagic = 0; // checksum of the station list the data was written for
    std::string imei[4];
    std::string mbsn;
    std::string psn;
    std::string bt;
    std::vector<std::pair<std::string, bool>> stations; // stations with a recorded result, in order of first write

    QByteArray encode() const;
    // False for anything that is not a complete, well-formed record.
    static bool decode(const QByteArray &bytes, FactoryRecord &out);
    // Largest encoded size for a station list of `stationCount` names.
    static int maxEncodedSize(int stationCount);

    bool operator==(const FactoryRecord &o) const
    {
        return stationMagic == o.stationMagic && imei[0] == o.imei[0] && imei[1] == o.imei[1] && imei[2] == o.imei[2] &&
               imei[3] == o.imei[3] && mbsn == o.mbsn && psn == o.psn && bt == o.bt && stations == o.stations;
    }
};
