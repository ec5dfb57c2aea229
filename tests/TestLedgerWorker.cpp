#include "support/PgServerFixture.h"
#include "support/TestSupport.h"

#include "config/AppPaths.h"
#include "config/ToolSettings.h"
#include "device/FPDoverARizWorker.h"
#include "history/HistoryFiles.h"
#include "history/ImeiHistory.h"
#include "history/StationHistories.h"
#include "identity/IdentityClaims.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerIdentityClaims.h"
#include "ledger/LedgerSchema.h"
#include "ports/PortLockManager.h"

#include <QtTest>

namespace {

class NoPortLock final : public PortLockManager
{
public:
    void lockPort(const QString &) override {}
    void unlockPort(const QString &) override {}
};

// Claims whose answers the test chooses; it records what the worker asked, and when.
class ScriptedClaims final : public IdentityClaims
{
public:
    QStringList calls;
    Result claimResult = Done;
    QVector<Result> markResults; // taken in order; Done when used up
    const StationHistories *histories = nullptr;
    QString benchPort;

    Result claim(const Set &set, const QString &port, const QString &chipId, qint64 *claimId, QString *message) override
    {
        // What the history and the handset hold at the moment of the claim.
        const bool recorded = histories && !set.imeis.isEmpty() && histories->imeiHistory.contains(set.imeis.first());
        BenchHandset handset;
        Bench::read(benchPort, handset, nullptr);
        calls << QStringLiteral("claim %1 %2 %3 %4 recorded=%5 saved=%6")
                     .arg(set.imeis.join(QLatin1Char('+')), set.mbsn, port, chipId)
                     .arg(recorded)
                     .arg(handset.factory.mbsn == set.mbsn);
        *claimId = claimResult == Done ? ++m_next : 0;
        if (message)
            *message = QStringLiteral("scripted");
        return claimResult;
    }
    Result markWritten(qint64 claimId, QString *message) override
    {
        calls << QStringLiteral("mark %1").arg(claimId);
        const Result result = markResults.isEmpty() ? Done : markResults.takeFirst();
        if (message)
            *message = QStringLiteral("scripted mark");
        return result;
    }
    Result confirmRead(const Set &set, const QString &, const QString &, QString *) override
    {
        calls << QStringLiteral("confirm %1 %2").arg(set.imeis.join(QLatin1Char('+')), set.mbsn);
        return Done;
    }

private:
    qint64 m_next = 0;
};

const QString Imei1 = QStringLiteral("490154203237518");
const QString Imei2 = QStringLiteral("356938035643809");

} // namespace

// The write cycle on a line: the claim after the station's own record and before the save, the mark after
// it, the refusal to write without the ledger, and the read's confirmation.
class TestLedgerWorker final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void claimComesBetweenRecordAndSave_data();
    void claimComesBetweenRecordAndSave();
    void lateMarkIsBroughtLater();
    void realLedger();

private:
    void prepareWrite(const QString &mbsn);
    QStringList lines(const QColor &fg) const;

    std::unique_ptr<BenchFixture> m_bench;
    std::unique_ptr<ToolSettings> m_settings;
    std::unique_ptr<StationHistories> m_histories;
    std::unique_ptr<FPDoverARizWorker> m_worker;
    NoPortLock m_lock;
    QVector<QPair<QString, QColor>> m_lines;
};

void TestLedgerWorker::init()
{
    m_bench = std::make_unique<BenchFixture>();
    QVERIFY(m_bench->isValid());
    m_bench->enterRuntimeDir();
    AppPaths::setAppDirForTesting(m_bench->runtimeDir());
    m_settings = std::make_unique<ToolSettings>();
    m_histories = std::make_unique<StationHistories>();
    loadHistories(*m_histories);
    m_worker = std::make_unique<FPDoverARizWorker>();
    m_worker->setSettings(m_settings.get());
    m_worker->setHistories(m_histories.get());
    m_worker->setPortLock(&m_lock);
    m_worker->setPauseFunction([](int) {});
    m_lines.clear();
    // Direct: the worker runs on this thread in these tests.
    connect(
        m_worker.get(), qOverload<const QString &, const QColor &, const QColor &>(&FPDoverARizWorker::workerStatus),
        this,
        [this](const QString &text, const QColor &fg) {
            m_lines.append({text, fg});
        },
        Qt::DirectConnection);
    BenchHandset handset = BenchFixture::handset();
    handset.blank = false;
    QVERIFY(m_bench->plug(handset));
}

void TestLedgerWorker::cleanup()
{
    m_worker.reset();
    m_settings.reset();
    AppPaths::setAppDirForTesting(QString());
    m_bench.reset();
}

void TestLedgerWorker::prepareWrite(const QString &mbsn)
{
    ToolSettings &s = *m_settings;
    s.operationMode = OpWrite;
    s.portName = QStringLiteral("USB1");
    s.RunType = RunImei | RunMbsn;
    s.ImeiNum = 2;
    s.imeiList = {Imei1, Imei2, Imei1, Imei1};
    s.currentMbsn = mbsn;
    s.ImeiSave = true;
    s.MbsnSave = true;
    m_worker->setStationFlagsEnabled(false);
}

QStringList TestLedgerWorker::lines(const QColor &fg) const
{
    QStringList found;
    for (const auto &line : m_lines) {
        if (line.second == fg)
            found << line.first;
    }
    return found;
}

void TestLedgerWorker::claimComesBetweenRecordAndSave_data()
{
    QTest::addColumn<int>("claim");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("errorLine");

    QTest::newRow("claimed") << int(IdentityClaims::Done) << true << QString();
    QTest::newRow("held elsewhere") << int(IdentityClaims::Held) << false
                                    << "Already issued on the line, the handset is not written: scripted";
    QTest::newRow("ledger away") << int(IdentityClaims::Unreachable) << false << "scripted";
    QTest::newRow("refused") << int(IdentityClaims::Failed) << false << "scripted";
}

void TestLedgerWorker::claimComesBetweenRecordAndSave()
{
    QFETCH(int, claim);
    QFETCH(bool, written);
    QFETCH(QString, errorLine);
    auto claims = std::make_unique<ScriptedClaims>();
    ScriptedClaims *script = claims.get();
    script->claimResult = IdentityClaims::Result(claim);
    script->histories = m_histories.get();
    script->benchPort = QStringLiteral("USB1");
    m_worker->setClaims(std::move(claims));
    QSignalSpy finished(m_worker.get(), &FPDoverARizWorker::workerFinish);
    prepareWrite(QStringLiteral("MBL1"));
    m_worker->start();

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), written);
    // The set as written (ImeiNum 2), after the history record and before the save.
    QStringList expected{QStringLiteral("claim %1+%2 MBL1 USB1 0x%3 recorded=1 saved=0")
                             .arg(Imei1, Imei2)
                             .arg(QString::number(BenchFixture::handset().chipId, 16).toUpper())};
    if (written)
        expected << QStringLiteral("mark 1");
    QCOMPARE(script->calls, expected);
    QCOMPARE(m_bench->read().factory.mbsn == QLatin1String("MBL1"), written);
    if (!errorLine.isEmpty())
        QVERIFY2(lines(Qt::red).contains(errorLine), qPrintable(lines(Qt::red).join('\n')));
}

void TestLedgerWorker::lateMarkIsBroughtLater()
{
    auto claims = std::make_unique<ScriptedClaims>();
    ScriptedClaims *script = claims.get();
    script->markResults = {IdentityClaims::Unreachable, IdentityClaims::Unreachable};
    m_worker->setClaims(std::move(claims));
    QSignalSpy finished(m_worker.get(), &FPDoverARizWorker::workerFinish);
    prepareWrite(QStringLiteral("MBL1"));
    m_worker->start();
    // The handset is written: the cycle passes, with a warning that the mark is late.
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY2(lines(Qt::yellow)
                 .contains(QStringLiteral(
                     "The handset is written; the line's ledger will be told at the next write: scripted mark")),
             qPrintable(lines(Qt::yellow).join('\n')));

    // The next write tries the late mark again (still refused), the one after brings it.
    for (const char *mbsn : {"MBL2", "MBL3"}) {
        prepareWrite(QLatin1String(mbsn));
        m_settings->imeiList = {mbsn[3] == '2' ? QStringLiteral("352099001761481") : QStringLiteral("012345678901237")};
        m_worker->start();
    }
    const QStringList marks = script->calls.filter(QStringLiteral("mark"));
    QCOMPARE(marks, (QStringList{"mark 1", "mark 1", "mark 2", "mark 1", "mark 3"}));
}

void TestLedgerWorker::realLedger()
{
    if (!PgServerFixture::binariesPresent()) {
        if (PgServerFixture::required())
            QFAIL(qPrintable(PgServerFixture::skipMessage()));
        QSKIP(qPrintable(PgServerFixture::skipMessage()));
    }
    PgServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    const QString db = server.createDatabase();
    LedgerConnection admin(server.connInfo(db));
    QString message;
    QVERIFY(LedgerSchema::create(admin, QStringLiteral("worker_stations"), &message) == LedgerStatus::Ok);
    QVERIFY(LedgerSchema::addStation(admin, QStringLiteral("worker_a"), QStringLiteral("ST-A"), &message) ==
            LedgerStatus::Ok);
    QVERIFY(LedgerSchema::addStation(admin, QStringLiteral("worker_b"), QStringLiteral("ST-B"), &message) ==
            LedgerStatus::Ok);
    m_worker->setClaims(std::make_unique<LedgerIdentityClaims>(server.connInfo(db, QStringLiteral("worker_a")),
                                                               QStringLiteral("ST-A")));
    Ledger other(server.connInfo(db, QStringLiteral("worker_b")), QStringLiteral("ST-B"));
    QVERIFY(other.claim({{2, "MBTAKEN", 1}}, QStringLiteral("USB9"), QString()).status == LedgerStatus::Ok);
    QSignalSpy finished(m_worker.get(), &FPDoverARizWorker::workerFinish);

    // Another station holds the MBSN: refused, and the handset keeps what it had.
    const BenchFactoryData before = m_bench->read().factory;
    prepareWrite(QStringLiteral("MBTAKEN"));
    m_worker->start();
    QCOMPARE(finished.takeFirst().at(0).toBool(), false);
    QVERIFY2(lines(Qt::red).filter(QStringLiteral("MBSN MBTAKEN is held by station ST-B")).size() == 1,
             qPrintable(lines(Qt::red).join('\n')));
    QCOMPARE(m_bench->read().factory.mbsn, before.mbsn);

    // The ledger away: no write, a clear line; back again: the write goes on.
    QVERIFY(server.stop(QStringLiteral("immediate")));
    prepareWrite(QStringLiteral("MBFREE"));
    m_settings->imeiList = {QStringLiteral("352099001761481")};
    m_worker->start();
    QCOMPARE(finished.takeFirst().at(0).toBool(), false);
    QVERIFY(!lines(Qt::red).filter(QStringLiteral("cannot be reached")).isEmpty());
    QCOMPARE(m_bench->read().factory.mbsn, before.mbsn);
    QVERIFY(server.start());
    prepareWrite(QStringLiteral("MBFREE"));
    m_settings->imeiList = {QStringLiteral("352099001761481")};
    m_worker->start();
    QCOMPARE(finished.takeFirst().at(0).toBool(), true);
    QCOMPARE(m_bench->read().factory.mbsn, QStringLiteral("MBFREE"));
    const LedgerRows rows = admin.exec("SELECT c.station, c.port, c.chip_id, c.state FROM ledger.identities i "
                                       "JOIN ledger.cycles c ON c.id = i.cycle_id WHERE i.value = 'MBFREE'");
    QCOMPARE(
        rows.text(0, 0) + ' ' + rows.text(0, 1) + ' ' + rows.text(0, 2) + ' ' + rows.text(0, 3),
        QStringLiteral("ST-A USB1 0x%1 written").arg(QString::number(BenchFixture::handset().chipId, 16).toUpper()));

    // A read cycle confirms what it finds; without the ledger it still reads, with a warning.
    m_settings->operationMode = OpRead;
    m_settings->RunType = RunImei | RunMbsn;
    m_worker->start();
    QCOMPARE(finished.takeFirst().at(0).toBool(), true);
    QCOMPARE(admin.exec("SELECT count(*) FROM ledger.confirmations WHERE value = 'MBFREE'").text(0, 0),
             QStringLiteral("1"));
    QVERIFY(server.stop(QStringLiteral("immediate")));
    m_lines.clear();
    m_worker->start();
    QCOMPARE(finished.takeFirst().at(0).toBool(), true);
    QVERIFY(!lines(Qt::yellow).filter(QStringLiteral("cannot be reached")).isEmpty());
}

QTEST_GUILESS_MAIN(TestLedgerWorker)
#include "TestLedgerWorker.moc"
