#pragma once

#include "HandsetHeader.h"
#include "HeldFileLock.h"
#include "tgtlink/TargetConnection.h"

#include <memory>

// A connection to one bench handset. It holds the handset's lock for its whole life, and checks before each
// operation that the same handset is still plugged in.
class BenchConnection final : public TargetConnection
{
public:
    // Null when no handset is plugged in under that name, or another connection holds it.
    static BenchConnection *open(const QString &port);
    // The bench connection behind a connection, null for anything else.
    static BenchConnection *from(TargetConnection *connection);

    ~BenchConnection() override;

    unsigned kind() const override { return m_kind; }
    QString portName() const override { return m_port; }
    QString imagePath() const { return m_path; }

    // TGT_OK when the handset that was opened is still plugged in and its header is sound.
    int check(HandsetHeader *header = nullptr) const;
    // The presence check, then the operation's injected fault, then its delay. A long operation (`abortable`)
    // ends with TGT_ERR_ABORTED when a programmer on this connection is asked to abort.
    int begin(const char *op, HandsetHeader *header = nullptr, bool abortable = false) const;
    int injectedFault(const char *op) const;
    int delay(const char *op, bool abortable) const;
    bool abortRequested() const;

    // Set by a successful RAM-run download on this connection.
    bool ramRunning = false;
    // Set by hostPrepareRamRun on this connection.
    bool prepared = false;

private:
    BenchConnection(const QString &port, unsigned kind, const QString &path, std::unique_ptr<HeldFileLock> lock);

    QString m_port;
    unsigned m_kind;
    QString m_path;
    std::unique_ptr<HeldFileLock> m_lock; // released by the system if this process dies
    quint64 m_plugId = 0;                 // 0: the image was unreadable when opened
};
