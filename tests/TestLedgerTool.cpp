#include "support/PgServerFixture.h"

#include "LedgerCommand.h"
#include "identity/ImeiRules.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerReports.h"
#include "ledger/LedgerSchema.h"
#include "ledger/LineFigures.h"

#include <QJsonArray>

#include <QtTest>

namespace {

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// A station's cfg directory with the files given ("imei", "mbsn", "psn", "bt" -> record lines).
bool writeHistories(const QString &dir, const QMap<QString, QByteArray> &files)
{
    QDir().mkpath(dir + QLatin1String("/cfg"));
    const QMap<QString, QByteArray> heads{{"imei", "#Date and time\t\t\tHistory IMEI\r\n"},
                                          {"mbsn", "#History MBSN\r\n"},
                                          {"psn", "#History PSN\r\n"},
                                          {"bt", "#History Blue Tooth\r\n"}};
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (it.value() == "<folder>") { // a history that exists and cannot be read
            if (!QDir().mkpath(QStringLiteral("%1/cfg/%2_history.data").arg(dir, it.key())))
                return false;
            continue;
        }
        if (!writeFile(QStringLiteral("%1/cfg/%2_history.data").arg(dir, it.key()), heads.value(it.key()) + it.value()))
            return false;
    }
    return true;
}

using Files = QMap<QString, QByteArray>;

} // namespace

// The ledger command against a server of the test's own.
class TestLedgerTool final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void createAndCheck();
    void checkNamesPrimaryAndStandby();
    void commandLine_data();
    void commandLine();
    void createSchemaWaitsWithABound();
    void csvCells_data();
    void csvCells();
    void import_data();
    void import();
    void story();
    void exportCycles_data();
    void exportCycles();
    void pools_data();
    void pools();

private:
    int run(const QString &db, const QStringList &args, LedgerCommand *command = nullptr);
    QString newLedger();

    PgServerFixture m_server;
    LedgerCommand m_last;
};

void TestLedgerTool::initTestCase()
{
    if (!PgServerFixture::binariesPresent()) {
        if (PgServerFixture::required())
            QFAIL(qPrintable(PgServerFixture::skipMessage()));
        QSKIP(qPrintable(PgServerFixture::skipMessage()));
    }
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

int TestLedgerTool::run(const QString &db, const QStringList &args, LedgerCommand *command)
{
    LedgerCommand &cmd = command ? *command : m_last;
    return cmd.run(QStringList{QStringLiteral("--connection"), m_server.connInfo(db)} + args);
}

QString TestLedgerTool::newLedger()
{
    const QString db = m_server.createDatabase(QStringLiteral("tool"));
    if (db.isEmpty() ||
        run(db, {QStringLiteral("create-schema"), QStringLiteral("--station-role"), db + QLatin1String("_st")}) != 0 ||
        run(db, {QStringLiteral("add-station"), db + QLatin1String("_a"), QStringLiteral("--station"),
                 QStringLiteral("LINE1-02")}) != 0 ||
        run(db, {QStringLiteral("add-counter"), QStringLiteral("--imei-tac"), QStringLiteral("35000000")}) != 0)
        return {};
    return db;
}

void TestLedgerTool::createAndCheck()
{
    const QString db = m_server.createDatabase(QStringLiteral("tool"));
    QVERIFY(!db.isEmpty());
    QCOMPARE(run(db, {"check"}), int(LedgerCommand::Failure));
    QVERIFY2(m_last.err().contains(QLatin1String("create-schema")), qPrintable(m_last.err()));
    QCOMPARE(run(db, {"create-schema", "--station-role", db + "_st"}), 0);
    QVERIFY(m_last.out().contains(QStringLiteral("created at version %1").arg(LedgerSchema::currentVersion)));
    QCOMPARE(run(db, {"create-schema", "--station-role", db + "_st"}), 0);
    QVERIFY(m_last.out().contains(QLatin1String("already")));
    QCOMPARE(run(db, {"check"}), 0);
    QCOMPARE(run(db, {"add-station", db + "_a", "--station", "LINE1-02"}), 0);
    // A counter added by its owner is the one a station asks for by its name, and stays as it was added.
    QCOMPARE(run(db, {"add-counter", "--bt-range", "00000A000000-00000A100000", "--block", "16"}), 0);
    QCOMPARE(run(db, {"add-counter", "--bt-range", "00000a000000-00000a100000", "--block", "16"}), 0);
    QVERIFY2(m_last.out().contains(QLatin1String("there already")), qPrintable(m_last.out()));
    qint64 first = 0, last = 0;
    QString message;
    QCOMPARE(Ledger(m_server.connInfo(db, db + "_a"), QStringLiteral("LINE1-02"))
                 .takeBlock(QStringLiteral("BT:00000a000000-00000a100000"), 0xa000000, 0xa0fffff, 100, &first, &last,
                            &message),
             LedgerStatus::Ok);
    QCOMPARE(last - first, qint64(15));
    QCOMPARE(run(db, {"counters"}), 0);
    QCOMPARE(m_last.out(),
             QStringLiteral("BT:00000a000000-00000a100000\t00000a000000 to 00000a0fffff\tblocks of 16\t1 blocks taken\t"
                            "1048560 left\n"));
    // The station's role reaches the ledger; a password on the command line is refused before anything.
    LedgerCommand cmd;
    QCOMPARE(cmd.run({"--connection", m_server.connInfo(db, db + "_a"), "check"}), 0);
    QCOMPARE(cmd.run({"--connection", m_server.connInfo(db) + " password=hunter2", "check"}),
             int(LedgerCommand::Usage));
    QVERIFY(!cmd.err().contains(QLatin1String("hunter2")));
    QCOMPARE(cmd.run({"--connection", QStringLiteral("host=%1 port=1 dbname=x").arg(m_server.host()), "check"}),
             int(LedgerCommand::Unreachable));
    QCOMPARE(cmd.run({"--connection", m_server.connInfo(db), "frobnicate"}), int(LedgerCommand::Usage));
}

void TestLedgerTool::checkNamesPrimaryAndStandby()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    PgServerFixture standby;
    QVERIFY2(standby.startAsStandby(m_server), qPrintable(standby.error()));
    const QString primaryAt = QStringLiteral("Server %1 port %2: primary").arg(m_server.host()).arg(m_server.port());
    // Both servers in one string, the standby first: the one that takes writes is the one reached.
    const QString both = QStringLiteral("host=%1,%2 port=%3,%4 dbname=%5 user=%6 target_session_attrs=read-write")
                             .arg(standby.host(), m_server.host())
                             .arg(standby.port())
                             .arg(m_server.port())
                             .arg(db, PgServerFixture::adminUser());
    LedgerCommand cmd;
    QTRY_VERIFY_WITH_TIMEOUT(cmd.run({"--connection", both, "check"}) == 0 &&
                                 cmd.out().contains(QLatin1String(": streaming, async, write lag ")),
                             30000);
    QVERIFY2(cmd.out().startsWith(QStringLiteral("The ledger is at version %1.\n").arg(LedgerSchema::currentVersion)),
             qPrintable(cmd.out()));
    QVERIFY2(cmd.out().contains(primaryAt), qPrintable(cmd.out()));
    QVERIFY2(cmd.out().contains(QLatin1String("Replication is asynchronous")), qPrintable(cmd.out()));
    // The standby alone: its schema is there, it reads only and says how far it has replayed.
    QTRY_COMPARE_WITH_TIMEOUT(cmd.run({"--connection", standby.connInfo(db), "check"}), 0, 30000);
    QVERIFY2(cmd.out().contains(
                 QStringLiteral("Server %1 port %2: standby, in recovery").arg(standby.host()).arg(standby.port())),
             qPrintable(cmd.out()));
    QVERIFY2(cmd.out().contains(QLatin1String("WAL receiver streaming")), qPrintable(cmd.out()));
    // Without a standby a primary says so.
    QVERIFY(standby.stop(QStringLiteral("immediate")));
    QTRY_VERIFY_WITH_TIMEOUT(cmd.run({"--connection", m_server.connInfo(db), "check"}) == 0 &&
                                 cmd.out().contains(QLatin1String("No standby")),
                             30000);
}

void TestLedgerTool::commandLine_data()
{
    QTest::addColumn<QStringList>("args"); // %1: the owner's connection string
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("words");  // in the error output
    QTest::addColumn<QString>("absent"); // never in any output

    const int usage = int(LedgerCommand::Usage);
    QTest::newRow("a file that is not there")
        << QStringList{"--config", "/nonexistent/line.ini", "check"} << usage << "Cannot read /nonexistent/line.ini"
        << "Connection=";
    QTest::newRow("password keyword left out")
        << QStringList{"--connection", "%1 hunter2", "check"} << usage << "connection text in --connection"
        << "hunter2";
    QTest::newRow("role name with a statement")
        << QStringList{"--connection", "%1", "add-station", "bad name;drop", "--station", "S9"} << usage << "Not a name"
        << QString();
    QTest::newRow("station name too long")
        << QStringList{"--connection", "%1", "add-station", "r9", "--station", QString(64, QLatin1Char('s'))} << usage
        << "Not a name" << QString();
    QTest::newRow("station without a name")
        << QStringList{"--connection", "%1", "add-station", "r9"} << usage << "--station NAME" << QString();
    QTest::newRow("import under a bad name") << QStringList{"--connection", "%1", "import", "--station", "S 1", "/tmp"}
                                             << usage << "Not a station name" << QString();
    QTest::newRow("no command") << QStringList{"--connection", "%1"} << usage << "a command follows" << QString();
    // The ledger holds the counter of code 35000000 from its first body on.
    QTest::newRow("counter beyond its code")
        << QStringList{"--connection", "%1", "add-counter", "--imei-tac", "35000000", "--last", "35000000999999"}
        << usage << "DefaultIMEI:35000000 runs from 35000000000000 to 35000000999998 at most" << QString();
    QTest::newRow("counter before its Bluetooth range")
        << QStringList{"--connection", "%1",          "add-counter", "--bt-range", "00000a000000-00000a100000",
                       "--first",      "000009ffffff"}
        << usage << "runs from 00000a000000 to 00000a0fffff at most" << QString();
    QTest::newRow("counter again with another range")
        << QStringList{"--connection", "%1", "add-counter", "--imei-tac", "35000000", "--first", "35000000000500"}
        << int(LedgerCommand::Failure) << "DefaultIMEI:35000000 runs from 35000000000000 to 35000000999998 already"
        << QString();
    QTest::newRow("allocation code too short") << QStringList{"--connection", "%1", "add-counter", "--imei-tac", "3500"}
                                               << usage << "Not a type allocation code" << QString();
    QTest::newRow("Bluetooth range backwards")
        << QStringList{"--connection", "%1", "add-counter", "--bt-range", "00000a100000-00000a000000"} << usage
        << "Not a Bluetooth range" << QString();
    QTest::newRow("counter body not a number")
        << QStringList{"--connection", "%1", "add-counter", "--imei-tac", "35000001", "--first", "35000001x"} << usage
        << "IMEI bodies of 14 digits" << QString();
    QTest::newRow("block of nothing") << QStringList{"--connection", "%1", "add-counter", "--imei-tac", "35000001",
                                                     "--block",      "0"}
                                      << usage << "Not a block size" << QString();
    QTest::newRow("counter of no kind") << QStringList{"--connection", "%1", "add-counter", "--block", "5"} << usage
                                        << "Usage: ledger add-counter" << QString();
}

void TestLedgerTool::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, words);
    QFETCH(QString, absent);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    for (QString &arg : args)
        arg = arg.arg(m_server.connInfo(db));
    LedgerCommand cmd;
    QCOMPARE(cmd.run(args), exitCode);
    QVERIFY2(cmd.err().contains(words), qPrintable(cmd.err()));
    QVERIFY(absent.isEmpty() || !QString(cmd.err() + cmd.out()).contains(absent));
    // Nothing of a refused name reaches the server.
    QCOMPARE(m_server.exec(db, QStringLiteral("DO $$ BEGIN IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname "
                                              "LIKE 'bad%' OR rolname = 'r9') THEN RAISE 'created'; END IF; END $$")),
             true);
}

void TestLedgerTool::createSchemaWaitsWithABound()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    // A station holds the lock that create-schema takes: the owner waits for the file's lock timeout only.
    LedgerConnection station(m_server.connInfo(db, db + "_a"));
    QVERIFY(station.exec("SELECT pg_advisory_lock(hashtext('ledger schema'))").ok());
    QTemporaryDir dir;
    const QString path = dir.filePath("line.ini");
    QFile ini(path);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(
        QStringLiteral("[Ledger]\nConnection=%1\nStation=OWNER\nLockTimeout=1\n").arg(m_server.connInfo(db)).toUtf8());
    ini.close();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_last.run({"--config", path, "create-schema", "--station-role", db + "_st"}),
             int(LedgerCommand::Unreachable));
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY2(m_last.err().contains(QStringLiteral("pid %1, role %2_a").arg(station.backendPid()).arg(db)),
             qPrintable(m_last.err()));
    station.close();
    QCOMPARE(m_last.run({"--config", path, "create-schema", "--station-role", db + "_st"}), 0);
}

void TestLedgerTool::csvCells_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("cell");

    QTest::newRow("plain") << "USB3" << QByteArray("USB3");
    QTest::newRow("comma and quote") << "a, \"b\"" << QByteArray("\"a, \"\"b\"\"\"");
    QTest::newRow("formula") << "=cmd|' /C calc'!A0" << QByteArray("\"'=cmd|' /C calc'!A0\"");
    QTest::newRow("plus") << "+1" << QByteArray("\"'+1\"");
    QTest::newRow("minus") << "-2+3" << QByteArray("\"'-2+3\"");
    QTest::newRow("at") << "@SUM(A1)" << QByteArray("\"'@SUM(A1)\"");
    QTest::newRow("tab") << "\t=1" << QByteArray("\"'\t=1\"");
    QTest::newRow("formula with a quote") << "=\"x\"" << QByteArray("\"'=\"\"x\"\"\"");
    QTest::newRow("sign inside") << "a=b" << QByteArray("a=b");
}

void TestLedgerTool::csvCells()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, cell);
    QCOMPARE(LedgerReports::csvField(text), cell);
}

void TestLedgerTool::import_data()
{
    QTest::addColumn<Files>("before"); // station S1's files, imported first; empty: none
    QTest::addColumn<Files>("files");  // station S2's files
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // expected among the output lines

    const QByteArray imeis = "2026-01-02 08:00:00\t\t490154203237518,356938035643809\n"
                             "2026-01-02 08:01:00\t\t353879234252633\n"
                             "35387923425\n"
                             "2026-01-02 08:02:00\t\t012345678901234,012345678901234x\n";
    QTest::newRow("one station") << Files()
                                 << Files{{"imei", imeis}, {"mbsn", "MB1\nMB2\n\n"}, {"bt", "00AA00BB00CC\nXYZ\n"}}
                                 << int(LedgerCommand::Success)
                                 << QStringList{"IMEI: 6 read, 4 added, 0 imported before, 2 not valid",
                                                "MBSN: 2 read, 2 added, 0 imported before, 0 not valid",
                                                "BT: 2 read, 1 added, 0 imported before, 1 not valid"};
    QTest::newRow("two stations share identities")
        << Files{{"imei", "2026-01-01 07:00:00\t\t353879234252633\n"}, {"bt", "00AA00BB00CC\n"}}
        << Files{{"imei", imeis}, {"bt", "00AA00BB00CC\n00AA00BB00CE\n"}} << int(LedgerCommand::SharedFound)
        << QStringList{"IMEI: 6 read, 3 added, 0 imported before, 2 not valid",
                       "Shared: IMEI 353879234252633 is held by station S1 since 2026-01-01 07:00:00, and by S2.",
                       "Shared: BT 00aa00bb00cc is held by station S1 since",
                       "2 identities are carried by two handsets."};
    QTest::newRow("a repeat inside one history")
        << Files() << Files{{"psn", "P1\nP2\nP1\n"}} << int(LedgerCommand::SharedFound)
        << QStringList{"PSN: 3 read, 2 added, 0 imported before, 0 not valid",
                       "Shared: PSN P1 appears twice in the history of S2."};
    QTest::newRow("nothing to import") << Files() << Files() << int(LedgerCommand::Failure) << QStringList();
    // Left out, its identities could be issued again: the import stops before it adds anything.
    QTest::newRow("a history that cannot be read") << Files() << Files{{"imei", imeis}, {"psn", "<folder>"}}
                                                   << int(LedgerCommand::Failure) << QStringList{"psn_history.data"};
}

void TestLedgerTool::import()
{
    QFETCH(Files, before);
    QFETCH(Files, files);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    QTemporaryDir one, two;
    if (!before.isEmpty()) {
        QVERIFY(writeHistories(one.path(), before));
        QCOMPARE(run(db, {"import", "--station", "S1", one.path()}), 0);
    }
    QVERIFY(writeHistories(two.path(), files));
    QCOMPARE(run(db, {"import", "--station", "S2", two.path()}), exitCode);
    const QString said = m_last.out() + m_last.err();
    for (const QString &line : lines)
        QVERIFY2(said.contains(line), qPrintable(said));
    // The station's directory is left as it was: no history file is created by reading.
    QCOMPARE(QDir(two.path() + "/cfg").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), files.size());

    Ledger station(m_server.connInfo(db, db + "_a"), QStringLiteral("S3"));
    QVector<bool> answers;
    QVERIFY(station.issued(1, {"490154203237518", "356938035643809", "35387923425"}, &answers, nullptr) ==
            LedgerStatus::Ok);
    // Imported identities are held (a failed import holds none): a station's claim of one of them is refused.
    const bool imei = files.contains(QStringLiteral("imei")) && exitCode != int(LedgerCommand::Failure);
    QCOMPARE(answers, (QVector<bool>{imei, imei, false}));
    if (exitCode == int(LedgerCommand::Failure))
        return;
    // A second import of the same files adds nothing and finds no new sharing.
    LedgerCommand again;
    QCOMPARE(run(db, {"import", "--station", "S2", two.path()}, &again), exitCode);
    QVERIFY2(!again.out().contains(QRegularExpression(QStringLiteral("[1-9]\\d* added"))), qPrintable(again.out()));
}

void TestLedgerTool::story()
{
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger a(m_server.connInfo(db, db + "_a"), QStringLiteral("LINE1-02"));
    const LedgerClaim written =
        a.claim({{1, "490154203237518", 1}, {1, "356938035643809", 2}, {2, "MB7", 1}}, "USB3", "0x52B0");
    QVERIFY(written.status == LedgerStatus::Ok);
    QVERIFY(a.markWritten(written.cycleId, nullptr) == LedgerStatus::Ok);
    QVERIFY(a.confirmRead({{1, "490154203237518", 1}}, "COM4", "0x52B0", nullptr, nullptr) == LedgerStatus::Ok);
    QVERIFY(a.claim({{4, "PS9", 1}}, "USB1", QString()).status == LedgerStatus::Ok);

    QCOMPARE(run(db, {"story", "490154203237518"}), 0);
    const QStringList lines = m_last.out().trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines.at(0).contains("claimed by station LINE1-02, port USB3, chip 0x52B0"), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(1).contains("written into the handset"), qPrintable(lines.at(1)));
    QVERIFY2(lines.at(2).contains("in one set with IMEI 356938035643809, MBSN MB7"), qPrintable(lines.at(2)));
    QVERIFY2(lines.at(3).contains("confirmed by a read on station LINE1-02, port COM4"), qPrintable(lines.at(3)));

    QCOMPARE(run(db, {"story", "--kind", "psn", "PS9"}), 0);
    QVERIFY2(m_last.out().contains("never marked written"), qPrintable(m_last.out()));
    QCOMPARE(run(db, {"story", "--kind", "mbsn", "PS9"}), int(LedgerCommand::Failure));
    QCOMPARE(run(db, {"story", "--kind", "serial", "PS9"}), int(LedgerCommand::Usage));

    // An imported line of a history was issued alone: its story names nothing beside it; an IMEI record's does.
    QTemporaryDir station;
    QVERIFY(writeHistories(station.path(), {{"bt", "002715082c32\n002715082c33\n"},
                                            {"imei", "2026-01-02 08:00:00\t\t353879234252633,353879234252641\n"}}));
    QCOMPARE(run(db, {"import", "--station", "S0", station.path()}), 0);
    QCOMPARE(run(db, {"story", "002715082c32"}), 0);
    QVERIFY2(!m_last.out().contains("in one set"), qPrintable(m_last.out()));
    QCOMPARE(run(db, {"story", "353879234252633"}), 0);
    QVERIFY2(m_last.out().contains("in one set with IMEI 353879234252641."), qPrintable(m_last.out()));
}

void TestLedgerTool::exportCycles_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("rows"); // of the two cycles claimed now

    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
    QTest::newRow("today") << today << today << 0 << 2;
    QTest::newRow("tomorrow") << tomorrow << tomorrow << 0 << 0;
    QTest::newRow("to the hour") << QDateTime::currentDateTime().addSecs(-3600).toString("yyyy-MM-dd hh:mm")
                                 << QDateTime::currentDateTime().addSecs(3600).toString("yyyy-MM-dd hh:mm:ss") << 0
                                 << 2;
    // Seconds count: a quarter of an hour that ended an hour ago holds nothing of now.
    QTest::newRow("an hour ago") << QDateTime::currentDateTime().addSecs(-4500).toString("yyyy-MM-dd hh:mm:ss")
                                 << QDateTime::currentDateTime().addSecs(-3600).toString("yyyy-MM-dd hh:mm:ss") << 0
                                 << 0;
    const int usage = int(LedgerCommand::Usage);
    QTest::newRow("backwards") << tomorrow << today << usage << -1;
    QTest::newRow("not a time") << "yesterday" << today << usage << -1;
    QTest::newRow("text after the date") << today + "xyz" << today << usage << -1;
    QTest::newRow("no such hour") << today << today + " 99:99" << usage << -1;
    QTest::newRow("no such day") << "2026-02-30" << today << usage << -1;
    QTest::newRow("hours alone") << today + " 12" << today << usage << -1;
}

void TestLedgerTool::exportCycles()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, exitCode);
    QFETCH(int, rows);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    Ledger a(m_server.connInfo(db, db + "_a"), QStringLiteral("LINE1-02"));
    const LedgerClaim first = a.claim(
        {{1, "490154203237518", 1}, {1, "356938035643809", 2}, {2, "MB7", 1}, {4, "PS7", 1}, {8, "00AA00BB00CC", 1}},
        "USB, \"3\"", "=0x52B0");
    QVERIFY(first.status == LedgerStatus::Ok && a.markWritten(first.cycleId, nullptr) == LedgerStatus::Ok);
    QVERIFY(a.confirmRead({{2, "MB7", 1}}, "USB3", "0x52B0", nullptr, nullptr) == LedgerStatus::Ok);
    QVERIFY(a.claim({{2, "MB8", 1}}, "USB4", QString()).status == LedgerStatus::Ok);
    // An import is not a cycle of the line.
    QTemporaryDir station;
    QVERIFY(writeHistories(
        station.path(),
        {{"imei", QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss").toLatin1() + "\t\t353879234252633\n"}}));
    QCOMPARE(run(db, {"import", "--station", "S0", station.path()}), 0);

    QTemporaryDir out;
    const QString path = out.filePath("cycles.csv");
    QCOMPARE(run(db, {"export", "--from", from, "--to", to, "--output", path}), exitCode);
    if (rows < 0) {
        QVERIFY(!QFile::exists(path));
        return;
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), rows + 2); // header, rows, the empty rest after the last line end
    QCOMPARE(lines.first(), QByteArray("cycle,station,port,chip_id,state,claimed_at,written_at,imei1,imei2,imei3,"
                                       "imei4,mbsn,psn,bt,confirmed\r"));
    if (rows == 0)
        return;
    const QRegularExpression written(QStringLiteral(
        "^\\d+,LINE1-02,\"USB, \"\"3\"\"\",\"'=0x52B0\",written,\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,"
        "\\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z,490154203237518,356938035643809,,,MB7,PS7,00AA00BB00CC,yes\r$"));
    QVERIFY2(written.match(QString::fromUtf8(lines.at(1))).hasMatch(), lines.at(1).constData());
    QVERIFY2(lines.at(2).contains(",USB4,,claimed,") && lines.at(2).endsWith(",,,,,MB8,,,no\r"),
             lines.at(2).constData());
}

QTEST_GUILESS_MAIN(TestLedgerTool)
#include "TestLedgerTool.moc"

void TestLedgerTool::pools_data()
{
    QTest::addColumn<QStringList>("options"); // --kind and --length of both adds
    QTest::addColumn<QByteArray>("workbook"); // the sheet as CSV; empty: no file
    QTest::addColumn<QStringList>("claimedBefore");
    QTest::addColumn<QByteArray>("again"); // a second add, of this sheet
    QTest::addColumn<QString>("againName");
    QTest::addColumn<QStringList>("claimedAfter");
    QTest::addColumn<int>("exitCode"); // of the last add
    QTest::addColumn<QString>("words");
    QTest::addColumn<int>("size"); // -1: no pool
    QTest::addColumn<int>("left");

    const QStringList mbsn6{"--kind", "mbsn", "--length", "6"};
    const QStringList psn4{"--kind", "PSN", "--length", "4"};
    const int failure = int(LedgerCommand::Failure);
    QTest::newRow("claims before and after, a row of another length")
        << mbsn6 << QByteArray("MB0001\nMB0002\nMB003\nMB0004\nMB0005\n") << QStringList{"MB0001"} << QByteArray()
        << QString() << QStringList{"MB0004", "MB9999", "MB003"} << 0 << "Refused: The length of the 3th MBSN" << 4
        << 2;
    // Sets count once, by their first IMEI; a wrong check digit is repaired as a station repairs it.
    QTest::newRow("IMEI sets, a repair and a repeat")
        << QStringList{"--kind", "imei"}
        << QByteArray("35000000000001,35000000000002\n35000000000003\n350000000000041\n35000000000002\n")
        << QStringList{"35000000000002"} << QByteArray() << QString() << QStringList{"35000000000004"} << 0
        << "repeated with previous" << 3 << 2;
    QTest::newRow("the same pool twice") << psn4 << QByteArray("PS01\nPS02\n") << QStringList{"PS02"}
                                         << QByteArray("PS01\nPS02\n") << "lot" << QStringList() << 0
                                         << "there already, with these 2" << 2 << 1;
    QTest::newRow("other values under the name")
        << psn4 << QByteArray("PS01\nPS02\n") << QStringList() << QByteArray("PS01\nPS03\n") << "lot"
        << QStringList{"PS03"} << failure << "holds other values" << 2 << 2;
    QTest::newRow("a value of another pool")
        << psn4 << QByteArray("PS01\nPS02\n") << QStringList() << QByteArray("PS03\nPS02\n") << "lot2" << QStringList()
        << failure << "PSN PS02 lies in the pool lot already" << 2 << 2;
    QTest::newRow("nothing a station takes") << mbsn6 << QByteArray("MB1\nMB2\n") << QStringList() << QByteArray()
                                             << QString() << QStringList() << failure << "holds no value" << -1 << 0;
    QTest::newRow("no workbook") << mbsn6 << QByteArray() << QStringList() << QByteArray() << QString() << QStringList()
                                 << failure << "does not exist" << -1 << 0;
    QTest::newRow("not a pool's kind") << QStringList{"--kind", "bt"} << QByteArray("00112233\n") << QStringList()
                                       << QByteArray() << QString() << QStringList() << int(LedgerCommand::Usage)
                                       << "imei, mbsn or psn" << -1 << 0;
    QTest::newRow("a length for IMEIs") << QStringList{"--kind", "imei", "--length", "15"}
                                        << QByteArray("35000000000001\n") << QStringList() << QByteArray() << QString()
                                        << QStringList() << int(LedgerCommand::Usage) << "--length" << -1 << 0;
}

void TestLedgerTool::pools()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, workbook);
    QFETCH(QStringList, claimedBefore);
    QFETCH(QByteArray, again);
    QFETCH(QString, againName);
    QFETCH(QStringList, claimedAfter);
    QFETCH(int, exitCode);
    QFETCH(QString, words);
    QFETCH(int, size);
    QFETCH(int, left);
    const QString db = newLedger();
    QVERIFY(!db.isEmpty());
    const int kind = Ledger::kindOf(options.at(1));
    Ledger station(m_server.connInfo(db, db + "_a"), QStringLiteral("LINE1-02"));
    const auto claim = [&](const QStringList &values) {
        for (const QString &value : values) {
            const QString held = kind == 1 ? adjustImei(value) : value;
            QVERIFY2(station.claim({{kind, held, 1}}, "USB1", "0x52B0").status == LedgerStatus::Ok, qPrintable(held));
        }
    };
    // One sheet a file: the pool's kind names the file, whatever the workbook named on the command line.
    QTemporaryDir dir;
    const QString sheet = dir.filePath(kind == 1 ? "IMEI.csv" : kind == 2 ? "MBSN.csv" : "PSN.csv");
    QVERIFY(workbook.isEmpty() || writeFile(sheet, workbook));
    claim(claimedBefore);
    int code = run(db, QStringList{"add-pool", "--name", "lot"} + options + QStringList{sheet});
    if (!again.isEmpty()) {
        QCOMPARE(code, 0);
        QVERIFY(writeFile(sheet, again));
        code = run(db, QStringList{"add-pool", "--name", againName} + options + QStringList{sheet});
    }
    QVERIFY2(code == exitCode, qPrintable(m_last.err()));
    QVERIFY2(QString(m_last.out() + m_last.err()).contains(words), qPrintable(m_last.out() + m_last.err()));
    claim(claimedAfter);

    // As the line view tells it: every value claimed this hour, and what is left.
    LedgerConnection reader(m_server.connInfo(db));
    QJsonObject figures;
    QString message;
    const QDateTime now = QDateTime::currentDateTime();
    QCOMPARE(LineFigures(reader).collect(now, {now, now.addSecs(3600)}, &figures, &message), LedgerStatus::Ok);
    const QJsonArray pools = figures.value("pools").toArray();
    QCOMPARE(pools.size(), size < 0 ? 0 : 1);
    if (size < 0)
        return;
    const QJsonObject pool = pools.first().toObject();
    QCOMPARE(pool.value("name").toString(), QStringLiteral("lot"));
    QCOMPARE(pool.value("size").toInt(), size);
    QCOMPARE(pool.value("left").toInt(), left);
    QCOMPARE(pool.value("takenLastHour").toInt(), size - left);
}
