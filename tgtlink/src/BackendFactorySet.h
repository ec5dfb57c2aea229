#pragma once

#include "tgtlink/FactorySet.h"
#include "tgtlink/tgtlink_backend.h"

class BackendConnection;

// The factory data of a handset, kept by the loaded backend behind a handle.
class BackendFactorySet final : public FactorySet
{
public:
    BackendFactorySet(BackendConnection *connection, tgtlink_factory_data *handle);
    ~BackendFactorySet() override;

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
    // TGT_OK when `programmer` runs on this set's connection and has started.
    int ready(FlashProgram *programmer) const;
    std::string get(int field, int index) const;

    BackendConnection *m_connection;
    const tgtlink_backend_functions &m_functions;
    tgtlink_factory_data *m_handle;
};
