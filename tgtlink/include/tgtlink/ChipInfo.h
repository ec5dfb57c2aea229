#pragma once

#include <QString>
#include <string>

class TargetConnection;

// Chip identification and the host side of the RAM-run download for one connection.
class ChipInfo
{
public:
    explicit ChipInfo(TargetConnection *connection);
    ~ChipInfo();

    // Handshake before a RAM-run download; negative on failure.
    int hostPrepareRamRun(bool versionCheck);
    int getChipId(unsigned &id);
    int getVersion(std::string &version);
    void clearCache();

    TargetConnection *connection() const { return m_connection; }

    static bool IsChipIdSupported(unsigned id);
    static int ReadChipId(TargetConnection *connection, unsigned &id);
    // Path of the RAM-run image for that connection kind, chip and flash model; empty when none.
    static QString RamrunFname(unsigned kind, unsigned chipId, const std::string &flashModel);

private:
    ChipInfo(const ChipInfo &) = delete;
    ChipInfo &operator=(const ChipInfo &) = delete;

    TargetConnection *m_connection;
    bool m_prepared = false;
    bool m_haveChipId = false;
    unsigned m_chipId = 0;
};
