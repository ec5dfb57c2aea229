#include "config/RandomSource.h"
#include "config/ToolSettings.h"
#include "history/StationHistories.h"
#include "identity/BtAddressGenerator.h"
#include "identity/IdentityPool.h"
#include "identity/LocalIssuedIdentities.h"
#include "support/RecordingFrontEnd.h"
#include "support/SteppingClock.h"

#include <QTest>

#include <cstdlib>

class TestBtAddressGenerator final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void checkRange_data();
    void checkRange();
    void rangeAllocations_data();
    void rangeAllocations();
    void btByTime_data();
    void btByTime();
    void clockModeSkipsRecordedAddresses();
    void defaultRandomSequenceIsTheUnseededCOne();
};

void TestBtAddressGenerator::cleanup()
{
    RandomSource::setNextFunctionForTesting({});
}

void TestBtAddressGenerator::checkRange_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("currentAfter");

    QTest::newRow("usable") << "002715082c32"
                            << "020203040508"
                            << "002715082c40" << QString() << "002715082c40";
    QTest::newRow("start equal to the end") << "002715082c32"
                                            << "002715082C32"
                                            << ""
                                            << "BT start address can't be larger than the end!"
                                            << "";
    QTest::newRow("start above the end") << "002715082c33"
                                         << "002715082c32"
                                         << ""
                                         << "BT start address can't be larger than the end!"
                                         << "";
    QTest::newRow("start not hexadecimal") << "00271508xc32"
                                           << "020203040508"
                                           << ""
                                           << "BT start address is wrong!"
                                           << "";
    QTest::newRow("start empty") << ""
                                 << "020203040508"
                                 << ""
                                 << "BT start address is wrong!"
                                 << "";
    QTest::newRow("start with a sign") << "+02715082c32"
                                       << "020203040508"
                                       << ""
                                       << "BT start address is wrong!"
                                       << "";
    QTest::newRow("end not hexadecimal") << "002715082c32"
                                         << "02020304050g"
                                         << ""
                                         << "BT end address is wrong!"
                                         << "";
    QTest::newRow("current below the start is raised") << "002715082C32"
                                                       << "020203040508"
                                                       << "000000000001" << QString() << "002715082c32";
    QTest::newRow("current not a number reads as 0") << "002715082c32"
                                                     << "020203040508"
                                                     << "junk" << QString() << "002715082c32";
    QTest::newRow("upper-case range and counter kept lower case") << "002715082C32"
                                                                  << "020203040508"
                                                                  << "002715082C32" << QString() << "002715082c32";
    QTest::newRow("start of ten digits") << "2715082c32"
                                         << "020203040508"
                                         << ""
                                         << "BT start address is wrong!"
                                         << "";
    QTest::newRow("end of thirteen digits") << "002715082c32"
                                            << "1000000000000"
                                            << ""
                                            << "BT end address is wrong!"
                                            << "";
    QTest::newRow("odd first octet") << "012715082c32"
                                     << "020203040508"
                                     << ""
                                     << "BT start address 012715082c32 has an odd first octet: it is a group address!"
                                     << "";
    QTest::newRow("current at the end") << "002715082c32"
                                        << "002715082c34"
                                        << "002715082c34"
                                        << "BT current value is beyond the address scope now!"
                                        << "002715082c34";
    QTest::newRow("current above the end") << "002715082c32"
                                           << "002715082c34"
                                           << "0027150f0000"
                                           << "BT current value is beyond the address scope now!"
                                           << "0027150f0000";
}

void TestBtAddressGenerator::checkRange()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, current);
    QFETCH(QString, message);
    QFETCH(QString, currentAfter);

    ToolSettings s;
    s.BTInitAddr = start;
    s.BTEndAddr = end;
    s.BTCurrentAddr = current;
    QString said;
    QCOMPARE(BtAddressGenerator::checkBtRange(s, said), message.isEmpty());
    QCOMPARE(said, message);
    QCOMPARE(s.BTCurrentAddr, currentAfter);
}

void TestBtAddressGenerator::rangeAllocations_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("recorded");
    QTest::addColumn<bool>("check");
    // One entry per allocation: the address issued, or "!" and the last error line.
    QTest::addColumn<QStringList>("issued");
    QTest::addColumn<QStringList>("repeatLines");
    QTest::addColumn<QString>("currentAfter");

    const QString beyond = QStringLiteral("!BT current value is beyond the address scope now!");
    QTest::newRow("two addresses, then the end")
        << "002715082c34" << QStringList() << true << QStringList{"002715082c32", "002715082c33", beyond}
        << QStringList() << "002715082c34";
    QTest::newRow("recorded addresses skipped")
        << "020203040508" << QStringList{"002715082c32", "002715082c33"} << true << QStringList{"002715082c34"}
        << QStringList{"BT 002715082c32 has repeated with previous!", "BT 002715082c33 has repeated with previous!"}
        << "002715082c35";
    QTest::newRow("recorded addresses issued with the test off")
        << "020203040508" << QStringList{"002715082c32"} << false << QStringList{"002715082c32"} << QStringList()
        << "002715082c33";
    QTest::newRow("skipping never reaches the end")
        << "002715082c34" << QStringList{"002715082c32", "002715082c33"} << true << QStringList{beyond, beyond}
        << QStringList{"BT 002715082c32 has repeated with previous!", "BT 002715082c33 has repeated with previous!",
                       "BT 002715082c32 has repeated with previous!", "BT 002715082c33 has repeated with previous!"}
        << "002715082c32";
}

void TestBtAddressGenerator::rangeAllocations()
{
    QFETCH(QString, end);
    QFETCH(QStringList, recorded);
    QFETCH(bool, check);
    QFETCH(QStringList, issued);
    QFETCH(QStringList, repeatLines);
    QFETCH(QString, currentAfter);

    ToolSettings s;
    StationHistories h;
    s.BTIsAutoAddr = true;
    s.BTInitAddr = QStringLiteral("002715082c32");
    s.BTEndAddr = end;
    s.BTCurrentAddr.clear();
    s.BTCheckRepetitive = check;
    for (const QString &address : recorded)
        h.btHistory.append(address);
    LocalIssuedIdentities history(h);
    RecordingFrontEnd frontEnd;
    IdentityPool pool;

    for (const QString &expected : issued) {
        s.currentBt.clear();
        const bool ok = BtAddressGenerator::takeBtAddress(s, pool, history, frontEnd);
        if (expected.startsWith(u'!')) {
            QVERIFY(!ok);
            QCOMPARE(frontEnd.lines.last().first, expected.mid(1));
            QCOMPARE(s.currentBt, QString());
            continue;
        }
        QVERIFY(ok);
        QCOMPARE(s.currentBt, expected);
        QCOMPARE(pool.values.at(0), expected);
        QCOMPARE(pool.cursor, 0);
        QCOMPARE(pool.total, 1);
    }
    QStringList repeats;
    for (const auto &line : frontEnd.lines) {
        if (line.first.contains(QLatin1String("has repeated")))
            repeats.append(line.first);
        QCOMPARE(line.second, LineColour::Error);
    }
    QCOMPARE(repeats, repeatLines);
    QCOMPARE(s.BTCurrentAddr, currentAfter);
}

void TestBtAddressGenerator::btByTime_data()
{
    QTest::addColumn<int>("random");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("address");

    // Day 05, hour 10, second 30, minute 15.
    QTest::newRow("random part 1234") << 1234 << 12 << "123405103015";
    QTest::newRow("odd first octet made even") << 1334 << 12 << "123405103015";
    QTest::newRow("random modulo 10000") << 1804289383 << 12 << "928305103015";
    QTest::newRow("small random number padded") << 7 << 12 << "000705103015";
    QTest::newRow("09 becomes 08") << 912 << 12 << "081205103015";
    QTest::newRow("8 characters: the stamp alone, day 05 made even") << 1234 << 8 << "04103015";
    QTest::newRow("6 characters: hour, second, minute") << 1234 << 6 << "103015";
}

void TestBtAddressGenerator::btByTime()
{
    QFETCH(int, random);
    QFETCH(int, length);
    QFETCH(QString, address);
    const SteppingClock clock(QDateTime(QDate(2016, 9, 5), QTime(10, 15, 30)), 0);
    RandomSource::setNextFunctionForTesting([random] { return random; });
    QCOMPARE(BtAddressGenerator::btByTime(length), address);
}

void TestBtAddressGenerator::clockModeSkipsRecordedAddresses()
{
    const SteppingClock clock(QDateTime(QDate(2016, 9, 5), QTime(10, 15, 30)), 0);
    QList<int> randoms{1234, 5678, 2468};
    RandomSource::setNextFunctionForTesting([&randoms] { return randoms.takeFirst(); });
    ToolSettings s;
    StationHistories h;
    s.BTIsAutoAddr = false;
    s.BTCheckRepetitive = true;
    h.btHistory.append(QStringLiteral("123405103015"));
    h.btHistory.append(QStringLiteral("567805103015"));
    LocalIssuedIdentities history(h);
    RecordingFrontEnd frontEnd;
    IdentityPool pool;
    QVERIFY(BtAddressGenerator::takeBtAddress(s, pool, history, frontEnd));
    QCOMPARE(s.currentBt, QStringLiteral("246805103015"));
    QVERIFY(frontEnd.lines.isEmpty());
    QVERIFY(randoms.isEmpty());
    QCOMPARE(s.BTCurrentAddr, QString()); // clock mode leaves the range alone
}

void TestBtAddressGenerator::defaultRandomSequenceIsTheUnseededCOne()
{
    RandomSource::restartDefaultSequence();
    QCOMPARE(RandomSource::next(), 1804289383); // the first number of an unseeded C library generator
#ifdef __GLIBC__
    RandomSource::restartDefaultSequence();
    std::srand(1); // what an unseeded program starts with
    for (int i = 0; i < 5000; ++i)
        QCOMPARE(RandomSource::next(), std::rand());
#endif
    RandomSource::restartDefaultSequence();
    QCOMPARE(RandomSource::next(), 1804289383);
}

QTEST_GUILESS_MAIN(TestBtAddressGenerator)
#include "TestBtAddressGenerator.moc"
