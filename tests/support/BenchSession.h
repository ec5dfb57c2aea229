#pragma once

#include "tgtlink/tgtlink.h"

#include <QString>
#include <memory>

// One handset prepared the way the device worker prepares it: connection, chip handshake, flash layout,
// RAM-run download, programmer and factory-data object. Tests drive the library through it.
class BenchSession final
{
public:
    explicit BenchSession(const QString &port = QStringLiteral("USB1"));
    ~BenchSession();

    bool connect(); // false when CreateTargetConnection gives null
    // Runs every preparation step up to the factory-data object; the first failing code, TGT_OK when all pass.
    // A null factory-data object gives TGT_ERR_INVALID_ARGUMENT. Needs the runtime directory to be current.
    int prepare();
    // prepare(), then loadFromDevice.
    int prepareAndLoad();
    void close(); // deletes everything, the connection last

    TargetConnection *connection() const { return m_connection.get(); }
    ChipInfo *chip() const { return m_chip.get(); }
    FlashInfo &flashInfo() { return m_flashInfo; }
    FlashProgram *programmer() const { return m_programmer.get(); }
    FactorySet *factorySet() const { return m_factorySet.get(); }

private:
    QString m_port;
    std::unique_ptr<TargetConnection> m_connection;
    std::unique_ptr<ChipInfo> m_chip;
    FlashInfo m_flashInfo;
    std::unique_ptr<FlashProgram> m_programmer;
    std::unique_ptr<FactorySet> m_factorySet;
};
