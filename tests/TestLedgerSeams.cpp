#include "support/PgServerFixture.h"

#include "identity/CounterBlocks.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerIdentityClaims.h"
#include "ledger/LedgerIssuedIdentities.h"
#include "ledger/LedgerSchema.h"
#include "ledger/LineLedger.h"
#include "ledger/SharedCounter.h"

#include <QSet>
#include <QtTest>

namespace {

// A station's own history, as a set of "kind:value".
class FakeLocal final : public IssuedIdentities
{
public:
    QSet<QString> values;
    mutable int asked = 0;
    bool isIssued(int kind, const QString &value) const override
    {
        ++asked;
        return values.contains(QString::number(kind) + QLatin1Char(':') + value);
    }
};

} // namespace

// What the station's sources and worker see of the ledger: the duplicate test beside the history, the
// worker's claims, and the shared counters.
class TestLedgerSeams final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void issuedAsksHistoryThenLedger_data();
    void issuedAsksHistoryThenLedger();
    void claimsOfTheWorker();
    void sharedCountersNeverCollide();
    void outageAndReturn();
    void startUp_data();
    void startUp();
    void stoppedWaits_data();
    void stoppedWaits();

private:
    QString newLedger();
    QString station(const QString &db, const char *suffix) const
    {
        return m_server.connInfo(db, db + QLatin1Char('_') + QLatin1String(suffix));
    }
    PgServerFixture m_server;
    QString m_db;
};

void TestLedgerSeams::initTestCase()
{
    if (!PgServerFixture::binariesPresent()) {
        if (PgServerFixture::required())
            QFAIL(qPrintable(PgServerFixture::skipMessage()));
        QSKIP(qPrintable(PgServerFixture::skipMessage()));
    }
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    m_db = newLedger();
    QVERIFY(!m_db.isEmpty());
}

QString TestLedgerSeams::newLedger()
{
    const QString db = m_server.createDatabase(QStringLiteral("seams"));
    LedgerConnection admin(m_server.connInfo(db));
    QString message;
    if (db.isEmpty() || LedgerSchema::create(admin, db + QLatin1String("_st"), &message) != LedgerStatus::Ok ||
        LedgerSchema::addStation(admin, db + QLatin1String("_a"), QStringLiteral("S1"), &message) != LedgerStatus::Ok ||
        LedgerSchema::addStation(admin, db + QLatin1String("_b"), QStringLiteral("S2"), &message) != LedgerStatus::Ok ||
        !m_server.addCounter(db, QStringLiteral("bt:shared"), 0x1000, 0x1000 + 24, 7) ||
        !m_server.addCounter(db, QStringLiteral("c"), 10, 99, 5))
        return {};
    return db;
}

void TestLedgerSeams::issuedAsksHistoryThenLedger_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QVector<bool>>("expected");

    // The history holds IMEI 100000000000001 and MBSN H1; the ledger IMEI 100000000000002 and MBSN L1.
    QTest::newRow("IMEIs") << 1 << QStringList{"100000000000001", "100000000000002", "100000000000003"}
                           << QVector<bool>{true, true, false};
    QTest::newRow("MBSNs") << 2 << QStringList{"L1", "H1", "X1", "L1"} << QVector<bool>{true, true, false, true};
    QTest::newRow("kind apart") << 4 << QStringList{"L1", "H1"} << QVector<bool>{false, false};
    QTest::newRow("none") << 8 << QStringList() << QVector<bool>();
}

void TestLedgerSeams::issuedAsksHistoryThenLedger()
{
    QFETCH(int, kind);
    QFETCH(QStringList, values);
    QFETCH(QVector<bool>, expected);
    Ledger writer(station(m_db, "a"), QStringLiteral("S1"));
    writer.claim({{1, "100000000000002", 1}, {2, "L1", 1}}, QStringLiteral("USB1"), QString());

    FakeLocal local;
    local.values = {QStringLiteral("1:100000000000001"), QStringLiteral("2:H1")};
    Ledger ledger(station(m_db, "b"), QStringLiteral("S2"));
    int troubles = 0;
    LedgerIssuedIdentities issued(local, ledger, [&](const QString &) { ++troubles; });
    QCOMPARE(issued.areIssued(kind, values), expected);
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(issued.isIssued(kind, values.at(i)), expected.at(i));
    QCOMPARE(troubles, 0);
}

void TestLedgerSeams::claimsOfTheWorker()
{
    LedgerIdentityClaims a(station(m_db, "a"), QStringLiteral("S1"));
    LedgerIdentityClaims b(station(m_db, "b"), QStringLiteral("S2"));
    const IdentityClaims::Set set{{"490154203237518", "490154203237518", "", ""}, "MBW1", "", "00AA00BB00C2"};
    qint64 id = 0;
    QString message;
    QCOMPARE(a.claim(set, QStringLiteral("USB1"), QStringLiteral("0x52B0"), &id, &message), IdentityClaims::Done);
    QVERIFY(id > 0);
    QCOMPARE(a.markWritten(id, &message), IdentityClaims::Done);

    // Another station given the same Bluetooth address is told who holds it.
    qint64 other = 0;
    const IdentityClaims::Set clash{{"356938035643809"}, "MBW2", "", "00AA00BB00C2"};
    QCOMPARE(b.claim(clash, QStringLiteral("USB2"), QString(), &other, &message), IdentityClaims::Held);
    QVERIFY2(message.contains(QLatin1String("BT 00AA00BB00C2 is held by station S1")), qPrintable(message));
    QCOMPARE(other, qint64(0));
    // Nor may it mark the first station's claim.
    QCOMPARE(b.markWritten(id, &message), IdentityClaims::Failed);

    // A read finds the set, and one identity the ledger does not know.
    const IdentityClaims::Set read{{"490154203237518", "111111111111116"}, "MBW1", "", ""};
    message.clear();
    QCOMPARE(b.confirmRead(read, QStringLiteral("USB2"), QString(), &message), IdentityClaims::Done);
    QCOMPARE(message, QStringLiteral("Not in the line's ledger: IMEI 111111111111116."));
    // A set of nothing claims nothing.
    QCOMPARE(b.claim(IdentityClaims::Set{{"", ""}, "", "", ""}, QStringLiteral("USB2"), QString(), &other, &message),
             IdentityClaims::Done);
    QCOMPARE(other, qint64(0));
}

void TestLedgerSeams::sharedCountersNeverCollide()
{
    Ledger a(station(m_db, "a"), QStringLiteral("S1"));
    Ledger b(station(m_db, "b"), QStringLiteral("S2"));
    SharedCounter one(a, QStringLiteral("bt:shared"), 0x1000, 0x1000 + 24, 7);
    SharedCounter two(b, QStringLiteral("bt:shared"), 0x1000, 0x1000 + 24, 7);
    QSet<qint64> seen;
    int taken = 0;
    QString message;
    // The two stations alternate irregularly until the range of 25 values is used up.
    for (int step = 0; step < 60; ++step) {
        SharedCounter &counter = (step % 3 == 0) ? two : one;
        qint64 value = 0;
        const LedgerStatus status = counter.next(&value, &message);
        if (status == LedgerStatus::Conflict)
            continue;
        QCOMPARE(status, LedgerStatus::Ok);
        QVERIFY(value >= 0x1000 && value <= 0x1000 + 24);
        QVERIFY2(!seen.contains(value), qPrintable(QString::number(value, 16)));
        seen.insert(value);
        ++taken;
    }
    QCOMPARE(taken, 25);
    qint64 value = 0;
    QCOMPARE(one.next(&value, &message), LedgerStatus::Conflict);
    QVERIFY(message.contains(QLatin1String("used up")));
}

void TestLedgerSeams::outageAndReturn()
{
    FakeLocal local;
    local.values = {QStringLiteral("2:H1")};
    Ledger ledger(station(m_db, "b"), QStringLiteral("S2"));
    QStringList troubles;
    LedgerIssuedIdentities issued(local, ledger, [&](const QString &message) { troubles.append(message); });
    LedgerIdentityClaims claims(station(m_db, "b"), QStringLiteral("S2"));
    Ledger writer(station(m_db, "a"), QStringLiteral("S1"));
    QVERIFY(writer.claim({{2, "OUT1", 1}}, QStringLiteral("USB1"), QString()).status == LedgerStatus::Ok);
    QCOMPARE(issued.areIssued(2, {"OUT1", "H1", "OUT2"}), (QVector<bool>{true, true, false}));

    QVERIFY2(m_server.stop(QStringLiteral("immediate")), qPrintable(m_server.error()));
    // The history still answers; the trouble is told once, not per value.
    QCOMPARE(issued.areIssued(2, {"OUT1", "H1", "OUT2"}), (QVector<bool>{false, true, false}));
    QCOMPARE(issued.isIssued(2, QStringLiteral("OUT1")), false);
    QCOMPARE(troubles.size(), 1);
    QVERIFY2(troubles.first().contains(QLatin1String("nothing is written")), qPrintable(troubles.first()));
    // The worker may not claim: it must refuse to write.
    qint64 id = 0;
    QString message;
    QCOMPARE(claims.claim(IdentityClaims::Set{{}, "OUT2", "", ""}, QStringLiteral("USB2"), QString(), &id, &message),
             IdentityClaims::Unreachable);
    QVERIFY2(message.contains(QLatin1String("cannot be reached")), qPrintable(message));

    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    QCOMPARE(issued.areIssued(2, {"OUT1", "H1", "OUT2"}), (QVector<bool>{true, true, false}));
    QCOMPARE(claims.claim(IdentityClaims::Set{{}, "OUT2", "", ""}, QStringLiteral("USB2"), QString(), &id, &message),
             IdentityClaims::Done);
    // A second outage is told again.
    QVERIFY(m_server.stop(QStringLiteral("immediate")));
    issued.isIssued(2, QStringLiteral("X"));
    QCOMPARE(troubles.size(), 2);
    QVERIFY(m_server.start());
}

void TestLedgerSeams::startUp_data()
{
    QTest::addColumn<QString>("file");   // %1: the station's connection string; empty: no file
    QTest::addColumn<QString>("change"); // run by the owner on a fresh ledger first
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("claim");       // -1: no claims at all
    QTest::addColumn<QString>("words");   // in the start message and the claim's message
    QTest::addColumn<bool>("asksLedger"); // whether the duplicate test goes beyond the history

    const QString good = QStringLiteral("[Ledger]\nConnection=%1\nStation=S1\n");
    QTest::newRow("alone") << QString() << QString() << int(LineLedger::State::Alone) << -1 << QString() << false;
    QTest::newRow("ready") << good << QString() << int(LineLedger::State::Ready) << int(IdentityClaims::Done) << "S1"
                           << true;
    QTest::newRow("ready, shared counters")
        << good + "SharedCounters=true\nCounterBlock=5\n"
        << QString() << int(LineLedger::State::Ready) << int(IdentityClaims::Done) << "S1" << true;
    QTest::newRow("password") << "[Ledger]\nConnection=%1 password=x\nStation=S\n"
                              << QString() << int(LineLedger::State::Refused) << int(IdentityClaims::Failed)
                              << "password file" << false;
    QTest::newRow("another station's name")
        << "[Ledger]\nConnection=%1\nStation=S2\nSharedCounters=true\n"
        << QString() << int(LineLedger::State::Refused) << int(IdentityClaims::Failed)
        << "to station S1, but this station calls itself S2" << true;
    QTest::newRow("no station") << "[Ledger]\nConnection=%1\n"
                                << QString() << int(LineLedger::State::Refused) << int(IdentityClaims::Failed)
                                << "Station=" << false;
    QTest::newRow("newer schema") << good << "UPDATE ledger.meta SET value = '7' WHERE key = 'schema_version'"
                                  << int(LineLedger::State::Refused) << int(IdentityClaims::Failed) << "version 7"
                                  << true;
    QTest::newRow("newer schema, shared counters")
        << good + "SharedCounters=true\n"
        << "UPDATE ledger.meta SET value = '7' WHERE key = 'schema_version'" << int(LineLedger::State::Refused)
        << int(IdentityClaims::Failed) << "version 7" << true;
    QTest::newRow("no schema") << good << "DROP SCHEMA ledger CASCADE" << int(LineLedger::State::Refused)
                               << int(IdentityClaims::Failed) << "create-schema" << true;
    QTest::newRow("unreachable") << "[Ledger]\nConnection=host=/nonexistent port=1 dbname=%1\nStation=S\n"
                                 << QString() << int(LineLedger::State::Unreachable) << int(IdentityClaims::Unreachable)
                                 << "cannot be reached" << true;
}

void TestLedgerSeams::startUp()
{
    QFETCH(QString, file);
    QFETCH(QString, change);
    QFETCH(int, state);
    QFETCH(int, claim);
    QFETCH(QString, words);
    QFETCH(bool, asksLedger);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    if (!change.isEmpty())
        QVERIFY2(m_server.exec(db, change), qPrintable(m_server.error()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("line.ini"));
    if (!file.isEmpty()) {
        QFile ini(path);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(file.arg(file.contains(QLatin1String("nonexistent")) ? db : station(db, "a")).toUtf8());
    }

    LineLedger line(path);
    QCOMPARE(int(line.state()), state);
    QVERIFY2(line.startMessage().contains(words), qPrintable(line.startMessage()));
    QVERIFY(!line.startMessage().contains(QLatin1String("dbname")));
    FakeLocal local;
    const IssuedIdentities &issued = line.issued(local, {});
    QCOMPARE(&issued != &local, asksLedger);

    // The counters are shared only when the file says so; a refused line hands out no counter value.
    QString message;
    CounterBlocks *blocks = line.counterBlocks();
    QCOMPARE(blocks != nullptr, file.contains(QLatin1String("SharedCounters=true")));
    if (blocks) {
        quint64 value = 0;
        const bool ready = state == int(LineLedger::State::Ready);
        QCOMPARE(blocks->place({QStringLiteral("c"), 10, 99}, 12, &value, &message), ready);
        QCOMPARE(value, ready ? quint64(10) : quint64(0));
        QVERIFY2(ready || message.contains(words), qPrintable(message));
    }

    std::unique_ptr<IdentityClaims> claims = line.makeClaims();
    QCOMPARE(!claims, claim < 0);
    if (!claims)
        return;
    qint64 id = 0;
    QCOMPARE(int(claims->claim(IdentityClaims::Set{{}, "SU1", "", ""}, "USB1", QString(), &id, &message)), claim);
    QVERIFY2(message.contains(words) || claim == int(IdentityClaims::Done), qPrintable(message));
}

void TestLedgerSeams::stoppedWaits_data()
{
    QTest::addColumn<bool>("counter"); // a block of a shared counter, else a duplicate query
    QTest::newRow("duplicate query") << false;
    QTest::newRow("counter block") << true;
}

// The line's ledger stalls (its server process for this station stopped) under long time-outs: the caller's
// thread goes on with its events, and a Stop among them ends the wait at once, without a trouble line; once the
// server goes on, the next call answers.
void TestLedgerSeams::stoppedWaits()
{
    QFETCH(bool, counter);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger writer(station(db, "b"), QStringLiteral("S2"));
    QVERIFY(writer.claim({{2, "HELD", 1}}, QStringLiteral("USB1"), QString()).status == LedgerStatus::Ok);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("line.ini"));
    QFile ini(path);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[Ledger]\nConnection=%1\nStation=S1\nSharedCounters=true\nCounterBlock=5\n"
                             "StatementTimeout=60\nLockTimeout=60\nKeepaliveTime=60\n")
                  .arg(station(db, "a"))
                  .toUtf8());
    ini.close();
    LineLedger line(path);
    QCOMPARE(int(line.state()), int(LineLedger::State::Ready));
    QStringList troubles;
    FakeLocal local;
    const IssuedIdentities &issued = line.issued(local, [&](const QString &message) { troubles.append(message); });
    CounterBlocks *blocks = line.counterBlocks();
    QVERIFY(blocks);

    LedgerConnection admin(m_server.connInfo(db));
    const LedgerRows backend =
        admin.exec("SELECT pid FROM pg_stat_activity WHERE application_name = 'doverariz S1'", {});
    QVERIFY(backend.ok() && backend.rowCount() == 1);
    const qint64 pid = backend.number(0, 0);
    QVERIFY2(m_server.pauseProcess(pid), qPrintable(m_server.error()));
    int ticks = 0;
    QTimer live;
    QObject::connect(&live, &QTimer::timeout, [&] {
        if (++ticks == 5)
            line.setWaits(LineLedger::Waits::GiveUp);
    });
    live.start(50);
    QElapsedTimer timer;
    timer.start();
    quint64 value = 0;
    QString message;
    const bool answered = counter ? blocks->place({QStringLiteral("c"), 10, 99}, 12, &value, &message)
                                  : issued.isIssued(2, QStringLiteral("HELD"));
    const qint64 elapsed = timer.elapsed();
    live.stop();
    QVERIFY2(m_server.resumeProcess(pid), qPrintable(m_server.error()));
    QVERIFY(!answered);
    QVERIFY2(ticks >= 5 && elapsed < 10000, qPrintable(QString::number(elapsed)));
    QVERIFY2(troubles.isEmpty(), qPrintable(troubles.join(u'\n')));
    QVERIFY2(!counter || message.contains(QLatin1String("stopped")), qPrintable(message));

    line.setWaits(LineLedger::Waits::HoldInput);
    if (counter) {
        QVERIFY2(blocks->place({QStringLiteral("c"), 10, 99}, 12, &value, &message), qPrintable(message));
        QVERIFY(value >= 10 && value <= 99);
    } else {
        QVERIFY(issued.isIssued(2, QStringLiteral("HELD")));
    }
}

QTEST_GUILESS_MAIN(TestLedgerSeams)
#include "TestLedgerSeams.moc"
