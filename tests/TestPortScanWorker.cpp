#include "config/Clock.h"
#include "ports/PortScanWorker.h"
#include "ports/PortScanWorkerLock.h"
#include "support/TestSupport.h"
#include "tgtlink/TargetError.h"

#include <QHash>
#include <QMutex>
#include <QSemaphore>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

namespace {
std::atomic<qint64> g_now{0};
constexpr qint64 BaseTime = 1'700'000'000'000; // a plausible wall-clock time in ms
constexpr int TestInterval = 5;                // ms between passes, instead of 200

// Receives the scanner's lists on the test's thread.
class ScanRecorder final : public QObject
{
    Q_OBJECT

public:
    QList<QStringList> lists;

public slots:
    void record(const QStringList &ports) { lists.append(ports); }
};

// Counts the ports the scanner opens; the real probe still runs over the bench.
class ProbeLog final
{
public:
    int count(const QString &port) const
    {
        QMutexLocker locker(&m_mutex);
        return m_counts.value(port);
    }
    int total() const
    {
        QMutexLocker locker(&m_mutex);
        int sum = 0;
        for (int n : m_counts)
            sum += n;
        return sum;
    }
    PortScanWorker::ProbeFunction probe()
    {
        return [this](const QString &port) {
            {
                QMutexLocker locker(&m_mutex);
                ++m_counts[port];
            }
            return PortScanWorker::probeTarget(port);
        };
    }

private:
    mutable QMutex m_mutex;
    QHash<QString, int> m_counts; // guarded by m_mutex
};

// The shared bench fixture, with the port kinds and the fault that these tests use.
class ScanBench final
{
public:
    bool isValid() const { return m_bench.isValid(); }

    bool plug(const QString &port, unsigned kind)
    {
        BenchHandset handset = BenchFixture::handset(port);
        handset.kind = kind;
        return m_bench.plug(handset);
    }
    bool plugUsb(const QString &port) { return plug(port, TGT_CONN_USB); }
    bool plugSerial(const QString &port) { return plug(port, TGT_CONN_SERIAL); }
    bool plugDebugHost(const QString &port) { return plug(port, TGT_CONN_DEBUG_HOST); }
    bool unplug(const QString &port) { return m_bench.unplug(port); }
    // The handset stays plugged but its chip ID read fails, as a handset that stopped answering.
    bool silence(const QString &port, bool once)
    {
        return m_bench.fault(port, QStringLiteral("chipid"), TGT_ERR_TIMEOUT, once);
    }
    bool wake(const QString &port) { return m_bench.clearFaults(port); }

private:
    BenchFixture m_bench;
};

// A scanner over the bench, watched by a recorder and a probe log.
struct ScanRig
{
    explicit ScanRig(int mode)
    {
        scanner.setScanInterval(TestInterval);
        scanner.setScanMode(mode);
        scanner.setProbeFunction(probes.probe());
        // workerScanned is emitted on the scanner's thread: queued, so the recorder runs on ours.
        QObject::connect(&scanner, &PortScanWorker::workerScanned, &recorder, &ScanRecorder::record,
                         Qt::QueuedConnection);
    }

    // Waits until n more passes have completed and their lists were delivered.
    bool waitPasses(quint64 n = 3)
    {
        const quint64 target = scanner.passCount() + n;
        const bool ok = QTest::qWaitFor([&] { return scanner.passCount() >= target; }, 5000);
        QCoreApplication::processEvents();
        return ok;
    }

    ScanRecorder recorder;
    ProbeLog probes;
    PortScanWorker scanner; // after the recorder and the log: destroyed (and stopped) before them
    PortScanWorkerLock lock{&scanner};
};
} // namespace

class TestPortScanWorker final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void listsByMode_data();
    void listsByMode();
    void reprobeAfterInterval_data();
    void reprobeAfterInterval();
    void lockedPortKeepsNoProbeTime();
    void emitsOnlyOnChange();
    void blockedPass_data();
    void blockedPass();
    void stopAndRestart();
    void lockUnlock_data();
    void lockUnlock();
    void destroyWhileRunning();

private:
    std::unique_ptr<ScanBench> m_bench;
};

void TestPortScanWorker::initTestCase()
{
    Clock::setNowFunctionForTesting([] { return QDateTime::fromMSecsSinceEpoch(g_now); });
}

void TestPortScanWorker::init()
{
    g_now = BaseTime;
    m_bench.reset(); // one bench at a time owns the environment
    m_bench = std::make_unique<ScanBench>();
    QVERIFY(m_bench->isValid());
}

void TestPortScanWorker::cleanupTestCase()
{
    m_bench.reset();
    Clock::setNowFunctionForTesting({});
}

void TestPortScanWorker::listsByMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("usb");
    QTest::addColumn<QStringList>("com");
    QTest::addColumn<QStringList>("dbg");
    QTest::addColumn<QStringList>("locked");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("probed"); // opened exactly once; no other port is opened

    const QStringList none;
    QTest::newRow("none, empty bench") << 0 << none << none << none << none << none << none;
    QTest::newRow("none lists only locked") << 0 << QStringList{"USB1"} << QStringList{"COM3"} << QStringList{"DBG1"}
                                            << QStringList{"COM9"} << QStringList{"COM9"} << none;
    QTest::newRow("serial, string order") << 1 << QStringList{"USB1"} << QStringList{"COM7", "COM10"} << none << none
                                          << QStringList{"COM10", "COM7"} << none;
    QTest::newRow("serial with locked") << 1 << none << QStringList{"COM7"} << none << QStringList{"COM7", "COM2"}
                                        << QStringList{"COM2", "COM7"} << none;
    QTest::newRow("debug host") << 2 << QStringList{"USB1"} << QStringList{"COM7"} << QStringList{"DBG0"} << none
                                << QStringList{"DBG0"} << none;
    QTest::newRow("usb probed") << 3 << QStringList{"USB2", "USB1"} << QStringList{"COM7"} << none << none
                                << QStringList{"USB1", "USB2"} << QStringList{"USB1", "USB2"};
    QTest::newRow("usb locked not probed") << 3 << QStringList{"USB1", "USB2"} << none << none << QStringList{"USB2"}
                                           << QStringList{"USB1", "USB2"} << QStringList{"USB1"};
    QTest::newRow("usb locked, unplugged")
        << 3 << none << none << none << QStringList{"USB4"} << QStringList{"USB4"} << none;
    QTest::newRow("usb lock is case-sensitive") << 3 << QStringList{"usb1"} << none << none << QStringList{"USB1"}
                                                << QStringList{"USB1", "usb1"} << QStringList{"usb1"};
    QTest::newRow("unknown mode") << 7 << QStringList{"USB1"} << QStringList{"COM7"} << QStringList{"DBG0"}
                                  << QStringList{"X"} << QStringList{"X"} << none;
}

void TestPortScanWorker::listsByMode()
{
    QFETCH(int, mode);
    QFETCH(QStringList, usb);
    QFETCH(QStringList, com);
    QFETCH(QStringList, dbg);
    QFETCH(QStringList, locked);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, probed);

    for (const QString &port : usb)
        QVERIFY(m_bench->plugUsb(port));
    for (const QString &port : com)
        QVERIFY(m_bench->plugSerial(port));
    for (const QString &port : dbg)
        QVERIFY(m_bench->plugDebugHost(port));

    ScanRig rig(mode);
    for (const QString &port : locked)
        rig.lock.lockPort(port);
    rig.scanner.start();
    QTRY_COMPARE(rig.recorder.lists.size(), 1);
    QVERIFY(rig.waitPasses());

    // Nothing changed after the first pass, so nothing more was emitted.
    QCOMPARE(rig.recorder.lists, QList<QStringList>{expected});
    for (const QString &port : probed)
        QCOMPARE(rig.probes.count(port), 1); // a good probe holds for 5 s of the test clock
    QCOMPARE(rig.probes.total(), int(probed.size()));
}

void TestPortScanWorker::reprobeAfterInterval_data()
{
    QTest::addColumn<QString>("fault"); // "unplug", "silent" (every chip ID read fails) or "silent once"
    QTest::addColumn<qint64>("advance");
    QTest::addColumn<QList<QStringList>>("lists");
    QTest::addColumn<int>("probes"); // -1: at least one on every pass

    const QStringList port{"USB1"};
    using Lists = QList<QStringList>;
    QTest::newRow("silent, 4999 ms later") << "silent" << qint64(4999) << Lists{port} << 1;
    QTest::newRow("silent, 5000 ms later") << "silent" << qint64(5000) << Lists{port, {}} << -1;
    QTest::newRow("silent, clock set back") << "silent" << qint64(-1) << Lists{port, {}} << -1;
    // The failed probe's connection must be closed, or the retry on the next pass could not open the port.
    QTest::newRow("silent once, 5000 ms later") << "silent once" << qint64(5000) << Lists{port, {}, port} << 3;
    QTest::newRow("unplugged, 1 ms later") << "unplug" << qint64(1) << Lists{port, {}} << 1;
}

void TestPortScanWorker::reprobeAfterInterval()
{
    QFETCH(QString, fault);
    QFETCH(qint64, advance);
    QFETCH(QList<QStringList>, lists);
    QFETCH(int, probes);

    const QString port = QStringLiteral("USB1");
    QVERIFY(m_bench->plugUsb(port));
    ScanRig rig(PortScanWorker::ScanUsb);
    rig.scanner.start();
    QTRY_COMPARE(rig.recorder.lists.size(), 1);
    QCOMPARE(rig.recorder.lists.last(), QStringList{port});
    QCOMPARE(rig.probes.count(port), 1);

    if (fault == QLatin1String("unplug"))
        QVERIFY(m_bench->unplug(port));
    else
        QVERIFY(m_bench->silence(port, fault == QLatin1String("silent once")));
    g_now = BaseTime + advance;
    QVERIFY(rig.waitPasses());
    QTRY_COMPARE(rig.recorder.lists.size(), lists.size());
    QVERIFY(rig.waitPasses());
    QCOMPARE(rig.recorder.lists, lists);

    if (probes >= 0) {
        QCOMPARE(rig.probes.count(port), probes);
        return;
    }
    // A failed probe records no time, so the port is tried on every pass until it answers again.
    const int failed = rig.probes.count(port);
    QVERIFY(rig.waitPasses());
    QVERIFY(rig.probes.count(port) >= failed + 2);
    QVERIFY(m_bench->wake(port));
    QTRY_COMPARE(rig.recorder.lists.size(), lists.size() + 1);
    QCOMPARE(rig.recorder.lists.last(), QStringList{port});
}

void TestPortScanWorker::lockedPortKeepsNoProbeTime()
{
    QVERIFY(m_bench->plugUsb(QStringLiteral("USB1")));
    ScanRig rig(PortScanWorker::ScanUsb);
    rig.scanner.start();
    QTRY_COMPARE(rig.recorder.lists.size(), 1);
    QCOMPARE(rig.probes.count("USB1"), 1);

    rig.lock.lockPort(QStringLiteral("USB1"));
    QVERIFY(m_bench->unplug(QStringLiteral("USB1"))); // a cycle may unplug it: still listed while locked
    QVERIFY(rig.waitPasses());
    QCOMPARE(rig.probes.count("USB1"), 1);
    QCOMPARE(rig.recorder.lists, QList<QStringList>{QStringList{"USB1"}});

    // Unlocked with the clock unchanged, it is verified on the next pass all the same.
    QVERIFY(m_bench->plugUsb(QStringLiteral("USB1")));
    rig.lock.unlockPort(QStringLiteral("USB1"));
    QVERIFY(rig.waitPasses());
    QCOMPARE(rig.probes.count("USB1"), 2);
    QCOMPARE(rig.recorder.lists.size(), 1);
}

void TestPortScanWorker::emitsOnlyOnChange()
{
    QVERIFY(m_bench->plugSerial(QStringLiteral("COM1")));
    ScanRig rig(PortScanWorker::ScanSerial);
    rig.scanner.start();
    QTRY_COMPARE(rig.recorder.lists.size(), 1);
    QVERIFY(rig.waitPasses());
    QCOMPARE(rig.recorder.lists.size(), 1);

    QVERIFY(m_bench->plugSerial(QStringLiteral("COM2")));
    QTRY_COMPARE(rig.recorder.lists.size(), 2);
    QVERIFY(m_bench->unplug(QStringLiteral("COM1")));
    QTRY_COMPARE(rig.recorder.lists.size(), 3);
    QVERIFY(rig.waitPasses());
    const QList<QStringList> expected{{"COM1"}, {"COM1", "COM2"}, {"COM2"}};
    QCOMPARE(rig.recorder.lists, expected);
}

namespace {
// A probe that holds the scan pass until released, as a slow handset would.
struct BlockingProbe
{
    QSemaphore entered;
    QSemaphore release;
    PortScanWorker::ProbeFunction probe()
    {
        return [this](const QString &) {
            entered.release();
            release.acquire();
            return 0;
        };
    }
};
} // namespace

void TestPortScanWorker::blockedPass_data()
{
    QTest::addColumn<bool>("lock"); // else stop(true)
    QTest::newRow("stop waits for the job to end") << false;
    QTest::newRow("locking waits for the pass to end") << true;
}

void TestPortScanWorker::blockedPass()
{
    QFETCH(bool, lock);
    const QString port = QStringLiteral("USB1");
    QVERIFY(m_bench->plugUsb(port));
    BlockingProbe blocking;
    ScanRig rig(PortScanWorker::ScanUsb);
    rig.scanner.setProbeFunction(blocking.probe());
    rig.scanner.start();
    QVERIFY(blocking.entered.tryAcquire(1, 5000));
    QVERIFY(rig.scanner.isRunning());

    // A cycle locks from the device worker's thread; stop is called here from another thread as well, so
    // that this one can release the probe.
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        if (lock)
            rig.lock.lockPort(port);
        else
            rig.scanner.stop(true);
        returned = true;
    });
    QTest::qWait(50);
    QVERIFY(!returned); // still inside the pass, which may be opening the port
    blocking.release.release();
    caller.join();
    QVERIFY(returned);

    if (lock) {
        QCOMPARE(rig.scanner.lockedPorts(), QStringList{port});
        return;
    }
    QVERIFY(!rig.scanner.isRunning());
    const quint64 passes = rig.scanner.passCount();
    QTest::qWait(4 * TestInterval);
    QCOMPARE(rig.scanner.passCount(), passes);
}

void TestPortScanWorker::stopAndRestart()
{
    ScanRig rig(PortScanWorker::ScanNone);
    // Not running: each returns once the idle thread handled the request.
    rig.scanner.stop(true);
    rig.scanner.stop(false);
    rig.scanner.stop(true);
    QVERIFY(!rig.scanner.isRunning());

    rig.scanner.start();
    QVERIFY(rig.scanner.isRunning());
    QTRY_COMPARE(rig.recorder.lists.size(), 1);
    QCOMPARE(rig.recorder.lists.last(), QStringList{}); // the first pass emits even an empty list

    // As after the settings change the scan mode: stop, set it, start; the new job emits its first pass.
    rig.scanner.stop(true);
    QVERIFY(!rig.scanner.isRunning());
    QVERIFY(m_bench->plugSerial(QStringLiteral("COM4")));
    rig.scanner.setScanMode(PortScanWorker::ScanSerial);
    rig.scanner.start();
    QTRY_COMPARE(rig.recorder.lists.size(), 2);
    QCOMPARE(rig.recorder.lists.last(), QStringList{"COM4"});

    // Without waiting, a later start still waits for the old job and runs a fresh one.
    rig.scanner.stop(false);
    rig.scanner.start();
    QTRY_COMPARE(rig.recorder.lists.size(), 3);
    QCOMPARE(rig.recorder.lists.last(), QStringList{"COM4"});
    QVERIFY(rig.waitPasses());
    QCOMPARE(rig.recorder.lists.size(), 3);
}

void TestPortScanWorker::lockUnlock_data()
{
    QTest::addColumn<QStringList>("operations"); // "+NAME" locks, "-NAME" unlocks
    QTest::addColumn<QStringList>("locked");
    QTest::newRow("duplicates kept once") << QStringList{"+COM1", "+COM1"} << QStringList{"COM1"};
    QTest::newRow("unlock other case keeps it") << QStringList{"+COM1", "-com1"} << QStringList{"COM1"};
    QTest::newRow("unlock removes it") << QStringList{"+COM1", "+COM2", "+COM1", "-COM1"} << QStringList{"COM2"};
    QTest::newRow("unlock unknown") << QStringList{"-COM1"} << QStringList{};
    QTest::newRow("empty name is no port") << QStringList{"+", "+COM1"} << QStringList{"COM1"};
}

void TestPortScanWorker::lockUnlock()
{
    QFETCH(QStringList, operations);
    QFETCH(QStringList, locked);
    PortScanWorker scanner;
    QCOMPARE(scanner.scanMode(), int(PortScanWorker::ScanNone));
    QCOMPARE(scanner.scanInterval(), 200);
    PortScanWorkerLock lock(&scanner);
    for (const QString &op : operations) {
        if (op.startsWith(u'+'))
            lock.lockPort(op.mid(1));
        else
            lock.unlockPort(op.mid(1));
    }
    QCOMPARE(scanner.lockedPorts(), locked);

    PortScanWorkerLock detached(nullptr); // no scanner: nothing to do, nothing to crash
    detached.lockPort(QStringLiteral("COM1"));
    detached.unlockPort(QStringLiteral("COM1"));
}

void TestPortScanWorker::destroyWhileRunning()
{
    QVERIFY(m_bench->plugUsb(QStringLiteral("USB1")));
    for (int mode : {0, 1, 2, 3}) {
        auto scanner = std::make_unique<PortScanWorker>();
        scanner->setScanInterval(60 * 1000); // teardown must cut the pause short, not wait it out
        scanner->setScanMode(mode);
        scanner->start();
        QElapsedTimer timer;
        timer.start();
        scanner.reset();
        QVERIFY2(timer.elapsed() < 10 * 1000, "teardown waited out the pause");
    }
}

QTEST_MAIN(TestPortScanWorker)
#include "TestPortScanWorker.moc"
