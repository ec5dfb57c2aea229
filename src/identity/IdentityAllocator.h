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

    bool prepareIdentityPools();
    bool allocateIdentities();
    void fillImeiFields();

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
};
