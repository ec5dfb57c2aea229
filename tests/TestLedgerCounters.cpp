#include "support/PgServerFixture.h"
#include "support/RecordingFrontEnd.h"

#include "config/ToolSettings.h"
#include "identity/BtAddressGenerator.h"
#include "identity/IdentityAllocator.h"
#include "identity/IssuedIdentities.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerCounterBlocks.h"
#include "ledger/LedgerSchema.h"

#include <QSet>
#include <QtTest>

#include <memory>

namespace {

class NothingIssued final : public IssuedIdentities
{
public:
    bool isIssued(int, const QString &) const override { return false; }
};

enum Counter
{
    DefaultImei,
    BtRange,
};

// One station of a line without a window: its settings, its allocator and its blocks of the shared counters.
// Its counters are "saved" in memory only: a restart hands them to a new station.
struct Station
{
    Station(const QString &connInfo, const QString &name, int block, Counter counter) : ledger(connInfo, name)
    {
        s.RunType = counter == DefaultImei ? RunImei : RunBt;
        s.ImeiNum = 1;
        s.imeiInputTypes = {InputDefaultValue, InputManual, InputManual, InputManual};
        s.ImeiDefaultValue = QStringLiteral("350000000001000");
        s.normaliseDefaultImei();
        s.ImeiCheckRepetitive = false;
        s.BTInputType = InputAutoGeneration;
        s.BTIsAutoAddr = true;
        s.BTInitAddr = QStringLiteral("00000a000000");
        s.BTEndAddr = QStringLiteral("00000a100000");
        s.BTCurrentAddr = s.BTInitAddr;
        s.BTCheckRepetitive = false;
        blocks = std::make_unique<LedgerCounterBlocks>(ledger, block);
        allocator.setCounterSaver([] { return true; });
        allocator.setCounterBlocks(blocks.get());
    }
    // The value the next cycle gets (an IMEI's body or an address), or -1 when allocation failed.
    qint64 next(Counter counter)
    {
        s.clearCurrentIdentities(true);
        if (!allocator.allocateIdentities())
            return -1;
        if (counter == DefaultImei)
            return s.imeiList.value(0).left(14).toLongLong();
        quint64 address = 0;
        return BtAddressGenerator::readHex(s.currentBt, address) ? qint64(address) : -1;
    }

    ToolSettings s;
    RecordingFrontEnd frontEnd;
    NothingIssued issued;
    Ledger ledger;
    std::unique_ptr<LedgerCounterBlocks> blocks;
    IdentityAllocator allocator{s, frontEnd, issued};
};

} // namespace

// The line's shared counters at work in the identity sources: the default IMEI and a Bluetooth range
// allocated by several stations from blocks of one ledger.
class TestLedgerCounters final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stationsOnOneRangeNeverCollide_data();
    void stationsOnOneRangeNeverCollide();
    void restartSkipsAtMostTheRestOfABlock_data();
    void restartSkipsAtMostTheRestOfABlock();
    void noBlockHandsOutNothing_data();
    void noBlockHandsOutNothing();

private:
    // A ledger with stations S1 and S2 and, `withCounters`, the counters their owner added for them.
    QString newLedger(bool withCounters = true);
    QString station(const QString &db, const char *suffix) const
    {
        return m_server.connInfo(db, db + QLatin1Char('_') + QLatin1String(suffix));
    }
    PgServerFixture m_server;
};

void TestLedgerCounters::initTestCase()
{
    if (!PgServerFixture::binariesPresent()) {
        if (PgServerFixture::required())
            QFAIL(qPrintable(PgServerFixture::skipMessage()));
        QSKIP(qPrintable(PgServerFixture::skipMessage()));
    }
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

QString TestLedgerCounters::newLedger(bool withCounters)
{
    const QString db = m_server.createDatabase(QStringLiteral("counters"));
    LedgerConnection admin(m_server.connInfo(db));
    QString message;
    if (db.isEmpty() || LedgerSchema::create(admin, db + QLatin1String("_st"), &message) != LedgerStatus::Ok ||
        LedgerSchema::addStation(admin, db + QLatin1String("_a"), QStringLiteral("S1"), &message) != LedgerStatus::Ok ||
        LedgerSchema::addStation(admin, db + QLatin1String("_b"), QStringLiteral("S2"), &message) != LedgerStatus::Ok)
        return {};
    if (withCounters &&
        !(m_server.addCounter(db, QStringLiteral("DefaultIMEI:35000000"), 35000000000100, 35000000999998, 10) &&
          m_server.addCounter(db, QStringLiteral("BT:00000a000000-00000a100000"), 0xa000000, 0xa0fffff, 10) &&
          m_server.addCounter(db, QStringLiteral("BT:00000a000000-00000a000003"), 0xa000000, 0xa000002, 10)))
        return {};
    return db;
}

void TestLedgerCounters::stationsOnOneRangeNeverCollide_data()
{
    QTest::addColumn<int>("counter");
    QTest::addColumn<int>("block");
    QTest::newRow("default IMEI, blocks of 5") << int(DefaultImei) << 5;
    QTest::newRow("default IMEI, blocks of 1") << int(DefaultImei) << 1;
    QTest::newRow("Bluetooth range, blocks of 7") << int(BtRange) << 7;
}

void TestLedgerCounters::stationsOnOneRangeNeverCollide()
{
    QFETCH(int, counter);
    QFETCH(int, block);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    const Counter kind = Counter(counter);
    Station a(station(db, "a"), QStringLiteral("S1"), block, kind);
    Station b(station(db, "b"), QStringLiteral("S2"), block, kind);
    QVERIFY(a.allocator.prepareIdentityPools());
    QVERIFY(b.allocator.prepareIdentityPools());

    QHash<qint64, QString> holder;
    // Irregular turns, so that each station's blocks interleave with the other's.
    for (int step = 0; step < 40; ++step) {
        Station &st = (step % 3 == 1 || step % 7 == 0) ? b : a;
        const qint64 value = st.next(kind);
        QVERIFY2(value >= 0, qPrintable(st.frontEnd.texts().join(QLatin1Char('\n'))));
        QVERIFY2(!holder.contains(value), qPrintable(QString::number(value)));
        holder.insert(value, st.ledger.station());
    }

    // Every value lies in a block its station took, and no two blocks of the counter overlap.
    LedgerConnection admin(m_server.connInfo(db));
    for (auto it = holder.cbegin(); it != holder.cend(); ++it) {
        const LedgerRows rows = admin.exec("SELECT station FROM ledger.counter_blocks WHERE $1 BETWEEN first_value "
                                           "AND last_value",
                                           {QByteArray::number(it.key())});
        QVERIFY2(rows.ok(), qPrintable(rows.message()));
        QCOMPARE(rows.rowCount(), 1);
        QCOMPARE(rows.text(0, 0), it.value());
    }
    const LedgerRows overlaps = admin.exec("SELECT count(*) FROM ledger.counter_blocks x JOIN ledger.counter_blocks y "
                                           "ON x.counter = y.counter AND x.id < y.id AND x.first_value <= y.last_value "
                                           "AND y.first_value <= x.last_value");
    QVERIFY(overlaps.ok());
    QCOMPARE(overlaps.number(0, 0), qint64(0));
}

void TestLedgerCounters::restartSkipsAtMostTheRestOfABlock_data()
{
    QTest::addColumn<int>("counter");
    QTest::addColumn<int>("used");
    QTest::addColumn<bool>("otherTakesABlock");
    QTest::newRow("default IMEI, 3 of 10 used") << int(DefaultImei) << 3 << false;
    QTest::newRow("default IMEI, block used up") << int(DefaultImei) << 10 << false;
    QTest::newRow("Bluetooth, 4 of 10 used, another station in between") << int(BtRange) << 4 << true;
}

void TestLedgerCounters::restartSkipsAtMostTheRestOfABlock()
{
    QFETCH(int, counter);
    QFETCH(int, used);
    QFETCH(bool, otherTakesABlock);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    const Counter kind = Counter(counter);
    constexpr int Block = 10;
    auto first = std::make_unique<Station>(station(db, "a"), QStringLiteral("S1"), Block, kind);
    qint64 start = -1;
    qint64 last = -1;
    for (int i = 0; i < used; ++i) {
        last = first->next(kind);
        QVERIFY(last >= 0);
        if (start < 0)
            start = last;
        QCOMPARE(last, start + i);
    }
    if (otherTakesABlock) {
        Station other(station(db, "b"), QStringLiteral("S2"), Block, kind);
        QCOMPARE(other.next(kind), start + Block);
    }
    // The restart reads the counters the station saved; its block in memory is gone.
    Station again(station(db, "a"), QStringLiteral("S1"), Block, kind);
    again.s.imeiDefaultNumber = first->s.imeiDefaultNumber;
    again.s.ImeiDefaultValue = first->s.ImeiDefaultValue;
    again.s.BTCurrentAddr = first->s.BTCurrentAddr;
    first.reset();
    const qint64 after = again.next(kind);
    QCOMPARE(after, start + (otherTakesABlock ? 2 : 1) * Block);
    // Skipped: the rest of the block held before the restart, never more.
    QCOMPARE(after - last - 1 - (otherTakesABlock ? Block : 0), qint64(Block - used));
}

void TestLedgerCounters::noBlockHandsOutNothing_data()
{
    QTest::addColumn<int>("counter");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("tamper"); // run by the owner first, on a ledger without the stations' counters

    QTest::newRow("default IMEI, ledger unreachable")
        << int(DefaultImei) << false
        << QStringLiteral("No default IMEI is handed out: the line's ledger cannot be "
                          "reached for a block of the shared counter DefaultIMEI:35000000")
        << QString();
    QTest::newRow("Bluetooth, ledger unreachable")
        << int(BtRange) << false
        << QStringLiteral("No BT address is handed out: the line's ledger cannot be reached for a block of the shared "
                          "counter BT:00000a000000-00000a100000")
        << QString();
    QTest::newRow("Bluetooth, range used up by another station")
        << int(BtRange) << true
        << QStringLiteral("No BT address is handed out: no block of the shared counter BT:00000a000000-00000a000003 "
                          "can be taken from the line's ledger: The shared counter BT:00000a000000-00000a000003 is "
                          "used up.")
        << QString();
    const QString refused = QStringLiteral("No %1 is handed out: no block of the shared counter %2 can be taken from "
                                           "the line's ledger: ");
    QTest::newRow("default IMEI, only another code's counter added")
        << int(DefaultImei) << true
        << refused.arg("default IMEI", "DefaultIMEI:35000000") +
               "The line's ledger has no shared counter DefaultIMEI:35000000: its owner adds it with \"ledger "
               "add-counter --imei-tac 35000000 --first 35000000000100\"."
        << "SELECT ledger.add_counter('DefaultIMEI:86000000', 86000000000000, 86000000999998, 10)";
    QTest::newRow("Bluetooth, only another range's counter added")
        << int(BtRange) << true
        << refused.arg("BT address", "BT:00000a000000-00000a100000") +
               "The line's ledger has no shared counter BT:00000a000000-00000a100000: its owner adds it with "
               "\"ledger add-counter --bt-range 00000a000000-00000a100000\"."
        << "SELECT ledger.add_counter('BT:00000b000000-00000b100000', 184549376, 185597951, 10)";
    QTest::newRow("default IMEI, counter planted in another range")
        << int(DefaultImei) << true << refused.arg("default IMEI", "DefaultIMEI:35000000")
        << "INSERT INTO ledger.counters (name, next_value, last_value, block_size) VALUES ('DefaultIMEI:35000000', "
           "86000000000000, 86000000999999, 10)";
    QTest::newRow("Bluetooth, counter planted in another range")
        << int(BtRange) << true << refused.arg("BT address", "BT:00000a000000-00000a100000")
        << "INSERT INTO ledger.counters (name, next_value, last_value, block_size) VALUES "
           "('BT:00000a000000-00000a100000', 73588229120, 73588233215, 10)";
    const QString handsOut =
        QStringLiteral("CREATE OR REPLACE FUNCTION ledger.take_block(counter_name text, range_first bigint, "
                       "range_last bigint, size bigint, "
                       "OUT block_first bigint, OUT block_last bigint) LANGUAGE sql "
                       "SECURITY DEFINER AS 'SELECT %1::bigint, %1::bigint + 9'");
    QTest::newRow("default IMEI, a ledger that hands out another code's")
        << int(DefaultImei) << true << refused.arg("default IMEI", "DefaultIMEI:35000000")
        << handsOut.arg(86000000000000);
    QTest::newRow("Bluetooth, a ledger that hands out another range's")
        << int(BtRange) << true << refused.arg("BT address", "BT:00000a000000-00000a100000") << handsOut.arg(0x112233);
}

void TestLedgerCounters::noBlockHandsOutNothing()
{
    QFETCH(int, counter);
    QFETCH(bool, reachable);
    QFETCH(QString, expected);
    QFETCH(QString, tamper);
    const Counter kind = Counter(counter);
    QString connInfo = QStringLiteral("host=/nonexistent/socket port=1 dbname=none connect_timeout=2");
    QString otherInfo;
    if (reachable) {
        const QString db = newLedger(tamper.isEmpty());
        QVERIFY(!db.isEmpty());
        connInfo = station(db, "a");
        otherInfo = station(db, "b");
        if (!tamper.isEmpty())
            QVERIFY2(m_server.exec(db, tamper), qPrintable(m_server.error()));
    }
    Station st(connInfo, QStringLiteral("S1"), 10, kind);
    if (reachable && tamper.isEmpty()) {
        // A range of three addresses, all in the other station's first block.
        Station other(otherInfo, QStringLiteral("S2"), 10, kind);
        other.s.BTEndAddr = st.s.BTEndAddr = QStringLiteral("00000a000003");
        QCOMPARE(other.next(kind), qint64(0xa000000));
    }
    const quint64 defaultBefore = st.s.imeiDefaultNumber;
    const QString btBefore = st.s.BTCurrentAddr;

    QCOMPARE(st.next(kind), qint64(-1));
    const QStringList errors = st.frontEnd.textsIn(LineColour::Error);
    QVERIFY2(!errors.isEmpty() && errors.first().startsWith(expected), qPrintable(errors.join(QLatin1Char('\n'))));
    // Nothing handed out, the counters where they were: no fallback to the station's own counting.
    QVERIFY(st.s.imeiList.isEmpty());
    QVERIFY(st.s.currentBt.isEmpty());
    QCOMPARE(st.s.imeiDefaultNumber, defaultBefore);
    QCOMPARE(st.s.BTCurrentAddr, btBefore);
}

QTEST_GUILESS_MAIN(TestLedgerCounters)
#include "TestLedgerCounters.moc"
