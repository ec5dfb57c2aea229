#include "config/ToolSettings.h"
#include "history/StationHistories.h"
#include "identity/ImeiPool.h"
#include "identity/ImeiPoolGenerator.h"
#include "identity/LocalIssuedIdentities.h"
#include "support/RecordingFrontEnd.h"

#include <QTest>

namespace {

// The IMEI of a 14-digit body, computed apart from the code under test.
QString luhn(const QString &body)
{
    int sum = 0;
    for (int i = 0; i < 14; ++i) {
        int d = body.at(i).digitValue() * (i % 2 ? 2 : 1);
        sum += d > 9 ? d - 9 : d;
    }
    return body + QString::number((10 - sum % 10) % 10);
}

QStringList imeisOf(const QStringList &bodies)
{
    QStringList result;
    for (const QString &body : bodies)
        result.append(body.isEmpty() ? QString() : luhn(body));
    return result;
}

QStringList row(const ImeiPool &pool, int index)
{
    QStringList result;
    for (const auto &list : pool.lists)
        result.append(list.at(index));
    return result;
}

} // namespace

class TestImeiPoolGenerator final : public QObject
{
    Q_OBJECT

private slots:
    void generate_data();
    void generate();
    void appendsAtTotalWithoutTouchingEarlierSets();
};

void TestImeiPoolGenerator::generate_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("maxNum");
    QTest::addColumn<int>("imeiNum");
    QTest::addColumn<bool>("nextAdd");
    QTest::addColumn<bool>("checkRepetitive");
    QTest::addColumn<QStringList>("historyBodies"); // recorded IMEIs, as bodies; "+" joins a set
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("total");
    QTest::addColumn<QStringList>("firstRow"); // bodies
    QTest::addColumn<QStringList>("lastRow");  // bodies

    const QStringList none;
    QTest::newRow("thousand sets, counter on positions 10 to 13")
        << "10000000000000"
        << "100000000****" << 1000 << 1 << false << false << none << true << 1000
        << QStringList{"10000000000000", "", "", ""} << QStringList{"10000000009990", "", "", ""};
    QTest::newRow("mask without a star: one set")
        << "35123456789012"
        << "35123456789012" << 1000 << 1 << false << false << none << true << 1
        << QStringList{"35123456789012", "", "", ""} << QStringList{"35123456789012", "", "", ""};
    QTest::newRow("star over a letter") << "1000000000000A"
                                        << "1000000000000*" << 1000 << 1 << false << false << none << false << 0
                                        << QStringList() << QStringList();
    QTest::newRow("letter outside the counter positions")
        << "1000000000A000"
        << "1000000000000*" << 1000 << 1 << false << false << none << false << 0 << QStringList() << QStringList();
    QTest::newRow("star over a blank") << "10000 00000000"
                                       << "*************" << 1000 << 1 << false << false << none << false << 0
                                       << QStringList() << QStringList();
    QTest::newRow("short initial number is filled with zeros")
        << "35"
        << "35***" << 3 << 1 << false << false << none << true << 3 << QStringList{"35000000000000", "", "", ""}
        << QStringList{"35002000000000", "", "", ""};
    QTest::newRow("two per set, add one: the fifth IMEI is dropped")
        << "10000000000000"
        << "1000000000000*" << 5 << 2 << true << false << none << true << 2
        << QStringList{"10000000000000", "10000000000001", "", ""}
        << QStringList{"10000000000002", "10000000000003", "", ""};
    QTest::newRow("four per set, add one")
        << "10000000000000"
        << "1000000000000*" << 8 << 4 << true << false << none << true << 2
        << QStringList{"10000000000000", "10000000000001", "10000000000002", "10000000000003"}
        << QStringList{"10000000000004", "10000000000005", "10000000000006", "10000000000007"};
    QTest::newRow("three per set, equal to the first")
        << "10000000000000"
        << "1000000000000*" << 2 << 3 << false << false << none << true << 2
        << QStringList{"10000000000000", "10000000000000", "10000000000000", ""}
        << QStringList{"10000000000001", "10000000000001", "10000000000001", ""};
    QTest::newRow("counter stops at its nines")
        << "10000000000098"
        << "000000000000**" << 1000 << 1 << false << false << none << true << 2
        << QStringList{"10000000000098", "", "", ""} << QStringList{"10000000000099", "", "", ""};
    QTest::newRow("recorded IMEIs skipped, counting against the maximum")
        << "10000000000000"
        << "1000000000000*" << 5 << 1 << false << true << QStringList{"10000000000001", "10000000000099+10000000000003"}
        << true << 3 << QStringList{"10000000000000", "", "", ""} << QStringList{"10000000000004", "", "", ""};
    QTest::newRow("recorded IMEIs kept with the test off")
        << "10000000000000"
        << "1000000000000*" << 5 << 1 << false << false << QStringList{"10000000000001", "10000000000003"} << true << 5
        << QStringList{"10000000000000", "", "", ""} << QStringList{"10000000000004", "", "", ""};
    QTest::newRow("every IMEI recorded: empty pool, still a success")
        << "10000000000000"
        << "1000000000000*" << 1000 << 1 << false << true
        << QStringList{"10000000000000", "10000000000001", "10000000000002", "10000000000003", "10000000000004",
                       "10000000000005", "10000000000006", "10000000000007", "10000000000008", "10000000000009"}
        << true << 0 << QStringList() << QStringList();
    QTest::newRow("ImeiNum out of range counts as one")
        << "10000000000000"
        << "1000000000000*" << 2 << 5 << true << false << none << true << 2 << QStringList{"10000000000000", "", "", ""}
        << QStringList{"10000000000001", "", "", ""};
}

void TestImeiPoolGenerator::generate()
{
    QFETCH(QString, initial);
    QFETCH(QString, mask);
    QFETCH(int, maxNum);
    QFETCH(int, imeiNum);
    QFETCH(bool, nextAdd);
    QFETCH(bool, checkRepetitive);
    QFETCH(QStringList, historyBodies);
    QFETCH(bool, ok);
    QFETCH(int, total);
    QFETCH(QStringList, firstRow);
    QFETCH(QStringList, lastRow);

    ToolSettings settings;
    StationHistories histories;
    settings.ImeiInitNum14 = initial;
    settings.ImeiMaskNum14 = mask;
    settings.ImeiMaxNum = maxNum;
    settings.ImeiNum = imeiNum;
    settings.NextAdd = nextAdd;
    settings.ImeiCheckRepetitive = checkRepetitive;
    for (const QString &set : historyBodies)
        histories.imeiHistory.append(QStringLiteral("2016-09-13 08:00:00"), imeisOf(set.split(u'+')).join(u','));
    LocalIssuedIdentities issued(histories);
    RecordingFrontEnd frontEnd;
    ImeiPool pool;

    QCOMPARE(ImeiPoolGenerator::generateImeiPool(settings, pool, issued, frontEnd), ok);
    QCOMPARE(pool.total, total);
    QCOMPARE(pool.cursor, 0);
    if (!ok) {
        QCOMPARE(frontEnd.boxes.size(), 1);
        const QString &box = frontEnd.boxes.constFirst();
        QVERIFY2(box == QStringLiteral("The custom part of IMEI must be digits!") ||
                     box == QStringLiteral("The initial IMEI number (ImeiInitNum14) must be digits: ") + initial,
                 qPrintable(box));
        return;
    }
    QVERIFY(frontEnd.boxes.isEmpty());
    if (total == 0)
        return;
    QCOMPARE(row(pool, 0), imeisOf(firstRow));
    QCOMPARE(row(pool, total - 1), imeisOf(lastRow));
    // Every IMEI of the pool is distinct across sets (the equal-to-first policy repeats it only inside one).
    QSet<QString> seen;
    for (int i = 0; i < total; ++i) {
        const QStringList r = row(pool, i);
        for (int j = 0; j < r.size(); ++j) {
            if (r.at(j).isEmpty() || (!nextAdd && j > 0))
                continue;
            QVERIFY2(!seen.contains(r.at(j)), qPrintable(r.at(j)));
            seen.insert(r.at(j));
            QCOMPARE(r.at(j), luhn(r.at(j).left(14)));
        }
    }
}

void TestImeiPoolGenerator::appendsAtTotalWithoutTouchingEarlierSets()
{
    ToolSettings settings;
    StationHistories histories;
    settings.ImeiInitNum14 = QStringLiteral("10000000000000");
    settings.ImeiMaskNum14 = QStringLiteral("1000000000000*");
    settings.ImeiMaxNum = 2;
    settings.ImeiNum = 1;
    LocalIssuedIdentities issued(histories);
    RecordingFrontEnd frontEnd;
    ImeiPool pool;
    pool.lists[0][0] = QStringLiteral("kept");
    pool.lists[1][3] = QStringLiteral("stale");
    pool.total = 1;
    QVERIFY(ImeiPoolGenerator::generateImeiPool(settings, pool, issued, frontEnd));
    QCOMPARE(pool.total, 3);
    QCOMPARE(pool.lists[0][0], QStringLiteral("kept"));
    QCOMPARE(pool.lists[0][1], luhn(QStringLiteral("10000000000000")));
    // A set's unused lists are emptied, so stale values of an earlier preparation never leak into it.
    settings.ImeiNum = 1;
    pool.reset();
    pool.lists[1][0] = QStringLiteral("stale");
    settings.NextAdd = true;
    QVERIFY(ImeiPoolGenerator::generateImeiPool(settings, pool, issued, frontEnd));
    QCOMPARE(pool.lists[1][0], QString());
}

QTEST_GUILESS_MAIN(TestImeiPoolGenerator)
#include "TestImeiPoolGenerator.moc"
