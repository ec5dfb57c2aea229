#include "ledger/LineConfig.h"

#include "support/FileKinds.h"

#include <QtTest>

// cfg/line.ini: what makes a station part of a line, and what is refused.
class TestLineConfig final : public QObject
{
    Q_OBJECT

private slots:
    void load_data();
    void load();
};

void TestLineConfig::load_data()
{
    QTest::addColumn<QByteArray>("text"); // null: no file; "->target": a link to target
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("configured");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("station");
    QTest::addColumn<bool>("shared");
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("timeouts"); // connect/statement/lock/idle/keepalive; empty: the defaults

    QTest::newRow("no file") << QByteArray() << true << false << QString() << QString() << false << 100 << QString()
                             << QString();
    const QString none = QStringLiteral("configures no ledger");
    QTest::newRow("no connection") << QByteArray("[Ledger]\nStation=S1\n") << false << false << QString() << "S1"
                                   << false << 100 << none << QString();
    QTest::newRow("empty file") << QByteArray("") << false << false << QString() << QString() << false << 100 << none
                                << QString();
    QTest::newRow("misspelt section") << QByteArray("[Leger]\nConnection=dbname=line\nStation=S\n") << false << false
                                      << QString() << QString() << false << 100 << none << QString();
    QTest::newRow("empty connection") << QByteArray("[Ledger]\nConnection=\nStation=S\n") << false << false << QString()
                                      << QString() << false << 100 << none << QString();
    QTest::newRow("link to a device") << QByteArray("->/dev/zero") << false << false << QString() << QString() << false
                                      << 100 << "not a regular file" << QString();
    QTest::newRow("link to nowhere") << QByteArray("->/nonexistent/line.ini") << false << false << QString()
                                     << QString() << false << 100 << "not a regular file" << QString();
    QTest::newRow("key=value string with commas")
        << QByteArray("# the line\n[Ledger]\nConnection = host=a,b port=5432,5433 dbname=line user=st7 "
                      "sslmode=verify-full\r\nStation=LINE1-07\nSharedCounters=true\nCounterBlock=250\n")
        << true << true << "host=a,b port=5432,5433 dbname=line user=st7 sslmode=verify-full"
        << "LINE1-07" << true << 250 << QString() << QString();
    QTest::newRow("URI") << QByteArray("[Ledger]\nConnection=postgresql://st7@db/line?sslmode=require\nStation=S\n")
                         << true << true << "postgresql://st7@db/line?sslmode=require"
                         << "S" << false << 100 << QString() << QString();
    QTest::newRow("other sections ignored")
        << QByteArray("[Other]\nAnything=1\n[Ledger]\nConnection=dbname=line\nStation=S\n") << true << true
        << "dbname=line"
        << "S" << false << 100 << QString() << QString();
    QTest::newRow("password in the string")
        << QByteArray("[Ledger]\nConnection=dbname=line password=hunter2\nStation=S\n") << false << false << QString()
        << QString() << false << 100 << "password file" << QString();
    QTest::newRow("password in the URI") << QByteArray(
                                                "[Ledger]\nConnection=postgresql://st7:hunter2@db/line\nStation=S\n")
                                         << false << false << QString() << QString() << false << 100 << "password file"
                                         << QString();
    QTest::newRow("unparsable string") << QByteArray("[Ledger]\nConnection=dbname='line\nStation=S\n") << false << false
                                       << QString() << QString() << false << 100 << "cannot be read" << QString();
    QTest::newRow("no station") << QByteArray("[Ledger]\nConnection=dbname=line\n") << false << false << QString()
                                << QString() << false << 100 << "Station=" << QString();
    QTest::newRow("bad flag") << QByteArray("[Ledger]\nConnection=dbname=line\nStation=S\nSharedCounters=yes\n")
                              << false << false << QString() << QString() << false << 100 << "line 4" << QString();
    QTest::newRow("block zero") << QByteArray("[Ledger]\nConnection=dbname=line\nStation=S\nCounterBlock=0\n") << false
                                << false << QString() << QString() << false << 100 << "CounterBlock" << QString();
    QTest::newRow("misspelt key") << QByteArray("[Ledger]\nConection=dbname=line\nStation=S\n") << false << false
                                  << QString() << QString() << false << 100 << "unknown key \"Conection\"" << QString();
    QTest::newRow("not key=value") << QByteArray("[Ledger]\nConnection\n") << false << false << QString() << QString()
                                   << false << 100 << "line 2" << QString();
    QTest::newRow("password keyword left out")
        << QByteArray("[Ledger]\nConnection=host=db user=st7 hunter2 dbname=line\nStation=S\n") << false << false
        << QString() << QString() << false << 100 << "connection text in" << QString();
    QTest::newRow("NUL in the station's name")
        << QByteArray("[Ledger]\nConnection=dbname=line\nStation=LINE\0-B\n", 48) << false << false << QString()
        << QString() << false << 100 << "Station=" << QString();
    QTest::newRow("station name with a statement")
        << QByteArray("[Ledger]\nConnection=dbname=line\nStation=S1;drop\n") << false << false << QString() << QString()
        << false << 100 << "Station=" << QString();
    QTest::newRow("timeouts") << QByteArray("[Ledger]\nConnection=dbname=line\nStation=S\nConnectTimeout=2\n"
                                            "StatementTimeout=30\nLockTimeout=1\nIdleInTransactionTimeout=20\n"
                                            "KeepaliveTime=7\n")
                              << true << true << "dbname=line"
                              << "S" << false << 100 << QString() << "2/30/1/20/7";
    QTest::newRow("timeout of nothing") << QByteArray("[Ledger]\nConnection=dbname=line\nStation=S\nLockTimeout=0\n")
                                        << false << false << QString() << QString() << false << 100 << "LockTimeout"
                                        << QString();
}

void TestLineConfig::load()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(bool, configured);
    QFETCH(QString, connection);
    QFETCH(QString, station);
    QFETCH(bool, shared);
    QFETCH(int, block);
    QFETCH(QString, error);
    QFETCH(QString, timeouts);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("line.ini"));
    if (text.startsWith("->")) {
        if (!FileKinds::makeLink(QString::fromUtf8(text.mid(2)), path))
            QSKIP("this account makes no links here");
    } else if (!text.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    LineConfig config;
    QString message;
    QCOMPARE(LineConfig::load(path, &config, &message), ok);
    QCOMPARE(config.configured, configured);
    QVERIFY2(message.contains(error), qPrintable(message));
    QVERIFY2(!message.contains(QLatin1String("hunter2")), qPrintable(message));
    if (!ok)
        return;
    QCOMPARE(config.connection, connection);
    QCOMPARE(config.station, station);
    QCOMPARE(config.sharedCounters, shared);
    QCOMPARE(config.counterBlock, block);
    const LedgerTimeouts &t = config.timeouts;
    const LedgerTimeouts defaults;
    QCOMPARE(QStringLiteral("%1/%2/%3/%4/%5")
                 .arg(t.connect)
                 .arg(t.statement)
                 .arg(t.lock)
                 .arg(t.idleInTransaction)
                 .arg(t.keepalive),
             timeouts.isEmpty() ? QStringLiteral("%1/%2/%3/%4/%5")
                                      .arg(defaults.connect)
                                      .arg(defaults.statement)
                                      .arg(defaults.lock)
                                      .arg(defaults.idleInTransaction)
                                      .arg(defaults.keepalive)
                                : timeouts);
}

QTEST_GUILESS_MAIN(TestLineConfig)
#include "TestLineConfig.moc"
