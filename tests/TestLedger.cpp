#include "support/PgServerFixture.h"

#include "ledger/Ledger.h"
#include "ledger/LedgerSchema.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <vector>

namespace {

QVector<LedgerIdentity> set(std::initializer_list<std::pair<int, const char *>> items)
{
    QVector<LedgerIdentity> result;
    int imeis = 0;
    for (const auto &item : items)
        result.append({item.first, QString::fromLatin1(item.second), item.first == 1 ? ++imeis : 1});
    return result;
}

} // namespace

// The shared ledger on a server of the test's own: claims, marks, confirmations, duplicate queries,
// counter blocks, and what a station's role may not do.
class TestLedger final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void schemaVersion_data();
    void schemaVersion();
    void upgradeFromVersion1();
    void claim_data();
    void claim();
    void claimNamesHolder();
    void markWritten_data();
    void markWritten();
    void stationCannotRewrite_data();
    void stationCannotRewrite();
    void stationRowsAreStamped();
    void hostileStation_data();
    void hostileStation();
    void issuedAndConfirmed();
    void counterBlocks();
    void concurrentClaimsNeverShare();
    void messagesNeverShowConnection();
    void unreachableAndBack();
    void stalledLedger_data();
    void stalledLedger();
    void standbyWaitCancelledIsNoSuccess();

private:
    // A fresh database with the ledger and two station roles, "<db>_a" and "<db>_b".
    QString newLedger();
    QString stationConn(const QString &db, const QString &suffix) const
    {
        return m_server.connInfo(db, db + QLatin1Char('_') + suffix);
    }
    QStringList issued(Ledger &ledger, int kind, const QStringList &values);
    bool prepareRewriteLedger(const QString &db);
    QString stationWorks(const QString &db, int round);
    // The owner adds the counters of a round of stationWorks: its allocation code and its Bluetooth range.
    bool addRoundCounters(const QString &db, int round);

    PgServerFixture m_server;
    QString m_rewriteDb;
    QString m_hostileDb;
    int m_hostileRound = 0;
};

void TestLedger::initTestCase()
{
    if (!PgServerFixture::binariesPresent()) {
        if (PgServerFixture::required())
            QFAIL(qPrintable(PgServerFixture::skipMessage()));
        QSKIP(qPrintable(PgServerFixture::skipMessage()));
    }
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

QString TestLedger::newLedger()
{
    const QString db = m_server.createDatabase(QStringLiteral("ledger"));
    if (db.isEmpty())
        return {};
    LedgerConnection admin(m_server.connInfo(db));
    QString message;
    if (LedgerSchema::create(admin, db + QLatin1String("_stations"), &message) != LedgerStatus::Ok ||
        LedgerSchema::addStation(admin, db + QLatin1String("_a"), QStringLiteral("S1"), &message) != LedgerStatus::Ok ||
        LedgerSchema::addStation(admin, db + QLatin1String("_b"), QStringLiteral("S2"), &message) != LedgerStatus::Ok) {
        qWarning() << message;
        return {};
    }
    return db;
}

QStringList TestLedger::issued(Ledger &ledger, int kind, const QStringList &values)
{
    QVector<bool> answers;
    QString message;
    if (ledger.issued(kind, values, &answers, &message) != LedgerStatus::Ok)
        return {QStringLiteral("<%1>").arg(message)};
    QStringList held;
    for (int i = 0; i < values.size(); ++i) {
        if (answers.at(i))
            held.append(values.at(i));
    }
    return held;
}

void TestLedger::schemaVersion_data()
{
    QTest::addColumn<QString>("change"); // run by the owner after creating the schema
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("recreated"); // whether the ledger command then accepts to create it again

    QTest::newRow("current") << QString() << true << QString() << true;
    QTest::newRow("none") << "DROP SCHEMA ledger CASCADE" << false << "ledger create-schema" << true;
    QTest::newRow("half there") << "UPDATE ledger.meta SET value = '0' WHERE key = 'schema_version'; "
                                   "INSERT INTO ledger.meta VALUES ('x', 'y')"
                                << false << "holds no ledger" << false;
    QTest::newRow("newer") << QStringLiteral("UPDATE ledger.meta SET value = '%1' WHERE key = 'schema_version'")
                                  .arg(LedgerSchema::currentVersion + 1)
                           << false << "newer than this program" << false;
    QTest::newRow("garbled") << "UPDATE ledger.meta SET value = 'one' WHERE key = 'schema_version'" << false
                             << "unreadable" << false;
}

void TestLedger::schemaVersion()
{
    QFETCH(QString, change);
    QFETCH(bool, accepted);
    QFETCH(QString, hint);
    QFETCH(bool, recreated);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    if (!change.isEmpty())
        QVERIFY2(m_server.exec(db, change), qPrintable(m_server.error()));

    Ledger ledger(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    QString message;
    QCOMPARE(ledger.open(&message) == LedgerStatus::Ok, accepted);
    QVERIFY2(message.contains(hint), qPrintable(message));

    // Creating again over a current schema changes nothing; over a newer or broken one it is refused.
    LedgerConnection admin(m_server.connInfo(db));
    QCOMPARE(LedgerSchema::create(admin, db + QLatin1String("_stations"), &message) == LedgerStatus::Ok, recreated);
    if (!recreated)
        return;
    // A dropped ledger took its stations' names with it: the owner binds them again.
    QCOMPARE(LedgerSchema::addStation(admin, db + QLatin1String("_a"), QStringLiteral("S1"), &message),
             LedgerStatus::Ok);
    QCOMPARE(Ledger(stationConn(db, QStringLiteral("a")), QStringLiteral("S1")).open(&message), LedgerStatus::Ok);
}

void TestLedger::upgradeFromVersion1()
{
    // A ledger of the first version, where a station could choose its name, its numbers and its counters.
    const QString db = m_server.createDatabase(QStringLiteral("ledger"));
    QVERIFY(!db.isEmpty());
    LedgerConnection admin(m_server.connInfo(db));
    QString message;
    QCOMPARE(LedgerSchema::create(admin, db + QLatin1String("_stations"), &message, 1), LedgerStatus::Ok);
    QVERIFY(m_server.exec(db, QStringLiteral("CREATE ROLE %1_a LOGIN IN ROLE %1_stations; "
                                             "CREATE ROLE %1_b LOGIN IN ROLE %1_stations")
                                  .arg(db)));
    LedgerConnection a(stationConn(db, QStringLiteral("a")));
    QVERIFY(a.exec("INSERT INTO ledger.cycles (station) VALUES ('S1')").ok());
    QVERIFY(a.exec("INSERT INTO ledger.cycles (id, station) VALUES (5000, 'S1')").ok());
    QVERIFY(a.exec("INSERT INTO ledger.counters VALUES ('DefaultIMEI:35000000', 86000000000000, 86000000999999)").ok());
    QVERIFY(a.exec("INSERT INTO ledger.counters VALUES ('DefaultIMEI:35000001', 35000001000100, 35000001999998)").ok());

    QCOMPARE(LedgerSchema::create(admin, db + QLatin1String("_stations"), &message), LedgerStatus::Ok);
    // A keeps the one name it used; B, which never claimed, waits for its owner to bind it.
    Ledger stationA(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    QCOMPARE(stationA.open(&message), LedgerStatus::Ok);
    const LedgerClaim claim = stationA.claim(set({{2, "M1"}}), QStringLiteral("USB1"), {});
    QVERIFY2(claim.status == LedgerStatus::Ok && claim.cycleId > 5000, qPrintable(claim.message));
    qint64 first = 0, last = 0;
    QCOMPARE(stationA.takeBlock(QStringLiteral("DefaultIMEI:35000000"), 35000000000100, 35000000999998, 10, &first,
                                &last, &message),
             LedgerStatus::Refused);
    // A counter a station created in its own range goes on where it stood.
    QCOMPARE(stationA.takeBlock(QStringLiteral("DefaultIMEI:35000001"), 35000001000100, 35000001999998, 10, &first,
                                &last, &message),
             LedgerStatus::Ok);
    QCOMPARE(first, 35000001000100);
    Ledger stationB(stationConn(db, QStringLiteral("b")), QStringLiteral("S2"));
    QCOMPARE(stationB.open(&message), LedgerStatus::Refused);
    QVERIFY2(message.contains(QStringLiteral("add-station %1_b --station S2").arg(db)), qPrintable(message));
}

void TestLedger::claim_data()
{
    QTest::addColumn<QVector<LedgerIdentity>>("first");
    QTest::addColumn<QVector<LedgerIdentity>>("second");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("held"); // "kind:value" of the second set that the conflict names

    const auto ok = int(LedgerStatus::Ok);
    const auto conflict = int(LedgerStatus::Conflict);
    QTest::newRow("apart") << set({{1, "111"}, {2, "M1"}}) << set({{1, "222"}, {2, "M2"}}) << ok << QStringList();
    QTest::newRow("same IMEI") << set({{1, "111"}, {2, "M1"}}) << set({{1, "222"}, {1, "111"}, {2, "M2"}}) << conflict
                               << QStringList{"1:111"};
    QTest::newRow("second IMEI of the first set")
        << set({{1, "111"}, {1, "112"}}) << set({{1, "112"}}) << conflict << QStringList{"1:112"};
    QTest::newRow("several held") << set({{2, "M1"}, {4, "P1"}, {8, "B1"}}) << set({{2, "M1"}, {4, "P1"}, {8, "B2"}})
                                  << conflict << QStringList{"2:M1", "4:P1"};
    QTest::newRow("same text, another kind") << set({{2, "X1"}}) << set({{4, "X1"}}) << ok << QStringList();
    QTest::newRow("case matters") << set({{2, "ab1"}}) << set({{2, "AB1"}}) << ok << QStringList();
    QTest::newRow("equal IMEIs of one set")
        << set({{1, "111"}}) << set({{1, "333"}, {1, "333"}, {1, "333"}}) << ok << QStringList();
    QTest::newRow("empty value") << set({{1, "111"}}) << set({{2, ""}}) << int(LedgerStatus::Failed) << QStringList();
    QTest::newRow("unknown kind") << set({{1, "111"}}) << set({{16, "Z"}}) << int(LedgerStatus::Failed)
                                  << QStringList();
}

void TestLedger::claim()
{
    QFETCH(QVector<LedgerIdentity>, first);
    QFETCH(QVector<LedgerIdentity>, second);
    QFETCH(int, status);
    QFETCH(QStringList, held);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger a(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    Ledger b(stationConn(db, QStringLiteral("b")), QStringLiteral("S2"));
    const LedgerClaim one = a.claim(first, QStringLiteral("USB1"), QStringLiteral("chip-1"));
    QVERIFY2(one.status == LedgerStatus::Ok, qPrintable(one.message));

    const LedgerClaim two = b.claim(second, QStringLiteral("USB2"), QStringLiteral("chip-2"));
    QCOMPARE(int(two.status), status);
    QStringList named;
    for (const LedgerHolder &holder : two.holders) {
        named.append(QString::number(holder.kind) + QLatin1Char(':') + holder.value);
        QCOMPARE(holder.station, QStringLiteral("S1"));
        QCOMPARE(holder.cycleId, one.cycleId);
    }
    QCOMPARE(named, held);
    // All or nothing: a refused set leaves none of its identities behind, an accepted one all of them.
    for (const LedgerIdentity &identity : second) {
        if (identity.value.isEmpty() || identity.kind == 16)
            continue;
        const bool firstHas = std::any_of(first.begin(), first.end(), [&](const LedgerIdentity &f) {
            return f.kind == identity.kind && f.value == identity.value;
        });
        const bool expected = firstHas || two.status == LedgerStatus::Ok;
        QCOMPARE(issued(b, identity.kind, {identity.value}).size() == 1, expected);
    }
}

void TestLedger::claimNamesHolder()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger a(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    Ledger b(stationConn(db, QStringLiteral("b")), QStringLiteral("S2"));
    const LedgerClaim one = a.claim(set({{1, "490154203237518"}}), QStringLiteral("USB1"), QString());
    QVERIFY(one.status == LedgerStatus::Ok);
    // Never written (the handset was not saved): still held, and never issued again.
    const LedgerClaim two = b.claim(set({{1, "490154203237518"}}), QStringLiteral("USB1"), QString());
    QCOMPARE(two.status, LedgerStatus::Conflict);
    QVERIFY2(two.message.contains(QLatin1String("IMEI 490154203237518")) &&
                 two.message.contains(QLatin1String("station S1")) && two.message.contains(QLatin1String("claimed")) &&
                 two.message.contains(QDate::currentDate().toString(Qt::ISODate)),
             qPrintable(two.message));
}

void TestLedger::markWritten_data()
{
    QTest::addColumn<QString>("marker"); // the station that marks A's claim
    QTest::addColumn<int>("times");
    QTest::addColumn<qint64>("offset"); // added to the claim's number
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("state"); // of A's claim afterwards

    QTest::newRow("own") << "a" << 1 << qint64(0) << int(LedgerStatus::Ok) << "written";
    QTest::newRow("own, answer lost") << "a" << 2 << qint64(0) << int(LedgerStatus::Ok) << "written";
    QTest::newRow("another station's") << "b" << 1 << qint64(0) << int(LedgerStatus::Refused) << "claimed";
    QTest::newRow("no such claim") << "a" << 1 << qint64(1000) << int(LedgerStatus::Failed) << "claimed";
}

void TestLedger::markWritten()
{
    QFETCH(QString, marker);
    QFETCH(int, times);
    QFETCH(qint64, offset);
    QFETCH(int, status);
    QFETCH(QString, state);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger a(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    Ledger other(stationConn(db, marker), marker == QLatin1String("a") ? QStringLiteral("S1") : QStringLiteral("S2"));
    const LedgerClaim claim = a.claim(set({{2, "M1"}}), QStringLiteral("USB1"), QString());
    QVERIFY(claim.status == LedgerStatus::Ok);
    QString message;
    LedgerStatus result = LedgerStatus::Failed;
    for (int i = 0; i < times; ++i)
        result = other.markWritten(claim.cycleId + offset, &message);
    QCOMPARE(int(result), status);

    LedgerConnection admin(m_server.connInfo(db));
    const LedgerRows rows = admin.exec("SELECT state, written_at IS NOT NULL FROM ledger.cycles WHERE id = $1",
                                       {QByteArray::number(claim.cycleId)});
    QCOMPARE(rows.text(0, 0), state);
    QCOMPARE(rows.text(0, 1), state == QLatin1String("written") ? QStringLiteral("t") : QStringLiteral("f"));
}

void TestLedger::stationCannotRewrite_data()
{
    QTest::addColumn<QString>("statement"); // run as station B, after A claimed and wrote one set and claimed another

    QTest::newRow("delete identities") << "DELETE FROM ledger.identities";
    QTest::newRow("rewrite an identity") << "UPDATE ledger.identities SET value = 'M9' WHERE value = 'M1'";
    QTest::newRow("move an identity") << "UPDATE ledger.identities SET cycle_id = cycle_id + 1";
    QTest::newRow("delete cycles") << "DELETE FROM ledger.cycles";
    QTest::newRow("truncate") << "TRUNCATE ledger.identities CASCADE";
    QTest::newRow("rename the station") << "UPDATE ledger.cycles SET station = 'S2'";
    QTest::newRow("reopen a written claim") << "UPDATE ledger.cycles SET state = 'claimed' WHERE state = 'written'";
    QTest::newRow("mark another's claim") << "UPDATE ledger.cycles SET state = 'written' WHERE state = 'claimed'";
    QTest::newRow("backdate") << "UPDATE ledger.cycles SET written_at = now() - interval '1 year'";
    QTest::newRow("add to another's claim")
        << "INSERT INTO ledger.identities (kind, value, cycle_id) SELECT 2, 'M7', min(id) FROM ledger.cycles";
    QTest::newRow("delete confirmations") << "DELETE FROM ledger.confirmations";
    QTest::newRow("counter back") << "UPDATE ledger.counters SET next_value = 0";
    QTest::newRow("counter range") << "UPDATE ledger.counters SET last_value = 10";
    QTest::newRow("delete counter blocks") << "DELETE FROM ledger.counter_blocks";
    QTest::newRow("schema version") << "UPDATE ledger.meta SET value = '9'";
    QTest::newRow("drop a table") << "DROP TABLE ledger.confirmations";
    QTest::newRow("disable a guard") << "ALTER TABLE ledger.cycles DISABLE TRIGGER guard";
    QTest::newRow("a table of its own") << "CREATE TABLE ledger.mine (v text)";
}

bool TestLedger::prepareRewriteLedger(const QString &db)
{
    // A written set, an open claim, a confirmation and a counter block, all of station A.
    Ledger a(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    const LedgerClaim written = a.claim(set({{1, "111"}, {2, "M1"}}), QStringLiteral("USB1"), QString());
    qint64 first = 0, last = 0;
    return m_server.addCounter(db, QStringLiteral("c"), 100, 200, 10) && written.status == LedgerStatus::Ok &&
           a.markWritten(written.cycleId, nullptr) == LedgerStatus::Ok &&
           a.claim(set({{2, "M2"}}), QStringLiteral("USB1"), QString()).status == LedgerStatus::Ok &&
           a.confirmRead(set({{2, "M1"}}), QStringLiteral("USB1"), QString(), nullptr, nullptr) == LedgerStatus::Ok &&
           a.takeBlock(QStringLiteral("c"), 100, 200, 10, &first, &last, nullptr) == LedgerStatus::Ok;
}

void TestLedger::stationCannotRewrite()
{
    QFETCH(QString, statement);
    // The rows share one ledger, laid out by the first: a statement that is refused changes nothing.
    const bool first = m_rewriteDb.isEmpty();
    if (first)
        m_rewriteDb = newLedger();
    const QString db = m_rewriteDb;
    QVERIFY(!db.isEmpty());
    if (first)
        QVERIFY(prepareRewriteLedger(db));

    LedgerConnection admin(m_server.connInfo(db));
    const char *snapshot =
        "SELECT (SELECT string_agg(concat_ws('|', kind, value, cycle_id), ',' ORDER BY kind, value) "
        "FROM ledger.identities), (SELECT string_agg(concat_ws('|', id, station, state, written_at), ',' ORDER BY "
        "id) FROM ledger.cycles), (SELECT count(*) FROM ledger.confirmations), (SELECT string_agg(concat_ws('|', "
        "name, next_value, last_value), ',') FROM ledger.counters), (SELECT count(*) FROM ledger.counter_blocks), "
        "(SELECT string_agg(value, ',' ORDER BY key) FROM ledger.meta), "
        "(SELECT count(*) FROM pg_tables WHERE schemaname = 'ledger')";
    const LedgerRows before = admin.exec(snapshot);
    QVERIFY(before.ok());

    LedgerConnection station(stationConn(db, QStringLiteral("b")));
    const LedgerRows rows = station.exec(statement.toUtf8().constData());
    // Refused outright, or (where a row policy hides the rows) touching nothing.
    QVERIFY2(!rows.ok() || rows.affected() == 0, qPrintable(statement));

    const LedgerRows after = admin.exec(snapshot);
    for (int column = 0; column < 7; ++column)
        QCOMPARE(after.text(0, column), before.text(0, column));
}

void TestLedger::stationRowsAreStamped()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    // A station that writes rows by hand may not set their times, state or role, and still gets the server's.
    LedgerConnection station(stationConn(db, QStringLiteral("b")));
    const LedgerRows forged =
        station.exec("INSERT INTO ledger.cycles (station, state, claimed_at, written_at, station_role, imported) "
                     "VALUES ('S2', 'written', '2000-01-01', '2000-01-01', $1, true)",
                     {QByteArray(db.toUtf8() + "_a")});
    QCOMPARE(forged.status(), LedgerStatus::Refused);
    const LedgerRows rows = station.exec(
        "INSERT INTO ledger.cycles (port) VALUES ('USB1') "
        "RETURNING state, claimed_at > now() - interval '1 hour', written_at IS NULL, station_role, imported, station");
    QVERIFY2(rows.ok(), qPrintable(rows.message()));
    QCOMPARE(rows.text(0, 5), QStringLiteral("S2"));
    QCOMPARE(rows.text(0, 0), QStringLiteral("claimed"));
    QCOMPARE(rows.text(0, 1), QStringLiteral("t"));
    QCOMPARE(rows.text(0, 2), QStringLiteral("t"));
    QCOMPARE(rows.text(0, 3), db + QLatin1String("_b"));
    QCOMPARE(rows.text(0, 4), QStringLiteral("f"));
}

void TestLedger::hostileStation_data()
{
    // Run as station A's role (S1) in a transaction left open while station B (S2) works, then committed.
    // @B@: B's role, @GROUP@: the stations' role, @TAC@ and @BT@: the counters B takes next.
    QTest::addColumn<QString>("attack");
    QTest::addColumn<bool>("refused"); // false: it may go through, but must harm nobody

    QTest::newRow("rewrite an identity") << "UPDATE ledger.identities SET value = 'X' WHERE kind = 2" << true;
    QTest::newRow("delete claims") << "DELETE FROM ledger.cycles" << true;
    QTest::newRow("truncate") << "TRUNCATE ledger.identities CASCADE" << true;
    QTest::newRow("drop a table") << "DROP TABLE ledger.confirmations" << true;
    // Every claim marks the pools' values: a station that held them would hold up the line's claims.
    QTest::newRow("plant a pool") << "INSERT INTO ledger.pools (name, kind, size) VALUES ('p', 2, 1)" << true;
    QTest::newRow("unmark a pool's values") << "UPDATE ledger.pool_values SET claimed_at = NULL" << true;
    QTest::newRow("lock the pools") << "LOCK TABLE ledger.pool_values IN ROW SHARE MODE" << true;
    QTest::newRow("disable a guard") << "ALTER TABLE ledger.cycles DISABLE TRIGGER guard" << true;
    QTest::newRow("replace a guard") << "CREATE OR REPLACE FUNCTION ledger.is_admin() RETURNS boolean "
                                        "LANGUAGE sql AS 'SELECT true'"
                                     << true;
    QTest::newRow("become the other station") << "SET ROLE @B@" << true;
    QTest::newRow("claim as the stations' role in the other's name")
        << "SET ROLE @GROUP@; INSERT INTO ledger.cycles (station) VALUES ('S2')" << true;
    QTest::newRow("claim as the stations' role")
        << "SET ROLE @GROUP@; INSERT INTO ledger.cycles (port) VALUES ('x')" << false;
    QTest::newRow("read the passwords") << "SELECT rolpassword FROM pg_authid" << true;
    QTest::newRow("run a program") << "COPY ledger.cycles TO PROGRAM 'cat'" << true;
    QTest::newRow("cancel the other's statement")
        << "SELECT pg_cancel_backend(pid) FROM pg_stat_activity WHERE usename = '@B@'" << true;
    QTest::newRow("end the other's session")
        << "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = '@B@'" << true;
    QTest::newRow("forge a written claim")
        << "INSERT INTO ledger.cycles (station, state, claimed_at) VALUES ('S1', 'written', '2000-01-01')" << true;
    QTest::newRow("backdate a claim") << "UPDATE ledger.cycles SET claimed_at = '2000-01-01'" << true;
    QTest::newRow("mark the other's claim")
        << "UPDATE ledger.cycles SET state = 'written' WHERE station = 'S2'" << false;
    QTest::newRow("take claim numbers ahead")
        << "INSERT INTO ledger.cycles (id, station) SELECT m + g, 'S1' FROM (SELECT max(id) AS m FROM ledger.cycles) "
           "x, generate_series(1, 1000) g"
        << true;
    QTest::newRow("take claim numbers ahead, overriding")
        << "INSERT INTO ledger.cycles (id, station) OVERRIDING SYSTEM VALUE SELECT m + g, 'S1' FROM "
           "(SELECT max(id) AS m FROM ledger.cycles) x, generate_series(1, 1000) g"
        << true;
    QTest::newRow("take confirmation numbers ahead")
        << "INSERT INTO ledger.confirmations (id, kind, value, station) SELECT 1000000, kind, value, 'S1' "
           "FROM ledger.identities LIMIT 1"
        << true;
    QTest::newRow("move the claims' sequence")
        << "SELECT setval(pg_get_serial_sequence('ledger.cycles', 'id'), 1000000)" << true;
    QTest::newRow("plant a default IMEI counter")
        << "INSERT INTO ledger.counters VALUES ('DefaultIMEI:@TAC@', 86000000000000, 86000000999999)" << true;
    QTest::newRow("plant a default IMEI counter through the hand-out")
        << "SELECT * FROM ledger.take_block('DefaultIMEI:@TAC@', 86000000000000, 86000000999999, 10)" << true;
    QTest::newRow("plant a Bluetooth counter") << "INSERT INTO ledger.counters VALUES ('BT:@BT@', 0, 1000)" << true;
    QTest::newRow("plant a Bluetooth counter through the hand-out")
        << "SELECT * FROM ledger.take_block('BT:@BT@', 0, 1000, 10)" << true;
    QTest::newRow("move a counter") << "UPDATE ledger.counters SET next_value = next_value + 1" << true;
    QTest::newRow("lock the counters") << "SELECT * FROM ledger.counters FOR UPDATE" << true;
    QTest::newRow("lock the identities") << "LOCK TABLE ledger.identities IN SHARE ROW EXCLUSIVE MODE" << true;
    QTest::newRow("hold the schema's lock") << "SELECT pg_advisory_lock(hashtext('ledger schema'))" << false;
    QTest::newRow("hold a block of the other's counter")
        << "SELECT * FROM ledger.take_block('DefaultIMEI:34999999', 34999999000100, 34999999999998, 10)" << false;
    QTest::newRow("claim in the other's name") << "INSERT INTO ledger.cycles (station) VALUES ('S2')" << true;
    QTest::newRow("confirm in the other's name")
        << "INSERT INTO ledger.confirmations (kind, value, station) SELECT kind, value, 'S2' FROM ledger.identities "
           "LIMIT 1"
        << true;
    QTest::newRow("a block in the other's name")
        << "INSERT INTO ledger.counter_blocks (counter, first_value, last_value, station) VALUES ('c', 1, 2, 'S2')"
        << true;
    QTest::newRow("take the other's name") << "UPDATE ledger.stations SET station = 'S2'" << true;
    QTest::newRow("add a counter as the owner does")
        << "SELECT ledger.add_counter('DefaultIMEI:@TAC@', @TAC@000000, @TAC@999998, 10)" << true;
}

// What station B does on the line, through the ledger classes with short bounds; empty when all went well.
QString TestLedger::stationWorks(const QString &db, int round)
{
    LedgerTimeouts quick;
    quick.lock = 1;
    quick.statement = 3;
    Ledger b(stationConn(db, QStringLiteral("b")), QStringLiteral("S2"), quick);
    QString message;
    if (b.open(&message) != LedgerStatus::Ok)
        return QStringLiteral("open: ") + message;
    const QVector<LedgerIdentity> identities{{2, QStringLiteral("MB-B%1").arg(round), 1},
                                             {1, QStringLiteral("35%1").arg(round, 13, 10, QLatin1Char('0')), 1}};
    const LedgerClaim claim = b.claim(identities, QStringLiteral("USB2"), QString());
    if (claim.status != LedgerStatus::Ok)
        return QStringLiteral("claim: ") + claim.message;
    if (b.markWritten(claim.cycleId, &message) != LedgerStatus::Ok)
        return QStringLiteral("mark: ") + message;
    if (b.confirmRead(identities, QStringLiteral("USB2"), QString(), nullptr, &message) != LedgerStatus::Ok)
        return QStringLiteral("confirm: ") + message;
    // A counter both stations share, then each round's own, so that a plant of this round meets a counter
    // nobody created yet (the owner adds it after the attack, addRoundCounters).
    qint64 first = 0, last = 0;
    if (b.takeBlock(QStringLiteral("DefaultIMEI:34999999"), 34999999000000, 34999999999998, 10, &first, &last,
                    &message) != LedgerStatus::Ok)
        return QStringLiteral("shared default IMEI block: ") + message;
    const qint64 low = (35000000 + m_hostileRound) * qint64(1000000);
    if (b.takeBlock(QStringLiteral("DefaultIMEI:%1").arg(35000000 + m_hostileRound), low + 100, low + 999998, 10,
                    &first, &last, &message) != LedgerStatus::Ok ||
        first < low || last > low + 999998)
        return QStringLiteral("default IMEI block %1-%2: %3").arg(first).arg(last).arg(message);
    const qint64 bt = 0x001122000000 + qint64(m_hostileRound) * 0x1000;
    const QString btName =
        QStringLiteral("BT:%1-%2").arg(bt, 12, 16, QLatin1Char('0')).arg(bt + 0x1000, 12, 16, QLatin1Char('0'));
    if (b.takeBlock(btName, bt, bt + 0xfff, 10, &first, &last, &message) != LedgerStatus::Ok || first < bt ||
        last > bt + 0xfff)
        return QStringLiteral("Bluetooth block %1-%2: %3").arg(first).arg(last).arg(message);
    return {};
}

bool TestLedger::addRoundCounters(const QString &db, int round)
{
    const qint64 low = (35000000 + round) * qint64(1000000);
    const qint64 bt = 0x001122000000 + qint64(round) * 0x1000;
    return m_server.addCounter(db, QStringLiteral("DefaultIMEI:%1").arg(35000000 + round), low, low + 999998, 10) &&
           m_server.addCounter(
               db,
               QStringLiteral("BT:%1-%2").arg(bt, 12, 16, QLatin1Char('0')).arg(bt + 0x1000, 12, 16, QLatin1Char('0')),
               bt, bt + 0xfff, 10);
}

void TestLedger::hostileStation()
{
    QFETCH(QString, attack);
    QFETCH(bool, refused);
    if (m_hostileDb.isEmpty()) {
        m_hostileDb = newLedger();
        QVERIFY(!m_hostileDb.isEmpty());
        Ledger a(stationConn(m_hostileDb, QStringLiteral("a")), QStringLiteral("S1"));
        const LedgerClaim claim = a.claim(set({{1, "490154203237518"}, {2, "MB-A"}}), QStringLiteral("USB1"), {});
        QVERIFY(claim.status == LedgerStatus::Ok && a.markWritten(claim.cycleId, nullptr) == LedgerStatus::Ok);
        Ledger b(stationConn(m_hostileDb, QStringLiteral("b")), QStringLiteral("S2"));
        QVERIFY(b.claim(set({{2, "MB-B-open"}}), QStringLiteral("USB2"), {}).status == LedgerStatus::Ok);
        QVERIFY2(m_server.addCounter(m_hostileDb, QStringLiteral("DefaultIMEI:34999999"), 34999999000000,
                                     34999999999998, 10) &&
                     addRoundCounters(m_hostileDb, 0),
                 qPrintable(m_server.error()));
        QCOMPARE(stationWorks(m_hostileDb, 0), QString());
    }
    const QString db = m_hostileDb;
    ++m_hostileRound;
    const QString bRole = db + QLatin1String("_b");
    const qint64 bt = 0x001122000000 + qint64(m_hostileRound) * 0x1000;
    attack.replace(QLatin1String("@B@"), bRole)
        .replace(QLatin1String("@GROUP@"), db + QLatin1String("_stations"))
        .replace(QLatin1String("@TAC@"), QString::number(35000000 + m_hostileRound))
        .replace(QLatin1String("@BT@"),
                 QStringLiteral("%1-%2").arg(bt, 12, 16, QLatin1Char('0')).arg(bt + 0x1000, 12, 16, QLatin1Char('0')));
    LedgerConnection admin(m_server.connInfo(db));
    const QByteArray bRows = "SELECT string_agg(concat_ws('|', id, station, state, claimed_at, written_at), ',' "
                             "ORDER BY id) FROM ledger.cycles WHERE station_role = '" +
                             bRole.toUtf8() + "'";
    const LedgerRows before = admin.exec(bRows.constData());
    QVERIFY(before.ok());
    // B's session, for the attacks on another station's backend.
    LedgerConnection bSession(stationConn(db, QStringLiteral("b")));
    QVERIFY(bSession.ensureOpen(nullptr));

    LedgerTimeouts quick;
    quick.lock = 1;
    LedgerConnection attacker(stationConn(db, QStringLiteral("a")), QStringLiteral("attacker"), quick);
    QVERIFY(attacker.command("BEGIN", nullptr));
    QString why;
    const bool done = attacker.script(attack.toUtf8(), &why);
    QVERIFY2(!done || !refused, qPrintable(attack));
    // Refused for want of a privilege (or of an identity's override), not for a mistake in the attack itself.
    QVERIFY2(done || attacker.lastSqlState() == QLatin1String("42501") ||
                 attacker.lastSqlState() == QLatin1String("428C9"),
             qPrintable(why));
    QVERIFY2(addRoundCounters(db, m_hostileRound), qPrintable(m_server.error()));
    // B works while A's transaction holds whatever it got, and again once it is committed.
    QString trouble = stationWorks(db, 2 * m_hostileRound);
    QVERIFY2(trouble.isEmpty(), qPrintable(trouble));
    attacker.command("COMMIT", nullptr);
    trouble = stationWorks(db, 2 * m_hostileRound + 1);
    QVERIFY2(trouble.isEmpty(), qPrintable(trouble));

    // Nothing of B's rewritten, nothing in B's name that B did not do, no counter outside its name's span.
    const LedgerRows after = admin.exec(bRows.constData());
    QVERIFY(after.text(0, 0).startsWith(before.text(0, 0)));
    const QByteArray invariants =
        "SELECT concat_ws(',', (SELECT count(*) FROM ledger.cycles WHERE station = 'S2' AND station_role <> '" +
        bRole.toUtf8() + "'), (SELECT count(*) FROM ledger.confirmations WHERE station = 'S2' AND station_role <> '" +
        bRole.toUtf8() + "'), (SELECT count(*) FROM ledger.counter_blocks WHERE station = 'S2' AND station_role <> '" +
        bRole.toUtf8() +
        "'), (SELECT count(*) FROM ledger.cycles WHERE claimed_at < now() - interval '1 hour' OR imported), "
        "(SELECT count(*) FROM ledger.counters c, ledger.counter_span(c.name, c.next_value, c.last_value) s "
        "WHERE c.last_value <> s.high OR c.next_value < s.low), (SELECT string_agg(station, '+' ORDER BY station) "
        "FROM ledger.stations), (SELECT count(*) FROM pg_tables WHERE schemaname = 'ledger'))";
    const LedgerRows rows = admin.exec(invariants.constData());
    QCOMPARE(rows.text(0, 0), QStringLiteral("0,0,0,0,0,S1+S2,10"));
}

void TestLedger::issuedAndConfirmed()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger a(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    QVERIFY(a.claim(set({{1, "111"}, {1, "112"}, {8, "00AA00BB00CC"}}), QStringLiteral("USB1"), QString()).status ==
            LedgerStatus::Ok);

    QCOMPARE(issued(a, 1, {"110", "111", "112", "113", "111", ""}), (QStringList{"111", "112", "111"}));
    QCOMPARE(issued(a, 8, {"00aa00bb00cc", "00AA00BB00CC"}), QStringList{"00AA00BB00CC"});
    QCOMPARE(issued(a, 2, {"111"}), QStringList());
    // Values that need quoting inside an array parameter.
    QCOMPARE(issued(a, 2, {"a\"b", "c\\d", "e,f", "{g}", "NULL"}), QStringList());
    // More values than one statement takes.
    QStringList many;
    for (int i = 0; i < 45000; ++i)
        many.append(QString::number(100000 + i));
    many.append(QStringLiteral("112"));
    QCOMPARE(issued(a, 1, many), QStringList{"112"});

    Ledger b(stationConn(db, QStringLiteral("b")), QStringLiteral("S2"));
    QVector<LedgerIdentity> unknown;
    QString message;
    QCOMPARE(b.confirmRead(set({{1, "111"}, {1, "999"}, {8, "00AA00BB00CC"}}), QStringLiteral("USB3"),
                           QStringLiteral("chip-9"), &unknown, &message),
             LedgerStatus::Ok);
    QCOMPARE(unknown.size(), 1);
    QCOMPARE(unknown.first().value, QStringLiteral("999"));
    LedgerConnection admin(m_server.connInfo(db));
    const LedgerRows rows = admin.exec("SELECT string_agg(concat_ws('|', kind, value, station, port, chip_id), ',' "
                                       "ORDER BY kind) FROM ledger.confirmations");
    QCOMPARE(rows.text(0, 0), QStringLiteral("1|111|S2|USB3|chip-9,8|00AA00BB00CC|S2|USB3|chip-9"));
}

void TestLedger::counterBlocks()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger a(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    Ledger b(stationConn(db, QStringLiteral("b")), QStringLiteral("S2"));
    QVERIFY2(m_server.addCounter(db, QStringLiteral("bt:range"), 1000, 1099, 40), qPrintable(m_server.error()));
    // Blocks of 40 from a range of 100: a, b, a, then a short last block, then nothing. A station that gives
    // another range for a counter that exists is refused instead of taking values outside its own.
    const struct
    {
        Ledger *ledger;
        qint64 rangeLast;
        LedgerStatus status;
        qint64 first, last;
    } steps[] = {{&a, 1099, LedgerStatus::Ok, 1000, 1039},
                 {&b, 9999, LedgerStatus::Refused, 0, 0},
                 {&b, 1099, LedgerStatus::Ok, 1040, 1079},
                 {&a, 1099, LedgerStatus::Ok, 1080, 1099},
                 {&b, 1099, LedgerStatus::Conflict, 0, 0}};
    for (const auto &step : steps) {
        qint64 first = 0, last = 0;
        QString message;
        QCOMPARE(step.ledger->takeBlock(QStringLiteral("bt:range"), 1000, step.rangeLast, 40, &first, &last, &message),
                 step.status);
        QCOMPARE(first, step.first);
        QCOMPARE(last, step.last);
    }
    qint64 first = 0, last = 0;
    QCOMPARE(a.takeBlock(QStringLiteral("x"), 10, 5, 1, &first, &last, nullptr), LedgerStatus::Failed);
    QCOMPARE(a.takeBlock(QStringLiteral("x"), 10, 50, 0, &first, &last, nullptr), LedgerStatus::Failed);

    LedgerConnection admin(m_server.connInfo(db));
    const LedgerRows rows = admin.exec("SELECT string_agg(concat_ws('|', station, first_value, last_value), ',' "
                                       "ORDER BY id) FROM ledger.counter_blocks");
    QCOMPARE(rows.text(0, 0), QStringLiteral("S1|1000|1039,S2|1040|1079,S1|1080|1099"));
}

void TestLedger::concurrentClaimsNeverShare()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    // Four stations race for the same 200 sets, each set written in its own order; every identity must
    // end in exactly one claim, and every set be won whole by one station or none.
    constexpr int stations = 4, sets = 200;
    std::atomic<int> won[sets] = {};
    std::atomic<int> failures{0};
    // QThreads, not threads Qt adopts: a station's ledger uses Qt's per-thread data, which Qt for Windows releases
    // for an adopted thread from another thread after it ends (that release crashed under wine).
    std::vector<std::unique_ptr<QThread>> threads;
    for (int s = 0; s < stations; ++s) {
        threads.emplace_back(QThread::create([&, s] {
            Ledger ledger(stationConn(db, s % 2 ? QStringLiteral("a") : QStringLiteral("b")),
                          s % 2 ? QStringLiteral("S1") : QStringLiteral("S2"));
            for (int i = 0; i < sets; ++i) {
                const int n = s % 2 ? sets - 1 - i : i;
                // Overlapping sets: set n shares its PSN with set n + 1's MBSN.
                QVector<LedgerIdentity> identities{{1, QStringLiteral("35%1").arg(n, 13, 10, QLatin1Char('0'))},
                                                   {2, QStringLiteral("M%1").arg(n)},
                                                   {4, QStringLiteral("P%1").arg(n / 2)}};
                if (s >= 2)
                    std::reverse(identities.begin(), identities.end());
                const LedgerClaim claim = ledger.claim(identities, QStringLiteral("USB1"), QString());
                if (claim.status == LedgerStatus::Ok)
                    ++won[n];
                else if (claim.status != LedgerStatus::Conflict)
                    ++failures;
            }
        }));
        threads.back()->start();
    }
    for (const std::unique_ptr<QThread> &thread : threads)
        thread->wait();
    QCOMPARE(failures.load(), 0);
    for (int n = 0; n < sets; n += 2) // of each pair sharing a PSN, exactly one set is won, once
        QCOMPARE(won[n].load() + won[n + 1].load(), 1);
    LedgerConnection admin(m_server.connInfo(db));
    const LedgerRows rows = admin.exec("SELECT count(*), count(DISTINCT cycle_id) FROM ledger.identities");
    QCOMPARE(rows.text(0, 0), QString::number(sets / 2 * 3));
    QCOMPARE(rows.text(0, 1), QString::number(sets / 2));
}

void TestLedger::messagesNeverShowConnection()
{
    Ledger ledger(
        QStringLiteral("host=%1 port=1 dbname=secretdb user=secretuser password=hunter2").arg(m_server.host()),
        QStringLiteral("S1"));
    QString message;
    QCOMPARE(ledger.open(&message), LedgerStatus::Unreachable);
    QVERIFY(!message.isEmpty());
    QVERIFY2(!message.contains(QLatin1String("hunter2")), qPrintable(message));
}

void TestLedger::unreachableAndBack()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger a(stationConn(db, QStringLiteral("a")), QStringLiteral("S1"));
    QString message;
    QCOMPARE(a.open(&message), LedgerStatus::Ok);
    const LedgerClaim before = a.claim(set({{2, "M1"}}), QStringLiteral("USB1"), QString());
    QVERIFY(before.status == LedgerStatus::Ok);

    QVERIFY2(m_server.stop(QStringLiteral("immediate")), qPrintable(m_server.error()));
    const LedgerClaim down = a.claim(set({{2, "M2"}}), QStringLiteral("USB1"), QString());
    QVERIFY2(down.status == LedgerStatus::Unreachable, qPrintable(down.message));
    QCOMPARE(a.markWritten(before.cycleId, &message), LedgerStatus::Unreachable);
    QVector<bool> answers;
    QCOMPARE(a.issued(2, {"M1"}, &answers, &message), LedgerStatus::Unreachable);

    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    QCOMPARE(a.markWritten(before.cycleId, &message), LedgerStatus::Ok);
    QCOMPARE(a.claim(set({{2, "M2"}}), QStringLiteral("USB1"), QString()).status, LedgerStatus::Ok);

    // A restart while the station waits between cycles: its next claim goes through at once.
    QVERIFY(m_server.stop(QStringLiteral("immediate")));
    QVERIFY(m_server.start());
    const LedgerClaim after = a.claim(set({{2, "M3"}}), QStringLiteral("USB1"), QString());
    QVERIFY2(after.status == LedgerStatus::Ok, qPrintable(after.message));
}

void TestLedger::stalledLedger_data()
{
    QTest::addColumn<QString>("stall");
    QTest::newRow("the station's server process stopped") << "backend";
    QTest::newRow("the whole server stopped, a new connection") << "server";
    QTest::newRow("a lock held by another session") << "lock";
}

void TestLedger::stalledLedger()
{
    QFETCH(QString, stall);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    LedgerTimeouts quick;
    quick.connect = 1;
    quick.statement = 1;
    quick.lock = 1;
    Ledger b(stationConn(db, QStringLiteral("b")), QStringLiteral("S2"), quick);
    QString message;
    QCOMPARE(b.open(&message), LedgerStatus::Ok);
    LedgerConnection admin(m_server.connInfo(db));
    const qint64 backend =
        admin.exec("SELECT pid FROM pg_stat_activity WHERE usename = $1", {db.toUtf8() + "_b"}).number(0, 0);
    QVERIFY(backend > 0);
    qint64 stopped = 0;
    if (stall == QLatin1String("backend")) {
        stopped = backend;
    } else if (stall == QLatin1String("server")) {
        stopped = m_server.serverPid();
        QVERIFY2(stopped > 0, qPrintable(m_server.error()));
    } else {
        QVERIFY(admin.command("BEGIN", nullptr) &&
                admin.command("LOCK TABLE ledger.identities IN ACCESS EXCLUSIVE MODE", nullptr));
    }
    Ledger fresh(stationConn(db, QStringLiteral("b")), QStringLiteral("S2"), quick);
    Ledger &station = stall == QLatin1String("server") ? fresh : b;
    if (stopped)
        QVERIFY2(m_server.pauseProcess(stopped), qPrintable(m_server.error()));
    QElapsedTimer timer;
    timer.start();
    const LedgerClaim claim = station.claim(set({{2, "M1"}}), QStringLiteral("USB2"), {});
    const qint64 elapsed = timer.elapsed();
    if (stopped)
        QVERIFY2(m_server.resumeProcess(stopped), qPrintable(m_server.error()));
    else
        admin.command("ROLLBACK", nullptr);
    QCOMPARE(claim.status, LedgerStatus::Unreachable);
    QVERIFY2(elapsed < 1000 * quick.answerWithin() + 2000, qPrintable(QString::number(elapsed)));
    // The ledger is back: the station's next claim goes through.
    const LedgerClaim again = station.claim(set({{2, "M1"}}), QStringLiteral("USB2"), {});
    QVERIFY2(again.status == LedgerStatus::Ok, qPrintable(again.message));
}

void TestLedger::standbyWaitCancelledIsNoSuccess()
{
    // A server of its own that waits for a synchronous standby that never comes: every commit waits.
    PgServerFixture lone;
    QVERIFY2(lone.start(), qPrintable(lone.error()));
    const QString db = lone.createDatabase(QStringLiteral("lone"));
    LedgerConnection admin(lone.connInfo(db));
    QString message;
    QVERIFY(LedgerSchema::create(admin, db + QLatin1String("_st"), &message) == LedgerStatus::Ok &&
            LedgerSchema::addStation(admin, db + QLatin1String("_a"), QStringLiteral("S1"), &message) ==
                LedgerStatus::Ok);
    QVERIFY(admin.command("ALTER SYSTEM SET synchronous_standby_names = '*'", &message));
    admin.close();
    QVERIFY(lone.stop() && lone.start());
    Ledger a(lone.connInfo(db, db + QLatin1String("_a")), QStringLiteral("S1"));
    QCOMPARE(a.open(&message), LedgerStatus::Ok);
    LedgerClaim claim;
    std::unique_ptr<QThread> station(QThread::create([&] {
        claim = a.claim(set({{2, "M1"}}), QStringLiteral("USB1"), {});
    }));
    station->start();
    // Someone cancels the waiting commit: the server keeps the claim without its standby, and says so only in a
    // warning. The station must not take that for a claim the line holds.
    bool cancelled = false; // the macro tries once more after success: one cancel only
    QTRY_VERIFY_WITH_TIMEOUT(cancelled = cancelled || admin.exec("SELECT pg_cancel_backend(pid) FROM pg_stat_activity "
                                                                 "WHERE wait_event = 'SyncRep'")
                                                              .rowCount() == 1,
                             10000);
    station->wait();
    QVERIFY2(claim.status == LedgerStatus::Unreachable, qPrintable(claim.message));
    QVERIFY2(claim.message.contains(QLatin1String("synchronous replication")), qPrintable(claim.message));
}

QTEST_GUILESS_MAIN(TestLedger)
#include "TestLedger.moc"
