#include "identity/IdentityAllocator.h"

#include "config/ToolSettings.h"
#include "identity/BtAddressGenerator.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/ImeiPoolGenerator.h"
#include "identity/IssuedIdentities.h"
#include "identity/SerialGenerator.h"

#include <utility>

namespace {

constexpr int StatusError = PanelStates::StateError;
constexpr int StatusBusy = PanelStates::StateBusy;

bool isPoolSource(int inputType)
{
    return inputType == InputLoadFromFile || inputType == InputCustom;
}

IdentityField imeiField(int index)
{
    return static_cast<IdentityField>(int(IdentityField::Imei1) + index);
}

} // namespace

IdentityAllocator::IdentityAllocator(ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued)
    : m_settings(settings), m_frontEnd(frontEnd), m_issued(issued),
      m_checks(settings, frontEnd, issued, m_imeiPool, m_mbsnPool, m_psnPool, m_btPool),
      m_imeiSheetImport([](ImeiPool &, int) { return false; }),
      m_serialSheetImport([](IdentityPool &, int, int) { return false; }),
      m_saveCounters([&settings] { return settings.saveCounters(); })
{
}

IdentityAllocator::Counters IdentityAllocator::counters() const
{
    return {m_settings.imeiDefaultNumber, m_settings.ImeiDefaultValue, m_settings.BTCurrentAddr};
}

bool IdentityAllocator::persistCounters(const Counters &before)
{
    const Counters now = counters();
    if (now.defaultNumber == before.defaultNumber && now.defaultValue == before.defaultValue &&
        now.btCurrent == before.btCurrent)
        return true;
    if (m_saveCounters())
        return true;
    // The file still holds the old counters, so memory goes back to them and nothing they produced is handed out.
    m_settings.imeiDefaultNumber = before.defaultNumber;
    m_settings.ImeiDefaultValue = before.defaultValue;
    m_settings.BTCurrentAddr = before.btCurrent;
    m_frontEnd.logLine(
        tr("The counters could not be saved to %1, so no identity is handed out!").arg(ToolSettings::filePath()),
        LineColour::Error);
    return false;
}

void IdentityAllocator::warnUnchecked(const QString &identities, int inputType)
{
    const QString source = inputType == InputCustom ? tr("the custom source") : tr("the excel file");
    m_frontEnd.logLine(tr("%1 from %2 are not checked against the history: the next start begins again at the "
                          "first value!")
                           .arg(identities, source),
                       LineColour::Warning);
}

bool IdentityAllocator::prepareSerials(int kind)
{
    const bool mbsn = kind == RunMbsn;
    IdentityPool &pool = mbsn ? m_mbsnPool : m_psnPool;
    const int inputType = mbsn ? m_settings.MbsnInputType : m_settings.PsnInputType;
    bool ok = true;
    QString failure;
    switch (inputType) {
    case InputLoadFromFile:
        ok = m_serialSheetImport(pool, mbsn ? m_settings.MbsnMaxNum : m_settings.PsnMaxNum, kind);
        failure = mbsn ? tr("Import MBSN from excel file failed! %1").arg(QString())
                       : tr("Import PSN from excel file failed!");
        break;
    case InputCustom:
        ok = SerialGenerator::generateSerialPool(m_settings, kind, pool, m_issued, m_frontEnd);
        failure = mbsn ? tr("Custom MBSN  failed!!") : tr("Custom PSN  failed!");
        break;
    case InputAutoGeneration:
        ok = SerialGenerator::takeSerialByTime(m_settings, kind, pool, m_issued, m_frontEnd);
        failure = mbsn ? tr("AutoGenerate MBSN  failed!!") : tr("AutoGenerate PSN  failed!!");
        break;
    default:
        break;
    }
    if (!ok) {
        m_frontEnd.logLine(failure, LineColour::Error);
        return false;
    }
    if (isPoolSource(inputType) && !(mbsn ? m_settings.MbsnCheckRepetitive : m_settings.PsnCheckRepetitive))
        warnUnchecked(mbsn ? tr("MBSNs") : tr("PSNs"), inputType);
    if (pool.total > 0)
        m_frontEnd.setFieldText(mbsn ? IdentityField::Mbsn : IdentityField::Psn, pool.values[0]);
    return true;
}

void IdentityAllocator::giveBackSerial(IdentityPool &pool, int kind, const QString &value)
{
    if (value.isEmpty() || m_issued.isIssued(kind, value))
        return;
    if (pool.cursor > 0 && pool.cursor <= pool.total && pool.values[pool.cursor - 1] == value) {
        --pool.cursor;
        return;
    }
    const QString name = kind == RunMbsn  ? QStringLiteral("MBSN")
                         : kind == RunPsn ? QStringLiteral("PSN")
                                          : QStringLiteral("BT");
    m_frontEnd.logLine(tr("%1 %2 was not written and is not handed out again.").arg(name, value), LineColour::Warning);
}

QStringList IdentityAllocator::unissuedImeis(const QStringList &imeis) const
{
    QStringList unissued;
    for (const QString &imei : imeis) {
        if (!imei.isEmpty() && !unissued.contains(imei) && !m_issued.isIssued(RunImei, imei))
            unissued.append(imei);
    }
    return unissued;
}

bool IdentityAllocator::anyIssued(const QStringList &imeis) const
{
    for (const QString &imei : imeis) {
        if (!imei.isEmpty() && m_issued.isIssued(RunImei, imei))
            return true;
    }
    return false;
}

// A set's IMEIs dropped for good: those that no history holds get their line (one recorded since, or typed
// from a label already written, does not take the others with it).
QString IdentityAllocator::lostImeisLine(const QStringList &imeis) const
{
    const QStringList unissued = unissuedImeis(imeis);
    return unissued.isEmpty() ? QString()
                              : tr("IMEI %1 was not written and is not handed out again.").arg(unissued.join(u'/'));
}

void IdentityAllocator::dropHeldImeis()
{
    if (m_heldImeis.imeis.isEmpty())
        return;
    const QString line = lostImeisLine(m_heldImeis.imeis);
    if (!line.isEmpty())
        m_frontEnd.logLine(line, LineColour::Warning);
    m_heldImeis = {};
}

bool IdentityAllocator::takeHeldImeis()
{
    if (m_heldImeis.imeis.isEmpty())
        return false;
    const int perSet = m_checks.imeisPerSet();
    if (m_heldImeis.perSet != perSet || m_heldImeis.inputTypes != m_settings.imeiInputTypes.mid(0, perSet) ||
        m_heldImeis.counter != m_settings.imeiDefaultNumber) {
        dropHeldImeis();
        return false;
    }
    if (anyIssued(m_heldImeis.imeis)) {
        dropHeldImeis();
        return false;
    }
    for (int i = 0; i < ImeiPool::Lists; ++i)
        m_imeiPool.lists[i][0] = m_heldImeis.imeis.value(i);
    m_imeiPool.total = 1;
    m_imeiPool.cursor = 0;
    m_heldImeis = {};
    return true;
}

void IdentityAllocator::giveBack()
{
    const Taken taken = std::exchange(m_taken, {});
    if (!taken.imeis.isEmpty()) {
        const bool issued = anyIssued(taken.imeis);
        const int row = m_imeiPool.cursor - 1;
        const bool pool = isPoolSource(m_settings.imeiInputTypes.value(0));
        const int perSet = m_checks.imeisPerSet();
        bool typed = false, counted = false;
        for (int i = 0; i < perSet; ++i) {
            typed = typed || m_settings.imeiInputTypes.value(i) == InputManual;
            counted = counted || m_settings.imeiInputTypes.value(i) == InputDefaultValue;
        }
        if (!issued && pool && row >= 0 && row < m_imeiPool.total &&
            m_imeiPool.lists[0][row].simplified() == taken.imeis[0]) {
            --m_imeiPool.cursor;
        } else if (!issued && !pool && !typed) {
            dropHeldImeis();
            m_heldImeis = {taken.imeis, m_settings.imeiInputTypes.mid(0, perSet), perSet, m_settings.imeiDefaultNumber};
        } else if (pool || counted) {
            const QString line = lostImeisLine(taken.imeis);
            if (!line.isEmpty())
                m_frontEnd.logLine(line, LineColour::Warning);
        }
    }
    giveBackSerial(m_mbsnPool, RunMbsn, taken.mbsn);
    giveBackSerial(m_psnPool, RunPsn, taken.psn);
    giveBackSerial(m_btPool, RunBt, taken.bt);
}

QStringList IdentityAllocator::releaseHeld()
{
    QStringList lines;
    const QString imeis = lostImeisLine(m_heldImeis.imeis);
    if (!imeis.isEmpty())
        lines << imeis;
    m_heldImeis = {};
    const bool range = m_settings.BTInputType == InputAutoGeneration && m_settings.BTIsAutoAddr;
    if (range && !m_btPool.isExhausted()) {
        const QString address = m_btPool.values[m_btPool.cursor];
        if (!address.isEmpty() && !m_issued.isIssued(RunBt, address))
            lines << tr("%1 %2 was not written and is not handed out again.").arg(QStringLiteral("BT"), address);
        m_btPool.reset();
    }
    for (const QString &line : std::as_const(lines))
        m_frontEnd.logLine(line, LineColour::Warning);
    return lines;
}

// The address held from before: still in the configured range and not recorded since.
bool IdentityAllocator::takeHeldBt(IdentityPool &held)
{
    if (held.isExhausted() || m_settings.BTInputType != InputAutoGeneration || !m_settings.BTIsAutoAddr)
        return false;
    const QString address = held.values[held.cursor];
    const QString lower = m_settings.BTInitAddr.toLower(), upper = m_settings.BTEndAddr.toLower();
    const bool inRange =
        address.size() == lower.size() && address.size() == upper.size() && address >= lower && address < upper;
    if (!inRange || m_issued.isIssued(RunBt, address))
        return false;
    m_btPool.setSingle(address);
    m_settings.currentBt = address;
    return true;
}

bool IdentityAllocator::prepareIdentityPools()
{
    m_taken = {};
    IdentityPool heldBt;
    if (!m_btPool.isExhausted() && m_btFromRange)
        heldBt.setSingle(m_btPool.values[m_btPool.cursor]);
    m_btFromRange = false;
    m_imeiPool.reset();
    m_mbsnPool.reset();
    m_psnPool.reset();
    m_btPool.reset();
    m_settings.clearCurrentIdentities(false);

    if ((m_settings.RunType & RunMbsn) && !prepareSerials(RunMbsn))
        return false;

    if (m_settings.RunType & RunImei) {
        const int inputType = m_settings.imeiInputTypes.value(0);
        if (inputType == InputLoadFromFile && !m_imeiSheetImport(m_imeiPool, m_settings.ImeiMaxNum)) {
            m_frontEnd.logLine(tr("Import IMEI from excel file failed!"), LineColour::Error);
            return false;
        }
        if (inputType == InputCustom &&
            !ImeiPoolGenerator::generateImeiPool(m_settings, m_imeiPool, m_issued, m_frontEnd)) {
            m_frontEnd.logLine(tr("Custom IMEI failed!"), LineColour::Error);
            return false;
        }
        if (isPoolSource(inputType) && !m_settings.ImeiCheckRepetitive)
            warnUnchecked(tr("IMEIs"), inputType);
        fillImeiFields();
    }

    if ((m_settings.RunType & RunPsn) && !prepareSerials(RunPsn))
        return false;

    if ((m_settings.RunType & RunBt) && m_settings.BTInputType == InputAutoGeneration) {
        const Counters before = counters();
        bool ok = takeHeldBt(heldBt) ||
                  BtAddressGenerator::takeBtAddress(m_settings, m_btPool, m_issued, m_frontEnd, m_blocks);
        if (ok && !persistCounters(before)) {
            m_btPool.reset();
            m_settings.currentBt.clear();
            ok = false;
        }
        if (!ok) {
            m_frontEnd.logLine(tr("AutoGenerate BT  failed!!"), LineColour::Error);
            return false;
        }
        m_btFromRange = m_settings.BTIsAutoAddr;
        m_frontEnd.setFieldText(IdentityField::Bt, m_btPool.values[0]);
    }
    // An address held from the range that the new configuration does not take again is lost for good.
    if (!heldBt.isExhausted()) {
        const QString address = heldBt.values[heldBt.cursor];
        const bool retaken = !m_btPool.isExhausted() && m_btPool.values[m_btPool.cursor] == address;
        if (!retaken && !address.isEmpty() && !m_issued.isIssued(RunBt, address))
            m_frontEnd.logLine(
                tr("%1 %2 was not written and is not handed out again.").arg(QStringLiteral("BT"), address),
                LineColour::Warning);
    }
    return true;
}

void IdentityAllocator::fillImeiFields()
{
    const int perSet = m_checks.imeisPerSet();
    if (isPoolSource(m_settings.imeiInputTypes.value(0))) {
        if (m_imeiPool.total <= 0)
            return;
        for (int i = 0; i < perSet; ++i)
            m_frontEnd.setFieldText(imeiField(i), m_imeiPool.lists[i][0]);
        return;
    }
    const std::array<QString, 4> preview = m_checks.previewImeis();
    for (int i = 0; i < perSet; ++i)
        m_frontEnd.setFieldText(imeiField(i), preview[i]);
}

void IdentityAllocator::failCycle()
{
    m_frontEnd.setStatusState(StatusError);
    m_frontEnd.endCycle();
    m_cycleEnded = true;
}

bool IdentityAllocator::allocateIdentities()
{
    m_taken = {};
    m_frontEnd.clearLog();
    const bool poolMode = !m_settings.hasManualInput();
    m_cycleEnded = false;
    const Counters before = counters();
    bool ok = allocate(poolMode);
    if (!persistCounters(before)) {
        m_settings.clearCurrentIdentities(false);
        m_frontEnd.setStatusState(StatusError);
        ok = false;
    }
    if (!ok && poolMode && !m_cycleEnded) {
        m_frontEnd.endCycle();
        m_cycleEnded = true;
    }
    return ok;
}

bool IdentityAllocator::allocate(bool poolMode)
{
    m_frontEnd.setStatusState(StatusBusy);
    m_settings.imeiList.clear();
    if ((m_settings.RunType & RunImei) && !allocateImeis(poolMode))
        return false;
    if ((m_settings.RunType & RunMbsn) && !allocateSerial(poolMode, RunMbsn))
        return false;
    if ((m_settings.RunType & RunPsn) && !allocateSerial(poolMode, RunPsn))
        return false;
    if ((m_settings.RunType & RunBt) && !allocateBt(poolMode))
        return false;
    return true;
}

bool IdentityAllocator::allocateImeis(bool poolMode)
{
    if (isPoolSource(m_settings.imeiInputTypes.value(0))) {
        if (m_imeiPool.isExhausted()) {
            if (poolMode) {
                m_frontEnd.logLine(tr("All of IMEIs have written to flash,It's finished!"), LineColour::Pass);
            } else {
                failCycle();
                m_frontEnd.logLine(tr("No imeis can be written!"), LineColour::Error);
            }
            return false;
        }
    } else if (!takeHeldImeis() && !m_checks.checkImeiSet(false)) {
        m_frontEnd.setStatusState(StatusError);
        return false;
    }
    if (m_imeiPool.isExhausted())
        return true;

    const int row = m_imeiPool.cursor;
    QStringList imeis;
    for (const auto &list : m_imeiPool.lists)
        imeis.append(list[row].simplified());
    if (imeis[1].isEmpty())
        imeis[1] = imeis[2] = imeis[3] = imeis[0];
    else if (imeis[2].isEmpty())
        imeis[2] = imeis[3] = imeis[0];
    else if (imeis[3].isEmpty())
        imeis[3] = imeis[0];
    if (!m_checks.showAllocatedImeis(imeis)) {
        // Refused values never stay pending, where a later Write would take them.
        failCycle();
        return false;
    }
    m_settings.imeiList = imeis;
    ++m_imeiPool.cursor;
    bool fromSource = isPoolSource(m_settings.imeiInputTypes.value(0));
    for (int i = 0; i < m_checks.imeisPerSet(); ++i)
        fromSource = fromSource || m_settings.imeiInputTypes.value(i) != InputManual;
    if (fromSource)
        m_taken.imeis = imeis;
    return true;
}

bool IdentityAllocator::allocateSerial(bool poolMode, int kind)
{
    const bool mbsn = kind == RunMbsn;
    IdentityPool &pool = mbsn ? m_mbsnPool : m_psnPool;
    QString &current = mbsn ? m_settings.currentMbsn : m_settings.currentPsn;
    const int inputType = mbsn ? m_settings.MbsnInputType : m_settings.PsnInputType;

    if (poolMode && isPoolSource(inputType) && pool.isExhausted()) {
        m_frontEnd.logLine(mbsn ? tr("All of MBSNs have written to flash,It's finished!")
                                : tr("All of PSNs have written to flash,It's finished!"),
                           LineColour::Pass);
        return false;
    }
    // A stamp still pending was never written (the worker empties the pending set after every write): it stays.
    const bool pendingStamp = inputType == InputAutoGeneration && !current.isEmpty() && pool.isExhausted();
    if (inputType == InputAutoGeneration && current.isEmpty() && pool.isExhausted() &&
        !SerialGenerator::takeSerialByTime(m_settings, kind, pool, m_issued, m_frontEnd)) {
        m_frontEnd.setStatusState(StatusError);
        return false;
    }
    if (!poolMode && inputType == InputManual && !(mbsn ? m_checks.checkMbsn() : m_checks.checkPsn()))
        return false;
    if (!poolMode && pool.isExhausted() && !pendingStamp) {
        failCycle();
        m_frontEnd.logLine(mbsn ? tr("No MBSN can be written!") : tr("No PSN can be written!"), LineColour::Error);
        return false;
    }
    if (pool.isExhausted())
        return true;
    current = pool.values[pool.cursor++];
    if (inputType != InputManual)
        (mbsn ? m_taken.mbsn : m_taken.psn) = current;
    if (inputType != InputManual)
        m_checks.showGeneratedSerial(kind, current);
    return true;
}

bool IdentityAllocator::allocateBt(bool poolMode)
{
    const int inputType = m_settings.BTInputType;
    const bool pendingAddress =
        inputType == InputAutoGeneration && !m_settings.currentBt.isEmpty() && m_btPool.isExhausted();
    if (inputType == InputAutoGeneration && m_settings.currentBt.isEmpty() && m_btPool.isExhausted() &&
        !BtAddressGenerator::takeBtAddress(m_settings, m_btPool, m_issued, m_frontEnd, m_blocks)) {
        m_frontEnd.setStatusState(StatusError);
        return false;
    }
    if (!poolMode && inputType == InputManual && !m_checks.checkBt())
        return false;
    if (!poolMode && m_btPool.isExhausted() && !pendingAddress) {
        failCycle();
        m_frontEnd.logLine(tr("No BT can be written!"), LineColour::Error);
        return false;
    }
    if (m_btPool.isExhausted())
        return true;
    m_settings.currentBt = m_btPool.values[m_btPool.cursor++];
    if (inputType != InputManual)
        m_taken.bt = m_settings.currentBt;
    if (inputType != InputManual)
        m_frontEnd.setFieldText(IdentityField::Bt, m_settings.currentBt);
    return true;
}
