// The shared ledger on a PostgreSQL server of the run's own: claim time per set against a plain round trip,
// sets per second of a line of 1, 2, 4 and 8 stations, and an IMEI pool of 10,000 generated with its
// duplicate test against a ledger of 1,000,000 identities, beside the same generation on the history alone; and the
// line view's figures and a page of cycles on a ledger of 10,000,000 sets at 50 stations, beside a bare round trip.
// Each figure is printed as "name: value unit". With --line-view only the line view runs.
#include "support/PgServerFixture.h"

#include "config/ToolSettings.h"
#include "history/StationHistories.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/ImeiPool.h"
#include "identity/ImeiPoolGenerator.h"
#include "identity/LocalIssuedIdentities.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerIssuedIdentities.h"
#include "ledger/LedgerReports.h"
#include "ledger/LedgerSchema.h"
#include "ledger/LineFigures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

class SilentFrontEnd final : public IdentityFrontEnd
{
public:
    void logLine(const QString &, LineColour) override {}
    void clearLog() override {}
    void criticalBox(const QString &) override {}
    QString fieldText(IdentityField) const override { return {}; }
    void setFieldText(IdentityField, const QString &) override {}
    void focusField(IdentityField, bool) override {}
    void setStatusState(int) override {}
    void endCycle() override {}
    QIODevice *adjustmentLog() const override { return nullptr; }
};

void print(const char *name, double value, const char *unit)
{
    QTextStream(stdout) << name << ": " << QString::number(value, 'f', 3) << ' ' << unit << Qt::endl;
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * fraction))];
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

QVector<LedgerIdentity> setNumber(int station, qint64 n)
{
    const QString tag = QStringLiteral("%1%2").arg(station, 2, 10, QLatin1Char('0')).arg(n, 10, 10, QLatin1Char('0'));
    return {{1, QLatin1String("861") + tag, 1}, {1, QLatin1String("862") + tag, 2}, {1, QLatin1String("863") + tag, 3},
            {1, QLatin1String("864") + tag, 4}, {2, QLatin1String("MB") + tag, 1},  {4, QLatin1String("PS") + tag, 1},
            {8, QLatin1String("B") + tag, 1}};
}

// The line view on a ledger of ten million sets at fifty stations over 200 days (one set every 1.7 s, one attempt
// in 97 failed), with five shared counters of 5,000 blocks each and a workbook's pool of 100,000 values. Filled at
// version 2 and brought up to date, so that the upgrade's index builds are measured on the full ledger. The sets
// carry no identities: the figures do not read them (a pool's values carry their claim's time).
bool lineViewBenchmark(PgServerFixture &server)
{
    const QString db = server.createDatabase(QStringLiteral("lineview"));
    LedgerTimeouts upgrade;
    upgrade.statement = 600; // as `ledger create-schema` allows the upgrade's index builds
    LedgerConnection admin(server.connInfo(db), QString(), upgrade);
    QString message;
    if (db.isEmpty() ||
        LedgerSchema::create(admin, QStringLiteral("bench_stations"), &message, 2) != LedgerStatus::Ok) {
        QTextStream(stderr) << server.error() << message << Qt::endl;
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    const bool filled = server.exec(
        db,
        QStringLiteral(
            "ALTER TABLE ledger.cycles DISABLE TRIGGER USER; ALTER TABLE ledger.counter_blocks DISABLE TRIGGER USER; "
            "INSERT INTO ledger.stations (role, station) "
            "SELECT 'bench_line_' || s, 'L1-' || lpad(s::text, 2, '0') FROM generate_series(0, 49) s; "
            "INSERT INTO ledger.cycles (station, station_role, port, chip_id, state, claimed_at, written_at) "
            "SELECT 'L1-' || lpad((g % 50)::text, 2, '0'), 'bench_line_' || (g % 50), 'USB' || (g % 4 + 1), "
            "'0x52B0', CASE WHEN g % 97 = 0 THEN 'claimed' ELSE 'written' END, "
            "now() - g * interval '1.728 seconds', "
            "CASE WHEN g % 97 = 0 THEN NULL ELSE now() - g * interval '1.728 seconds' + interval '20 seconds' END "
            "FROM generate_series(10000000, 1, -1) g; "
            "INSERT INTO ledger.counters (name, next_value, last_value, block_size) "
            "SELECT n, s.low, s.high, 100 FROM unnest(ARRAY['DefaultIMEI:86123456', 'DefaultIMEI:86123457', "
            "'DefaultIMEI:86123458', 'BT:001122000000-001122400000', 'BT:001123000000-001123400000']) n, "
            "ledger.counter_span(n, 0, 0) s; "
            "INSERT INTO ledger.counter_blocks (counter, first_value, last_value, station, station_role, taken_at) "
            "SELECT k.name, k.next_value + b * 100, k.next_value + b * 100 + 99, 'L1-' || lpad((b % 50)::text, 2, "
            "'0'), 'bench_line_0', now() - (5000 - b) * interval '57 minutes' "
            "FROM ledger.counters k CROSS JOIN generate_series(0, 4999) b; "
            "ALTER TABLE ledger.cycles ENABLE TRIGGER USER; ALTER TABLE ledger.counter_blocks ENABLE TRIGGER USER"));
    if (!filled) {
        QTextStream(stderr) << server.error() << Qt::endl;
        return false;
    }
    // Vacuumed first, as a quiet ledger is before an upgrade: no autovacuum of the fill runs into the index builds.
    if (!server.exec(db, QStringLiteral("VACUUM ANALYZE"))) {
        QTextStream(stderr) << server.error() << Qt::endl;
        return false;
    }
    print("lineview_fill_10m", msSince(timer), "ms");
    timer.restart();
    if (LedgerSchema::create(admin, QStringLiteral("bench_stations"), &message) != LedgerStatus::Ok ||
        !server.exec(db, QStringLiteral("ANALYZE"))) {
        QTextStream(stderr) << message << server.error() << Qt::endl;
        return false;
    }
    print("lineview_upgrade_to_v3_10m", msSince(timer), "ms");
    // A pool of 100,000 MBSN from a workbook, half of it claimed over the last days, a hundred this hour.
    if (!server.exec(db, QStringLiteral("INSERT INTO ledger.pools (name, kind, size) VALUES ('mbsn-lot', 2, 100000); "
                                        "INSERT INTO ledger.pool_values (kind, value, pool, claimed_at) "
                                        "SELECT 2, 'MBP' || lpad(g::text, 8, '0'), 'mbsn-lot', "
                                        "CASE WHEN g <= 50000 THEN now() - g * interval '36 seconds' END "
                                        "FROM generate_series(1, 100000) g; ANALYZE ledger.pool_values"))) {
        QTextStream(stderr) << server.error() << Qt::endl;
        return false;
    }

    QVector<QTime> shifts;
    LineFigures::parseShifts(QStringLiteral("06:00,14:00,22:00"), &shifts);
    LedgerConnection reader(server.connInfo(db));
    LineFigures figures(reader);
    LedgerReports reports(reader);
    std::vector<double> bare, line, page;
    for (int run = 0; run < 25; ++run) {
        QElapsedTimer each;
        each.start();
        reader.exec("SELECT 1");
        bare.push_back(msSince(each));
        const QDateTime now = QDateTime::currentDateTime();
        QJsonObject body;
        each.restart();
        if (figures.collect(now, LineFigures::shiftAt(shifts, now), &body, &message) != LedgerStatus::Ok) {
            QTextStream(stderr) << message << Qt::endl;
            return false;
        }
        line.push_back(msSince(each));
        if (body.value(QStringLiteral("pools"))[0][QStringLiteral("left")].toInt() != 50000) {
            QTextStream(stderr) << "the pool's figures are wrong" << Qt::endl;
            return false;
        }
        // A page of 500 from somewhere in the middle of the ledger's history.
        QJsonArray cycles;
        LedgerReports::CycleCursor next;
        each.restart();
        reports.cyclePage(now.addDays(-100 - run), now, {}, 500, &cycles, &next, &message);
        page.push_back(msSince(each));
        if (cycles.size() != 500) {
            QTextStream(stderr) << "a page of " << cycles.size() << " cycles: " << message << Qt::endl;
            return false;
        }
    }
    print("lineview_bare_roundtrip_median", percentile(bare, 0.5), "ms");
    print("lineview_figures_10m_50_stations_median", percentile(line, 0.5), "ms");
    print("lineview_figures_10m_50_stations_max", percentile(line, 1.0), "ms");
    print("lineview_cycles_page_500_median", percentile(page, 0.5), "ms");
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!PgServerFixture::binariesPresent()) {
        QTextStream(stderr) << PgServerFixture::skipMessage() << Qt::endl;
        return 1;
    }
    PgServerFixture server;
    if (!server.start()) {
        QTextStream(stderr) << server.error() << Qt::endl;
        return 1;
    }
    if (app.arguments().contains(QStringLiteral("--line-view")))
        return lineViewBenchmark(server) ? 0 : 1;
    const QString db = server.createDatabase(QStringLiteral("bench"));
    LedgerConnection admin(server.connInfo(db));
    QString message;
    if (db.isEmpty() || LedgerSchema::create(admin, QStringLiteral("bench_stations"), &message) != LedgerStatus::Ok ||
        LedgerSchema::addStation(admin, QStringLiteral("bench_station"), QStringLiteral("B0"), &message) !=
            LedgerStatus::Ok) {
        QTextStream(stderr) << server.error() << message << Qt::endl;
        return 1;
    }
    const QString station = server.connInfo(db, QStringLiteral("bench_station"));

    // A ledger of a million IMEIs, as 250,000 written sets of four.
    QElapsedTimer fill;
    fill.start();
    const bool filled = server.exec(
        db, QStringLiteral("INSERT INTO ledger.cycles (id, station, state, imported, claimed_at, written_at) "
                           "OVERRIDING SYSTEM VALUE SELECT g, 'HISTORY', 'written', true, now(), now() FROM "
                           "generate_series(1, 250000) g; "
                           "SELECT setval(pg_get_serial_sequence('ledger.cycles', 'id'), 250000); "
                           "INSERT INTO ledger.identities (kind, value, cycle_id, position) "
                           "SELECT 1, (350000000000000 + g * 7)::text, (g - 1) / 4 + 1, (g - 1) % 4 + 1 "
                           "FROM generate_series(1, 1000000) g; ANALYZE"));
    if (!filled) {
        QTextStream(stderr) << server.error() << Qt::endl;
        return 1;
    }
    print("ledger_fill", msSince(fill), "ms");

    // Claim time of one station, one set of seven identities a claim, beside a plain round trip.
    {
        Ledger ledger(station, QStringLiteral("B0"));
        LedgerConnection plain(station);
        std::vector<double> claims, marks, trips;
        for (int i = 0; i < 2000; ++i) {
            QElapsedTimer timer;
            timer.start();
            plain.exec("SELECT 1");
            trips.push_back(msSince(timer));
            timer.restart();
            const LedgerClaim claim = ledger.claim(setNumber(0, i), QStringLiteral("USB1"), QStringLiteral("0x52B0"));
            claims.push_back(msSince(timer));
            timer.restart();
            ledger.markWritten(claim.cycleId, nullptr);
            marks.push_back(msSince(timer));
            if (claim.status != LedgerStatus::Ok) {
                QTextStream(stderr) << claim.message << Qt::endl;
                return 1;
            }
        }
        print("roundtrip_median", percentile(trips, 0.5), "ms");
        print("claim_median", percentile(claims, 0.5), "ms");
        print("claim_p99", percentile(claims, 0.99), "ms");
        print("mark_written_median", percentile(marks, 0.5), "ms");
    }

    // A line of stations, each claiming and marking as fast as it can for two seconds.
    for (int stations : {1, 2, 4, 8}) {
        std::atomic<qint64> sets{0};
        std::atomic<bool> stop{false};
        std::vector<std::thread> threads;
        for (int s = 0; s < stations; ++s) {
            threads.emplace_back([&, s] {
                Ledger ledger(station, QStringLiteral("B0")); // one role, bound to one name
                for (qint64 n = 0; !stop; ++n) {
                    const LedgerClaim claim = ledger.claim(setNumber(10 * stations + s, n), QStringLiteral("USB1"), {});
                    if (claim.status == LedgerStatus::Ok &&
                        ledger.markWritten(claim.cycleId, nullptr) == LedgerStatus::Ok)
                        ++sets;
                }
            });
        }
        QElapsedTimer timer;
        timer.start();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        stop = true;
        for (std::thread &thread : threads)
            thread.join();
        const QByteArray name = "line_sets_per_second_" + QByteArray::number(stations);
        print(name.constData(), double(sets) * 1000.0 / msSince(timer), "sets/s");
    }

    // Pool generation: 10,000 IMEIs with the duplicate test, on the history alone and with the ledger.
    {
        ToolSettings settings;
        StationHistories histories;
        settings.ImeiInitNum14 = QStringLiteral("35000000000000");
        settings.ImeiMaskNum14 = QStringLiteral("3500000*******");
        settings.ImeiMaxNum = 10000;
        settings.ImeiNum = 1;
        settings.NextAdd = false;
        settings.ImeiCheckRepetitive = true;
        SilentFrontEnd frontEnd;
        LocalIssuedIdentities local(histories);
        Ledger ledger(station, QStringLiteral("B0"));
        LedgerIssuedIdentities shared(local, ledger);
        std::vector<double> alone, withLedger;
        qsizetype total = 0;
        for (int run = 0; run < 7; ++run) {
            ImeiPool pool;
            QElapsedTimer timer;
            timer.start();
            ImeiPoolGenerator::generateImeiPool(settings, pool, local, frontEnd);
            alone.push_back(msSince(timer));
            ImeiPool sharedPool;
            timer.restart();
            ImeiPoolGenerator::generateImeiPool(settings, sharedPool, shared, frontEnd);
            withLedger.push_back(msSince(timer));
            total = sharedPool.total;
        }
        print("pool_10000_history_only", percentile(alone, 0.5), "ms");
        print("pool_10000_with_ledger_1m", percentile(withLedger, 0.5), "ms");
        print("pool_10000_sets", double(total), "sets");
    }
    return lineViewBenchmark(server) ? 0 : 1;
}
