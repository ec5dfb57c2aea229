#include "ConformanceRun.h"

#include "HandsetSession.h"

#include "tgtlink/ChipInfo.h"
#include "tgtlink/DeviceBackend.h"
#include "tgtlink/DeviceScan.h"
#include "tgtlink/FactorySet.h"
#include "tgtlink/FlashProgram.h"
#include "tgtlink/StationSetting.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"
#include "tgtlink/tgtlink_backend.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>

namespace {

// Long enough that only an honoured abort ends it in time (the bench scales it by TGTLINK_DELAY_SCALE).
constexpr int LongDelayMs = 600000;
constexpr int AbortAfterMs = 200;

QString codeText(int code)
{
    return QStringLiteral("%1 (%2)").arg(code).arg(QString::fromStdString(TargetStrError(code)));
}

struct Identities
{
    QStringList imeis;
    QString mbsn;
    QString psn;
    QString bt;

    bool operator==(const Identities &o) const
    {
        return imeis == o.imeis && mbsn == o.mbsn && psn == o.psn && bt == o.bt;
    }
    QString text() const { return QStringLiteral("%1/%2/%3/%4").arg(imeis.join(QLatin1Char(',')), mbsn, psn, bt); }
};

Identities makeSet(int n)
{
    Identities set;
    for (int i = 0; i < 4; ++i) {
        const std::string body =
            QStringLiteral("35%1%2").arg(n, 6, 10, QLatin1Char('0')).arg(i, 6, 10, QLatin1Char('0')).toStdString();
        set.imeis.append(QString::fromStdString(FactorySet::AddIMEIChecksum(body)));
    }
    set.mbsn = QStringLiteral("CONF-MBSN-%1").arg(n);
    set.psn = QStringLiteral("CONF-PSN-%1").arg(n);
    set.bt = QStringLiteral("0A1B2C3D4E%1").arg(n % 100, 2, 10, QLatin1Char('0'));
    return set;
}

Identities readSet(FactorySet *f)
{
    Identities set;
    for (int i = 0; i < 4; ++i)
        set.imeis.append(QString::fromStdString(f->getImei(i)));
    set.mbsn = QString::fromStdString(f->getMbsn());
    set.psn = QString::fromStdString(f->getPsn());
    set.bt = QString::fromStdString(f->getBt());
    return set;
}

int writeSet(FactorySet *f, const Identities &set)
{
    for (int i = 0; i < 4; ++i) {
        const int rc = f->setImei(i, set.imeis[i].toStdString(), true);
        if (rc != TGT_OK)
            return rc;
    }
    int rc = f->setMbsn(set.mbsn.toStdString());
    if (rc == TGT_OK)
        rc = f->setPsn(set.psn.toStdString());
    if (rc == TGT_OK)
        rc = f->setBt(set.bt.toStdString());
    return rc;
}

// Loads the handset's data, or starts from empty data on a blank handset.
int loadOrInitialize(HandsetSession &s)
{
    const int rc = s.factory()->loadFromDevice(s.programmer());
    if (rc == TGT_ERR_NO_FACTORY_DATA) {
        s.factory()->initialize();
        return TGT_OK;
    }
    return rc;
}

// The handset's data as a new session reads it.
QString readBack(const QString &port, Identities &set)
{
    HandsetSession s(port);
    if (s.start() != TGT_OK)
        return s.failure();
    const int rc = s.factory()->loadFromDevice(s.programmer());
    if (rc != TGT_OK)
        return QStringLiteral("load: ") + codeText(rc);
    set = readSet(s.factory());
    return QString();
}

// Saves `set` as the handset's data through a session of its own.
QString saveSet(const QString &port, const Identities &set)
{
    HandsetSession s(port);
    if (s.start() != TGT_OK)
        return s.failure();
    int rc = loadOrInitialize(s);
    if (rc == TGT_OK)
        rc = writeSet(s.factory(), set);
    if (rc == TGT_OK)
        rc = s.factory()->saveToDevice(s.programmer());
    return rc == TGT_OK ? QString() : QStringLiteral("save: ") + codeText(rc);
}

} // namespace

ConformanceRun::ConformanceRun(const QString &port, int abortBoundMs) : m_port(port), m_abortBoundMs(abortBoundMs) {}

QList<ConformanceRun::Row> ConformanceRun::run()
{
    const QList<QPair<QString, std::function<QString()>>> checks = {
        {QStringLiteral("connect and exclusive open"), [this] { return connectAndExclusive(); }},
        {QStringLiteral("chip id"), [this] { return chipId(); }},
        {QStringLiteral("flash info"), [this] { return flashInfo(); }},
        {QStringLiteral("software version"), [this] { return version(); }},
        {QStringLiteral("RAM-run and programmer"), [this] { return ramRun(); }},
        {QStringLiteral("factory data save, load, verify"), [this] { return factoryData(); }},
        {QStringLiteral("station flags"), [this] { return stationFlags(); }},
        {QStringLiteral("reads change nothing"), [this] { return readsChangeNothing(); }},
        {QStringLiteral("errors reported as codes"), [this] { return errorsAsCodes(); }},
        {QStringLiteral("abort honoured"), [this] { return abortHonoured(); }},
        {QStringLiteral("power loss during save"), [this] { return powerLoss(); }},
    };
    QList<Row> rows;
    for (const auto &[behaviour, check] : checks) {
        const QString problem = check();
        inject(QStringLiteral("clear")); // a failed check leaves no fault behind for the next
        rows.append(Row{behaviour, problem.isEmpty(), problem});
    }
    return rows;
}

QString ConformanceRun::table(const QList<Row> &rows)
{
    int width = 0;
    for (const Row &row : rows)
        width = qMax(width, int(row.behaviour.size()));
    QString text;
    for (const Row &row : rows) {
        text += row.behaviour.leftJustified(width + 2) + (row.passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
        if (!row.detail.isEmpty())
            text += QStringLiteral("  ") + row.detail;
        text += QLatin1Char('\n');
    }
    return text;
}

QString ConformanceRun::inject(const QString &fault)
{
    const tgtlink_backend_functions *f = DeviceBackend::functions();
    if (!f || f->size <= offsetof(tgtlink_backend_functions, inject) || !f->inject)
        return QStringLiteral("the backend offers no fault injection");
    const int rc = f->inject(m_port.toUtf8().constData(), fault.toUtf8().constData());
    return rc == TGT_OK
               ? QString()
               : QStringLiteral("injecting \"%1\": %2 %3").arg(fault, codeText(rc), DeviceBackend::lastError());
}

QString ConformanceRun::connectAndExclusive()
{
    std::unique_ptr<TargetConnection> first(CreateTargetConnection(m_port));
    if (!first)
        return QStringLiteral("cannot open %1: %2").arg(m_port, DeviceBackend::lastError());
    if (first->portName() != m_port)
        return QStringLiteral("the connection names port %1").arg(first->portName());
    if (first->kind() < TGT_CONN_USB || first->kind() > TGT_CONN_DEBUG_HOST)
        return QStringLiteral("unknown connection kind %1").arg(first->kind());
    std::unique_ptr<TargetConnection> second(CreateTargetConnection(m_port));
    if (second)
        return QStringLiteral("a second connection to %1 opened while the first was open").arg(m_port);
    first.reset();
    second.reset(CreateTargetConnection(m_port));
    if (!second)
        return QStringLiteral("cannot open %1 again after closing: %2").arg(m_port, DeviceBackend::lastError());
    return QString();
}

QString ConformanceRun::chipId()
{
    HandsetSession s(m_port);
    if (s.startWithoutProgrammer() != TGT_OK)
        return s.failure();
    unsigned again = 0;
    const int rc = ChipInfo::ReadChipId(s.connection(), again);
    if (rc != TGT_OK)
        return QStringLiteral("second read: ") + codeText(rc);
    if (again != s.chipId())
        return QStringLiteral("reads differ: 0x%1, then 0x%2").arg(s.chipId(), 0, 16).arg(again, 0, 16);
    if (!ChipInfo::IsChipIdSupported(s.chipId()))
        return QStringLiteral("chip 0x%1 is not one the tool supports").arg(s.chipId(), 0, 16);
    return QString();
}

QString ConformanceRun::flashInfo()
{
    HandsetSession s(m_port);
    if (s.startWithoutProgrammer() != TGT_OK)
        return s.failure();
    const FlashInfo &f = s.flash();
    if (f.flashModel.empty())
        return QStringLiteral("no flash model");
    if (f.factoryBase == FlashInfo::NotReported || f.factorySize == FlashInfo::NotReported || f.factorySize == 0)
        return QStringLiteral("the factory-data area is not reported");
    if (f.userAreaStart != FlashInfo::NotReported && f.userAreaSize != FlashInfo::NotReported &&
        quint64(f.userAreaStart) < quint64(f.factoryBase) + f.factorySize &&
        quint64(f.factoryBase) < quint64(f.userAreaStart) + f.userAreaSize)
        return QStringLiteral("the user-data area overlaps the factory-data area");
    return QString();
}

QString ConformanceRun::version()
{
    HandsetSession s(m_port);
    if (s.startWithoutProgrammer() != TGT_OK)
        return s.failure();
    std::string text;
    const int rc = s.chip()->getVersion(text);
    if (rc == TGT_ERR_NO_VERSION || (rc == TGT_OK && !text.empty()))
        return QString();
    return rc == TGT_OK ? QStringLiteral("an empty version reported as success") : codeText(rc);
}

QString ConformanceRun::ramRun()
{
    {
        // Without the download the programmer must not answer.
        HandsetSession s(m_port);
        if (s.startWithoutProgrammer() != TGT_OK)
            return s.failure();
        FlashProgram programmer(s.connection(), s.chip());
        const int rc = programmer.checkStart();
        if (rc != TGT_ERR_NOT_STARTED)
            return QStringLiteral("programmer check before the RAM-run gave %1, not %2")
                .arg(codeText(rc), codeText(TGT_ERR_NOT_STARTED));
    }
    HandsetSession s(m_port);
    return s.start() == TGT_OK ? QString() : s.failure();
}

QString ConformanceRun::factoryData()
{
    for (int n : {1, 2}) {
        const Identities set = makeSet(n);
        QString problem = saveSet(m_port, set);
        if (!problem.isEmpty())
            return problem;
        Identities back;
        problem = readBack(m_port, back);
        if (!problem.isEmpty())
            return QStringLiteral("reading back: ") + problem;
        if (!(back == set))
            return QStringLiteral("saved %1, read back %2").arg(set.text(), back.text());
    }
    return QString();
}

QString ConformanceRun::stationFlags()
{
    const QStringList stations = StationSetting::Instance()->getStationNames();
    if (stations.isEmpty())
        return QStringLiteral("the station list is empty");
    const std::string station = stations.first().toStdString();
    for (bool passed : {true, false}) {
        {
            HandsetSession s(m_port);
            if (s.start() != TGT_OK)
                return s.failure();
            int rc = loadOrInitialize(s);
            if (rc == TGT_OK)
                rc = s.factory()->setStation(station, passed);
            if (rc == TGT_OK)
                rc = s.factory()->saveToDevice(s.programmer());
            if (rc != TGT_OK)
                return QStringLiteral("writing the flag: ") + codeText(rc);
        }
        HandsetSession s(m_port);
        if (s.start() != TGT_OK)
            return s.failure();
        int rc = s.factory()->loadFromDevice(s.programmer());
        bool found = false;
        bool flag = !passed;
        if (rc == TGT_OK)
            rc = s.factory()->queryStation(station, found, flag);
        if (rc != TGT_OK)
            return QStringLiteral("reading the flag: ") + codeText(rc);
        if (!found || flag != passed)
            return QStringLiteral("flag of %1 written %2, read back %3")
                .arg(stations.first(), passed ? QStringLiteral("passed") : QStringLiteral("failed"),
                     !found ? QStringLiteral("missing") : (flag ? QStringLiteral("passed") : QStringLiteral("failed")));
    }
    return QString();
}

QString ConformanceRun::readsChangeNothing()
{
    Identities before;
    QString problem = readBack(m_port, before);
    if (!problem.isEmpty())
        return problem;
    {
        HandsetSession s(m_port);
        if (s.start() != TGT_OK)
            return s.failure();
        std::string version;
        s.chip()->getVersion(version);
        FlashInfo again;
        again.loadFromTarget(s.connection(), s.chip());
        for (int i = 0; i < 3; ++i) {
            if (s.factory()->loadFromDevice(s.programmer()) != TGT_OK)
                return QStringLiteral("a repeated load failed");
            bool found = false;
            bool passed = false;
            s.factory()->queryStation("NO-SUCH-STATION", found, passed);
        }
        // Changes to the copy in memory that are never saved must not reach the handset either.
        writeSet(s.factory(), makeSet(9));
        s.factory()->initialize();
    }
    UsbDeviceScan();
    SerialDeviceScan({});
    DebugHostDeviceScan({});
    Identities after;
    problem = readBack(m_port, after);
    if (!problem.isEmpty())
        return problem;
    if (!(after == before))
        return QStringLiteral("before %1, after %2").arg(before.text(), after.text());
    return QString();
}

QString ConformanceRun::errorsAsCodes()
{
    QStringList problems;
    {
        HandsetSession s(m_port);
        if (s.start() != TGT_OK)
            return s.failure();
        loadOrInitialize(s);
        FactorySet *f = s.factory();
        const auto expect = [&problems](const QString &what, int rc, int wanted) {
            if (rc != wanted)
                problems.append(QStringLiteral("%1 gave %2, not %3").arg(what, codeText(rc), codeText(wanted)));
        };
        expect(QStringLiteral("an IMEI with a wrong check digit"), f->setImei(0, "350000000000009", true),
               FactorySet::IsIMEIValid("350000000000009") ? TGT_OK : TGT_ERR_INVALID_IMEI);
        expect(QStringLiteral("a Bluetooth address of 5 characters"), f->setBt("XYZ12"), TGT_ERR_INVALID_ARGUMENT);
        expect(QStringLiteral("an unknown station"), f->setStation("NO-SUCH-STATION", true), TGT_ERR_INVALID_ARGUMENT);
        const FlashInfo &info = s.flash();
        if (info.userAreaStart != FlashInfo::NotReported && info.userAreaSize != FlashInfo::NotReported)
            expect(QStringLiteral("an erase past the user-data area"),
                   s.programmer()->erase(info.userAreaStart + info.userAreaSize, 4096), TGT_ERR_OUT_OF_RANGE);
    }
    const QString injected = inject(QStringLiteral("fault chipid %1 once").arg(TGT_ERR_TIMEOUT));
    if (!injected.isEmpty()) {
        problems.append(injected);
    } else {
        HandsetSession s(m_port);
        const int rc = s.startWithoutProgrammer();
        if (rc != TGT_ERR_TIMEOUT)
            problems.append(QStringLiteral("an injected chip-id timeout gave %1").arg(codeText(rc)));
        else if (DeviceBackend::lastError().isEmpty())
            problems.append(QStringLiteral("no text for the last error"));
    }
    return problems.join(QStringLiteral("; "));
}

QString ConformanceRun::abortHonoured()
{
    const Identities old = makeSet(3);
    QString problem = saveSet(m_port, old);
    if (!problem.isEmpty())
        return problem;
    {
        HandsetSession s(m_port);
        if (s.start() != TGT_OK)
            return s.failure();
        int rc = loadOrInitialize(s);
        if (rc == TGT_OK)
            rc = writeSet(s.factory(), makeSet(4));
        if (rc != TGT_OK)
            return codeText(rc);
        problem = inject(QStringLiteral("delay save %1").arg(LongDelayMs));
        if (problem.isEmpty())
            problem =
                abortDuring(QStringLiteral("the save"), s, [&s] { return s.factory()->saveToDevice(s.programmer()); });
        if (!problem.isEmpty())
            return problem;
    }
    inject(QStringLiteral("clear"));
    Identities back;
    problem = readBack(m_port, back);
    if (!problem.isEmpty())
        return QStringLiteral("after the abort: ") + problem;
    if (!(back == old) && !(back == makeSet(4)))
        return QStringLiteral("after the aborted save the handset holds %1").arg(back.text());

    HandsetSession s(m_port);
    if (s.start() != TGT_OK)
        return s.failure();
    const FlashInfo &info = s.flash();
    if (info.userAreaStart == FlashInfo::NotReported || info.userAreaSize == FlashInfo::NotReported)
        return QString(); // no user area to erase
    problem = inject(QStringLiteral("delay erase %1").arg(LongDelayMs));
    if (!problem.isEmpty())
        return problem;
    return abortDuring(QStringLiteral("the erase"), s,
                       [&s, &info] { return s.programmer()->erase(info.userAreaStart, info.userAreaSize); });
}

QString ConformanceRun::abortDuring(const QString &what, HandsetSession &s, const std::function<int()> &operation)
{
    QElapsedTimer total;
    std::atomic<qint64> abortAtMs{-1}; // when the flag went up, on `total`
    total.start();
    std::thread raiser([&s, &total, &abortAtMs] {
        QThread::msleep(AbortAfterMs);
        abortAtMs = total.elapsed();
        s.programmer()->abortRequested = true;
    });
    const int rc = operation();
    const qint64 totalMs = total.elapsed();
    raiser.join();
    s.programmer()->abortRequested = false;
    if (totalMs < abortAtMs)
        return QStringLiteral("%1 ended (%2) after %3 ms, before the abort: it took no injected delay")
            .arg(what, codeText(rc))
            .arg(totalMs);
    const qint64 lateMs = totalMs - abortAtMs;
    if (rc != TGT_ERR_ABORTED)
        return QStringLiteral("%1 ended with %2 %3 ms after the abort, not with %4")
            .arg(what, codeText(rc))
            .arg(lateMs)
            .arg(codeText(TGT_ERR_ABORTED));
    if (lateMs > m_abortBoundMs)
        return QStringLiteral("%1 ended %2 ms after the abort (bound %3 ms)").arg(what).arg(lateMs).arg(m_abortBoundMs);
    return QString();
}

QString ConformanceRun::powerLoss()
{
    Identities current = makeSet(5);
    QString problem = saveSet(m_port, current);
    if (!problem.isEmpty())
        return problem;
    int n = 6;
    for (qint64 budget : {0, 1, 4, 16, 40, 100, 300, 1000, 100000}) {
        const Identities next = makeSet(n++);
        int rc = TGT_OK;
        {
            HandsetSession s(m_port);
            if (s.start() != TGT_OK)
                return s.failure();
            rc = loadOrInitialize(s);
            if (rc == TGT_OK)
                rc = writeSet(s.factory(), next);
            if (rc != TGT_OK)
                return codeText(rc);
            problem = inject(QStringLiteral("powercut %1 once").arg(budget));
            if (!problem.isEmpty())
                return problem;
            rc = s.factory()->saveToDevice(s.programmer());
        }
        inject(QStringLiteral("clear"));
        Identities back;
        problem = readBack(m_port, back);
        if (!problem.isEmpty())
            return QStringLiteral("after a cut at %1 bytes: %2").arg(budget).arg(problem);
        if (rc == TGT_OK && !(back == next))
            return QStringLiteral("a save cut at %1 bytes reported success, yet the handset holds %2")
                .arg(budget)
                .arg(back == current ? QStringLiteral("the old data") : back.text());
        if (!(back == current) && !(back == next))
            return QStringLiteral("a cut at %1 bytes left neither the old nor the new data: %2")
                .arg(budget)
                .arg(back.text());
        current = back;
    }
    return QString();
}
