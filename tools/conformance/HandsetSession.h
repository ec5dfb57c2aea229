#pragma once

#include "tgtlink/FlashInfo.h"

#include <QString>
#include <memory>

class ChipInfo;
class FactorySet;
class FlashProgram;
class TargetConnection;

// One handset taken through the tool's preparation, as a write cycle does it: connection, preparation, flash
// info, chip id, RAM-run download, programmer, factory data. Closes in the reverse order.
class HandsetSession final
{
public:
    explicit HandsetSession(const QString &port);
    ~HandsetSession();

    // TGT_OK, or the code of the step that failed; failure() says which and why.
    int start();
    // The first steps only: connection, preparation, flash info, chip id.
    int startWithoutProgrammer();

    TargetConnection *connection() const { return m_connection.get(); }
    ChipInfo *chip() const { return m_chip.get(); }
    const FlashInfo &flash() const { return m_flash; }
    FlashProgram *programmer() const { return m_programmer.get(); }
    FactorySet *factory() const { return m_factory.get(); }
    unsigned chipId() const { return m_chipId; }
    QString failure() const { return m_failure; }

private:
    int fail(const QString &step, int code);

    HandsetSession(const HandsetSession &) = delete;
    HandsetSession &operator=(const HandsetSession &) = delete;

    QString m_port;
    std::unique_ptr<TargetConnection> m_connection;
    std::unique_ptr<ChipInfo> m_chip;
    FlashInfo m_flash;
    unsigned m_chipId = 0;
    std::unique_ptr<FlashProgram> m_programmer;
    std::unique_ptr<FactorySet> m_factory;
    QString m_failure;
};
