// Factory data on a bench handset: load and save through the two copies, power cuts, station lists, setters.
#include "support/TestSupport.h"

#include <QtTest>

namespace {

BenchHandset writtenHandset()
{
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    h.factory.imeis = {QStringLiteral("490154203237518")};
    h.factory.mbsn = QStringLiteral("OLDMBSN");
    h.factory.psn = QStringLiteral("OLDPSN");
    h.factory.bt = QStringLiteral("001122334455");
    h.factory.stations = {{QStringLiteral("CALIBRATION"), true}};
    return h;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// The identities as one comparable text.
QString summary(const BenchHandset &h)
{
    if (h.blank)
        return QStringLiteral("blank");
    QStringList stations;
    for (auto it = h.factory.stations.cbegin(); it != h.factory.stations.cend(); ++it)
        stations << it.key() + (it.value() ? QStringLiteral("+") : QStringLiteral("-"));
    return QStringList({h.factory.imeis.join(QLatin1Char(',')), h.factory.mbsn, h.factory.psn, h.factory.bt,
                        stations.join(QLatin1Char(','))})
        .join(QLatin1Char('|'));
}

} // namespace

class TestTgtlinkFactoryData final : public QObject
{
    Q_OBJECT

private slots:
    void blankHandsetLoadFails()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        BenchSession session;
        QCOMPARE(session.prepareAndLoad(), int(TGT_ERR_NO_FACTORY_DATA));
        // Nothing was loaded: saving now would blank the handset, so it is refused.
        QCOMPARE(session.factorySet()->saveToDevice(session.programmer()), int(TGT_ERR_NO_FACTORY_DATA));
        QVERIFY(bench.read().blank);
    }

    void saveThenLoadRoundTrip()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        {
            BenchSession session;
            QCOMPARE(session.prepare(), int(TGT_OK));
            FactorySet *set = session.factorySet();
            set->initialize();
            for (int i = 0; i < 4; ++i)
                QCOMPARE(set->setImei(i, FactorySet::AddIMEIChecksum("3569380356438" + std::to_string(i)), true),
                         int(TGT_OK));
            QCOMPARE(set->setMbsn("MB123456"), int(TGT_OK));
            QCOMPARE(set->setPsn("PSN-0001"), int(TGT_OK));
            QCOMPARE(set->setBt("A0B1C2D3E4F5"), int(TGT_OK));
            QCOMPARE(set->setStation("FINAL_TEST", false), int(TGT_OK));
            QCOMPARE(set->setStation("FINAL_TEST", true), int(TGT_OK));
            QCOMPARE(set->saveToDevice(session.programmer()), int(TGT_OK));
            QCOMPARE(set->saveToDevice(session.programmer()), int(TGT_OK));
        }
        const BenchHandset h = bench.read();
        QCOMPARE(h.validCopies, 2);
        QCOMPARE(h.factory.sequence, quint64(2));
        QCOMPARE(h.factory.mbsn, QStringLiteral("MB123456"));
        QCOMPARE(h.factory.stations, (QMap<QString, bool>{{QStringLiteral("FINAL_TEST"), true}}));

        BenchSession again;
        QCOMPARE(again.prepareAndLoad(), int(TGT_OK));
        FactorySet *set = again.factorySet();
        QCOMPARE(set->getImei(3), FactorySet::AddIMEIChecksum("35693803564383"));
        QCOMPARE(set->getPsn(), std::string("PSN-0001"));
        QCOMPARE(set->getBt(), std::string("A0B1C2D3E4F5"));
        bool found = false, passed = false;
        QCOMPARE(set->queryStation("FINAL_TEST", found, passed), int(TGT_OK));
        QVERIFY(found && passed);
        QCOMPARE(set->queryStation("BT_TEST", found, passed), int(TGT_OK));
        QVERIFY(!found);
        QCOMPARE(set->getImei(4), std::string());
    }

    // A power cut after any number of bytes of a save leaves exactly the previous set; the full save gives the
    // new one. Checked for a handset with one copy (the save fills the other half) and with two (the save
    // overwrites the older copy).
    void powerCutAtEveryByteKeepsOldOrNew_data()
    {
        QTest::addColumn<int>("earlierSaves");
        QTest::newRow("one copy") << 0;
        QTest::newRow("two copies") << 1;
    }
    void powerCutAtEveryByteKeepsOldOrNew()
    {
        QFETCH(int, earlierSaves);
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug(writtenHandset()));
        for (int i = 0; i < earlierSaves; ++i) {
            BenchSession session;
            QCOMPARE(session.prepareAndLoad(), int(TGT_OK));
            QCOMPARE(session.factorySet()->setPsn("PSN" + std::to_string(i)), int(TGT_OK));
            QCOMPARE(session.factorySet()->saveToDevice(session.programmer()), int(TGT_OK));
        }
        const QString path = Bench::imagePath(QStringLiteral("USB1"));
        const QByteArray before = readFile(path);
        const QString oldSet = summary(bench.read());

        BenchSession session;
        QCOMPARE(session.prepareAndLoad(), int(TGT_OK));
        FactorySet *set = session.factorySet();
        QCOMPARE(set->setImei(1, "100000000000009", true), int(TGT_OK));
        QCOMPARE(set->setMbsn("NEWMBSN"), int(TGT_OK));
        QCOMPARE(set->setStation("BT_TEST", true), int(TGT_OK));

        QString newSet;
        bool completed = false;
        for (qint64 cut = 0; !completed; ++cut) {
            QVERIFY(writeFile(path, before));
            QVERIFY(bench.powerCut(QStringLiteral("USB1"), cut));
            const int rc = set->saveToDevice(session.programmer());
            const QString now = summary(bench.read());
            if (rc == TGT_OK) {
                completed = true;
                newSet = now;
                QVERIFY(newSet != oldSet);
                QVERIFY(newSet.contains(QLatin1String("NEWMBSN")));
            } else {
                QCOMPARE(rc, int(TGT_ERR_IO));
                QVERIFY2(now == oldSet, qPrintable(QStringLiteral("cut after %1 bytes: %2").arg(cut).arg(now)));
            }
            QVERIFY(cut < 4096);
        }
        // And the library, reading the image as the next cycle would, agrees.
        session.close();
        BenchSession reader;
        QCOMPARE(reader.prepareAndLoad(), int(TGT_OK));
        QCOMPARE(reader.factorySet()->getMbsn(), std::string("NEWMBSN"));
    }

    // Saves go on from any sequence number a handset holds, the highest ones included: each save is what the
    // next load reads.
    void saveAfterAnySequenceIsReadBack_data()
    {
        QTest::addColumn<quint64>("sequence");
        QTest::newRow("1") << quint64(1);
        QTest::newRow("2^63-1") << quint64(0x7FFFFFFFFFFFFFFFull);
        QTest::newRow("2^63") << quint64(0x8000000000000000ull);
        QTest::newRow("2^64-2") << quint64(0xFFFFFFFFFFFFFFFEull);
        QTest::newRow("2^64-1") << quint64(0xFFFFFFFFFFFFFFFFull);
    }
    void saveAfterAnySequenceIsReadBack()
    {
        QFETCH(quint64, sequence);
        BenchFixture bench;
        bench.enterRuntimeDir();
        BenchHandset h = writtenHandset();
        h.factory.sequence = sequence;
        QVERIFY(bench.plug(h));
        QCOMPARE(bench.read().factory.sequence, sequence);
        for (const char *mbsn : {"FIRST", "SECOND", "THIRD"}) {
            {
                BenchSession session;
                QCOMPARE(session.prepareAndLoad(), int(TGT_OK));
                QCOMPARE(session.factorySet()->setMbsn(mbsn), int(TGT_OK));
                QCOMPARE(session.factorySet()->saveToDevice(session.programmer()), int(TGT_OK));
            }
            BenchSession reader;
            QCOMPARE(reader.prepareAndLoad(), int(TGT_OK));
            QCOMPARE(reader.factorySet()->getMbsn(), std::string(mbsn));
            QCOMPARE(bench.read().factory.mbsn, QString::fromLatin1(mbsn));
        }
    }

    void powerCutAlwaysCutsEverySave()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug(writtenHandset()));
        QVERIFY(bench.powerCut(QStringLiteral("USB1"), 10, false));
        BenchSession session;
        QCOMPARE(session.prepareAndLoad(), int(TGT_OK));
        QCOMPARE(session.factorySet()->saveToDevice(session.programmer()), int(TGT_ERR_IO));
        QCOMPARE(session.factorySet()->saveToDevice(session.programmer()), int(TGT_ERR_IO));
        QCOMPARE(bench.read().factory.mbsn, QStringLiteral("OLDMBSN"));
    }

    void damagedNewestCopyFallsBackToTheOther()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug(writtenHandset()));
        {
            BenchSession session;
            QCOMPARE(session.prepareAndLoad(), int(TGT_OK));
            QCOMPARE(session.factorySet()->setMbsn("SECOND"), int(TGT_OK));
            QCOMPARE(session.factorySet()->saveToDevice(session.programmer()), int(TGT_OK));
        }
        QCOMPARE(bench.read().factory.mbsn, QStringLiteral("SECOND"));
        // The second copy sits in the upper half of the factory area: damage one payload byte of it.
        const QString path = Bench::imagePath(QStringLiteral("USB1"));
        QByteArray bytes = readFile(path);
        const int upper = 256 + int(BenchHandset().factoryAreaBytes / 2);
        bytes[upper + 30] = char(bytes[upper + 30] ^ 0x40);
        QVERIFY(writeFile(path, bytes));
        QCOMPARE(bench.read().factory.mbsn, QStringLiteral("OLDMBSN"));
        QCOMPARE(bench.read().validCopies, 1);
    }

    // Factory data written for another station list (or a handset whose area is too small) gets no object.
    void factorySetIsNullForAnotherStationList_data()
    {
        QTest::addColumn<bool>("foreign");
        QTest::addColumn<quint32>("factoryAreaBytes");
        QTest::addColumn<bool>("expectObject");
        QTest::newRow("this list") << false << 0x2000u << true;
        QTest::newRow("another list") << true << 0x2000u << false;
        QTest::newRow("area too small") << false << 512u << false;
    }
    void factorySetIsNullForAnotherStationList()
    {
        QFETCH(bool, foreign);
        QFETCH(quint32, factoryAreaBytes);
        QFETCH(bool, expectObject);
        BenchFixture bench;
        bench.enterRuntimeDir();
        BenchHandset h = writtenHandset();
        h.factoryAreaBytes = factoryAreaBytes;
        h.factory.stations.clear();
        if (foreign)
            h.factory.stationMagic = Bench::stationMagic({QStringLiteral("OTHER_LINE")});
        QVERIFY(bench.plug(h));
        BenchSession session;
        const int rc = session.prepare();
        QCOMPARE(rc == TGT_OK, expectObject);
        QCOMPARE(session.factorySet() != nullptr, expectObject);
    }

    void changedStationListIsNoticed()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug(writtenHandset()));
        BenchSession session;
        QCOMPARE(session.prepareAndLoad(), int(TGT_OK));
        session.close();
        QVERIFY(bench.setStations({QStringLiteral("SMT"), QStringLiteral("PACK")}));
        QCOMPARE(StationSetting::Instance()->getStationNames(), QStringList({"SMT", "PACK"}));
        QCOMPARE(session.prepare(), int(TGT_ERR_INVALID_ARGUMENT)); // CreateFactorySet gave null
    }

    void createFactorySetFault()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        QVERIFY(bench.fault(QStringLiteral("USB1"), QStringLiteral("createfactoryset"), TGT_ERR_IO));
        BenchSession session;
        QCOMPARE(session.prepare(), int(TGT_ERR_INVALID_ARGUMENT));
    }

    void settersCheckTheirValues_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("checkValid");
        QTest::addColumn<int>("expected");
        QTest::newRow("valid imei") << "imei"
                                    << "490154203237518" << true << int(TGT_OK);
        QTest::newRow("wrong check digit") << "imei"
                                           << "490154203237519" << true << int(TGT_ERR_INVALID_IMEI);
        QTest::newRow("short imei checked") << "imei"
                                            << "4901542032375" << true << int(TGT_ERR_INVALID_IMEI);
        QTest::newRow("wrong digit unchecked") << "imei"
                                               << "490154203237519" << false << int(TGT_OK);
        QTest::newRow("letters unchecked") << "imei"
                                           << "49015420323751X" << false << int(TGT_ERR_INVALID_ARGUMENT);
        QTest::newRow("too long unchecked") << "imei"
                                            << "4901542032375180" << false << int(TGT_ERR_INVALID_ARGUMENT);
        QTest::newRow("mbsn") << "mbsn"
                              << "MB-1_2" << false << int(TGT_OK);
        QTest::newRow("mbsn blank inside") << "mbsn"
                                           << "MB 12" << false << int(TGT_ERR_INVALID_ARGUMENT);
        QTest::newRow("psn too long") << "psn" << QString(65, QLatin1Char('P')) << false
                                      << int(TGT_ERR_INVALID_ARGUMENT);
        QTest::newRow("bt") << "bt"
                            << "a0b1c2d3e4f5" << false << int(TGT_OK);
        QTest::newRow("bt short") << "bt"
                                  << "A0B1C2" << false << int(TGT_ERR_INVALID_ARGUMENT);
        QTest::newRow("bt not hex") << "bt"
                                    << "G0B1C2D3E4F5" << false << int(TGT_ERR_INVALID_ARGUMENT);
        QTest::newRow("station listed") << "station"
                                        << "BT_TEST" << false << int(TGT_OK);
        QTest::newRow("station unknown") << "station"
                                         << "NOT_A_STATION" << false << int(TGT_ERR_INVALID_ARGUMENT);
        // A NUL would end the text at the backend boundary: the part before it must not be taken instead.
        QTest::newRow("mbsn with a NUL") << "mbsn" << QStringLiteral("MB") + QChar(0) + QStringLiteral("12") << false
                                         << int(TGT_ERR_INVALID_ARGUMENT);
        QTest::newRow("station with a NUL") << "station" << QStringLiteral("BT_TEST") + QChar(0) + QStringLiteral("X")
                                            << false << int(TGT_ERR_INVALID_ARGUMENT);
    }
    void settersCheckTheirValues()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(bool, checkValid);
        QFETCH(int, expected);
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug());
        BenchSession session;
        QCOMPARE(session.prepare(), int(TGT_OK));
        FactorySet *set = session.factorySet();
        set->initialize();
        const std::string v = value.toStdString();
        int rc = 0;
        std::string back;
        if (field == QLatin1String("imei")) {
            rc = set->setImei(2, v, checkValid);
            back = set->getImei(2);
        } else if (field == QLatin1String("mbsn")) {
            rc = set->setMbsn(v);
            back = set->getMbsn();
        } else if (field == QLatin1String("psn")) {
            rc = set->setPsn(v);
            back = set->getPsn();
        } else if (field == QLatin1String("bt")) {
            rc = set->setBt(v);
            back = set->getBt();
        } else {
            rc = set->setStation(v, true);
            bool found = false, passed = false;
            set->queryStation(v, found, passed);
            back = found ? v : std::string();
        }
        QCOMPARE(rc, expected);
        QCOMPARE(back, rc == TGT_OK ? v : std::string()); // a refused value is not kept
    }

    void injectedSetterFaults_data()
    {
        QTest::addColumn<QString>("op");
        for (const char *op : {"setimei", "setmbsn", "setpsn", "setbt", "querystation", "setstation", "load", "save"})
            QTest::newRow(op) << QString::fromLatin1(op);
    }
    void injectedSetterFaults()
    {
        QFETCH(QString, op);
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug(writtenHandset()));
        BenchSession session;
        QCOMPARE(session.prepareAndLoad(), int(TGT_OK));
        const QString before = summary(bench.read());
        QVERIFY(bench.fault(QStringLiteral("USB1"), op, TGT_ERR_TIMEOUT));
        FactorySet *set = session.factorySet();
        bool found = false, passed = false;
        int rc = 0;
        if (op == QLatin1String("setimei"))
            rc = set->setImei(0, "490154203237518", true);
        else if (op == QLatin1String("setmbsn"))
            rc = set->setMbsn("X");
        else if (op == QLatin1String("setpsn"))
            rc = set->setPsn("X");
        else if (op == QLatin1String("setbt"))
            rc = set->setBt("001122334455");
        else if (op == QLatin1String("querystation"))
            rc = set->queryStation("CALIBRATION", found, passed);
        else if (op == QLatin1String("setstation"))
            rc = set->setStation("CALIBRATION", false);
        else if (op == QLatin1String("load"))
            rc = set->loadFromDevice(session.programmer());
        else
            rc = set->saveToDevice(session.programmer());
        QCOMPARE(rc, int(TGT_ERR_TIMEOUT));
        QCOMPARE(summary(bench.read()), before);
    }

    void loadAndSaveNeedAStartedProgrammer()
    {
        BenchFixture bench;
        bench.enterRuntimeDir();
        QVERIFY(bench.plug(writtenHandset()));
        BenchSession session;
        QCOMPARE(session.prepare(), int(TGT_OK));
        FlashProgram idle(session.connection(), session.chip());
        QCOMPARE(session.factorySet()->loadFromDevice(&idle), int(TGT_ERR_NOT_STARTED));
        QCOMPARE(session.factorySet()->loadFromDevice(nullptr), int(TGT_ERR_NOT_STARTED));
        QCOMPARE(session.factorySet()->loadFromDevice(session.programmer()), int(TGT_OK));
    }
};

QTEST_GUILESS_MAIN(TestTgtlinkFactoryData)
#include "TestTgtlinkFactoryData.moc"
