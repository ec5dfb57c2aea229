#include "support/PgServerFixture.h"

#include "ledger/Ledger.h"
#include "ledger/LedgerSchema.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSslError>
#include <QStandardPaths>
#include <QtTest>

#include <libpq-fe.h>

#ifndef LEDGER_EXE
#error "LEDGER_EXE names the ledger executable"
#endif

namespace {

struct Answer
{
    int status = 0;
    QJsonObject json;
    QByteArray body;
    qint64 ms = 0;
};

// A line of three stations: L1-01 and L1-02 write through their own logins now; L1-02 failed once twenty minutes
// ago; L1-03 wrote three sets half an hour ago and has failed twice since.
struct StationFigures
{
    const char *station;
    int hour;
    int attempts;
    bool failing;
};
const StationFigures expected[] = {{"L1-01", 12, 12, false}, {"L1-02", 7, 8, false}, {"L1-03", 3, 5, true}};

} // namespace

// `ledger serve` against a ledger of the test's own: the API over real HTTP(S), its refusals, its reader's role,
// a stopped database, and the page in a headless browser.
class TestLineView final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void api_data();
    void api();
    void figures();
    void paging();
    void readerCannotChange_data();
    void readerCannotChange();
    void tls_data();
    void tls();
    void page();
    void stoppedDatabase(); // last: it stops the database

private:
    bool fill(QString *why);
    QString runLedger(const QStringList &args, int *exitCode);
    // Starts `ledger serve` with `extra`; the base URL, or empty with the process's output in `why`.
    QString serve(QProcess *process, const QStringList &extra, QString *why);
    Answer get(const QString &url, const QString &token);

    PgServerFixture m_server;
    QString m_db;
    QString m_reader;
    QString m_token;
    QString m_revoked;
    QString m_knownImei;
    QString m_shifts;
    QProcess m_serve;
    QString m_base;
    QNetworkAccessManager m_network;
    QTemporaryDir m_dir;
};

void TestLineView::initTestCase()
{
    if (!PgServerFixture::binariesPresent()) {
        if (PgServerFixture::required())
            QFAIL(qPrintable(PgServerFixture::skipMessage()));
        QSKIP(qPrintable(PgServerFixture::skipMessage()));
    }
    QVERIFY(m_dir.isValid());
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    m_db = m_server.createDatabase(QStringLiteral("view"));
    QVERIFY(!m_db.isEmpty());
    QString why;
    QVERIFY2(fill(&why), qPrintable(why));

    int code = -1;
    m_token = runLedger({"token", "add", "board"}, &code).trimmed();
    QCOMPARE(code, 0);
    m_revoked = runLedger({"token", "add", "old-screen"}, &code).trimmed();
    QCOMPARE(code, 0);
    QVERIFY(runLedger({"token", "revoke", "old-screen"}, &code).contains(QLatin1String("no longer")));
    const QString list = runLedger({"token", "list"}, &code);
    QVERIFY2(list.contains(QLatin1String("board")) && !list.contains(m_token) && !list.contains(m_revoked),
             qPrintable(list));
    runLedger({"token", "add", "board"}, &code);
    QVERIFY2(code != 0, "a working token is never replaced behind its client's back");

    // Shifts around now: the current one began an hour ago and ends in four.
    const QTime now = QTime::currentTime();
    m_shifts = now.addSecs(-3600).toString(QStringLiteral("hh:mm")) + QLatin1Char(',') +
               now.addSecs(4 * 3600).toString(QStringLiteral("hh:mm"));
    m_base = serve(&m_serve, {}, &why);
    QVERIFY2(!m_base.isEmpty(), qPrintable(why));
}

void TestLineView::cleanupTestCase()
{
    m_serve.kill();
    m_serve.waitForFinished(5000);
}

QString TestLineView::runLedger(const QStringList &args, int *exitCode)
{
    QProcess process;
    process.start(QStringLiteral(LEDGER_EXE),
                  QStringList{QStringLiteral("--connection"), m_server.connInfo(m_db)} + args);
    process.waitForFinished(60000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString TestLineView::serve(QProcess *process, const QStringList &extra, QString *why)
{
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(QStringLiteral(LEDGER_EXE),
                   QStringList{QStringLiteral("--connection"), m_server.connInfo(m_db, m_reader),
                               QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                               QStringLiteral("--shifts"), m_shifts} +
                       extra);
    static const QRegularExpression line(QStringLiteral("on (https?://127\\.0\\.0\\.1:\\d+)/"));
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000 && process->state() != QProcess::NotRunning) {
        process->waitForReadyRead(200);
        out += process->readAllStandardOutput();
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(out));
        if (match.hasMatch())
            return match.captured(1);
    }
    process->waitForFinished(5000);
    *why = QString::fromUtf8(out + process->readAllStandardError());
    return {};
}

Answer TestLineView::get(const QString &url, const QString &token)
{
    QNetworkRequest request{QUrl(url)};
    if (!token.isNull())
        request.setRawHeader("Authorization", "Bearer " + token.toLatin1());
    QElapsedTimer timer;
    timer.start();
    QNetworkReply *reply = m_network.get(request);
    // The test's certificates are its own.
    connect(reply, &QNetworkReply::sslErrors, reply, [reply](const QList<QSslError> &) { reply->ignoreSslErrors(); });
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    Answer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    answer.json = QJsonDocument::fromJson(answer.body).object();
    answer.ms = timer.elapsed();
    reply->deleteLater();
    return answer;
}

bool TestLineView::fill(QString *why)
{
    LedgerConnection admin(m_server.connInfo(m_db));
    const QString group = m_db + QLatin1String("_st");
    m_reader = m_db + QLatin1String("_view");
    if (LedgerSchema::create(admin, group, why) != LedgerStatus::Ok ||
        LedgerSchema::addReader(admin, m_reader, why) != LedgerStatus::Ok)
        return false;
    for (const char *station : {"L1-01", "L1-02", "L1-03"}) {
        const QString role = m_db + QLatin1Char('_') + QString::fromLatin1(station).remove(QLatin1Char('-'));
        if (LedgerSchema::addStation(admin, role, QLatin1String(station), why) != LedgerStatus::Ok)
            return false;
    }
    if (LedgerSchema::addReader(admin, m_db + QLatin1String("_L101"), why) != LedgerStatus::Refused) {
        *why = QStringLiteral("a station's role was made a reader");
        return false;
    }
    // Sets written now through the stations' own logins, as a line writes them.
    int serial = 0;
    for (int s = 0; s < 2; ++s) {
        const QString station = s == 0 ? QStringLiteral("L1-01") : QStringLiteral("L1-02");
        Ledger ledger(m_server.connInfo(m_db, m_db + (s == 0 ? QLatin1String("_L101") : QLatin1String("_L102"))),
                      station);
        for (int n = 0; n < expected[s].hour; ++n, ++serial) {
            const QString tag = QStringLiteral("%1").arg(serial, 6, 10, QLatin1Char('0'));
            const QVector<LedgerIdentity> set{{1, QLatin1String("35000000") + tag + QLatin1Char('1'), 1},
                                              {2, QLatin1String("MB") + tag, 1},
                                              {8, QLatin1String("0011223344") + tag.right(2), 1}};
            const LedgerClaim claim =
                ledger.claim(set, QStringLiteral("USB%1").arg(n % 4 + 1), QStringLiteral("0x52B0"));
            if (claim.status != LedgerStatus::Ok || ledger.markWritten(claim.cycleId, why) != LedgerStatus::Ok) {
                *why += claim.message;
                return false;
            }
            if (m_knownImei.isEmpty())
                m_knownImei = set.first().value;
        }
        // A pool of 40 MBSN from a workbook, added between the stations: L1-01's claims are marked as it is added,
        // L1-02's as they are claimed.
        if (s == 0) {
            QByteArray sheet;
            for (int n = 0; n < 40; ++n)
                sheet += QStringLiteral("MB%1\n").arg(n, 6, 10, QLatin1Char('0')).toUtf8();
            QFile file(m_dir.filePath(QStringLiteral("MBSN.csv")));
            int code = -1;
            if (!file.open(QIODevice::WriteOnly) || file.write(sheet) != sheet.size())
                return false;
            file.close();
            const QString out =
                runLedger({"add-pool", "--name", "mb-lot", "--kind", "mbsn", "--length", "8", file.fileName()}, &code);
            if (code != 0) {
                *why = QStringLiteral("add-pool: ") + out;
                return false;
            }
        }
        if (s == 1) {
            qint64 first = 0, last = 0;
            const qint64 bt = 0x001122334400LL;
            if (!m_server.addCounter(m_db, QStringLiteral("BT:001122334400-001122334500"), bt, bt + 255) ||
                !m_server.addCounter(m_db, QStringLiteral("DefaultIMEI:86123456"), 86123456000000LL,
                                     86123456999998LL)) {
                *why = m_server.error();
                return false;
            }
            for (int block = 0; block < 2; ++block)
                if (ledger.takeBlock(QStringLiteral("BT:001122334400-001122334500"), bt, bt + 255, 100, &first, &last,
                                     why) != LedgerStatus::Ok)
                    return false;
            if (ledger.takeBlock(QStringLiteral("DefaultIMEI:86123456"), 86123456000000LL, 86123456999998LL, 100,
                                 &first, &last, why) != LedgerStatus::Ok)
                return false;
        }
    }
    // The failures, back-dated by the owner; and a thousand cycles of one instant years ago, for the pages.
    const bool filled = m_server.exec(
        m_db,
        QStringLiteral("INSERT INTO ledger.cycles (station, port, state, claimed_at, written_at) VALUES "
                       "('L1-02', 'USB2', 'claimed', now() - interval '20 minutes', NULL), "
                       "('L1-03', 'USB1', 'written', now() - interval '31 minutes', now() - interval '30 minutes'), "
                       "('L1-03', 'USB2', 'written', now() - interval '31 minutes', now() - interval '30 minutes'), "
                       "('L1-03', 'USB3', 'written', now() - interval '31 minutes', now() - interval '30 minutes'), "
                       "('L1-03', 'USB1', 'claimed', now() - interval '10 minutes', NULL), "
                       "('L1-03', 'USB2', 'claimed', now() - interval '5 minutes', NULL); "
                       "INSERT INTO ledger.cycles (station, port, state, claimed_at, written_at) "
                       "SELECT 'L0-' || (g % 7), 'USB1', 'written', '2020-03-04 05:06:07+00', '2020-03-04 05:06:08+00' "
                       "FROM generate_series(1, 1000) g"));
    if (!filled)
        *why = m_server.error();
    return filled;
}

void TestLineView::api_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("token"); // good, revoked, unknown, garbage, none
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("words"); // in the body

    QTest::newRow("no token") << "/api/line"
                              << "none" << 401 << "Authorization";
    QTest::newRow("not a token") << "/api/line"
                                 << "garbage" << 401 << "no token";
    QTest::newRow("unknown token") << "/api/cycles?from=2020-01-01&to=2030-01-01"
                                   << "unknown" << 401 << "revoked";
    QTest::newRow("revoked token") << "/api/story?value=1"
                                   << "revoked" << 401 << "revoked";
    QTest::newRow("figures") << "/api/line"
                             << "good" << 200 << "\"stations\"";
    QTest::newRow("story") << "/api/story?value=KNOWN"
                           << "good" << 200 << "claimed by station L1-01";
    QTest::newRow("story of a kind") << "/api/story?kind=mbsn&value=KNOWN"
                                     << "good" << 404 << "does not know";
    QTest::newRow("story without value") << "/api/story"
                                         << "good" << 400 << "value";
    QTest::newRow("no such month") << "/api/cycles?from=2024-13-01&to=2024-12-02"
                                   << "good" << 400 << "not a time";
    QTest::newRow("words for a date") << "/api/cycles?from=yesterday&to=today"
                                      << "good" << 400 << "not a time";
    QTest::newRow("quote in a date") << "/api/cycles?from=2024-01-01%27%20OR%201=1&to=2024-01-02"
                                     << "good" << 400 << "not a time";
    QTest::newRow("no end") << "/api/cycles?from=2024-01-01"
                            << "good" << 400 << "not a time";
    QTest::newRow("reversed") << "/api/cycles?from=2024-02-01&to=2024-01-01"
                              << "good" << 400 << "ends before";
    QTest::newRow("bad offset") << "/api/cycles?from=2024-01-01T00:00:00%2B25:00&to=2024-01-02"
                                << "good" << 400 << "not a time";
    QTest::newRow("limit zero") << "/api/cycles?from=2024-01-01&to=2024-01-02&limit=0"
                                << "good" << 400 << "limit";
    QTest::newRow("limit words") << "/api/cycles?from=2024-01-01&to=2024-01-02&limit=all"
                                 << "good" << 400 << "limit";
    QTest::newRow("forged cursor") << "/api/cycles?from=2024-01-01&to=2024-01-02&after=1;DROP"
                                   << "good" << 400 << "after";
    QTest::newRow("offset time") << "/api/cycles?from=2020-03-04T06:00:00%2B01:00&to=2020-03-04T05:06:08Z&limit=1"
                                 << "good" << 200 << "L0-";
    QTest::newRow("unknown path") << "/api/tokens"
                                  << "good" << 404 << "No such";
    QTest::newRow("page without token") << "/"
                                        << "none" << 200 << "lineview.js";
}

void TestLineView::api()
{
    QFETCH(QString, path);
    QFETCH(QString, token);
    QFETCH(int, status);
    QFETCH(QString, words);
    const QMap<QString, QString> tokens{{"good", m_token},
                                        {"revoked", m_revoked},
                                        {"unknown", QString(64, QLatin1Char('a'))},
                                        {"garbage", QStringLiteral("hunter2")},
                                        {"none", QString()}};
    const Answer answer = get(m_base + path.replace(QLatin1String("KNOWN"), m_knownImei), tokens.value(token));
    QVERIFY2(answer.status == status, qPrintable(QString::number(answer.status) + QLatin1Char(' ') + answer.body));
    QVERIFY2(answer.body.contains(words.toUtf8()), answer.body.constData());
    if (status != 200)
        QVERIFY2(answer.json.value(QStringLiteral("error")).isString(), "every refusal says why, in JSON");
}

void TestLineView::figures()
{
    const Answer answer = get(m_base + QLatin1String("/api/line"), m_token);
    QCOMPARE(answer.status, 200);
    QHash<QString, QJsonObject> stations;
    for (const QJsonValue &value : answer.json.value(QStringLiteral("stations")).toArray())
        stations.insert(value[QStringLiteral("station")].toString(), value.toObject());
    // Today's figures equal the hour's unless the day began within the last half hour.
    const bool dayOld = QTime::currentTime() > QTime(0, 35);
    qint64 written = 0;
    for (const StationFigures &e : expected) {
        const QJsonObject s = stations.value(QLatin1String(e.station));
        const QString name = QLatin1String(e.station);
        QVERIFY2(!s.isEmpty(), qPrintable(name));
        QCOMPARE(s.value(QStringLiteral("writtenLastHour")).toInt(), e.hour);
        if (dayOld) {
            QCOMPARE(s.value(QStringLiteral("writtenToday")).toInt(), e.hour);
            QCOMPARE(s.value(QStringLiteral("attemptsToday")).toInt(), e.attempts);
            QVERIFY(qAbs(s.value(QStringLiteral("firstPassYield")).toDouble() - double(e.hour) / e.attempts) < 1e-9);
        }
        QCOMPARE(s.value(QStringLiteral("failingSince")).isString(), e.failing);
        QCOMPARE(s.value(QStringLiteral("lastError")).isObject(), e.attempts > e.hour);
        written += e.hour;
    }
    // L1-03 fails since its claim of ten minutes ago, idle since its last of five; L1-01 wrote a moment ago.
    const QDateTime since = QDateTime::fromString(
        stations[QStringLiteral("L1-03")][QStringLiteral("failingSince")].toString(), Qt::ISODateWithMs);
    QVERIFY(qAbs(since.secsTo(QDateTime::currentDateTimeUtc()) - 600) < 60);
    QVERIFY(qAbs(stations[QStringLiteral("L1-03")][QStringLiteral("idleSeconds")].toInt() - 300) < 60);
    QVERIFY(stations[QStringLiteral("L1-01")][QStringLiteral("idleSeconds")].toInt() < 60);
    QVERIFY(!stations.contains(QStringLiteral("L0-1"))); // years ago

    qint64 shiftTotal = 0;
    for (const QJsonValue &bucket : answer.json[QStringLiteral("throughput")][QStringLiteral("buckets")].toArray())
        shiftTotal += bucket[QStringLiteral("sets")].toInt();
    QCOMPARE(shiftTotal, written);

    // 256 Bluetooth addresses, two blocks of 100 taken this hour: 56 left, gone within the shift; the IMEI
    // allocation code lasts.
    QHash<QString, QJsonObject> ranges;
    for (const QJsonValue &value : answer.json.value(QStringLiteral("ranges")).toArray())
        ranges.insert(value[QStringLiteral("kind")].toString(), value.toObject());
    QCOMPARE(ranges[QStringLiteral("bt")][QStringLiteral("left")].toInt(), 56);
    QCOMPARE(ranges[QStringLiteral("bt")][QStringLiteral("runsOutInShift")].toBool(), true);
    QCOMPARE(ranges[QStringLiteral("imei-tac")][QStringLiteral("left")].toInt(), 999999 - 100);
    QCOMPARE(ranges[QStringLiteral("imei-tac")][QStringLiteral("runsOutInShift")].toBool(), false);
    // The workbook's 40 MBSN, 19 claimed this hour: 21 left, gone within the shift.
    const QJsonObject pool = answer.json[QStringLiteral("pools")][0].toObject();
    QCOMPARE(pool[QStringLiteral("left")].toInt(), 21);
    QCOMPARE(pool[QStringLiteral("takenLastHour")].toInt(), 19);
    QCOMPARE(pool[QStringLiteral("runsOutInShift")].toBool(), true);
}

void TestLineView::paging()
{
    // The oracle: every cycle of the period in export order, straight from the database.
    pg_conn *conn = m_server.connect(m_db);
    QVERIFY(conn);
    PGresult *result = PQexec(conn, "SELECT id FROM ledger.cycles WHERE NOT imported ORDER BY claimed_at, id");
    QStringList all;
    for (int row = 0; row < PQntuples(result); ++row)
        all << QString::fromLatin1(PQgetvalue(result, row, 0));
    PQclear(result);
    PQfinish(conn);
    QVERIFY(all.size() > 1000);

    const QString period = m_base + QLatin1String("/api/cycles?from=1990-01-01&to=2100-01-01");
    Answer answer = get(period + QLatin1String("&limit=100000000"), m_token);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.json.value(QStringLiteral("limit")).toInt(), 5000); // bounded, whatever is asked
    QCOMPARE(answer.json.value(QStringLiteral("cycles")).toArray().size(), all.size());
    QVERIFY(answer.json.value(QStringLiteral("next")).isNull());

    // Pages of 97 across a thousand cycles of one instant: each cycle once, in order.
    QStringList paged;
    QString url = period + QLatin1String("&limit=97");
    for (int pages = 0; pages < 100; ++pages) {
        answer = get(url, m_token);
        QCOMPARE(answer.status, 200);
        const QJsonArray cycles = answer.json.value(QStringLiteral("cycles")).toArray();
        QVERIFY(cycles.size() <= 97);
        for (const QJsonValue &cycle : cycles)
            paged << QString::number(cycle[QStringLiteral("cycle")].toInteger());
        const QJsonValue next = answer.json.value(QStringLiteral("next"));
        if (next.isNull())
            break;
        url = period + QLatin1String("&limit=97&after=") + next.toString();
    }
    QCOMPARE(paged, all);
}

void TestLineView::readerCannotChange_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("claim") << "INSERT INTO ledger.cycles (station) VALUES ('L1-01')";
    QTest::newRow("claim an identity") << "INSERT INTO ledger.identities (kind, value, cycle_id) "
                                          "SELECT 1, '490154203237518', min(id) FROM ledger.cycles";
    QTest::newRow("mark") << "UPDATE ledger.cycles SET state = 'written' WHERE state = 'claimed'";
    QTest::newRow("take a block") << "SELECT ledger.take_block('DefaultIMEI:86123456', 86123456000000, "
                                     "86123456999998, 100)";
    QTest::newRow("read the tokens") << "SELECT token_hash FROM ledger.api_tokens";
    QTest::newRow("make a token") << "INSERT INTO ledger.api_tokens (name, token_hash) VALUES ('x', repeat('a', 64))";
    QTest::newRow("bind a station") << "INSERT INTO ledger.stations VALUES (current_user, 'L9-99')";
}

void TestLineView::readerCannotChange()
{
    QFETCH(QString, sql);
    pg_conn *conn = m_server.connect(m_db, m_reader);
    QVERIFY2(conn, qPrintable(m_server.error()));
    PGresult *result = PQexec(conn, sql.toUtf8().constData());
    const QByteArray state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    PQclear(result);
    PQfinish(conn);
    QCOMPARE(state, QByteArray("42501")); // insufficient privilege
}

void TestLineView::tls_data()
{
    QTest::addColumn<QString>("cert");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("refusal"); // empty: served over https; no certificate: served as a station
    QTest::newRow("matching pair") << "a.crt"
                                   << "a.key" << QString();
    QTest::newRow("another certificate's key") << "a.crt"
                                               << "b.key"
                                               << "does not serve the certificate";
    QTest::newRow("key for a certificate") << "a.key"
                                           << "a.key"
                                           << "holds no PEM certificate";
    QTest::newRow("missing key") << "a.crt"
                                 << "none.key"
                                 << "Cannot read";
    // Not TLS, but refused as early: a login that could claim is never the view's.
    QTest::newRow("a station's login") << QString() << QString() << "give it a reader's login";
}

void TestLineView::tls()
{
    QFETCH(QString, cert);
    QFETCH(QString, key);
    QFETCH(QString, refusal);
    for (const char *name : {"a", "b"}) {
        if (QFile::exists(m_dir.filePath(QLatin1String(name) + QLatin1String(".crt"))))
            continue;
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                       "-keyout", m_dir.filePath(QLatin1String(name) + QLatin1String(".key")), "-out",
                       m_dir.filePath(QLatin1String(name) + QLatin1String(".crt"))});
        QVERIFY2(openssl.waitForFinished(60000) && openssl.exitCode() == 0, openssl.readAllStandardError().constData());
    }
    QProcess process;
    QString why;
    const QString reader = m_reader;
    if (cert.isEmpty())
        m_reader = m_db + QLatin1String("_L101");
    const QStringList tls{"--tls-cert", m_dir.filePath(cert), "--tls-key", m_dir.filePath(key)};
    const QString base = serve(&process, cert.isEmpty() ? QStringList() : tls, &why);
    m_reader = reader;
    if (!refusal.isEmpty()) {
        QVERIFY2(base.isEmpty(), "a bad pair is never served");
        QVERIFY2(why.contains(refusal), qPrintable(why));
        QCOMPARE(process.exitCode(), 1);
        return;
    }
    QVERIFY2(base.startsWith(QLatin1String("https://")), qPrintable(why));
    const Answer answer = get(base + QLatin1String("/api/line"), m_token);
    process.kill();
    process.waitForFinished(5000);
    QCOMPARE(answer.status, 200);
    QVERIFY(answer.json.contains(QStringLiteral("stations")));
}

void TestLineView::page()
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) {
        if (PgServerFixture::required())
            QFAIL("chromium is not installed (scripts/install-deps.sh test)");
        QSKIP("chromium is not installed");
    }
    // The page in Chinese, with the screen's token in the fragment, after its script has fetched and drawn.
    const QString url = m_base + QLatin1String("/?lang=zh#token=") + m_token;
    const QString artifacts = QStringLiteral(LINEVIEW_ARTIFACTS);
    QDir().mkpath(artifacts);
    const QStringList common{"--headless=new",
                             "--no-sandbox",
                             "--disable-gpu",
                             "--no-first-run",
                             "--user-data-dir=" + m_dir.filePath(QStringLiteral("chromium")),
                             "--virtual-time-budget=10000",
                             "--window-size=1920,1080"};
    QProcess browser;
    browser.start(chromium, common + QStringList{"--dump-dom", url});
    QVERIFY(browser.waitForFinished(120000));
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    QFile dump(artifacts + QLatin1String("/lineview-zh.html"));
    QVERIFY(dump.open(QIODevice::WriteOnly) && dump.write(dom.toUtf8()) == dom.toUtf8().size());
    dump.close();
    QVERIFY2(dom.contains(QStringLiteral("产线看板")), "the page speaks Chinese with ?lang=zh");
    for (const StationFigures &e : expected) {
        const QRegularExpression row(
            QStringLiteral("data-station=\"%1\".*?class=\"number hour\">(\\d+)<").arg(QLatin1String(e.station)));
        const QRegularExpressionMatch match = row.match(dom);
        QVERIFY2(match.hasMatch(), qPrintable(QStringLiteral("no row of %1 in %2").arg(e.station, dump.fileName())));
        QCOMPARE(match.captured(1).toInt(), e.hour);
    }
    QVERIFY2(dom.contains(QStringLiteral("自 ")) && dom.contains(QStringLiteral("起连续失败")),
             "the failing station is shown failing");
    QVERIFY2(dom.contains(QStringLiteral("本班内用尽")), "the Bluetooth range is shown running out in the shift");
    static const QRegularExpression pool(QStringLiteral("data-pool=\"mb-lot\"><td class=\"range\">表格MBSN mb-lot</td>"
                                                        "<td class=\"number left bad\">21<"));
    QVERIFY2(pool.match(dom).hasMatch(), "the workbook's pool is shown running out in the shift");
    QVERIFY2(dom.count(QStringLiteral("class=\"bar\"")) > 0, "the chart is drawn");

    // The screenshot stays beside the test as its artifact.
    const QString picture = artifacts + QLatin1String("/lineview-en.png");
    QFile::remove(picture);
    browser.start(chromium, common + QStringList{"--screenshot=" + picture,
                                                 m_base + QLatin1String("/?lang=en#token=") + m_token});
    QVERIFY(browser.waitForFinished(120000));
    QVERIFY2(QFileInfo(picture).size() > 10000, qPrintable(browser.readAllStandardError()));
}

void TestLineView::stoppedDatabase()
{
    QVERIFY(m_server.stop(QStringLiteral("immediate")));
    // Within the server's bounds (connect 3 s, answer 5 + 2 s), never a hang; the page itself still comes.
    const Answer answer = get(m_base + QLatin1String("/api/line"), m_token);
    QCOMPARE(answer.status, 503);
    QVERIFY2(answer.json.value(QStringLiteral("error")).toString().contains(QLatin1String("unreachable")),
             answer.body.constData());
    QVERIFY2(answer.ms < 11000, qPrintable(QString::number(answer.ms)));
    QCOMPARE(get(m_base + QLatin1String("/"), QString()).status, 200);
    // Back again, the next request finds it.
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    QCOMPARE(get(m_base + QLatin1String("/api/line"), m_token).status, 200);
}

QTEST_GUILESS_MAIN(TestLineView)
#include "TestLineView.moc"
