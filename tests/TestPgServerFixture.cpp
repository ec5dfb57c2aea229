#include "support/PgServerFixture.h"

#include <QtTest>

#include <libpq-fe.h>

// The fixture the ledger tests stand on: a server of the test's own that survives a crash-like stop.
class TestPgServerFixture final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void restartKeepsCommittedData();

private:
    QString queryOne(const QString &database, const QString &sql);
    PgServerFixture m_server;
};

void TestPgServerFixture::initTestCase()
{
    if (!PgServerFixture::binariesPresent()) {
        if (PgServerFixture::required())
            QFAIL(qPrintable(PgServerFixture::skipMessage()));
        QSKIP(qPrintable(PgServerFixture::skipMessage()));
    }
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

QString TestPgServerFixture::queryOne(const QString &database, const QString &sql)
{
    PGconn *conn = m_server.connect(database);
    if (!conn)
        return QStringLiteral("<%1>").arg(m_server.error());
    PGresult *result = PQexec(conn, sql.toUtf8().constData());
    const QString value = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1
                              ? QString::fromUtf8(PQgetvalue(result, 0, 0))
                              : QString::fromUtf8(PQresultErrorMessage(result));
    PQclear(result);
    PQfinish(conn);
    return value;
}

void TestPgServerFixture::restartKeepsCommittedData()
{
    const QString first = m_server.createDatabase();
    const QString second = m_server.createDatabase();
    QVERIFY2(!first.isEmpty() && !second.isEmpty() && first != second, qPrintable(m_server.error()));
    QVERIFY2(m_server.exec(first, QStringLiteral("CREATE TABLE t (v text); INSERT INTO t VALUES ('kept')")),
             qPrintable(m_server.error()));
    // Each database is a world of its own.
    QVERIFY(queryOne(second, QStringLiteral("SELECT count(*) FROM pg_tables WHERE tablename = 't'")) == "0");

    QVERIFY2(m_server.stop(QStringLiteral("immediate")), qPrintable(m_server.error()));
    QVERIFY(!m_server.connect(first));
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    QCOMPARE(queryOne(first, QStringLiteral("SELECT v FROM t")), QStringLiteral("kept"));

    // The server is reached over the loopback port as well as the socket.
    PGconn *tcp = PQconnectdb(QStringLiteral("host=127.0.0.1 port=%1 dbname=%2 user=%3")
                                  .arg(m_server.port())
                                  .arg(first, PgServerFixture::adminUser())
                                  .toUtf8()
                                  .constData());
    QCOMPARE(PQstatus(tcp), CONNECTION_OK);
    PQfinish(tcp);
}

QTEST_GUILESS_MAIN(TestPgServerFixture)
#include "TestPgServerFixture.moc"
