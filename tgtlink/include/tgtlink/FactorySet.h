#pragma once

#include <string>

class ChipInfo;
class FlashInfo;
class FlashProgram;
class TargetConnection;

// The handset's factory data: identities and one pass/fail flag per station.
class FactorySet
{
public:
    virtual ~FactorySet();

    virtual int loadFromDevice(FlashProgram *programmer) = 0;
    virtual int saveToDevice(FlashProgram *programmer) = 0;
    virtual void initialize() = 0;
    virtual int queryStation(const std::string &name, bool &found, bool &passed) = 0;
    virtual int setStation(const std::string &name, bool passed) = 0;
    virtual std::string getImei(int index) = 0; // index 0 to 3
    virtual int setImei(int index, const std::string &imei, bool checkValid) = 0;
    virtual std::string getMbsn() = 0;
    virtual int setMbsn(const std::string &mbsn) = 0;
    virtual std::string getPsn() = 0;
    virtual int setPsn(const std::string &psn) = 0;
    virtual std::string getBt() = 0;
    virtual int setBt(const std::string &bt) = 0;

    // 15 digits whose last is the Luhn check digit over the first 14.
    static bool IsIMEIValid(const std::string &imei);
    // The 14-digit body followed by its check digit; empty when the body is not exactly 14 digits.
    static std::string AddIMEIChecksum(const std::string &body);

protected:
    FactorySet() = default;

private:
    FactorySet(const FactorySet &) = delete;
    FactorySet &operator=(const FactorySet &) = delete;
};

// Null when the handset's factory area cannot hold factory data for this station list.
FactorySet *CreateFactorySet(FlashInfo &flashInfo, TargetConnection *connection, ChipInfo *chipInfo);
