#pragma once

#include "FactoryRecord.h"
#include "tgtlink/FactorySet.h"

#include <QStringList>

class BenchConnection;

// The factory data of a bench handset: a copy in memory, loaded from and saved to the image's factory area.
class BenchFactorySet final : public FactorySet
{
public:
    BenchFactorySet(BenchConnection *connection, const QStringList &stations, quint32 stationMagic);

    int loadFromDevice(FlashProgram *programmer) override;
    int saveToDevice(FlashProgram *programmer) override;
    void initialize() override;
    int queryStation(const std::string &name, bool &found, bool &passed) override;
    int setStation(const std::string &name, bool passed) override;
    std::string getImei(int index) override;
    int setImei(int index, const std::string &imei, bool checkValid) override;
    std::string getMbsn() override;
    int setMbsn(const std::string &mbsn) override;
    std::string getPsn() override;
    int setPsn(const std::string &psn) override;
    std::string getBt() override;
    int setBt(const std::string &bt) override;

private:
    int ready(FlashProgram *programmer) const;
    int setSerial(const char *op, std::string &field, const std::string &value);

    BenchConnection *m_connection;
    QStringList m_stations;
    quint32 m_stationMagic;
    FactoryRecord m_record;
    bool m_haveData = false; // loaded or initialised: only then may it be saved
};
