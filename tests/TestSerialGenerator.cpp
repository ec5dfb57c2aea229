#include "config/Clock.h"
#include "config/ToolSettings.h"
#include "history/StationHistories.h"
#include "identity/IdentityPool.h"
#include "identity/LocalIssuedIdentities.h"
#include "identity/SerialGenerator.h"
#include "support/RecordingFrontEnd.h"
#include "support/SteppingClock.h"

#include <QTest>

namespace {

QStringList valuesOf(const IdentityPool &pool)
{
    QStringList result;
    for (int i = 0; i < pool.total; ++i)
        result.append(pool.values.at(i));
    return result;
}

} // namespace

class TestSerialGenerator final : public QObject
{
    Q_OBJECT

private slots:
    void generatePool_data();
    void generatePool();
    void serialByTime_data();
    void serialByTime();
    void serialByTimeNeverRepeatsAMillisecond();
    void takeSerialByTime_data();
    void takeSerialByTime();
    void isValidSerial_data();
    void isValidSerial();
};

void TestSerialGenerator::generatePool_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("maxNum");
    QTest::addColumn<bool>("check");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("values");

    const QStringList none;
    QTest::newRow("month and day fields") << int(RunMbsn) << "SN##%%0000"
                                          << "000000****" << 10 << 3 << false << none << QString()
                                          << QStringList{"SN03050000", "SN03050001", "SN03050002"};
    QTest::newRow("mask longer than the initial text: one counter position")
        << int(RunPsn) << "0000000000000000"
        << "000000000000000*****" << 17 << 1000 << false << none << QString()
        << QStringList{"00000000000000000", "00000000000000001", "00000000000000002", "00000000000000003",
                       "00000000000000004", "00000000000000005", "00000000000000006", "00000000000000007",
                       "00000000000000008", "00000000000000009"};
    QTest::newRow("initial text longer than the mask")
        << int(RunMbsn) << "AB01CD"
        << "***" << 6 << 2 << false << none << QString() << QStringList{"0001CD", "0011CD"};
    QTest::newRow("letters under the stars count from zero")
        << int(RunMbsn) << "XA1"
        << "0**" << 3 << 2 << false << none << QString() << QStringList{"X00", "X01"};
    QTest::newRow("cut to the last characters")
        << int(RunMbsn) << "ABCD00"
        << "0000**" << 4 << 2 << false << none << QString() << QStringList{"CD00", "CD01"};
    QTest::newRow("minus sign under a star, MBSN")
        << int(RunMbsn) << "SN-0"
        << "00**" << 4 << 10 << false << none << "The custom part of MBSN must be digits or letters!" << QStringList();
    QTest::newRow("blank under a star, PSN")
        << int(RunPsn) << "PS 0"
        << "00**" << 4 << 10 << false << none << "The custom part of PSN must be digits or letters!" << QStringList();
    QTest::newRow("recorded values skipped, counting against the maximum")
        << int(RunMbsn) << "SN00"
        << "00**" << 4 << 4 << true << QStringList{"SN01", "SN03", "SN09"} << QString() << QStringList{"SN00", "SN02"};
    QTest::newRow("recorded values kept with the test off")
        << int(RunPsn) << "SN00"
        << "00**" << 4 << 3 << false << QStringList{"SN01"} << QString() << QStringList{"SN00", "SN01", "SN02"};
    QTest::newRow("tested at the written length")
        << int(RunMbsn) << "SN0"
        << "00*" << 5 << 3 << true << QStringList{"00SN1"} << QString() << QStringList{"00SN0", "00SN2"};
    QTest::newRow("a series cut to one value holds it once")
        << int(RunMbsn) << "0000AB"
        << "**" << 4 << 5 << false << none << QString() << QStringList{"00AB"};
    QTest::newRow("counter ends at its nines")
        << int(RunMbsn) << "S8"
        << "0*" << 2 << 10 << false << none << QString() << QStringList{"S8", "S9"};
}

void TestSerialGenerator::generatePool()
{
    QFETCH(int, kind);
    QFETCH(QString, initial);
    QFETCH(QString, mask);
    QFETCH(int, length);
    QFETCH(int, maxNum);
    QFETCH(bool, check);
    QFETCH(QStringList, history);
    QFETCH(QString, box);
    QFETCH(QStringList, values);

    const SteppingClock clock(QDateTime(QDate(2016, 3, 5), QTime(23, 59, 59, 0)));
    ToolSettings s;
    StationHistories h;
    const bool mbsn = kind == RunMbsn;
    (mbsn ? s.MbsnInitNum : s.PsnInitNum) = initial;
    (mbsn ? s.MbsnMaskNum : s.PsnMaskNum) = mask;
    (mbsn ? s.Mbsnlen : s.Psnlen) = length;
    (mbsn ? s.MbsnMaxNum : s.PsnMaxNum) = maxNum;
    (mbsn ? s.MbsnCheckRepetitive : s.PsnCheckRepetitive) = check;
    for (const QString &value : history)
        (mbsn ? h.mbsnHistory : h.psnHistory).append(value);
    LocalIssuedIdentities issued(h);
    RecordingFrontEnd frontEnd;
    IdentityPool pool;

    QCOMPARE(SerialGenerator::generateSerialPool(s, kind, pool, issued, frontEnd), box.isEmpty());
    QCOMPARE(frontEnd.boxes, box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(valuesOf(pool), values);
    QCOMPARE(pool.cursor, 0);
}

void TestSerialGenerator::serialByTime_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("value");

    QTest::newRow("17, the stamp itself") << 17 << "20160305101530042";
    QTest::newRow("20, zeros on the left") << 20 << "00020160305101530042";
    QTest::newRow("12, from the second digit of the month") << 12 << "305101530042";
}

void TestSerialGenerator::serialByTime()
{
    QFETCH(int, length);
    QFETCH(QString, value);
    const SteppingClock clock(QDateTime(QDate(2016, 3, 5), QTime(10, 15, 30, 42)));
    ToolSettings s;
    QCOMPARE(SerialGenerator::serialByTime(s, length), value);
    QCOMPARE(s.lastSerialTime, QDateTime(QDate(2016, 3, 5), QTime(10, 15, 30, 42)).toMSecsSinceEpoch());
}

void TestSerialGenerator::serialByTimeNeverRepeatsAMillisecond()
{
    // The clock stays on one millisecond for three readings, then moves on.
    const QDateTime start(QDate(2016, 3, 5), QTime(10, 15, 30, 42));
    int readings = 0;
    Clock::setNowFunctionForTesting([&] { return start.addMSecs(readings++ / 3); });
    ToolSettings s;
    const QString first = SerialGenerator::serialByTime(s, 17);
    const QString second = SerialGenerator::serialByTime(s, 17);
    Clock::setNowFunctionForTesting({});
    QCOMPARE(first, QStringLiteral("20160305101530042"));
    QCOMPARE(second, QStringLiteral("20160305101530043"));
}

void TestSerialGenerator::takeSerialByTime_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("check");
    QTest::addColumn<bool>("recorded");
    QTest::addColumn<QString>("error");

    QTest::newRow("MBSN") << int(RunMbsn) << true << false << QString();
    QTest::newRow("recorded MBSN") << int(RunMbsn) << true << true << "MBSN has repeated with previous!";
    QTest::newRow("recorded MBSN, test off") << int(RunMbsn) << false << true << QString();
    QTest::newRow("recorded PSN") << int(RunPsn) << true << true << "PSN has repeated with previous!";
}

void TestSerialGenerator::takeSerialByTime()
{
    QFETCH(int, kind);
    QFETCH(bool, check);
    QFETCH(bool, recorded);
    QFETCH(QString, error);

    const SteppingClock clock(QDateTime(QDate(2016, 3, 5), QTime(10, 15, 30, 42)));
    ToolSettings s;
    StationHistories h;
    s.Mbsnlen = 17;
    s.Psnlen = 15;
    s.MbsnCheckRepetitive = s.PsnCheckRepetitive = check;
    const QString stamp = kind == RunMbsn ? QStringLiteral("20160305101530042") : QStringLiteral("160305101530042");
    if (recorded)
        (kind == RunMbsn ? h.mbsnHistory : h.psnHistory).append(stamp);
    LocalIssuedIdentities issued(h);
    RecordingFrontEnd frontEnd;
    IdentityPool pool;
    pool.cursor = pool.total = 5;

    QCOMPARE(SerialGenerator::takeSerialByTime(s, kind, pool, issued, frontEnd), error.isEmpty());
    QCOMPARE(frontEnd.textsIn(LineColour::Error), error.isEmpty() ? QStringList() : QStringList{error});
    const QString current = kind == RunMbsn ? s.currentMbsn : s.currentPsn;
    if (!error.isEmpty()) {
        QCOMPARE(current, QString());
        QCOMPARE(pool.total, 5);
        return;
    }
    QCOMPARE(current, stamp);
    QCOMPARE(pool.cursor, 0);
    QCOMPARE(valuesOf(pool), QStringList{stamp});
}

void TestSerialGenerator::isValidSerial_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<bool>("valid");

    QTest::newRow("letters and digits") << "SN0305aZ" << 8 << true;
    QTest::newRow("shorter than the maximum") << "SN03" << 8 << true;
    QTest::newRow("empty") << "" << 8 << false;
    QTest::newRow("longer than the maximum") << "SN0305aZ1" << 8 << false;
    QTest::newRow("inner blank") << "SN 0305" << 8 << false;
    QTest::newRow("blanks only simplify to nothing") << "   " << 8 << true;
    QTest::newRow("outer blanks") << " SN0305 " << 8 << true;
    QTest::newRow("outer blanks count for the length") << " SN0305 " << 6 << false;
    QTest::newRow("punctuation") << "SN-0305" << 8 << false;
    QTest::newRow("letter of another script") << QString::fromUtf8("SN\xc3\xa9") << 8 << false;
}

void TestSerialGenerator::isValidSerial()
{
    QFETCH(QString, text);
    QFETCH(int, maxLength);
    QFETCH(bool, valid);
    QCOMPARE(SerialGenerator::isValidSerial(text, maxLength), valid);
}

QTEST_GUILESS_MAIN(TestSerialGenerator)
#include "TestSerialGenerator.moc"
