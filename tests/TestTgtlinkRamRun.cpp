// Preparation steps of a bench handset: RAM-run image names and files, the download, the programmer, erase.
#include "support/TestSupport.h"

#include <QtTest>
#include <thread>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray userArea(const QString &port)
{
    const BenchHandset h = [&] {
        BenchHandset out;
        Bench::read(port, out);
        return out;
    }();
    QFile f(Bench::imagePath(port));
    if (!f.open(QIODevice::ReadOnly) || !f.seek(256 + h.factoryAreaBytes))
        return QByteArray();
    return f.read(h.userAreaBytes);
}

bool fillUserArea(const QString &port, char value)
{
    BenchHandset h;
    Bench::read(port, h);
    QFile f(Bench::imagePath(port));
    return f.open(QIODevice::ReadWrite) && f.seek(256 + h.factoryAreaBytes) &&
           f.write(QByteArray(h.userAreaBytes, value)) == h.userAreaBytes;
}

} // namespace

class TestTgtlinkRamRun final : public QObject
{
    Q_OBJECT

private slots:
    void ramrunFileName_data()
    {
        QTest::addColumn<unsigned>("kind");
        QTest::addColumn<unsigned>("chip");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("expected");
        QTest::newRow("usb") << unsigned(TGT_CONN_USB) << 0x51A0u << "FM64A"
                             << "ramrun/usb_51a0_fm64a.lod";
        QTest::newRow("serial") << unsigned(TGT_CONN_SERIAL) << 0x53C0u << "FM256B"
                                << "ramrun/com_53c0_fm256b.lod";
        QTest::newRow("debug host") << unsigned(TGT_CONN_DEBUG_HOST) << 0x52B0u << "XQ9"
                                    << "ramrun/dbg_52b0_xq9.lod";
        QTest::newRow("unknown kind") << 9u << 0x51A0u << "FM64A"
                                      << "";
        QTest::newRow("unsupported chip") << unsigned(TGT_CONN_USB) << 0x7777u << "FM64A"
                                          << "";
        QTest::newRow("no model") << unsigned(TGT_CONN_USB) << 0x51A0u << ""
                                  << "";
        QTest::newRow("model with path") << unsigned(TGT_CONN_USB) << 0x51A0u << "../FM64A"
                                         << "";
        QTest::newRow("model with blank") << unsigned(TGT_CONN_USB) << 0x51A0u << "FM 64A"
                                          << "";
    }
    void ramrunFileName()
    {
        QFETCH(unsigned, kind);
        QFETCH(unsigned, chip);
        QFETCH(QString, model);
        QFETCH(QString, expected);
        QCOMPARE(ChipInfo::RamrunFname(kind, chip, model.toStdString()), expected);
    }

    void shippedImagesLoad()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        for (unsigned chip : Bench::supportedChips()) {
            QVERIFY(ChipInfo::IsChipIdSupported(chip));
            LodData lod;
            QVERIFY(lod.load(ChipInfo::RamrunFname(TGT_CONN_SERIAL, chip, "FM128A")));
            QCOMPARE(lod.chipId(), chip);
            QCOMPARE(lod.connectionKind(), unsigned(TGT_CONN_SERIAL));
            QVERIFY(!lod.payload().isEmpty());
        }
        QVERIFY(!ChipInfo::IsChipIdSupported(0));
    }

    void damagedImagesAreRefused_data()
    {
        QTest::addColumn<int>("damage"); // byte to flip; -1 truncate; -2 append; -3 empty; -4 over 4 MiB; -5 missing
        for (int offset : {0, 8, 12, 16, 20, 24, 28, 40, 2000})
            QTest::addRow("byte %d", offset) << offset;
        QTest::newRow("truncated") << -1;
        QTest::newRow("appended") << -2;
        QTest::newRow("empty") << -3;
        QTest::newRow("huge") << -4;
        QTest::newRow("missing") << -5;
    }
    void damagedImagesAreRefused()
    {
        QFETCH(int, damage);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.lod"));
        QVERIFY(Bench::writeLod(path, TGT_CONN_USB, 0x51A0, QByteArray(2048, 'p')));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        if (damage >= 0)
            bytes[damage] = char(bytes[damage] ^ 0x10);
        else if (damage == -1)
            bytes.chop(5);
        else if (damage == -2)
            bytes.append("tail");
        else if (damage == -3)
            bytes.clear();
        if (damage == -4) {
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(5 * 1024 * 1024)); // sparse: never read
            f.close();
        } else if (damage == -5) {
            QVERIFY(QFile::remove(path));
        } else {
            QVERIFY(writeFile(path, bytes));
        }
        LodData lod;
        QVERIFY(!lod.load(path));
        QVERIFY(!lod.isLoaded());
        QVERIFY(lod.payload().isEmpty());
    }

    void ramRunRefusesWhatDoesNotFit_data()
    {
        QTest::addColumn<unsigned>("lodKind");
        QTest::addColumn<unsigned>("lodChip");
        QTest::addColumn<bool>("prepared");
        QTest::addColumn<int>("expected");
        QTest::newRow("matching") << unsigned(TGT_CONN_USB) << 0x51A0u << true << int(TGT_OK);
        QTest::newRow("other chip") << unsigned(TGT_CONN_USB) << 0x52B0u << true << int(TGT_ERR_WRONG_CHIP);
        QTest::newRow("other kind") << unsigned(TGT_CONN_SERIAL) << 0x51A0u << true << int(TGT_ERR_NOT_SUPPORTED);
        QTest::newRow("not prepared") << unsigned(TGT_CONN_USB) << 0x51A0u << false << int(TGT_ERR_NOT_STARTED);
    }
    void ramRunRefusesWhatDoesNotFit()
    {
        QFETCH(unsigned, lodKind);
        QFETCH(unsigned, lodChip);
        QFETCH(bool, prepared);
        QFETCH(int, expected);
        BenchFixture bench;
        QVERIFY(bench.plug());
        const QString path = bench.runtimeDir() + QStringLiteral("/test.lod");
        QVERIFY(Bench::writeLod(path, lodKind, lodChip, QByteArray(64, 'r')));
        BenchSession session;
        QVERIFY(session.connect());
        ChipInfo chip(session.connection());
        if (prepared)
            QCOMPARE(chip.hostPrepareRamRun(true), int(TGT_OK));
        LodData lod;
        QVERIFY(lod.load(path));
        RamRun run;
        run.init(&chip, &lod, session.connection());
        QCOMPARE(run.run(), expected);
        FlashProgram programmer(session.connection(), &chip);
        QCOMPARE(programmer.checkStart(), expected == TGT_OK ? int(TGT_OK) : int(TGT_ERR_NOT_STARTED));
        QCOMPARE(programmer.isStarted(), expected == TGT_OK);
    }

    // The RAM-run runs on one connection: a new connection to the same handset starts without it.
    void programmerNeedsTheRamRunOnItsConnection()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        {
            BenchSession session;
            QCOMPARE(session.prepare(), int(TGT_OK));
        }
        std::unique_ptr<TargetConnection> fresh(CreateTargetConnection(QStringLiteral("USB1")));
        ChipInfo chip(fresh.get());
        FlashProgram programmer(fresh.get(), &chip);
        QCOMPARE(programmer.checkStart(), int(TGT_ERR_NOT_STARTED));
        QCOMPARE(programmer.erase(0x00400000, 16), int(TGT_ERR_NOT_STARTED));
    }

    void preparationFaults_data()
    {
        QTest::addColumn<QString>("op");
        for (const char *op : {"prepare", "flashinfo", "chipid", "ramrun", "checkstart"})
            QTest::newRow(op) << QString::fromLatin1(op);
    }
    void preparationFaults()
    {
        QFETCH(QString, op);
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        QVERIFY(bench.fault(QStringLiteral("USB1"), op, -4711));
        BenchSession session;
        QCOMPARE(session.prepare(), -4711);
        session.close();
        QCOMPARE(session.prepare(), int(TGT_OK)); // the fault fired once
    }

    void versionAndFlashInfo_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("versionResult");
        QTest::newRow("both") << "W26.02.1"
                              << "FM128A" << int(TGT_OK);
        QTest::newRow("no version, unknown flash") << ""
                                                   << "" << int(TGT_ERR_NO_VERSION);
    }
    void versionAndFlashInfo()
    {
        QFETCH(QString, version);
        QFETCH(QString, model);
        QFETCH(int, versionResult);
        BenchFixture bench;
        BenchHandset h = BenchFixture::handset();
        h.version = version;
        h.flashModel = model;
        h.userAreaStart = BenchHandset::NotReported;
        QVERIFY(bench.plug(h));
        BenchSession session;
        QVERIFY(session.connect());
        ChipInfo chip(session.connection());
        std::string read = "untouched";
        QCOMPARE(chip.getVersion(read), versionResult);
        if (versionResult == TGT_OK)
            QCOMPARE(QString::fromStdString(read), version);
        FlashInfo info;
        QCOMPARE(info.loadFromTarget(session.connection(), &chip), int(TGT_OK));
        QCOMPARE(QString::fromStdString(info.flashModel), model);
        QCOMPARE(info.factoryBase, h.factoryBase);
        QCOMPARE(info.userAreaStart, FlashInfo::NotReported);
        info.clear();
        QCOMPARE(info.factorySize, FlashInfo::NotReported);
        QVERIFY(info.flashModel.empty());
    }

    void eraseFillsTheUserArea_data()
    {
        QTest::addColumn<unsigned>("offset");
        QTest::addColumn<unsigned>("size");
        QTest::addColumn<int>("expected");
        QTest::newRow("whole area") << 0u << 0x10000u << int(TGT_OK);
        QTest::newRow("middle") << 0x1234u << 0x2345u << int(TGT_OK);
        QTest::newRow("past the end") << 0x8000u << 0x8001u << int(TGT_ERR_OUT_OF_RANGE);
        QTest::newRow("before the start") << 0xFFFFFFF0u << 0x20u << int(TGT_ERR_OUT_OF_RANGE);
    }
    void eraseFillsTheUserArea()
    {
        QFETCH(unsigned, offset);
        QFETCH(unsigned, size);
        QFETCH(int, expected);
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        QVERIFY(fillUserArea(QStringLiteral("USB1"), 'u'));
        BenchSession session;
        QCOMPARE(session.prepare(), int(TGT_OK));
        QCOMPARE(session.programmer()->erase(0x00400000u + offset, size), expected);
        const QByteArray area = userArea(QStringLiteral("USB1"));
        QCOMPARE(area.size(), 0x10000);
        for (int i = 0; i < area.size(); ++i) {
            const bool erased = expected == TGT_OK && unsigned(i) >= offset && unsigned(i) < offset + size;
            if (area[i] != (erased ? char(0xFF) : 'u'))
                QFAIL(qPrintable(QStringLiteral("byte %1 is %2").arg(i).arg(int(quint8(area[i])))));
        }
    }

    void eraseStopsOnAbort()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        QVERIFY(fillUserArea(QStringLiteral("USB1"), 'u'));
        BenchSession session;
        QCOMPARE(session.prepare(), int(TGT_OK));
        session.programmer()->abortRequested = true;
        QCOMPARE(session.programmer()->erase(0x00400000u, 0x10000u), int(TGT_ERR_ABORTED));
        QVERIFY(!userArea(QStringLiteral("USB1")).contains(char(0xFF)));
    }

    // A slow download (real delays for this handset) ends early when the programmer is asked to abort.
    void slowDownloadEndsOnAbort()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        qputenv("TGTLINK_DELAY_SCALE", "1");
        QVERIFY(BenchFaults::setDelay(QStringLiteral("USB1"), QStringLiteral("ramrun"), 20000));
        BenchSession session;
        QVERIFY(session.connect());
        ChipInfo chip(session.connection());
        QVERIFY(BenchFaults::setDelay(QStringLiteral("USB1"), QStringLiteral("prepare"), 0));
        QCOMPARE(chip.hostPrepareRamRun(false), int(TGT_OK));
        LodData lod;
        QVERIFY(lod.load(ChipInfo::RamrunFname(TGT_CONN_USB, 0x51A0, "FM64A")));
        FlashProgram programmer(session.connection(), &chip);
        RamRun run;
        run.init(&chip, &lod, session.connection());
        QElapsedTimer timer;
        timer.start();
        std::thread stopper([&programmer] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            programmer.abortRequested = true;
        });
        const int rc = run.run();
        stopper.join();
        QCOMPARE(rc, int(TGT_ERR_ABORTED));
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(programmer.checkStart(), int(TGT_ERR_NOT_STARTED));
    }
};

QTEST_GUILESS_MAIN(TestTgtlinkRamRun)
#include "TestTgtlinkRamRun.moc"
