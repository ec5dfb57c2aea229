#include "config/AppPaths.h"
#include "config/ToolSettings.h"
#include "device/FPDoverARizWorker.h"
#include "history/HistoryFiles.h"
#include "history/StationHistories.h"
#include "ports/PortLockManager.h"

#include "Bench.h"
#include "BenchFaults.h"
#include "tgtlink/FactorySet.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"

#include "support/FileKinds.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {
struct Line
{
    QString text;
    QColor fg;
    QColor bg;
};

class RecordingPortLock final : public PortLockManager
{
public:
    void lockPort(const QString &port) override { calls << QStringLiteral("lock ") + port; }
    void unlockPort(const QString &port) override { calls << QStringLiteral("unlock ") + port; }
    QStringList calls;
};

QString libText(int code)
{
    return QString::fromStdString(TargetStrError(code));
}

const QString Imei1 = QStringLiteral("490154203237518");
const QString Imei2 = QStringLiteral("356938035643809");
const QString Imei3 = QStringLiteral("352099001761481");
const QString Imei4 = QStringLiteral("012345678901237");
const QString Mbsn = QStringLiteral("MB2026120800001AB");
const QString Psn = QStringLiteral("PSN00000000000000042");
const QString Bt = QStringLiteral("0a1b2c3d4e5f");
} // namespace

// Write and read cycles of the device worker on bench handsets, with every failing library call.
class TestDeviceWorker final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    std::unique_ptr<ToolSettings> m_settings;
    std::unique_ptr<StationHistories> m_histories;
    std::unique_ptr<FPDoverARizWorker> m_worker;
    RecordingPortLock m_lock;
    QVector<Line> m_lines;
    QVector<int> m_pauses;
    QVector<int> m_wrStatus;
    std::unique_ptr<QSignalSpy> m_finish, m_exception, m_written, m_read, m_version;

    BenchHandset handset(const QString &port = QStringLiteral("USB1"))
    {
        BenchHandset h;
        h.port = port;
        h.kind = Bench::defaultKindFor(port);
        h.blank = false;
        return h;
    }
    bool plug(const BenchHandset &h)
    {
        QString error;
        const bool ok = Bench::plug(h, &error);
        if (!ok)
            qWarning() << "plug failed:" << error;
        return ok;
    }
    BenchHandset readBack(const QString &port = QStringLiteral("USB1"))
    {
        BenchHandset h;
        QString error;
        if (!Bench::read(port, h, &error))
            qWarning() << "read failed:" << error;
        return h;
    }
    void prepareWrite()
    {
        ToolSettings &s = *m_settings;
        s.operationMode = OpWrite;
        s.portName = QStringLiteral("USB1");
        s.RunType = RunImei | RunMbsn | RunPsn | RunBt;
        s.ImeiNum = 2;
        s.imeiList = {Imei1, Imei2, Imei3, Imei4};
        s.currentMbsn = Mbsn;
        s.currentPsn = Psn;
        s.currentBt = Bt;
        m_worker->setStationFlagsEnabled(true);
    }
    void prepareRead()
    {
        m_settings->operationMode = OpRead;
        m_settings->portName = QStringLiteral("USB1");
        m_worker->setStationFlagsEnabled(false);
    }
    QStringList texts() const
    {
        QStringList out;
        for (const Line &l : m_lines)
            out << l.text;
        return out;
    }
    const Line *find(const QString &prefix) const
    {
        for (const Line &l : m_lines) {
            if (l.text.startsWith(prefix))
                return &l;
        }
        return nullptr;
    }
    // Runs `action` on the cycle's own thread, in the middle of it, when the worker emits the line `text`.
    template <typename Action> void onLine(const QString &text, Action action)
    {
        connect(
            m_worker.get(),
            qOverload<const QString &, const QColor &, const QColor &>(&FPDoverARizWorker::workerStatus), this,
            [text, action](const QString &t) {
                if (t == text)
                    action();
            },
            Qt::DirectConnection);
    }
    void verifyFailedAndReleased()
    {
        QCOMPARE(m_finish->count(), 1);
        QCOMPARE(m_finish->at(0).at(0).toBool(), false);
        QCOMPARE(m_exception->count(), 1);
        QVERIFY(!m_wrStatus.isEmpty());
        QCOMPARE(m_wrStatus.last(), -1);
        verifyEndOfCycle();
    }
    void verifyEndOfCycle()
    {
        QVERIFY(!m_lines.isEmpty());
        QCOMPARE(m_lines.last().text, QStringLiteral("Stop exited"));
        QCOMPARE(m_lines.last().fg, QColor(Qt::green));
        QCOMPARE(m_lock.calls, QStringList({QStringLiteral("lock USB1"), QStringLiteral("unlock USB1")}));
        QVERIFY(!m_worker->isRunning());
        // The port is free again.
        if (!Bench::imagePath(QStringLiteral("USB1")).isEmpty()) {
            std::unique_ptr<TargetConnection> again(CreateTargetConnection(QStringLiteral("USB1")));
            QVERIFY(again);
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QFile stations(m_dir.filePath(QStringLiteral("stations.txt")));
        QVERIFY(stations.open(QIODevice::WriteOnly));
        QVERIFY(stations.write("CALIB\nWRITE\nFINAL\n") > 0);
        stations.close();
        qputenv("TGTLINK_STATIONS", stations.fileName().toLocal8Bit());
        qputenv("TGTLINK_DELAY_SCALE", "0");
        QString error;
        QVERIFY2(Bench::writeRamrunImages(m_dir.path(), &error) > 0, qPrintable(error));
        AppPaths::setAppDirForTesting(m_dir.path());
    }
    void cleanupTestCase()
    {
        AppPaths::setAppDirForTesting(QString());
        QDir::setCurrent(m_previousDir);
    }

    void init()
    {
        const QString bench = m_dir.filePath(QStringLiteral("bench"));
        QDir(bench).removeRecursively();
        QDir().mkpath(bench);
        qputenv("TGTLINK_BENCH", bench.toLocal8Bit());
        QDir(m_dir.filePath(QStringLiteral("cfg"))).removeRecursively();
        m_settings = std::make_unique<ToolSettings>();
        m_histories = std::make_unique<StationHistories>();
        loadHistories(*m_histories);
        m_worker = std::make_unique<FPDoverARizWorker>();
        m_worker->setSettings(m_settings.get());
        m_worker->setHistories(m_histories.get());
        m_worker->setPortLock(&m_lock);
        m_worker->setPauseFunction([this](int ms) { m_pauses << ms; });
        m_lock.calls.clear();
        m_lines.clear();
        m_pauses.clear();
        m_wrStatus.clear();
        // Direct: the worker runs on this thread in these tests.
        connect(
            m_worker.get(),
            qOverload<const QString &, const QColor &, const QColor &>(&FPDoverARizWorker::workerStatus), this,
            [this](const QString &t, const QColor &fg, const QColor &bg) {
                m_lines.push_back({t, fg, bg});
            },
            Qt::DirectConnection);
        connect(
            m_worker.get(), &FPDoverARizWorker::setWRStatus, this, [this](int s) { m_wrStatus << s; },
            Qt::DirectConnection);
        m_finish = std::make_unique<QSignalSpy>(m_worker.get(), &FPDoverARizWorker::workerFinish);
        m_exception = std::make_unique<QSignalSpy>(m_worker.get(), &FPDoverARizWorker::workerException);
        m_written = std::make_unique<QSignalSpy>(m_worker.get(), &FPDoverARizWorker::sngIMEIsHasWritten);
        m_read = std::make_unique<QSignalSpy>(m_worker.get(), &FPDoverARizWorker::sngIMEIsHasRead);
        m_version = std::make_unique<QSignalSpy>(m_worker.get(), &FPDoverARizWorker::sngVersionHasRead);
    }
    void cleanup()
    {
        m_finish.reset();
        m_exception.reset();
        m_written.reset();
        m_read.reset();
        m_version.reset();
        m_worker.reset();
        m_settings.reset();
    }

    void writeThenRead()
    {
        QVERIFY(plug(handset()));
        prepareWrite();
        m_settings->ImeiSave = true;
        m_settings->MbsnSave = true;
        m_settings->BTSave = true;
        m_worker->start();

        QCOMPARE(m_finish->count(), 1);
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(m_exception->count(), 0);
        QCOMPARE(m_wrStatus, QVector<int>({2, 3}));
        QCOMPARE(m_written->count(), 1);
        // ImeiNum 2 with four pending IMEIs writes and reports two.
        QCOMPARE(m_written->at(0).at(0).toStringList(), QStringList({Imei1, Imei2}));
        QCOMPARE(m_written->at(0).at(1).toString(), Mbsn);
        QCOMPARE(m_written->at(0).at(2).toString(), Psn);
        QCOMPARE(m_written->at(0).at(3).toString(), Bt);
        QVERIFY(find(QStringLiteral("Writing is successful.")));
        QCOMPARE(find(QStringLiteral("Writing is successful."))->fg, QColor(Qt::green));
        QCOMPARE(find(QStringLiteral("Close port USB1"))->fg, QColor(Qt::yellow));
        QCOMPARE(m_pauses, QVector<int>({1000})); // before the save; no confirmation pause over USB
        QVERIFY(m_settings->imeiList.isEmpty());
        QVERIFY(m_settings->currentMbsn.isEmpty() && m_settings->currentPsn.isEmpty() &&
                m_settings->currentBt.isEmpty());
        verifyEndOfCycle();

        const BenchHandset h = readBack();
        QCOMPARE(h.factory.imeis.value(0), Imei1);
        QCOMPARE(h.factory.imeis.value(1), Imei2);
        QCOMPARE(h.factory.imeis.value(2), QString());
        QCOMPARE(h.factory.mbsn, Mbsn);
        QCOMPARE(h.factory.psn, Psn);
        QCOMPARE(h.factory.bt, Bt);
        QVERIFY(!h.inUse);

        QCOMPARE(m_histories->imeiHistory.size(), 1);
        QCOMPARE(m_histories->imeiHistory.at(0).imeis, Imei1 + u',' + Imei2); // the IMEIs written
        QVERIFY(m_histories->mbsnHistory.contains(Mbsn));
        QVERIFY(m_histories->btHistory.contains(Bt));
        QVERIFY(!m_histories->psnHistory.contains(Psn)); // PsnSave is off

        // Read it back.
        m_lines.clear();
        m_lock.calls.clear();
        m_wrStatus.clear();
        m_finish->clear();
        prepareRead();
        m_worker->start();
        QCOMPARE(m_finish->count(), 1);
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(m_read->count(), 1);
        QCOMPARE(m_read->at(0).at(0).toStringList(), QStringList({Imei1, Imei2, QString(), QString()}));
        QCOMPARE(m_read->at(0).at(1).toString(), Mbsn);
        QCOMPARE(m_read->at(0).at(2).toString(), Psn);
        QCOMPARE(m_read->at(0).at(3).toString(), Bt);
        verifyEndOfCycle();
        QCOMPARE(readBack().factory.sequence, h.factory.sequence); // nothing saved by a read
    }

    void failingLibraryCall_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QColor>("colour");
        const int io = TGT_ERR_IO;
        const QColor red(Qt::red);
        QTest::newRow("connect") << "connect"
                                 << ""
                                 << "Unable to open port USB1" << red;
        QTest::newRow("prepare") << "prepare"
                                 << "" << QStringLiteral("Unable to prepare the handset on port USB1: ") + libText(io)
                                 << red;
        QTest::newRow("flash info") << "flashinfo"
                                    << "" << QStringLiteral("Unable to get flash info from device: ") + libText(io)
                                    << red;
        QTest::newRow("chip id") << "chipid"
                                 << "" << QStringLiteral("Unable to get chip ID: ") + libText(io) << red;
        QTest::newRow("version") << "version"
                                 << "expect version"
                                 << "Failed to get version!" << red;
        QTest::newRow("ramrun") << "ramrun"
                                << "" << QStringLiteral("Download ramrun lod failed: ") + libText(io) << red;
        QTest::newRow("programmer") << "checkstart"
                                    << "" << QStringLiteral("Flash programmer not started: ") + libText(io) << red;
        QTest::newRow("factory set") << "createfactoryset"
                                     << ""
                                     << "Invalid station setting magic" << red;
        QTest::newRow("load") << "load"
                              << "" << QStringLiteral("Failed to read factory data from device: ") + libText(io) << red;
        QTest::newRow("set imei") << "setimei"
                                  << ""
                                  << "Set IMEI1 failed!" << red;
        QTest::newRow("set mbsn") << "setmbsn"
                                  << ""
                                  << "write MBSN error!" << red;
        QTest::newRow("set psn") << "setpsn"
                                 << ""
                                 << "write PSN error!" << red;
        QTest::newRow("set bt") << "setbt"
                                << ""
                                << "write BT error!" << red;
        QTest::newRow("save") << "save"
                              << ""
                              << "Writing is  failed!" << red;
        QTest::newRow("query station") << "querystation"
                                       << "phase check"
                                       << "Check flags failed!" << red;
        QTest::newRow("set station") << "setstation"
                                     << "phase check"
                                     << QStringLiteral("Failed to write station flag WRITE: ") + libText(io) << red;
    }
    void failingLibraryCall()
    {
        QFETCH(QString, operation);
        QFETCH(QString, setup);
        QFETCH(QString, line);
        QFETCH(QColor, colour);
        BenchHandset h = handset();
        h.factory.stations.insert(QStringLiteral("CALIB"), true);
        QVERIFY(plug(h));
        const quint64 sequence = readBack().factory.sequence;
        QVERIFY(BenchFaults::setFault(QStringLiteral("USB1"), operation, TGT_ERR_IO, true));
        prepareWrite();
        m_settings->ImeiSave = true;
        m_settings->MbsnSave = true;
        if (setup == QLatin1String("expect version")) {
            m_settings->RunType |= RunCheckVersion;
            m_settings->expectedVersion = h.version;
        } else if (setup == QLatin1String("phase check")) {
            m_settings->isPhaseCheck = true;
            m_settings->checkStation = QStringLiteral("CALIB");
            m_settings->currentStation = QStringLiteral("WRITE");
        }
        m_worker->start();

        const Line *l = find(line);
        QVERIFY2(l, qPrintable(texts().join(u'\n')));
        QCOMPARE(l->fg, colour);
        QCOMPARE(l->bg, QColor(Qt::lightGray));
        verifyFailedAndReleased();
        QVERIFY(m_settings->imeiList.isEmpty());
        QVERIFY(m_settings->currentMbsn.isEmpty());
        QCOMPARE(m_written->count(), 0);
        const BenchHandset after = readBack();
        QCOMPARE(after.factory.sequence, sequence); // the handset keeps its data
        QCOMPARE(after.factory.imeis.value(0), QString());
    }

    void unusableHandset_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<quint32>("factorySize");
        QTest::addColumn<unsigned>("chip");
        QTest::addColumn<bool>("blank");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("lines");
        const QColor red(Qt::red), yellow(Qt::yellow);
        const quint32 size = 0x2000;
        QTest::newRow("model unknown") << "" << size << 0x51A0u << false << "Flash model is unknown" << red << 1;
        QTest::newRow("factory size unknown") << "FM64A" << BenchHandset::NotReported << 0x51A0u << false
                                              << "Factory base and size are unknown" << yellow << 1;
        QTest::newRow("unsupported chip") << "FM64A" << size << 0x1234u << false << "Unsupported chip" << yellow << 1;
        QTest::newRow("no image for model")
            << "XX99" << size << 0x51A0u << false << "Ramrun lod file ramrun/usb_51a0_xx99.lod not exist" << red << 1;
        QTest::newRow("blank handset") << "FM64A" << size << 0x51A0u << true
                                       << QStringLiteral("Failed to read factory data from device: ") +
                                              libText(TGT_ERR_NO_FACTORY_DATA)
                                       << red << 1;
    }
    void unusableHandset()
    {
        QFETCH(QString, model);
        QFETCH(quint32, factorySize);
        QFETCH(unsigned, chip);
        QFETCH(bool, blank);
        QFETCH(QString, line);
        QFETCH(QColor, colour);
        BenchHandset h = handset();
        h.flashModel = model;
        h.factorySize = factorySize;
        h.chipId = chip;
        h.blank = blank;
        QVERIFY(plug(h));
        prepareWrite();
        m_worker->start();
        const Line *l = find(line);
        QVERIFY2(l, qPrintable(texts().join(u'\n')));
        QCOMPARE(l->fg, colour);
        verifyFailedAndReleased();
    }

    void damagedRamrunImage_data()
    {
        QTest::addColumn<bool>("pipe"); // a pipe in the image's place rather than damaged bytes
        QTest::addColumn<QString>("line");
        QTest::newRow("damaged") << false << "Unable to load ramrun lod file ";
        QTest::newRow("a pipe in its place") << true << "The RAM-run image ";
    }
    void damagedRamrunImage()
    {
        QFETCH(bool, pipe);
        QFETCH(QString, line);
        QVERIFY(plug(handset()));
        const QString lod = QStringLiteral("ramrun/usb_51a0_fm64a.lod");
        QFile f(lod);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QByteArray original = f.readAll();
        if (pipe) {
            if (!FileKinds::haveFifos())
                QSKIP("no FIFOs here");
            f.close();
            QVERIFY(f.remove());
            QVERIFY(FileKinds::makeFifo(lod));
        } else {
            QVERIFY(f.seek(original.size() / 2));
            QVERIFY(f.write("\x5a\xa5") == 2);
            f.close();
        }
        prepareWrite();
        m_worker->start(); // a pipe would block here for good
        QFile::remove(lod);
        QFile restore(lod);
        QVERIFY(restore.open(QIODevice::WriteOnly));
        QCOMPARE(restore.write(original), qint64(original.size()));
        restore.close();
        QVERIFY2(find(line + lod), qPrintable(texts().join(u'\n')));
        verifyFailedAndReleased();
    }

    void invalidSecondImei()
    {
        QVERIFY(plug(handset()));
        prepareWrite();
        m_settings->imeiList[1] = QStringLiteral("490154203237510");
        m_worker->start();
        const Line *l = find(QStringLiteral("IMEI2 is invalid"));
        QVERIFY2(l, qPrintable(texts().join(u'\n')));
        QCOMPARE(l->text, QStringLiteral("IMEI2 is invalid,you can use 490154203237518,please check!"));
        QCOMPARE(l->fg, QColor(Qt::red));
        QCOMPARE(m_pauses, QVector<int>({1000}));
        verifyFailedAndReleased();
        QCOMPARE(readBack().factory.imeis.value(0), QString()); // IMEI1 was set only in the discarded copy
    }

    void emptyMbsnIsSkipped()
    {
        QVERIFY(plug(handset()));
        prepareWrite();
        m_settings->currentMbsn.clear();
        QVERIFY(BenchFaults::setFault(QStringLiteral("USB1"), QStringLiteral("setmbsn"), TGT_ERR_IO, false));
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(m_written->at(0).at(1).toString(), QString());
    }

    void stationCheck_data()
    {
        QTest::addColumn<int>("state"); // 0 missing, 1 failed, 2 passed
        QTest::addColumn<QString>("checkStation");
        QTest::addColumn<bool>("initFactData");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("ok");
        QTest::newRow("missing") << 0 << "CALIB" << false << "Missing station: CALIB!" << false;
        QTest::newRow("failed") << 1 << "CALIB" << false << "Failed station: CALIB!" << false;
        QTest::newRow("passed") << 2 << "CALIB" << false << "Write flag ..." << true;
        QTest::newRow("no station to check") << 0 << "" << false << "Write flag ..." << true;
        QTest::newRow("initialised data is not checked") << 0 << "CALIB" << true << "Init factory data ..." << true;
    }
    void stationCheck()
    {
        QFETCH(int, state);
        QFETCH(QString, checkStation);
        QFETCH(bool, initFactData);
        QFETCH(QString, line);
        QFETCH(bool, ok);
        BenchHandset h = handset();
        if (state > 0)
            h.factory.stations.insert(QStringLiteral("CALIB"), state == 2);
        QVERIFY(plug(h));
        prepareWrite();
        m_settings->isPhaseCheck = true;
        m_settings->checkStation = checkStation;
        m_settings->currentStation = QStringLiteral("WRITE");
        m_settings->initFactData = initFactData;
        m_worker->start();
        QVERIFY2(find(line), qPrintable(texts().join(u'\n')));
        QCOMPARE(m_finish->at(0).at(0).toBool(), ok);
        if (ok) {
            QCOMPARE(readBack().factory.stations.value(QStringLiteral("WRITE")), true);
        } else {
            QVERIFY(find(QStringLiteral("Check flags failed!")));
            QVERIFY(!readBack().factory.stations.contains(QStringLiteral("WRITE")));
        }
    }

    void readCycleLeavesStationsAlone()
    {
        BenchHandset h = handset();
        h.factory.stations.insert(QStringLiteral("CALIB"), false);
        QVERIFY(plug(h));
        prepareRead();
        m_settings->isPhaseCheck = true;
        m_settings->checkStation = QStringLiteral("CALIB");
        m_settings->currentStation = QStringLiteral("WRITE");
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QVERIFY(!find(QStringLiteral("Check flags ...")));
        QVERIFY(!find(QStringLiteral("Write flag ...")));
        QVERIFY(!readBack().factory.stations.contains(QStringLiteral("WRITE")));
    }

    void readCycleIsNonDestructive()
    {
        BenchHandset h = handset();
        h.factory.imeis = QStringList{Imei1};
        QVERIFY(plug(h));
        const quint64 sequence = readBack().factory.sequence;
        prepareRead();
        m_settings->initFactData = true;
        m_settings->FactoryReset = true;
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QVERIFY(find(QStringLiteral("Read cycle: the factory data is not initialised")));
        QVERIFY(find(QStringLiteral("Read cycle: the factory reset is skipped")));
        QVERIFY(!find(QStringLiteral("FactoryReset ...")));
        QCOMPARE(m_read->at(0).at(0).toStringList().value(0), Imei1);
        const BenchHandset after = readBack();
        QCOMPARE(after.factory.sequence, sequence);
        QVERIFY(!after.userAreaErased);
    }

    void factoryReset_data()
    {
        QTest::addColumn<quint32>("userStart");
        QTest::addColumn<bool>("eraseFails");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("erased");
        QTest::newRow("erased") << quint32(0x00400000) << false << "Factory reset successfully!" << true;
        QTest::newRow("area not reported")
            << BenchHandset::NotReported << false << "The address of user data is invalid" << false;
        QTest::newRow("erase fails") << quint32(0x00400000) << true << "Factory reset failed!" << false;
    }
    void factoryReset()
    {
        QFETCH(quint32, userStart);
        QFETCH(bool, eraseFails);
        QFETCH(QString, line);
        QFETCH(bool, erased);
        BenchHandset h = handset();
        h.userAreaStart = userStart;
        QVERIFY(plug(h));
        if (eraseFails)
            QVERIFY(BenchFaults::setFault(QStringLiteral("USB1"), QStringLiteral("erase"), TGT_ERR_IO, true));
        prepareWrite();
        m_settings->FactoryReset = true;
        m_worker->start();
        QVERIFY2(find(line), qPrintable(texts().join(u'\n')));
        // The write goes on whatever the reset did.
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(readBack().userAreaErased, erased);
    }

    void initialisedBlankHandset()
    {
        BenchHandset h = handset();
        h.blank = true;
        QVERIFY(plug(h));
        QVERIFY(BenchFaults::setFault(QStringLiteral("USB1"), QStringLiteral("load"), TGT_ERR_IO, false));
        prepareWrite();
        m_settings->initFactData = true;
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(readBack().factory.imeis.value(1), Imei2);
    }

    void versionCheck_data()
    {
        QTest::addColumn<QString>("flash");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("keyLen");
        QTest::addColumn<bool>("ok");
        QTest::newRow("equal") << "W25.10.1"
                               << "W25.10.1"
                               << "W" << 8 << true;
        QTest::newRow("nothing expected") << "W25.10.1"
                                          << ""
                                          << "W" << 8 << true;
        QTest::newRow("contained with key") << "MAIN_W1234567_X"
                                            << "W1234567"
                                            << "W" << 8 << true;
        QTest::newRow("key too short") << "MAIN_W123_X"
                                       << "W123"
                                       << "W" << 8 << false;
        QTest::newRow("no key in expected") << "MAIN_1234567_X"
                                            << "1234567"
                                            << "W" << 4 << false;
        QTest::newRow("empty key") << "MAIN_W1234567_X"
                                   << "W1234567"
                                   << "" << 8 << false;
        QTest::newRow("zero key length") << "MAIN_W1234567_X"
                                         << "W1234567"
                                         << "W" << 0 << false;
        QTest::newRow("not contained") << "MAIN_W7654321_X"
                                       << "W1234567"
                                       << "W" << 8 << false;
        QTest::newRow("case sensitive") << "MAIN_w1234567_X"
                                        << "W1234567"
                                        << "W" << 8 << false;
    }
    void versionCheck()
    {
        QFETCH(QString, flash);
        QFETCH(QString, expected);
        QFETCH(QString, key);
        QFETCH(int, keyLen);
        QFETCH(bool, ok);
        BenchHandset h = handset();
        h.version = flash;
        QVERIFY(plug(h));
        prepareRead();
        m_settings->RunType = RunImei | RunCheckVersion;
        m_settings->expectedVersion = expected;
        m_settings->KeyVersion = key;
        m_settings->KeyVersionLen = keyLen;
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), ok);
        if (!ok) {
            QVERIFY2(find(QStringLiteral("The version does not match, its value is %1 in flash !").arg(flash)),
                     qPrintable(texts().join(u'\n')));
        } else if (expected.isEmpty()) {
            QCOMPARE(m_version->count(), 1);
            QCOMPARE(m_version->at(0).at(0).toString(), flash);
        } else {
            QCOMPARE(find(QStringLiteral("Version checking successful!"))->fg, QColor(Qt::green));
        }
    }

    void versionUnreadableWithoutExpectation()
    {
        QVERIFY(plug(handset()));
        QVERIFY(BenchFaults::setFault(QStringLiteral("USB1"), QStringLiteral("version"), TGT_ERR_IO, true));
        prepareRead();
        m_settings->RunType = RunImei | RunCheckVersion;
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(find(QStringLiteral("Failed to get version!"))->fg, QColor(Qt::red));
        QCOMPARE(m_version->count(), 0);
    }

    void confirmationPause_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("imeiType");
        QTest::addColumn<QVector<int>>("pauses");
        QTest::newRow("com, manual") << "COM7" << 0 << QVector<int>{1000, 5000};
        QTest::newRow("com, automatic") << "COM7" << 1 << QVector<int>{1000};
        QTest::newRow("usb, manual") << "USB1" << 0 << QVector<int>{1000};
    }
    void confirmationPause()
    {
        QFETCH(QString, port);
        QFETCH(int, imeiType);
        QFETCH(QVector<int>, pauses);
        QVERIFY(plug(handset(port)));
        prepareWrite();
        m_settings->portName = port;
        m_settings->RunType = RunImei;
        m_settings->imeiInputTypes = {imeiType, imeiType, 0, 0}; // IMEI3 and 4 are beyond ImeiNum
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(m_pauses, pauses);
    }

    void historyRecordFailureKeepsHandsetUnwritten_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("imei") << int(RunImei);
        QTest::newRow("mbsn") << int(RunMbsn);
        QTest::newRow("bt") << int(RunBt);
    }
    void historyRecordFailureKeepsHandsetUnwritten()
    {
        QFETCH(int, kind);
        QVERIFY(plug(handset()));
        const quint64 sequence = readBack().factory.sequence;
        // A directory where the history file should be: the record cannot be written.
        const QString path = historyFilePath(kind);
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path));
        prepareWrite();
        m_settings->ImeiSave = true;
        m_settings->MbsnSave = true;
        m_settings->BTSave = true;
        m_worker->start();
        QDir(path).removeRecursively();
        const Line *l = find(QStringLiteral("Unable to record"));
        QVERIFY2(l, qPrintable(texts().join(u'\n')));
        QVERIFY(l->text.contains(path));
        QCOMPARE(l->fg, QColor(Qt::red));
        verifyFailedAndReleased();
        QCOMPARE(readBack().factory.sequence, sequence);
        QVERIFY(!find(QStringLiteral("Writing data to flash...")));
    }

    void stopDuringPreparation()
    {
        QVERIFY(plug(handset()));
        prepareWrite();
        onLine(QStringLiteral("Init flash information ..."), [this] { m_worker->requestStop(); });
        m_worker->start();
        QCOMPARE(m_wrStatus, QVector<int>({2, 1}));
        QCOMPARE(m_finish->count(), 0);
        QCOMPARE(m_exception->count(), 0);
        const QStringList t = texts();
        QCOMPARE(t.mid(t.size() - 2), QStringList({QStringLiteral("Close port USB1"), QStringLiteral("Stop exited")}));
        verifyEndOfCycle();
        QVERIFY(m_settings->imeiList.isEmpty());
        QCOMPARE(readBack().factory.imeis.value(0), QString());
    }

    void stopBetweenCyclesHasNoEffect()
    {
        QVERIFY(plug(handset()));
        prepareWrite();
        m_worker->requestStop();
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
    }

    // The window's stop() from its own thread while the cycle runs on the worker's.
    void stopFromAnotherThread()
    {
        QVERIFY(plug(handset()));
        qputenv("TGTLINK_DELAY_SCALE", "1");
        QVERIFY(BenchFaults::setDelay(QStringLiteral("USB1"), QStringLiteral("ramrun"), 400));
        prepareWrite();
        QThread thread;
        thread.setObjectName(QStringLiteral("worker"));
        m_worker->moveToThread(&thread);
        QVector<Line> lines;
        connect(
            m_worker.get(),
            qOverload<const QString &, const QColor &, const QColor &>(&FPDoverARizWorker::workerStatus), this,
            [&lines](const QString &t, const QColor &fg) {
                lines.push_back({t, fg, QColor()});
            },
            Qt::QueuedConnection); // emitted on the worker thread
        thread.start();
        QMetaObject::invokeMethod(m_worker.get(), &FPDoverARizWorker::start, Qt::QueuedConnection);
        QTRY_VERIFY(std::any_of(lines.cbegin(), lines.cend(),
                                [](const Line &l) { return l.text == QLatin1String("Init flash information ..."); }));
        m_worker->stop();
        QVERIFY(!m_worker->isRunning());
        QCoreApplication::processEvents();
        qputenv("TGTLINK_DELAY_SCALE", "0");
        QThread *home = QThread::currentThread();
        // Only the worker's own thread may hand it back.
        QMetaObject::invokeMethod(
            m_worker.get(), [this, home] { m_worker->moveToThread(home); }, Qt::BlockingQueuedConnection);
        thread.quit();
        QVERIFY(thread.wait(5000));
        QStringList t;
        for (const Line &l : lines)
            t << l.text;
        QVERIFY(t.contains(QStringLiteral("Stop ...")));
        QCOMPARE(t.last(), QStringLiteral("Stop exited"));
        QCOMPARE(m_finish->count(), 0);
        QCOMPARE(readBack().factory.imeis.value(0), QString());
    }

    // A stop that reaches a library call through the programmer's abort request ends the cycle as stopped.
    void stopEndsLibraryCall_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("history");
        QTest::addColumn<bool>("written");

        QTest::newRow("ramrun download") << "ramrun" << true << false;
        QTest::newRow("factory data load") << "load" << true << false;
        QTest::newRow("factory reset erase") << "erase" << true << false;
        QTest::newRow("save, nothing recorded") << "save" << false << false;
        // The history already holds the set: the save is let finish.
        QTest::newRow("save after the history") << "save" << true << true;
    }
    void stopEndsLibraryCall()
    {
        QFETCH(QString, operation);
        QFETCH(bool, history);
        QFETCH(bool, written);
        QVERIFY(plug(handset()));
        const quint64 sequence = readBack().factory.sequence;
        qputenv("TGTLINK_DELAY_SCALE", "1");
        const auto restore = qScopeGuard([] { qputenv("TGTLINK_DELAY_SCALE", "0"); });
        for (const QString op :
             {"connect", "prepare", "chipid", "flashinfo", "version", "ramrun", "checkstart", "load", "save", "erase"})
            QVERIFY(BenchFaults::setDelay(QStringLiteral("USB1"), op, op == operation ? 3000 : 0));
        prepareWrite();
        m_settings->ImeiSave = history;
        m_settings->FactoryReset = operation == QLatin1String("erase");
        std::atomic<bool> done{false};
        std::thread stopper([this, &done] {
            QThread::msleep(300); // well inside the delayed call, well before its end
            if (!done)
                m_worker->requestStop();
        });
        QElapsedTimer timer;
        timer.start();
        m_worker->start();
        done = true;
        stopper.join();
        if (written) {
            QCOMPARE(m_wrStatus, QVector<int>({2, 3}));
            QCOMPARE(m_finish->count(), 1);
            QCOMPARE(readBack().factory.imeis.value(0), Imei1);
            QVERIFY(m_histories->imeiHistory.contains(Imei1));
            return;
        }
        QVERIFY2(timer.elapsed() < 2500, "the call was not ended early");
        QCOMPARE(m_wrStatus, QVector<int>({2, 1}));
        QCOMPARE(m_finish->count(), 0);
        QCOMPARE(m_exception->count(), 0);
        for (const Line &l : std::as_const(m_lines))
            QVERIFY2(l.fg != QColor(Qt::red), qPrintable(l.text));
        const QStringList t = texts();
        QCOMPARE(t.mid(t.size() - 2), QStringList({QStringLiteral("Close port USB1"), QStringLiteral("Stop exited")}));
        QCOMPARE(readBack().factory.sequence, sequence);
        QVERIFY(!m_histories->imeiHistory.contains(Imei1));
    }

    // A stop between the history record and the save: with the set recorded the save goes on, otherwise the
    // cycle stops before anything reaches the handset.
    void stopBeforeSave_data()
    {
        QTest::addColumn<bool>("history");
        QTest::newRow("recorded") << true;
        QTest::newRow("not recorded") << false;
    }
    void stopBeforeSave()
    {
        QFETCH(bool, history);
        QVERIFY(plug(handset()));
        const quint64 sequence = readBack().factory.sequence;
        prepareWrite();
        m_settings->ImeiSave = history;
        m_settings->BTSave = history;
        m_worker->setPauseFunction([this](int ms) {
            m_pauses << ms;
            m_worker->requestStop();
        });
        m_worker->start();
        QCOMPARE(m_finish->count(), history ? 1 : 0);
        QCOMPARE(m_wrStatus.last(), history ? 3 : 1);
        const BenchHandset after = readBack();
        QCOMPARE(after.factory.imeis.value(0), history ? Imei1 : QString());
        QCOMPARE(after.factory.bt, history ? Bt : QString());
        if (!history)
            QCOMPARE(after.factory.sequence, sequence);
        QCOMPARE(m_histories->imeiHistory.contains(Imei1), history);
        QCOMPARE(m_histories->btHistory.contains(Bt), history);
    }

    // What the window asks for with requestStart(): the record as it was then, and no cycle once stopped.
    void requestedCycle_data()
    {
        QTest::addColumn<bool>("stopAfterRequest");
        QTest::newRow("record changed after the request") << false;
        QTest::newRow("stop after the request") << true;
    }
    void requestedCycle()
    {
        QFETCH(bool, stopAfterRequest);
        QVERIFY(plug(handset()));
        const quint64 sequence = readBack().factory.sequence;
        prepareWrite();
        m_worker->requestStart();
        // The window changes the port on every port report, and may have moved on to the next values.
        m_settings->portName = QStringLiteral("USB9");
        m_settings->imeiList = QStringList{Imei3, Imei4};
        m_worker->setStationFlagsEnabled(false);
        if (stopAfterRequest)
            m_worker->requestStop();
        m_worker->start();
        if (stopAfterRequest) {
            QVERIFY(m_lines.isEmpty());
            QVERIFY(m_wrStatus.isEmpty());
            QCOMPARE(m_finish->count(), 0);
            QVERIFY(m_lock.calls.isEmpty());
            QCOMPARE(readBack().factory.sequence, sequence);
            QVERIFY(!m_worker->isRunning());
            // The next request runs.
            m_settings->portName = QStringLiteral("USB1");
            m_worker->requestStart();
            m_worker->start();
            QCOMPARE(m_finish->count(), 1);
            return;
        }
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(m_written->at(0).at(0).toStringList(), QStringList({Imei1, Imei2}));
        QCOMPARE(readBack().factory.imeis.mid(0, 2), QStringList({Imei1, Imei2}));
        verifyEndOfCycle();
    }

    // Every write requested by the window carries the station-flag setting it had when requested.
    void stationFlagOfRequest()
    {
        BenchHandset h = handset();
        h.factory.stations.insert(QStringLiteral("CALIB"), true);
        QVERIFY(plug(h));
        prepareWrite();
        m_settings->isPhaseCheck = true;
        m_settings->checkStation = QStringLiteral("CALIB");
        m_settings->currentStation = QStringLiteral("WRITE");
        m_worker->requestStart();
        m_worker->setStationFlagsEnabled(false); // as a read requested later would
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(readBack().factory.stations.value(QStringLiteral("WRITE")), true);
    }

    void unpluggedDuringCycle()
    {
        QVERIFY(plug(handset()));
        prepareWrite();
        onLine(QStringLiteral("Begin to read information from flash ..."),
               [] { Bench::unplug(QStringLiteral("USB1")); });
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), false);
        QCOMPARE(m_lines.last().text, QStringLiteral("Stop exited"));
        QVERIFY(m_settings->imeiList.isEmpty());
    }

    void otherOperationModeOnlyPrepares()
    {
        QVERIFY(plug(handset()));
        const quint64 sequence = readBack().factory.sequence;
        prepareWrite();
        m_settings->operationMode = 0;
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QCOMPARE(m_written->count() + m_read->count(), 0);
        QCOMPARE(readBack().factory.sequence, sequence);
        QCOMPARE(m_settings->imeiList.size(), 4); // only a write cycle empties them
    }

    // The cycle works on what the record held when it started.
    void portNameChangedDuringCycle()
    {
        QVERIFY(plug(handset()));
        prepareWrite();
        onLine(QStringLiteral("Init flash information ..."), [this] { m_settings->portName = QStringLiteral("USB9"); });
        m_worker->start();
        QCOMPARE(m_finish->at(0).at(0).toBool(), true);
        QVERIFY(find(QStringLiteral("Close port USB1")));
        verifyEndOfCycle();
    }
};

QTEST_GUILESS_MAIN(TestDeviceWorker)
#include "TestDeviceWorker.moc"
