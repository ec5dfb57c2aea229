#include "device/StationCycle.h"

#include "config/AppPaths.h"
#include "config/ToolSettings.h"
#include "device/FPDoverARizWorker.h"
#include "device/StationFrontEnd.h"
#include "identity/IdentityAllocator.h"
#include "identity/IdentityFieldOrder.h"
#include "identity/ImeiRules.h"

#include <QDir>
#include <QFileInfo>

namespace {
// The repeated write test's pause between a passed write and the next.
constexpr int LoopTestPause = 5000;

QString settingsFileName()
{
    return QDir::toNativeSeparators(QFileInfo(ToolSettings::filePath()).absoluteFilePath());
}
} // namespace

StationCycle::StationCycle(ToolSettings &settings, IdentityAllocator &identities, StationFrontEnd &frontEnd,
                           QObject *parent)
    : QObject(parent), m_settings(settings), m_identities(identities), m_frontEnd(frontEnd), m_startTimer(this),
      m_loopTestTimer(this)
{
    m_startTimer.setSingleShot(true);
    connect(&m_startTimer, &QTimer::timeout, this, &StationCycle::startDelayEnded);
    m_loopTestTimer.setSingleShot(true);
    m_loopTestTimer.setInterval(LoopTestPause);
    connect(&m_loopTestTimer, &QTimer::timeout, this, &StationCycle::loopTestPauseEnded);
}

void StationCycle::log(const QString &text, LineColour colour)
{
    m_frontEnd.logLine(text, colour);
}

void StationCycle::setState(int state)
{
    m_state = state;
    if (m_state == StateReady && m_settings.portName.isEmpty())
        m_state = StateNoPort;
    m_frontEnd.showStationState(m_state);
}

bool StationCycle::cycleInProgress() const
{
    return m_allocating || m_cycleRequested || (m_worker && m_worker->isRunning());
}

bool StationCycle::allocate()
{
    if (m_allocating)
        return false;
    if (m_sourceWaits)
        m_sourceWaits(SourceWaits::Begin);
    m_allocating = true;
    m_stopAsked = false;
    m_handsetChanged = false;
    const bool allocated = m_identities.allocateIdentities();
    m_allocating = false;
    if (m_sourceWaits)
        m_sourceWaits(SourceWaits::End);
    if (!m_stopAsked)
        return allocated;
    m_stopAsked = false;
    stop();
    return false;
}

bool StationCycle::versionStep()
{
    ToolSettings &s = m_settings;
    s.expectedVersion.clear();
    if (!(s.RunType & RunCheckVersion))
        return true;
    const QString version = m_frontEnd.versionText();
    if (version.isEmpty() && s.operationMode != OpRead) {
        log(tr("The version cann't be empty!"), LineColour::Error);
        m_frontEnd.focusVersion();
        return false;
    }
    s.expectedVersion = version;
    return true;
}

// The pending set is complete: what the operator typed is checked again and becomes part of it.
bool StationCycle::takeOperatorValues()
{
    ToolSettings &s = m_settings;
    IdentityChecks &checks = m_identities.checks();
    if (s.RunType & RunImei) {
        const int n = IdentityFieldOrder::imeiCount(s);
        bool typed = false;
        for (int i = 0; i < n; ++i)
            typed = typed || IdentityFieldOrder::isOperatorEntered(s, IdentityField(i));
        if (typed && !checks.checkImeiSet(true))
            return false;
        for (int i = 0; i < n; ++i) {
            while (s.imeiList.size() <= i)
                s.imeiList.append(QString());
            s.imeiList[i] = m_frontEnd.fieldText(IdentityField(i));
        }
    }
    if (IdentityFieldOrder::isOperatorEntered(s, IdentityField::Mbsn) && !checks.checkMbsn())
        return false;
    if (IdentityFieldOrder::isOperatorEntered(s, IdentityField::Psn) && !checks.checkPsn())
        return false;
    if (IdentityFieldOrder::isOperatorEntered(s, IdentityField::Bt) && !checks.checkBt())
        return false;
    m_frontEnd.showValues(s.imeiList, s.currentMbsn, s.currentPsn, s.currentBt);
    return true;
}

// The record's pending set becomes the armed cycle's own; the start delay runs.
void StationCycle::arm()
{
    const ToolSettings &s = m_settings;
    IdentityClaims::Set set;
    if (s.operationMode == OpWrite) {
        if (s.RunType & RunImei)
            set.imeis = s.imeiList;
        if (s.RunType & RunMbsn)
            set.mbsn = s.currentMbsn;
        if (s.RunType & RunPsn)
            set.psn = s.currentPsn;
        if (s.RunType & RunBt)
            set.bt = s.currentBt;
        m_set = set;
    }
    m_startTimer.start(s.StartDelay);
    if (std::exchange(m_handsetChanged, false) && handsetChangedInDelay() && !m_settings.portName.isEmpty())
        startNextContinuousCycle();
}

void StationCycle::dropSet()
{
    m_startTimer.stop();
    m_set.reset();
    if (m_settings.operationMode == OpWrite)
        m_settings.clearCurrentIdentities(false);
    m_identities.giveBack();
}

void StationCycle::write()
{
    ToolSettings &s = m_settings;
    // Write is disabled then, but a scanner's Return on the last field or an unattended run still ask for it.
    if (!s.isFileUsable()) {
        log(tr("Write is disabled: the settings file %1 cannot be used: %2").arg(settingsFileName(), s.fileProblem()),
            LineColour::Error);
        return;
    }
    // A Return chain that ends again (a scanner's trailing Return) must not start a second cycle on this set.
    if (cycleInProgress())
        return;
    m_frontEnd.setCountersEnabled(true);
    m_stopped = false;
    m_startTimer.stop();
    // Write again in the delay arms the set anew from the same pending values.
    const bool wasArmed = m_set.has_value();
    m_set.reset();
    s.operationMode = OpWrite;
    if (!versionStep()) {
        if (wasArmed) {
            dropSet();
            setState(StateReady);
        }
        return;
    }
    setState(StateBusy);
    if (s.RunType & RunImei)
        m_frontEnd.setImeiMaxLength(4);
    // Every write marks the station, also one of typed values only after a read cleared the flag.
    m_worker->setStationFlagsEnabled(true);
    if (!s.isIdentityMissing()) {
        if (!takeOperatorValues()) {
            dropSet();
            setState(StateReady);
            return;
        }
    } else if (!allocate()) {
        if (!m_stopped)
            stop();
        return;
    }
    // Typed labels belong to one handset: whatever ran before (a Read runs on), this write does not go on.
    m_continuous = !s.hasManualInput();
    arm();
}

void StationCycle::read()
{
    if (cycleInProgress())
        return;
    if (m_set)
        dropSet();
    m_frontEnd.setCountersEnabled(false);
    m_stopped = false;
    m_settings.operationMode = OpRead;
    if (!versionStep())
        return;
    setState(StateBusy);
    arm();
    m_continuous = true;
}

void StationCycle::startDelayEnded()
{
    m_startTimer.stop();
    const bool writing = m_settings.operationMode == OpWrite;
    if (writing && !m_set)
        return; // nothing armed: the set was dropped, or the cycle started already
    if (m_settings.portName.isEmpty()) {
        if (!writing)
            return;
        // The set was made for a handset that is not there; continuous production makes the next one when a
        // handset comes.
        dropSet();
        log(tr("No handset on the port: the write is dropped."), LineColour::Warning);
        if (!m_continuous)
            setState(StateReady);
        return;
    }
    m_frontEnd.setVersionEditable(false);
    m_stopped = false;
    if (writing)
        startWrite();
    else
        startRead();
}

void StationCycle::startWrite()
{
    if (m_stopped || !m_set)
        return;
    // The armed set, whatever the fields or the record say now.
    ToolSettings &s = m_settings;
    s.imeiList = m_set->imeis;
    s.currentMbsn = m_set->mbsn;
    s.currentPsn = m_set->psn;
    s.currentBt = m_set->bt;
    QString label;
    const int lengths = checkIdentityLengths(s, label);
    if (lengths < 0) {
        if (lengths == -2) {
            log(tr("The first two digits of BT must be even number,please check!"), LineColour::Error);
            m_frontEnd.focusField(IdentityField::Bt, true);
        } else {
            log(tr("The length of %1 is not enough!").arg(label), LineColour::Error);
        }
        m_frontEnd.setStatusState(PanelStates::StateError);
        dropSet();
        m_continuous = false;
        m_frontEnd.setVersionEditable(true);
        setState(StateReady);
        return;
    }
    const IdentityClaims::Set set = *m_set;
    requestCycle(&set);
}

void StationCycle::startRead()
{
    if (m_stopped)
        return;
    m_frontEnd.clearFields();
    m_frontEnd.clearLog();
    if (m_settings.RunType & RunImei)
        m_frontEnd.setImeiMaxLength(m_settings.ImeiNum);
    m_worker->setStationFlagsEnabled(false);
    requestCycle(nullptr);
}

void StationCycle::requestCycle(const IdentityClaims::Set *set)
{
    // The worker's copy of the settings, taken here on the thread that owns them.
    if (set)
        m_worker->requestStart(*set);
    else
        m_worker->requestStart();
    m_cycleRequested = true;
    emit startWorker();
    QCoreApplication::processEvents();
}

void StationCycle::startNextContinuousCycle()
{
    const ToolSettings &s = m_settings;
    // A write of typed labels has no next set of its own: nothing is armed without the operator.
    if (s.operationMode == OpWrite && s.hasManualInput())
        return;
    if (s.operationMode == OpWrite)
        m_worker->setStationFlagsEnabled(true);
    if ((s.operationMode == OpRead || allocate()) && versionStep())
        arm();
}

void StationCycle::identitiesWritten(const QStringList &imeis, const QString &mbsn, const QString &psn,
                                     const QString &bt)
{
    const ToolSettings &s = m_settings;
    if ((s.RunType & RunImei) && !imeis.isEmpty()) {
        QStringList lines;
        for (int i = 0; i < imeis.size(); ++i)
            lines << tr("IMEI%1: %2 ").arg(i + 1).arg(imeis.at(i));
        log(lines.join(QLatin1Char('\n')), LineColour::Info);
    }
    if ((s.RunType & RunMbsn) && !mbsn.isEmpty())
        log(tr("MBSN: %1 ").arg(mbsn), LineColour::Info);
    if ((s.RunType & RunPsn) && !psn.isEmpty())
        log(tr("PSN: %1 ").arg(psn), LineColour::Info);
    if ((s.RunType & RunBt) && !bt.isEmpty())
        log(tr("BT: %1 ").arg(bt), LineColour::Info);
    log(tr("had  been successfully written to flash!"), LineColour::Info);
}

void StationCycle::identitiesRead(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt)
{
    const ToolSettings &s = m_settings;
    QStringList shown;
    for (const QString &imei : imeis)
        shown << imei.simplified().left(ToolSettings::ImeiLength);
    m_frontEnd.showValues(shown, mbsn.simplified().left(s.Mbsnlen), psn.simplified().left(s.Psnlen),
                          bt.simplified().left(s.btAddrLen));
    log(tr("Reading is successful!"), LineColour::Pass);
}

void StationCycle::versionRead(const QString &version)
{
    const ToolSettings &s = m_settings;
    if (!(s.RunType & RunCheckVersion) || !s.expectedVersion.isEmpty())
        return;
    m_frontEnd.setVersionText(version);
    log(tr("Version read successful!"), LineColour::Pass);
    log(tr("Version is %1 in flash!").arg(version.isEmpty() ? tr("empty") : version), LineColour::Pass);
}

void StationCycle::workerException()
{
    setState(StateLocked);
    m_continuous = false;
}

void StationCycle::workerStatus(int status)
{
    // Idle (stopped), finished and error are the worker's last report of a cycle.
    if (status == PanelStates::StateIdle || status == PanelStates::StateFinished || status == PanelStates::StateError)
        m_cycleRequested = false;
    m_frontEnd.setStatusState(status);
    if (status == PanelStates::StateError)
        setState(StateReady);
}

void StationCycle::workerFinished(bool ok)
{
    const ToolSettings &s = m_settings;
    const bool writing = s.operationMode == OpWrite;
    if (writing) {
        // A passed write recorded its set; a failed one gives back what no record holds.
        if (ok)
            m_identities.keep();
        m_set.reset();
        m_settings.clearCurrentIdentities(false);
        m_identities.giveBack();
        // The typed values belong to the handset just written: a stray Return must not write them again.
        if (ok)
            m_frontEnd.clearOperatorFields();
    }
    bool stoppedHere = false;
    if (!ok || (writing && s.hasManualInput())) {
        stop();
        stoppedHere = true;
    }
    if (s.RunType & RunCheckVersion)
        m_frontEnd.setVersionEditable(true);
    if (!writing)
        return;
    m_frontEnd.countCycle(ok);
    if (m_stopped)
        return;
    if (s.AutoLoopTest && (s.RunType & RunCheckVersion)) {
        log(tr("Can't do pressure test when including version checking!"), LineColour::Info);
        return;
    }
    // The pause runs on a timer, so that the window keeps painting and a Stop in it cancels the next cycle.
    if (s.AutoLoopTest && !stoppedHere && !s.portName.isEmpty())
        m_loopTestTimer.start();
}

void StationCycle::loopTestPauseEnded()
{
    m_startTimer.stop();
    m_worker->stop();
    m_worker->waitStopped();
    m_worker->setStationFlagsEnabled(true);
    if ((m_settings.hasManualInput() || allocate()) && versionStep())
        arm();
}

void StationCycle::stop()
{
    if (m_allocating) {
        // Allocation is on the stack below this Stop: it ends its wait now and stops when it returns.
        m_stopAsked = true;
        m_continuous = false;
        if (m_sourceWaits)
            m_sourceWaits(SourceWaits::GiveUp);
        return;
    }
    m_startTimer.stop();
    m_loopTestTimer.stop();
    if (m_worker) {
        m_worker->stop(); // also cancels a cycle asked for whose start() has not run yet
        m_worker->waitStopped();
    }
    m_cycleRequested = false;
    m_stopped = true;
    m_continuous = false;
    dropSet();
    setState(StateReady);
    m_frontEnd.setCountersEnabled(true);
    if (m_settings.RunType & RunCheckVersion)
        m_frontEnd.setVersionEditable(true);
    if (m_settings.operationMode == OpRead)
        m_frontEnd.clearOperatorFields();
}

// Another handset, or none, in the start delay; false when the cycle stays as it was left.
bool StationCycle::handsetChangedInDelay()
{
    const bool writing = m_settings.operationMode == OpWrite;
    if (writing) {
        dropSet();
        log(tr("The handset changed in the start delay: the write is dropped."), LineColour::Warning);
    } else {
        m_startTimer.stop();
    }
    if (m_continuous)
        return true;
    if (writing)
        m_frontEnd.clearOperatorFields();
    setState(StateReady);
    m_frontEnd.focusFirstField();
    return false;
}

void StationCycle::portScanned(const QStringList &ports)
{
    ToolSettings &s = m_settings;
    const QString port = ports.value(0);
    const bool changed = port != s.portName;
    s.portName = port;
    m_frontEnd.showPort(port);
    // The panel shows Idle only to a station that waits; from Write to the cycle's end it keeps the cycle's state,
    // and a cycle's end (its pass or its error) stays until another handset is plugged in.
    if (port.isEmpty())
        m_frontEnd.setStatusState(PanelStates::StateUnmount);
    else if (changed && !cycleInProgress() && !m_startTimer.isActive())
        m_frontEnd.setStatusState(PanelStates::StateIdle);

    // The set being made belongs to the handset that was there: the change counts once it is armed.
    if (m_allocating) {
        m_handsetChanged = m_handsetChanged || changed;
        return;
    }
    // A cycle asked for counts as running: the next handset's identities must not replace its set.
    if (cycleInProgress())
        return;
    if (m_startTimer.isActive()) {
        // In the start delay: the same handset reported again changes nothing; another one, or none, must not
        // get the set that was made for the one before.
        if (!changed || !handsetChangedInDelay())
            return;
    }
    if (!m_continuous) {
        if (m_state == StateBusy)
            return;
        if (!port.isEmpty())
            m_state = StateReady;
        else if (s.operationMode == OpWrite)
            m_frontEnd.clearOperatorFields();
        setState(m_state);
        m_frontEnd.focusFirstField();
        return;
    }
    if (!port.isEmpty())
        startNextContinuousCycle();
}
