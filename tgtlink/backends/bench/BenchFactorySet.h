#pragma once

#include "FactoryRecord.h"
#include "tgtlink/tgtlink_backend.h"

#include <QStringList>

class BenchConnection;

// The factory data of a bench handset: a copy in memory, loaded from and saved to the image's factory area.
class BenchFactorySet final
{
public:
    // Null with `rc` when the handset's area cannot hold data for this station list or holds another list's.
    static BenchFactorySet *open(BenchConnection *connection, const tgtlink_flash_info &info,
                                 const QStringList &stations, int &rc);

    int loadFromDevice(const tgtlink_abort *abort);
    int saveToDevice(const tgtlink_abort *abort);
    void initialize();
    int queryStation(const std::string &name, bool &found, bool &passed);
    int setStation(const std::string &name, bool passed);
    std::string getImei(int index);
    int setImei(int index, const std::string &imei, bool checkValid);
    std::string getMbsn();
    int setMbsn(const std::string &mbsn);
    std::string getPsn();
    int setPsn(const std::string &psn);
    std::string getBt();
    int setBt(const std::string &bt);

private:
    BenchFactorySet(BenchConnection *connection, const QStringList &stations, quint32 stationMagic);
    int ready() const;
    int setSerial(const char *op, std::string &field, const std::string &value);

    BenchConnection *m_connection;
    QStringList m_stations;
    quint32 m_stationMagic;
    FactoryRecord m_record;
    bool m_haveData = false; // loaded or initialised: only then may it be saved
};
