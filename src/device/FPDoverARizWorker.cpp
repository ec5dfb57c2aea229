// The steps of a write or read cycle, from the opening of the port to the mark in the line's ledger. Past 600
// lines: the steps share the cycle's state (connection, factory data, stop flags) and read best in their order.
#include "device/FPDoverARizWorker.h"

#include "config/ToolSettings.h"
#include "history/HistoryAppends.h"
#include "history/HistoryFiles.h"
#include "history/StationHistories.h"
#include "identity/IdentityClaims.h"
#include "identity/IdentityGate.h"
#include "identity/ImeiRules.h"
#include "identity/LocalIssuedIdentities.h"
#include "ports/PortLockGuard.h"

#include "tgtlink/ChipInfo.h"
#include "tgtlink/DeviceBackend.h"
#include "tgtlink/FactorySet.h"
#include "tgtlink/FlashProgram.h"
#include "tgtlink/LodData.h"
#include "tgtlink/RamRun.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>

const QColor FPDoverARizWorker::InfoFg = lineColours(LineColour::Info).fg;
const QColor FPDoverARizWorker::InfoBg = lineColours(LineColour::Info).bg;
const QColor FPDoverARizWorker::ProgressFg = lineColours(LineColour::Progress).fg;
const QColor FPDoverARizWorker::ProgressBg = lineColours(LineColour::Progress).bg;
const QColor FPDoverARizWorker::PassFg = lineColours(LineColour::Pass).fg;
const QColor FPDoverARizWorker::PassBg = lineColours(LineColour::Pass).bg;
const QColor FPDoverARizWorker::ErrorFg = lineColours(LineColour::Error).fg;
const QColor FPDoverARizWorker::ErrorBg = lineColours(LineColour::Error).bg;
const QColor FPDoverARizWorker::WarningFg = lineColours(LineColour::Warning).fg;
const QColor FPDoverARizWorker::WarningBg = lineColours(LineColour::Warning).bg;

namespace {
// The fixed pauses of a cycle, in milliseconds.
constexpr int StopPollPause = 2000;
constexpr int IdlePollPause = 50;
constexpr int FailurePause = 1000;
constexpr int BeforeSavePause = 1000;
constexpr int ComManualConfirmPause = 5000;

QString libText(int code)
{
    return QString::fromStdString(TargetStrError(code));
}

bool allBitsSet(unsigned value)
{
    return value == FlashInfo::NotReported;
}
} // namespace

struct FPDoverARizWorker::CycleConfig
{
    CycleConfig(const ToolSettings &s, bool stationFlags)
        : stationFlagsEnabled(stationFlags), operationMode(s.operationMode), runType(s.RunType), portName(s.portName),
          initFactData(s.initFactData), factoryReset(s.FactoryReset), isPhaseCheck(s.isPhaseCheck),
          checkStation(s.checkStation), currentStation(s.currentStation), expectedVersion(s.expectedVersion),
          keyVersion(s.KeyVersion), keyVersionLen(s.KeyVersionLen), imeiNum(s.ImeiNum),
          imeiInputTypes(s.imeiInputTypes), mbsnInputType(s.MbsnInputType), psnInputType(s.PsnInputType),
          btInputType(s.BTInputType), imeiSave(s.ImeiSave), mbsnSave(s.MbsnSave), psnSave(s.PsnSave), btSave(s.BTSave),
          imeiList(s.imeiList), mbsn(s.currentMbsn), psn(s.currentPsn), bt(s.currentBt)
    {
        checks.imei = s.ImeiCheckRepetitive;
        checks.mbsn = s.MbsnCheckRepetitive;
        checks.psn = s.PsnCheckRepetitive;
        checks.bt = s.BTCheckRepetitive;
    }

    // The set this cycle writes, as the record and the ledger see it.
    IdentityClaims::Set set() const
    {
        IdentityClaims::Set set;
        if (has(RunImei))
            set.imeis = imeiList.mid(0, std::max(0, std::min(int(imeiList.size()), imeiNum)));
        if (has(RunMbsn))
            set.mbsn = mbsn;
        if (has(RunPsn))
            set.psn = psn;
        if (has(RunBt))
            set.bt = bt;
        return set;
    }

    bool isWrite() const { return operationMode == OpWrite; }
    bool isRead() const { return operationMode == OpRead; }
    bool has(int item) const { return (runType & item) != 0; }

    const bool stationFlagsEnabled;
    const int operationMode;
    const int runType;
    const QString portName;
    const bool initFactData;
    const bool factoryReset;
    const bool isPhaseCheck;
    const QString checkStation;
    const QString currentStation;
    const QString expectedVersion;
    bool setFromRecord = true; // the pending set of the record, which the cycle empties
    const QString keyVersion;
    const int keyVersionLen;
    const int imeiNum;
    const QVector<int> imeiInputTypes;
    const int mbsnInputType;
    const int psnInputType;
    const int btInputType;
    const bool imeiSave;
    const bool mbsnSave;
    const bool psnSave;
    const bool btSave;
    // Not const: the gate brings them to their canonical form before anything is recorded or written.
    QStringList imeiList;
    QString mbsn;
    QString psn;
    QString bt;
    IdentityGate::Checks checks;
};

struct FPDoverARizWorker::Request
{
    std::unique_ptr<CycleConfig> config;
    bool cancelled = false;
};

FPDoverARizWorker::FPDoverARizWorker(QObject *parent) : QObject(parent) {}

FPDoverARizWorker::~FPDoverARizWorker() = default;

void FPDoverARizWorker::setHistories(StationHistories *histories)
{
    m_histories = histories;
    m_issued = histories ? std::make_unique<LocalIssuedIdentities>(*histories) : nullptr;
    m_gate = m_issued ? std::make_unique<IdentityGate>(*m_issued) : nullptr;
}

void FPDoverARizWorker::setClaims(std::unique_ptr<IdentityClaims> claims)
{
    m_claims = std::move(claims);
}

void FPDoverARizWorker::setPauseFunction(PauseFunction pause)
{
    m_pause = std::move(pause);
}

void FPDoverARizWorker::pause(int ms)
{
    if (m_pause)
        m_pause(ms);
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

void FPDoverARizWorker::info(const QString &text)
{
    emit workerStatus(text, InfoFg, InfoBg);
}

void FPDoverARizWorker::progress(const QString &text)
{
    emit workerStatus(text, ProgressFg, ProgressBg);
}

void FPDoverARizWorker::pass(const QString &text)
{
    emit workerStatus(text, PassFg, PassBg);
}

void FPDoverARizWorker::error(const QString &text)
{
    emit workerStatus(text, ErrorFg, ErrorBg);
}

void FPDoverARizWorker::warning(const QString &text)
{
    emit workerStatus(text, WarningFg, WarningBg);
}

void FPDoverARizWorker::stop()
{
    progress(tr("Stop ..."));
    requestStop();
    while (m_running) {
        QCoreApplication::processEvents();
        pause(StopPollPause);
    }
}

void FPDoverARizWorker::requestStart()
{
    if (!m_settings)
        return;
    auto config = std::make_unique<CycleConfig>(*m_settings, m_stationFlagsEnabled);
    QMutexLocker locker(&m_requestMutex);
    m_stopRequested = false;
    m_requests.push_back({std::move(config), false});
}

void FPDoverARizWorker::requestStart(const IdentitySet &set)
{
    if (!m_settings)
        return;
    auto config = std::make_unique<CycleConfig>(*m_settings, m_stationFlagsEnabled);
    config->imeiList = set.imeis;
    config->mbsn = set.mbsn;
    config->psn = set.psn;
    config->bt = set.bt;
    config->setFromRecord = false;
    QMutexLocker locker(&m_requestMutex);
    m_stopRequested = false;
    m_requests.push_back({std::move(config), false});
}

void FPDoverARizWorker::requestStop()
{
    {
        QMutexLocker locker(&m_requestMutex);
        m_stopRequested = true;
        for (Request &request : m_requests)
            request.cancelled = true;
    }
    QMutexLocker locker(&m_programmerMutex);
    if (m_programmer && !m_committed)
        m_programmer->abortRequested = true;
}

bool FPDoverARizWorker::commitToWrite()
{
    QMutexLocker locker(&m_programmerMutex);
    if (m_stopRequested && !m_committed)
        return false;
    m_committed = true;
    return true;
}

bool FPDoverARizWorker::abortedByStop(int code) const
{
    return code == TGT_ERR_ABORTED && m_stopRequested;
}

bool FPDoverARizWorker::takeCycle()
{
    QMutexLocker locker(&m_requestMutex);
    if (m_requests.empty()) {
        // Not requested through requestStart(): a stop asked for between cycles has no effect.
        m_stopRequested = false;
        m_cycle = std::make_unique<CycleConfig>(*m_settings, m_stationFlagsEnabled);
        return true;
    }
    Request request = std::move(m_requests.front());
    m_requests.pop_front();
    if (request.cancelled)
        return false;
    m_cycle = std::move(request.config);
    return true;
}

void FPDoverARizWorker::waitStopped()
{
    while (m_running) {
        QCoreApplication::processEvents();
        pause(IdlePollPause);
    }
}

void FPDoverARizWorker::start()
{
    if (!m_settings)
        return;
    // Running before the request is taken, so that a stop from now on either cancels it or waits for it.
    m_running = true;
    if (!takeCycle()) {
        m_running = false;
        return;
    }
    const CycleConfig &cycle = *m_cycle;
    PortLockGuard portLock(m_portLock, cycle.portName);

    // A failed opening is reported and cleaned up like every other failure.
    m_committed = false;
    m_factoryDataDirty = false;
    m_flashInfo.clear();
    m_flashVersion.clear();
    m_chipId.clear();

    int result = openConnection();
    if (result == Success) {
        m_chipInfo->clearCache();
        QMutexLocker locker(&m_programmerMutex);
        m_programmer = new FlashProgram(m_connection, m_chipInfo, this);
    }
    if (result == Success)
        result = runSequence();

    if (cycle.isWrite() && cycle.setFromRecord)
        m_settings->clearCurrentIdentities(false);

    delete m_factorySet;
    m_factorySet = nullptr;
    {
        QMutexLocker locker(&m_programmerMutex);
        delete m_programmer;
        m_programmer = nullptr;
    }
    closeConnection();

    if (result == Success) {
        emit workerFinish(true);
        emit setWRStatus(PanelStates::StateFinished);
    } else if (result == Stopped) {
        emit setWRStatus(PanelStates::StateIdle);
    } else {
        emit workerFinish(false);
        emit workerException();
        emit setWRStatus(PanelStates::StateError);
    }
    pass(tr("Stop exited"));
    m_cycle.reset();
    m_running = false;
}

int FPDoverARizWorker::openConnection()
{
    if (m_connection)
        return Success;
    const QString &port = m_cycle->portName;
    m_connection = CreateTargetConnection(port);
    if (!m_connection) {
        // Without a device backend no port can open: say why, not only that it did not.
        if (!DeviceBackend::isLoaded())
            error(DeviceBackend::error());
        error(tr("Unable to open port %1: no handset answers there, or the port is in use").arg(port));
        return NoConnection;
    }
    m_chipInfo = new ChipInfo(m_connection);
    const int prepared = m_chipInfo->hostPrepareRamRun(m_cycle->has(RunCheckVersion));
    if (prepared < 0) {
        error(tr("Unable to prepare the handset on port %1: %2").arg(port, libText(prepared)));
        return prepared;
    }
    return Success;
}

void FPDoverARizWorker::closeConnection()
{
    if (!m_connection && !m_chipInfo)
        return;
    progress(tr("Close port %1").arg(m_cycle->portName));
    delete m_chipInfo;
    m_chipInfo = nullptr;
    delete m_connection;
    m_connection = nullptr;
}

int FPDoverARizWorker::runSequence()
{
    const CycleConfig &cycle = *m_cycle;
    if (stopped())
        return Stopped;
    emit setWRStatus(PanelStates::StateBusy);
    info(QString());
    info(tr("Init flash information ..."));

    int result = prepareHandset();
    if (result != Success)
        return result;

    if (stopped())
        return Stopped;
    if (checkStationFlag() != Success) {
        error(tr("Check flags failed!"));
        return StationCheckFailed;
    }

    if (stopped())
        return Stopped;
    // A read cycle never changes the handset's data, whatever the settings ask for.
    if (cycle.isRead() && cycle.initFactData)
        info(tr("Read cycle: the factory data is not initialised"));
    else if (initFactoryData() < 0)
        return Failed;

    if (stopped())
        return Stopped;
    if (cycle.isRead() && cycle.factoryReset)
        info(tr("Read cycle: the factory reset is skipped"));
    else
        factoryReset();

    if (stopped())
        return Stopped;
    if (cycle.isRead()) {
        result = readIdentities();
        if (result != Success)
            emit workerStatus(result);
        return result;
    }
    if (cycle.isWrite()) {
        result = writeIdentities();
        if (result != Success)
            return result;
        return confirmWrite();
    }
    return Success;
}

int FPDoverARizWorker::prepareHandset()
{
    const CycleConfig &cycle = *m_cycle;
    if (!m_chipInfo)
        return NoConnection;

    int code = m_flashInfo.loadFromTarget(m_connection, m_chipInfo);
    if (abortedByStop(code))
        return Stopped;
    if (code != TGT_OK) {
        error(tr("Unable to get flash info from device: %1").arg(libText(code)));
        return code;
    }
    if (stopped())
        return Stopped;
    if (m_flashInfo.flashModel.empty()) {
        error(tr("Flash model is unknown"));
        return LayoutOrImageMissing;
    }
    if (allBitsSet(m_flashInfo.factoryBase) || allBitsSet(m_flashInfo.factorySize)) {
        warning(tr("Factory base and size are unknown"));
        return LayoutOrImageMissing;
    }
    unsigned chipId = 0;
    code = m_chipInfo->getChipId(chipId);
    if (code != TGT_OK) {
        error(tr("Unable to get chip ID: %1").arg(libText(code)));
        return code;
    }
    m_chipId = QStringLiteral("0x") + QString::number(chipId, 16).toUpper();
    if (stopped())
        return Stopped;
    if (!ChipInfo::IsChipIdSupported(chipId)) {
        warning(tr("Unsupported chip"));
        return ChipNotSupported;
    }
    code = checkVersion();
    if (code < 0)
        return code;
    if (stopped())
        return Stopped;

    const QString lodName = ChipInfo::RamrunFname(m_connection->kind(), chipId, m_flashInfo.flashModel);
    if (lodName.isEmpty()) {
        error(tr("Unable to determine ramrun lod file name"));
        return LayoutOrImageMissing;
    }
    if (!QFileInfo::exists(lodName)) {
        error(tr("Ramrun lod file %1 not exist").arg(lodName));
        return LayoutOrImageMissing;
    }
    // A pipe or a device in its place would block the read, and the cycle with it, for good.
    if (!QFileInfo(lodName).isFile()) {
        error(tr("The RAM-run image %1 is not a regular file").arg(lodName));
        return LayoutOrImageMissing;
    }
    {
        LodData lod;
        if (!lod.load(lodName)) {
            error(tr("Unable to load ramrun lod file %1").arg(lodName));
            return LayoutOrImageMissing;
        }
        RamRun ramRun;
        ramRun.init(m_chipInfo, &lod, m_connection);
        code = ramRun.run();
        if (abortedByStop(code))
            return Stopped;
        if (code != TGT_OK) {
            error(QStringLiteral("Download ramrun lod failed: %1").arg(libText(code)));
            return code;
        }
    }
    code = m_programmer->checkStart();
    if (abortedByStop(code))
        return Stopped;
    if (code != TGT_OK) {
        error(QStringLiteral("Flash programmer not started: %1").arg(libText(code)));
        return code;
    }
    info(tr("Begin to read information from flash ..."));
    m_factorySet = CreateFactorySet(m_flashInfo, m_connection, m_chipInfo);
    if (!m_factorySet) {
        error(tr("Invalid station setting magic"));
        return Failed;
    }
    if (stopped())
        return Stopped;
    if (!(cycle.isWrite() && cycle.initFactData)) {
        code = m_factorySet->loadFromDevice(m_programmer);
        if (abortedByStop(code))
            return Stopped;
        if (code != TGT_OK) {
            error(tr("Failed to read factory data from device: %1").arg(libText(code)));
            return Failed;
        }
    }
    reportVersion();
    return Success;
}

int FPDoverARizWorker::checkStationFlag()
{
    const CycleConfig &cycle = *m_cycle;
    if (!cycle.isPhaseCheck || cycle.initFactData || cycle.checkStation.isEmpty() || !cycle.stationFlagsEnabled)
        return Success;
    progress(tr("Check flags ..."));
    bool found = false;
    bool passed = false;
    if (m_factorySet->queryStation(cycle.checkStation.toStdString(), found, passed) != TGT_OK) {
        error(tr("Failed to check station!"));
        return Failed;
    }
    if (!found) {
        error(tr("Missing station: %1!").arg(cycle.checkStation));
        return Failed;
    }
    if (!passed) {
        error(tr("Failed station: %1!").arg(cycle.checkStation));
        return Failed;
    }
    return Success;
}

int FPDoverARizWorker::initFactoryData()
{
    if (!m_cycle->initFactData)
        return Success;
    info(tr("Init factory data ..."));
    m_factorySet->initialize();
    m_factoryDataDirty = true;
    return Success;
}

void FPDoverARizWorker::factoryReset()
{
    if (!m_cycle->factoryReset)
        return;
    progress(tr("FactoryReset ..."));
    if (!m_programmer) {
        error(tr("Programmer is nullptr"));
        return;
    }
    if (allBitsSet(m_flashInfo.userAreaStart) || allBitsSet(m_flashInfo.userAreaSize)) {
        error(tr("The address of user data is invalid"));
        return;
    }
    const int code = m_programmer->erase(m_flashInfo.userAreaStart, m_flashInfo.userAreaSize);
    if (code == TGT_OK)
        pass(tr("Factory reset successfully!"));
    else if (!abortedByStop(code)) // the sequence's next check ends a stopped cycle
        error(tr("Factory reset failed!"));
}

int FPDoverARizWorker::writeStationFlag()
{
    const CycleConfig &cycle = *m_cycle;
    if (!cycle.isPhaseCheck || cycle.currentStation.isEmpty() || !cycle.stationFlagsEnabled)
        return Success;
    progress(tr("Write flag ..."));
    // A flag that did not reach the factory data must not end in a passed cycle.
    const int code = m_factorySet->setStation(cycle.currentStation.toStdString(), true);
    if (code != TGT_OK) {
        error(tr("Failed to write station flag %1: %2").arg(cycle.currentStation, libText(code)));
        return Failed;
    }
    m_factoryDataDirty = true;
    return Success;
}

int FPDoverARizWorker::saveFactoryData()
{
    if (!m_factoryDataDirty)
        return Success;
    const int code = m_factorySet->saveToDevice(m_programmer);
    if (abortedByStop(code))
        return Stopped;
    if (code != TGT_OK) {
        error(tr("Failed to update factory data"));
        return Failed;
    }
    return Success;
}

int FPDoverARizWorker::checkVersion()
{
    const CycleConfig &cycle = *m_cycle;
    if (!cycle.has(RunCheckVersion))
        return Success;
    const QString &expected = cycle.expectedVersion;
    std::string read;
    if (m_chipInfo->getVersion(read) != TGT_OK) {
        m_flashVersion = "FAILED-1";
        if (expected.isEmpty())
            return Success;
        error(tr("Failed to get version!"));
        return Failed;
    }
    m_flashVersion = read;
    const QString flash = QString::fromStdString(read);
    if (expected.isEmpty() || expected == flash)
        return Success;
    if (flash.contains(expected) && !cycle.keyVersion.isEmpty() && cycle.keyVersionLen > 0) {
        const qsizetype p = expected.indexOf(cycle.keyVersion);
        if (p >= 0 && expected.size() - p >= cycle.keyVersionLen &&
            flash.contains(expected.mid(p, cycle.keyVersionLen)))
            return Success;
    }
    error(tr("The version does not match, its value is %1 in flash !").arg(flash));
    return Failed;
}

void FPDoverARizWorker::reportVersion()
{
    const CycleConfig &cycle = *m_cycle;
    if (!cycle.has(RunCheckVersion))
        return;
    if (!cycle.expectedVersion.isEmpty())
        pass(tr("Version checking successful!"));
    else if (m_flashVersion == "FAILED-1")
        error(tr("Failed to get version!"));
    else
        emit sngVersionHasRead(QString::fromStdString(m_flashVersion));
}

int FPDoverARizWorker::readIdentities()
{
    const CycleConfig &cycle = *m_cycle;
    QStringList imeis;
    QString mbsn, psn, bt;
    if (cycle.has(RunImei)) {
        for (int i = 0; i < 4; ++i)
            imeis << QString::fromStdString(m_factorySet->getImei(i));
    }
    if (stopped())
        return Stopped;
    if (cycle.has(RunMbsn))
        mbsn = QString::fromStdString(m_factorySet->getMbsn());
    if (cycle.has(RunPsn))
        psn = QString::fromStdString(m_factorySet->getPsn());
    if (stopped())
        return Stopped;
    if (cycle.has(RunBt))
        bt = QString::fromStdString(m_factorySet->getBt());
    emit sngIMEIsHasRead(imeis, mbsn, psn, bt);
    confirmRead(imeis, mbsn, psn, bt);

    const int flag = writeStationFlag();
    if (flag < 0)
        return flag;
    if (stopped())
        return Stopped;
    pause(BeforeSavePause);
    const int saved = saveFactoryData();
    if (saved == Stopped)
        return Stopped;
    if (saved != Success) {
        error(tr("Writing station is  failed!"));
        return Failed;
    }
    return Success;
}

int FPDoverARizWorker::writeIdentities()
{
    if (!admitSet())
        return Failed;
    const CycleConfig &cycle = *m_cycle;
    const int n = std::max(0, std::min(int(cycle.imeiList.size()), cycle.imeiNum));
    // Whatever ends the cycle after the first record leaves those identities in the history and off the handset:
    // gone for good, so the operator learns which.
    struct Recorded
    {
        FPDoverARizWorker &worker;
        QStringList values;
        bool written = false;
        ~Recorded()
        {
            values.removeDuplicates();
            if (!written && !values.isEmpty())
                worker.warning(
                    tr("%1 recorded in the history and not written: not handed out again.").arg(values.join(u'/')));
        }
    } recorded{*this, {}};
    // The records are written as each identity is set and flushed together before the claim and the save.
    HistoryAppends records;
    if (cycle.has(RunImei) && n > 0) {
        for (int i = 0; i < n; ++i) {
            const QString &imei = cycle.imeiList.at(i);
            const int code = m_factorySet->setImei(i, imei.toStdString(), true);
            if (code == TGT_OK)
                continue;
            if (code == TGT_ERR_INVALID_IMEI)
                error(tr("IMEI%1 is invalid,you can use %2,please check!").arg(i + 1).arg(adjustImei(imei)));
            else
                error(tr("Set IMEI%1 failed!").arg(i + 1));
            pause(FailurePause);
            return Failed;
        }
        if (cycle.imeiSave && !commitToWrite())
            return Stopped;
        if (cycle.imeiSave && !recordImeiHistory(*m_histories, cycle.imeiList, m_settings->ImeiNum, &records)) {
            error(tr("Unable to record the IMEIs in %1; the handset is not written").arg(historyFilePath(RunImei)));
            return Failed;
        }
        if (cycle.imeiSave)
            recorded.values << cycle.imeiList.mid(0, n);
    }
    if (stopped())
        return Stopped;

    struct Item
    {
        int bit;
        const QString &value;
        int (FactorySet::*set)(const std::string &);
        bool save;
        QString failure;
    };
    const Item items[] = {
        {RunMbsn, cycle.mbsn, &FactorySet::setMbsn, cycle.mbsnSave, tr("write MBSN error!")},
        {RunPsn, cycle.psn, &FactorySet::setPsn, cycle.psnSave, tr("write PSN error!")},
        {RunBt, cycle.bt, &FactorySet::setBt, cycle.btSave, tr("write BT error!")},
    };
    for (const Item &item : items) {
        if (!cycle.has(item.bit) || item.value.isEmpty())
            continue;
        if ((m_factorySet->*item.set)(item.value.toStdString()) != TGT_OK) {
            error(item.failure);
            pause(FailurePause);
            return Failed;
        }
        if (item.save && !commitToWrite())
            return Stopped;
        if (item.save && !recordHistory(*m_histories, item.bit, item.value, &records)) {
            error(
                tr("Unable to record %1 in %2; the handset is not written").arg(item.value, historyFilePath(item.bit)));
            return Failed;
        }
        if (item.save)
            recorded.values << item.value;
    }
    const QList<int> unrecorded = records.flush();
    // Recorded or not, none of these identities is handed out again in this run.
    m_gate->remember(cycle.set());
    if (!unrecorded.isEmpty()) {
        const int kind = unrecorded.front();
        if (kind == RunImei) {
            error(tr("Unable to record the IMEIs in %1; the handset is not written").arg(historyFilePath(RunImei)));
        } else {
            const QString &value = kind == RunMbsn ? cycle.mbsn : kind == RunPsn ? cycle.psn : cycle.bt;
            error(tr("Unable to record %1 in %2; the handset is not written").arg(value, historyFilePath(kind)));
        }
        return Failed;
    }
    const int written = writeRecordedSet(n);
    recorded.written = written == Success;
    return written;
}

// The set is in the station's history: the line's claim, the station flag and the save to the handset.
int FPDoverARizWorker::writeRecordedSet(int imeiCount)
{
    const CycleConfig &cycle = *m_cycle;
    const int n = imeiCount;
    if (stopped())
        return Stopped;
    // The line's claim comes after the station's own record and before anything reaches the flash.
    qint64 claimId = 0;
    const int claimed = claimSet(&claimId);
    if (claimed != Success)
        return claimed;

    const int flag = writeStationFlag();
    if (flag < 0)
        return flag;
    if (stopped())
        return Stopped;
    pause(BeforeSavePause);
    info(tr("Writing data to flash..."));
    m_factoryDataDirty = true;
    const int saved = saveFactoryData();
    if (saved == Stopped)
        return Stopped;
    if (saved != Success) {
        error(tr("Writing is  failed!"));
        return Failed;
    }
    markWritten(claimId);
    emit sngIMEIsHasWritten(cycle.imeiList.mid(0, n), cycle.mbsn, cycle.psn, cycle.bt);
    return Success;
}

bool FPDoverARizWorker::admitSet()
{
    CycleConfig &cycle = *m_cycle;
    if (!m_gate)
        return true;
    if (!m_histories->problem.isEmpty()) {
        error(tr("Nothing is written while the histories cannot be read: %1").arg(m_histories->problem));
        pause(FailurePause);
        return false;
    }
    IdentityClaims::Set set = cycle.set();
    QString why;
    if (!m_gate->admit(set, cycle.checks, &why)) {
        error(why);
        pause(FailurePause);
        return false;
    }
    if (cycle.has(RunBt))
        cycle.bt = set.bt;
    return true;
}

int FPDoverARizWorker::claimSet(qint64 *claimId)
{
    *claimId = 0;
    if (!m_claims)
        return Success;
    const CycleConfig &cycle = *m_cycle;
    // Marks that the ledger missed earlier go first: their handsets are written.
    for (qsizetype i = m_unmarked.size() - 1; i >= 0; --i) {
        if (m_claims->markWritten(m_unmarked.at(i), nullptr) == IdentityClaims::Done)
            m_unmarked.remove(i);
    }
    const IdentityClaims::Set set = cycle.set();
    QString message;
    switch (m_claims->claim(set, cycle.portName, m_chipId, claimId, &message)) {
    case IdentityClaims::Done:
        return Success;
    case IdentityClaims::Held:
        error(tr("Already issued on the line, the handset is not written: %1").arg(message));
        break;
    default:
        error(message);
        break;
    }
    pause(FailurePause);
    return Failed;
}

void FPDoverARizWorker::markWritten(qint64 claimId)
{
    if (!m_claims || claimId == 0)
        return;
    QString message;
    if (m_claims->markWritten(claimId, &message) == IdentityClaims::Done)
        return;
    // The handset holds the set and the ledger its claim: only the mark is late, and the next write brings it.
    m_unmarked.append(claimId);
    warning(tr("The handset is written; the line's ledger will be told at the next write: %1").arg(message));
}

void FPDoverARizWorker::confirmRead(const QStringList &imeis, const QString &mbsn, const QString &psn,
                                    const QString &bt)
{
    if (!m_claims)
        return;
    QString message;
    const IdentityClaims::Result result =
        m_claims->confirmRead({imeis, mbsn, psn, bt}, m_cycle->portName, m_chipId, &message);
    if (result != IdentityClaims::Done || !message.isEmpty())
        warning(message);
}

int FPDoverARizWorker::confirmWrite()
{
    const CycleConfig &cycle = *m_cycle;
    bool manual = false;
    if (cycle.has(RunImei)) {
        for (int i = 0; i < cycle.imeiNum && i < cycle.imeiInputTypes.size(); ++i)
            manual = manual || cycle.imeiInputTypes.at(i) == InputManual;
    }
    manual = manual || (cycle.has(RunMbsn) && cycle.mbsnInputType == InputManual) ||
             (cycle.has(RunPsn) && cycle.psnInputType == InputManual) ||
             (cycle.has(RunBt) && cycle.btInputType == InputManual);
    if (cycle.portName.contains(QLatin1String("COM")) && manual)
        pause(ComManualConfirmPause);
    pass(tr("Writing is successful."));
    return Success;
}
