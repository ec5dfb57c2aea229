// The bench itself: handset images, scans, the exclusive connection lock, unplugging and fault injection.
#include "support/TestSupport.h"

#include "BenchPaths.h"

#include <QtTest>
#include <atomic>
#include <memory>

Q_DECLARE_METATYPE(BenchHandset)

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestTgtlinkBench final : public QObject
{
    Q_OBJECT

private slots:
    void imageRoundTrip_data()
    {
        QTest::addColumn<BenchHandset>("handset");
        BenchHandset plain = BenchFixture::handset(QStringLiteral("USB3"));
        QTest::newRow("blank usb") << plain;

        BenchHandset written = BenchFixture::handset(QStringLiteral("COM7"));
        written.chipId = 0x53C0;
        written.flashModel = QStringLiteral("FM256B");
        written.version = QStringLiteral("W26.01.2_RC");
        written.blank = false;
        written.factory.imeis = {QStringLiteral("490154203237518"), QStringLiteral("100000000000009"), QString(),
                                 QStringLiteral("12345")};
        written.factory.mbsn = QStringLiteral("MB0001");
        written.factory.psn = QStringLiteral("PS-77");
        written.factory.bt = QStringLiteral("00AA11BB22CC");
        written.factory.stations = {{QStringLiteral("CALIBRATION"), true}, {QStringLiteral("BT_TEST"), false}};
        written.userAreaErased = true;
        QTest::newRow("written com") << written;

        BenchHandset unreported = BenchFixture::handset(QStringLiteral("DBG1"));
        unreported.flashModel.clear();
        unreported.version.clear();
        unreported.factoryBase = BenchHandset::NotReported;
        unreported.userAreaSize = BenchHandset::NotReported;
        unreported.factoryAreaBytes = 512;
        unreported.userAreaBytes = 0;
        QTest::newRow("nothing reported") << unreported;
    }
    void imageRoundTrip()
    {
        QFETCH(BenchHandset, handset);
        BenchFixture bench;
        QVERIFY(bench.isValid());
        QVERIFY(bench.plug(handset));
        const BenchHandset back = bench.read(handset.port);
        QCOMPARE(back.port, handset.port);
        QCOMPARE(back.kind, handset.kind);
        QCOMPARE(back.chipId, handset.chipId);
        QCOMPARE(back.flashModel, handset.flashModel);
        QCOMPARE(back.version, handset.version);
        QCOMPARE(back.factoryBase, handset.factoryBase);
        QCOMPARE(back.factorySize, handset.factorySize);
        QCOMPARE(back.userAreaStart, handset.userAreaStart);
        QCOMPARE(back.userAreaSize, handset.userAreaSize);
        QCOMPARE(back.factoryAreaBytes, handset.factoryAreaBytes);
        QCOMPARE(back.userAreaBytes, handset.userAreaBytes);
        QCOMPARE(back.blank, handset.blank);
        QCOMPARE(back.validCopies, handset.blank ? 0 : 1);
        QCOMPARE(back.userAreaErased, handset.userAreaErased || handset.userAreaBytes == 0);
        QVERIFY(!back.inUse);
        if (!handset.blank) {
            QStringList imeis = handset.factory.imeis;
            while (imeis.size() < 4)
                imeis.append(QString());
            QCOMPARE(back.factory.imeis, imeis);
            QCOMPARE(back.factory.mbsn, handset.factory.mbsn);
            QCOMPARE(back.factory.psn, handset.factory.psn);
            QCOMPARE(back.factory.bt, handset.factory.bt);
            QCOMPARE(back.factory.stations, handset.factory.stations);
            QCOMPARE(back.factory.stationMagic.value_or(0), Bench::stationMagic(BenchFixture::defaultStations()));
        }
    }

    // Any damaged header byte, a truncated or a grown image is refused, by the bench and by the library.
    void damagedImageIsRefused_data()
    {
        QTest::addColumn<int>("offset"); // byte to flip; -1 truncates, -2 appends
        for (int offset : {0, 9, 12, 16, 24, 33, 48, 60, 100, 200, 255})
            QTest::addRow("byte %d", offset) << offset;
        QTest::newRow("truncated") << -1;
        QTest::newRow("grown") << -2;
    }
    void damagedImageIsRefused()
    {
        QFETCH(int, offset);
        BenchFixture bench;
        QVERIFY(bench.plug());
        const QString path = Bench::imagePath(QStringLiteral("USB1"));
        QByteArray bytes = readFile(path);
        if (offset >= 0)
            bytes[offset] = char(bytes[offset] ^ 0x5A);
        else if (offset == -1)
            bytes.chop(1);
        else
            bytes.append('\0');
        QVERIFY(writeFile(path, bytes));

        BenchHandset h;
        QVERIFY(!Bench::read(QStringLiteral("USB1"), h));
        // The port still answers, but every operation reports the damage.
        BenchSession session;
        QVERIFY(session.connect());
        ChipInfo chip(session.connection());
        unsigned id = 0;
        QCOMPARE(chip.getChipId(id), int(TGT_ERR_BAD_IMAGE));
        FlashInfo info;
        QCOMPARE(info.loadFromTarget(session.connection(), &chip), int(TGT_ERR_BAD_IMAGE));
    }

    void plugRefusesWhatItCannotHold_data()
    {
        QTest::addColumn<BenchHandset>("handset");
        BenchHandset h = BenchFixture::handset();
        h.port = QStringLiteral("../escape");
        QTest::newRow("path as port") << h;
        h = BenchFixture::handset();
        h.port = QStringLiteral("USB1.tmp");
        QTest::newRow("side-file name") << h;
        h = BenchFixture::handset();
        h.flashModel = QString(40, QLatin1Char('F'));
        QTest::newRow("long flash model") << h;
        h = BenchFixture::handset();
        h.factoryAreaBytes = 100;
        QTest::newRow("tiny factory area") << h;
        h = BenchFixture::handset();
        h.blank = false;
        h.factory.bt = QStringLiteral("XYZ");
        QTest::newRow("bad bt") << h;
        h = BenchFixture::handset();
        h.blank = false;
        h.factory.imeis = {QStringLiteral("1234567890123456")};
        QTest::newRow("long imei") << h;
    }
    void plugRefusesWhatItCannotHold()
    {
        QFETCH(BenchHandset, handset);
        BenchFixture bench;
        QString error;
        QVERIFY(!Bench::plug(handset, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(Bench::ports().isEmpty());
    }

    void plugRefusesATakenName()
    {
        BenchFixture bench;
        QVERIFY(bench.plug(QStringLiteral("COM3")));
        BenchHandset other = BenchFixture::handset(QStringLiteral("COM3"));
        other.kind = TGT_CONN_USB;
        QVERIFY(!Bench::plug(other));
    }

    void scansListSortedAndIgnoreSideFiles()
    {
        BenchFixture bench;
        for (const char *port : {"USB2", "USB10", "USB1", "COM12", "COM3", "DBG0"})
            QVERIFY(bench.plug(QLatin1String(port)));
        // Temporary, lock and stray files in the port folders are no handsets (named so that Windows allows them).
        for (const char *junk : {"usb/USB5.tmp", "usb/.USB6", "usb/USB7~", "com/COM19.lock", "com/COM18.abc123"})
            QVERIFY(writeFile(bench.benchDir() + QLatin1Char('/') + QLatin1String(junk), "x"));
        QDir().mkpath(bench.benchDir() + QStringLiteral("/usb/USB4"));

        QCOMPARE(UsbDeviceScan(), QStringList({"USB1", "USB10", "USB2"}));
        QCOMPARE(SerialDeviceScan({}), QStringList({"COM12", "COM3"}));
        QCOMPARE(DebugHostDeviceScan({}), QStringList({"DBG0"}));
    }

    // A port named in `exclude` is listed without being opened; others must answer a probe.
    void serialScanNeverProbesExcludedPorts_data()
    {
        QTest::addColumn<bool>("excluded");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("probed") << false << QStringList({"COM1"});
        QTest::newRow("excluded") << true << QStringList({"COM1", "COM2", "COM3"});
    }
    void serialScanNeverProbesExcludedPorts()
    {
        QFETCH(bool, excluded);
        QFETCH(QStringList, expected);
        BenchFixture bench;
        for (const char *port : {"COM1", "COM2", "COM3"})
            QVERIFY(bench.plug(QLatin1String(port)));
        // COM2 does not answer a probe, COM3's image is damaged.
        QVERIFY(bench.fault(QStringLiteral("COM2"), QStringLiteral("scan"), TGT_ERR_IO, false));
        const QString com3 = Bench::imagePath(QStringLiteral("COM3"));
        QByteArray bytes = readFile(com3);
        bytes[20] = char(bytes[20] ^ 1);
        QVERIFY(writeFile(com3, bytes));

        const QStringList exclude = excluded ? QStringList({"COM2", "COM3"}) : QStringList();
        QCOMPARE(SerialDeviceScan(exclude), expected);
        // An excluded probe fault is not consumed: the port was never touched.
        QVERIFY(BenchFaults::list(QStringLiteral("COM2")).contains(QStringLiteral("fault scan -102 always")));
    }

    void secondConnectionWaitsForTheFirst()
    {
        BenchFixture bench;
        QVERIFY(bench.plug(QStringLiteral("COM4")));
        std::unique_ptr<TargetConnection> first(CreateTargetConnection(QStringLiteral("COM4")));
        QVERIFY(first);
        QCOMPARE(first->kind(), unsigned(TGT_CONN_SERIAL));
        QCOMPARE(first->portName(), QStringLiteral("COM4"));
        QVERIFY(bench.read(QStringLiteral("COM4")).inUse);
        std::unique_ptr<TargetConnection> second(CreateTargetConnection(QStringLiteral("COM4")));
        QVERIFY(!second);
        first.reset();
        second.reset(CreateTargetConnection(QStringLiteral("COM4")));
        QVERIFY(second);
    }

    // Looking at whether a handset is in use (as `handset show` does, or a trainer's script polling it) never
    // makes a connection fail, though the look takes the lock for an instant.
    void lookingAtTheHandsetNeverRefusesAConnection()
    {
        BenchFixture bench;
        QVERIFY(bench.plug());
        std::atomic<bool> done{false};
        // A QThread rather than a thread Qt adopts: the look uses Qt's per-thread data, which Qt for Windows
        // releases for an adopted thread from another thread after it ends, and under wine that release crashed.
        std::unique_ptr<QThread> looker(QThread::create([&] {
            while (!done.load())
                bench.read();
        }));
        looker->start();
        int refused = 0;
        for (int i = 0; i < 300; ++i) {
            if (!std::unique_ptr<TargetConnection>(CreateTargetConnection(QStringLiteral("USB1"))))
                ++refused;
        }
        done = true;
        looker->wait();
        QCOMPARE(refused, 0);
    }

    // Whatever a holder left in the lock file (nothing, when it was killed while taking the lock; a record cut
    // short; the number of a live process) blocks no connection, and the handset is shown as not in use.
    void lockFileLeftBehindNeverBlocks_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << QByteArray("12");
        QTest::newRow("live process") << QByteArray::number(QCoreApplication::applicationPid()) +
                                             "\nTestTgtlinkBench\n";
        QTest::newRow("garbage") << QByteArray("\xff\x00\xfe\n\n");
    }
    void lockFileLeftBehindNeverBlocks()
    {
        QFETCH(QByteArray, content);
        BenchFixture bench;
        QVERIFY(bench.plug());
        // The bench's own names: a port's files are named apart where the system reserves the port's name.
        QDir().mkpath(BenchPaths::sideDir());
        QVERIFY(writeFile(BenchPaths::sidePath(QStringLiteral("USB1"), QStringLiteral(".lock")), content));
        QVERIFY(writeFile(BenchPaths::sidePath(QStringLiteral("USB1"), QStringLiteral(".faults.lock")), content));
        QVERIFY(!bench.read().inUse);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(bench.fault(QStringLiteral("USB1"), QStringLiteral("erase"), TGT_ERR_IO));
        std::unique_ptr<TargetConnection> connection(CreateTargetConnection(QStringLiteral("USB1")));
        QVERIFY(connection);
        QVERIFY(timer.elapsed() < 1000); // no wait for a lock nobody holds
        QVERIFY(bench.read().inUse);
        QVERIFY(!std::unique_ptr<TargetConnection>(CreateTargetConnection(QStringLiteral("USB1"))));
    }

    // A connection held by another process blocks the handset until that process is gone, however it ends.
    void connectionOfAKilledProcessIsReleased()
    {
        BenchFixture bench;
        QVERIFY(bench.plug());
        QProcess holder;
        holder.start(QStringLiteral(KILLTRIAL_EXE), {QStringLiteral("hold"), QStringLiteral("USB1")});
        QVERIFY(holder.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += holder.readAllStandardOutput()).contains("held") || holder.state() != QProcess::Running, 20000);
        QCOMPARE(holder.state(), QProcess::Running);
        QVERIFY(bench.read().inUse);
        QVERIFY(!std::unique_ptr<TargetConnection>(CreateTargetConnection(QStringLiteral("USB1"))));

        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(!bench.read().inUse);
        QVERIFY(std::unique_ptr<TargetConnection>(CreateTargetConnection(QStringLiteral("USB1"))));
    }

    void noHandsetNoConnection_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("absent") << "USB9";
        QTest::newRow("path") << "../usb/USB1";
        QTest::newRow("empty") << "";
    }
    void noHandsetNoConnection()
    {
        QFETCH(QString, port);
        BenchFixture bench;
        QVERIFY(bench.plug());
        QVERIFY(!std::unique_ptr<TargetConnection>(CreateTargetConnection(port)));
    }

    // Unplugged after preparation (or replaced by another handset under the same name): every later call fails
    // with a code that has a text.
    void unplugMidCycleGivesCodes_data()
    {
        QTest::addColumn<bool>("replug");
        QTest::newRow("unplugged") << false;
        QTest::newRow("another handset plugged in") << true;
    }
    void unplugMidCycleGivesCodes()
    {
        QFETCH(bool, replug);
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        BenchSession session;
        QCOMPARE(session.prepareAndLoad(), int(TGT_ERR_NO_FACTORY_DATA)); // blank, but prepared
        QVERIFY(session.factorySet());
        QVERIFY(QFile::remove(Bench::imagePath(QStringLiteral("USB1"))));
        if (replug)
            QVERIFY(bench.plug());

        FactorySet *set = session.factorySet();
        FlashProgram *programmer = session.programmer();
        std::string version;
        unsigned id = 0;
        bool found = false, passed = false;
        FlashInfo info;
        const QList<QPair<const char *, int>> results = {
            {"getVersion", session.chip()->getVersion(version)},
            {"getChipId", session.chip()->getChipId(id)},
            {"ReadChipId", ChipInfo::ReadChipId(session.connection(), id)},
            {"hostPrepareRamRun", session.chip()->hostPrepareRamRun(true)},
            {"loadFromTarget", info.loadFromTarget(session.connection(), session.chip())},
            {"checkStart", programmer->checkStart()},
            {"erase", programmer->erase(0x00400000, 0x1000)},
            {"loadFromDevice", set->loadFromDevice(programmer)},
            {"setImei", set->setImei(0, "490154203237518", true)},
            {"setMbsn", set->setMbsn("MB1")},
            {"setPsn", set->setPsn("PS1")},
            {"setBt", set->setBt("001122334455")},
            {"queryStation", set->queryStation("CALIBRATION", found, passed)},
            {"setStation", set->setStation("CALIBRATION", true)},
        };
        for (const auto &[name, rc] : results) {
            QVERIFY2(rc < 0, name);
            QVERIFY2(!TargetStrError(rc).empty(), name);
        }
        set->initialize();
        QVERIFY(set->saveToDevice(programmer) < 0);
        if (replug)
            QVERIFY(bench.read().blank); // the new handset was not written through the old connection
        QCOMPARE(QString::fromStdString(set->getImei(0)), QString());
    }

    void faultsFireOnceOrAlways_data()
    {
        QTest::addColumn<bool>("once");
        QTest::newRow("once") << true;
        QTest::newRow("always") << false;
    }
    void faultsFireOnceOrAlways()
    {
        QFETCH(bool, once);
        BenchFixture bench;
        QVERIFY(bench.plug());
        QVERIFY(bench.fault(QStringLiteral("USB1"), QStringLiteral("version"), TGT_ERR_TIMEOUT, once));
        std::unique_ptr<TargetConnection> connection(CreateTargetConnection(QStringLiteral("USB1")));
        ChipInfo chip(connection.get());
        std::string version;
        QCOMPARE(chip.getVersion(version), int(TGT_ERR_TIMEOUT));
        QCOMPARE(chip.getVersion(version), once ? int(TGT_OK) : int(TGT_ERR_TIMEOUT));
        QVERIFY(bench.clearFaults());
        QCOMPARE(chip.getVersion(version), int(TGT_OK));
        QCOMPARE(QString::fromStdString(version), BenchHandset().version);
    }

    void connectAndScanFaults()
    {
        BenchFixture bench;
        QVERIFY(bench.plug());
        QVERIFY(bench.fault(QStringLiteral("USB1"), QStringLiteral("connect"), TGT_ERR_IO, true));
        QVERIFY(!std::unique_ptr<TargetConnection>(CreateTargetConnection(QStringLiteral("USB1"))));
        QVERIFY(std::unique_ptr<TargetConnection>(CreateTargetConnection(QStringLiteral("USB1"))));
        QVERIFY(bench.fault(QStringLiteral("USB1"), QStringLiteral("scan"), TGT_ERR_IO, true));
        QCOMPARE(UsbDeviceScan(), QStringList());
        QCOMPARE(UsbDeviceScan(), QStringList({"USB1"}));
    }

    void faultRequestsAreChecked()
    {
        BenchFixture bench;
        QString error;
        QVERIFY(!BenchFaults::setFault(QStringLiteral("USB1"), QStringLiteral("nonsense"), -1, true, &error));
        QVERIFY(error.contains(QLatin1String("nonsense")));
        QVERIFY(!BenchFaults::setFault(QStringLiteral("../x"), QStringLiteral("save"), -1, true));
        QVERIFY(!BenchFaults::setDelay(QStringLiteral("USB1"), QStringLiteral("save"), -5));
        QVERIFY(BenchFaults::setDelay(QStringLiteral("USB1"), QStringLiteral("save"), 5));
        QVERIFY(BenchFaults::setPowerCut(QStringLiteral("USB1"), 10, true));
        QCOMPARE(BenchFaults::list(QStringLiteral("USB1")), QStringList({"delay save 5", "powercut 10 once"}));
        QVERIFY(BenchFaults::clear(QStringLiteral("USB1"), QStringLiteral("powercut")));
        QCOMPARE(BenchFaults::list(QStringLiteral("USB1")), QStringList({"delay save 5"}));
    }

    void unplugRemovesTheHandsetAndItsFaults()
    {
        BenchFixture bench;
        QVERIFY(bench.plug());
        QVERIFY(bench.fault(QStringLiteral("USB1"), QStringLiteral("save"), TGT_ERR_IO, false));
        QVERIFY(bench.unplug());
        QVERIFY(Bench::ports().isEmpty());
        QVERIFY(BenchFaults::list(QStringLiteral("USB1")).isEmpty());
        QVERIFY(!bench.unplug());
        // A look that holds the image open for an instant (some systems refuse to remove an open file).
        QVERIFY(bench.plug());
        std::atomic<bool> opened{false};
        std::unique_ptr<QThread> looker(QThread::create([&] {
            QFile image(BenchPaths::imagePath(TGT_CONN_USB, QStringLiteral("USB1")));
            opened = image.open(QIODevice::ReadOnly);
            QThread::msleep(100);
        }));
        looker->start();
        QTRY_VERIFY(opened.load() || looker->isFinished());
        QVERIFY(opened.load());
        QVERIFY(bench.unplug());
        looker->wait();
        QVERIFY(Bench::ports().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTgtlinkBench)
#include "TestTgtlinkBench.moc"
