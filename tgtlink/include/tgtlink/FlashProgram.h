#pragma once

#include "tgtlink/tgtlink_backend.h"

#include <QObject>
#include <atomic>

class ChipInfo;
class TargetConnection;

// The flash programmer running in the handset's RAM.
class FlashProgram : public QObject
{
    Q_OBJECT

public:
    FlashProgram(TargetConnection *connection, ChipInfo *chipInfo, QObject *parent = nullptr);
    ~FlashProgram() override;

    int checkStart();
    int erase(unsigned address, unsigned size);

    TargetConnection *connection() const { return m_connection; }
    bool isStarted() const { return m_started; }

    // Set from any thread to ask the operation in progress to end early.
    std::atomic<bool> abortRequested{false};
    // abortRequested as the backend reads it; valid while this programmer lives.
    tgtlink_abort abortFlag() const;

private:
    TargetConnection *m_connection;
    ChipInfo *m_chipInfo;
    bool m_started = false;
};
