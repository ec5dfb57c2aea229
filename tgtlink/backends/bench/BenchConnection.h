#pragma once

#include "HandsetHeader.h"
#include "HeldFileLock.h"
#include "tgtlink/tgtlink_backend.h"

#include <QString>
#include <memory>
#include <string>

// A connection to one bench handset. It holds the handset's lock for its whole life, and checks before each
// operation that the same handset is still plugged in.
class BenchConnection final
{
public:
    // Null when no handset is plugged in under that name, or another connection holds it; `rc` says which.
    static BenchConnection *open(const QString &port, int &rc);

    ~BenchConnection();

    unsigned kind() const { return m_kind; }
    QString portName() const { return m_port; }
    QString imagePath() const { return m_path; }

    // TGT_OK when the handset that was opened is still plugged in and its header is sound.
    int check(HandsetHeader *header = nullptr) const;
    // The presence check, then the operation's injected fault, then its delay. A long operation (given the
    // tool's abort flag) ends with TGT_ERR_ABORTED when the flag goes up.
    int begin(const char *op, HandsetHeader *header = nullptr, const tgtlink_abort *abort = nullptr) const;
    int injectedFault(const char *op) const;
    int delay(const char *op, const tgtlink_abort *abort) const;
    static bool abortRequested(const tgtlink_abort *abort);

    // The handset's operations, as the backend table and the serial handset emulator call them.
    int prepare();
    int chipId(uint32_t &id) const;
    int version(std::string &text) const;
    int flashInfo(tgtlink_flash_info &info) const;
    int ramRun(uint32_t kind, uint32_t chip, size_t size, const tgtlink_abort *abort);
    int checkStart() const;
    int erase(uint32_t address, uint32_t size, const tgtlink_abort *abort) const;

    // Set by a successful RAM-run download on this connection.
    bool ramRunning = false;
    // Set by the preparation on this connection.
    bool prepared = false;

private:
    BenchConnection(const BenchConnection &) = delete;
    BenchConnection &operator=(const BenchConnection &) = delete;
    BenchConnection(const QString &port, unsigned kind, const QString &path, std::unique_ptr<HeldFileLock> lock);

    QString m_port;
    unsigned m_kind;
    QString m_path;
    std::unique_ptr<HeldFileLock> m_lock; // released by the system if this process dies
    quint64 m_plugId = 0;                 // 0: the image was unreadable when opened
};
