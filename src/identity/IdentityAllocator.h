#pragma once

#include "identity/IdentityChecks.h"
#include "identity/IdentityPool.h"
#include "identity/ImeiPool.h"

#include <QCoreApplication>
#include <functional>

class IdentityFrontEnd;
class IssuedIdentities;
class ToolSettings;

// Owns the four pools: prepares them from the configured sources and hands the next complete identity set out
// into the settings record. Counters that allocation advances reach the settings file before the values they
// produced are handed out.
class IdentityAllocator final
{
    Q_DECLARE_TR_FUNCTIONS(IdentityAllocator)

public:
    // Workbook imports: append at most `maxCount` values to the pool; false after their own message.
    using ImeiSheetImport = std::function<bool(ImeiPool &pool, int maxCount)>;
    using SerialSheetImport = std::function<bool(IdentityPool &pool, int maxCount, int kind)>;
    // Puts the advanced counters into the settings file; true when they are on disk.
    using CounterSaver = std::function<bool()>;

    IdentityAllocator(ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued);

    // Keeps a value that was taken from a source and not handed out yet (the default IMEI set, a Bluetooth
    // address): the source's counter is already past it on disk, so it is held for the next set.
    bool prepareIdentityPools();
    // The next set into the settings record. The set before it was kept or given back.
    bool allocateIdentities();
    void fillImeiFields();
    // The set handed out last was dropped before it was written: every value of it that no history holds goes
    // back to the front of its source; one that cannot gets a line naming it.
    void giveBack();
    // The set handed out last reached its records: it is not given back.
    void keep() { m_taken = {}; }
    // The run ends: the values held for the next set (taken from a counter that is past them on disk) are lost
    // for good. Each gets a line, also returned so that the run's log file keeps it.
    QStringList releaseHeld();

    void setImeiSheetImport(ImeiSheetImport import) { m_imeiSheetImport = std::move(import); }
    void setSerialSheetImport(SerialSheetImport import) { m_serialSheetImport = std::move(import); }
    void setCounterSaver(CounterSaver saver) { m_saveCounters = std::move(saver); }
    // With a line that shares the advancing counters: the default IMEI and the Bluetooth range run in blocks.
    void setCounterBlocks(CounterBlocks *blocks)
    {
        m_blocks = blocks;
        m_checks.setCounterBlocks(blocks);
    }

    IdentityChecks &checks() { return m_checks; }
    ImeiPool &imeiPool() { return m_imeiPool; }
    IdentityPool &mbsnPool() { return m_mbsnPool; }
    IdentityPool &psnPool() { return m_psnPool; }
    IdentityPool &btPool() { return m_btPool; }

private:
    struct Counters
    {
        quint64 defaultNumber;
        QString defaultValue;
        QString btCurrent;
    };
    Counters counters() const;
    bool persistCounters(const Counters &before);

    // A value handed out by the last allocation and the pool it came from.
    struct Taken
    {
        QStringList imeis; // from m_imeiPool's row before its cursor
        QString mbsn, psn, bt;
    };
    // Default-value IMEIs given back: the counter on disk is past them, so they are held for the next set as
    // long as the configuration that made them stands.
    struct HeldImeis
    {
        QStringList imeis;
        QVector<int> inputTypes;
        int perSet = 0;
        quint64 counter = 0;
    };
    bool anyIssued(const QStringList &imeis) const;
    QStringList unissuedImeis(const QStringList &imeis) const;
    QString lostImeisLine(const QStringList &imeis) const;
    bool takeHeldImeis();
    void dropHeldImeis();
    void giveBackSerial(IdentityPool &pool, int kind, const QString &value);
    bool takeHeldBt(IdentityPool &held);

    bool prepareSerials(int kind);
    bool allocate(bool poolMode);
    bool allocateImeis(bool poolMode);
    bool allocateSerial(bool poolMode, int kind);
    bool allocateBt(bool poolMode);
    void failCycle();
    void warnUnchecked(const QString &identities, int inputType);

    ToolSettings &m_settings;
    IdentityFrontEnd &m_frontEnd;
    const IssuedIdentities &m_issued;
    ImeiPool m_imeiPool;
    IdentityPool m_mbsnPool;
    IdentityPool m_psnPool;
    IdentityPool m_btPool;
    IdentityChecks m_checks;
    ImeiSheetImport m_imeiSheetImport;
    SerialSheetImport m_serialSheetImport;
    CounterSaver m_saveCounters;
    CounterBlocks *m_blocks = nullptr;
    bool m_cycleEnded = false;
    Taken m_taken;
    HeldImeis m_heldImeis;
    bool m_btFromRange = false; // the Bluetooth pool holds an address taken from the range
};
