#include "PgServerFixture.h"

#include <libpq-fe.h>

QString PgServerFixture::quoted(const QString &value)
{
    QString text = value;
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

bool PgServerFixture::start()
{
    if (m_running)
        return true;
    if (!binariesPresent()) {
        m_error = skipMessage();
        return false;
    }
    return startServer();
}

bool PgServerFixture::required()
{
    return qEnvironmentVariableIsSet("DOVERARIZ_REQUIRE_POSTGRESQL");
}

QString PgServerFixture::adminUser()
{
    return QStringLiteral("fixture_admin");
}

QString PgServerFixture::connInfo(const QString &database, const QString &user) const
{
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
        .arg(quoted(host()))
        .arg(m_port)
        .arg(quoted(database), quoted(user));
}

pg_conn *PgServerFixture::connect(const QString &database, const QString &user)
{
    PGconn *conn = PQconnectdb(connInfo(database, user).toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK) {
        m_error = QString::fromUtf8(PQerrorMessage(conn));
        PQfinish(conn);
        return nullptr;
    }
    PQsetNoticeProcessor(
        conn, [](void *, const char *) {}, nullptr);
    return conn;
}

bool PgServerFixture::exec(const QString &database, const QString &sql)
{
    PGconn *conn = connect(database);
    if (!conn)
        return false;
    PGresult *result = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok)
        m_error = QString::fromUtf8(PQresultErrorMessage(result));
    PQclear(result);
    PQfinish(conn);
    return ok;
}

bool PgServerFixture::addCounter(const QString &database, const QString &name, qint64 first, qint64 last, qint64 block)
{
    return exec(
        database,
        QStringLiteral("SELECT ledger.add_counter('%1', %2, %3, %4)").arg(name).arg(first).arg(last).arg(block));
}

QString PgServerFixture::createDatabase(const QString &prefix)
{
    const QString name = QStringLiteral("%1_%2").arg(prefix).arg(++m_databases);
    // Copying template0 by files is the quickest way to a new database on a server without fsync.
    if (!exec(QStringLiteral("postgres"),
              QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0 STRATEGY file_copy").arg(name)))
        return {};
    return name;
}
