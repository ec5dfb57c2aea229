#include "LedgerConnection.h"

#include <QStringList>

#include <libpq-fe.h>

#include <utility>

namespace {

// Error classes that mean the server went away or is not accepting work: connection exceptions (08),
// an administrator's shutdown or a server that is starting or stopping (57P01 to 57P03).
bool meansUnreachable(const QString &sqlState)
{
    return sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01") ||
           sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03");
}

// Privileges, row policies and the ledger's own guards.
bool meansRefused(const QString &sqlState)
{
    return sqlState == QLatin1String("42501") || sqlState.startsWith(QLatin1String("23")) ||
           sqlState == QLatin1String("P0001");
}

QString trimmedMessage(const char *text)
{
    return QString::fromUtf8(text).trimmed();
}

} // namespace

LedgerRows::~LedgerRows()
{
    PQclear(m_result);
}

LedgerRows::LedgerRows(LedgerRows &&other) noexcept
    : m_result(std::exchange(other.m_result, nullptr)), m_status(other.m_status),
      m_sqlState(std::move(other.m_sqlState)), m_message(std::move(other.m_message))
{
}

LedgerRows &LedgerRows::operator=(LedgerRows &&other) noexcept
{
    if (this != &other) {
        PQclear(m_result);
        m_result = std::exchange(other.m_result, nullptr);
        m_status = other.m_status;
        m_sqlState = std::move(other.m_sqlState);
        m_message = std::move(other.m_message);
    }
    return *this;
}

int LedgerRows::rowCount() const
{
    return m_result ? PQntuples(m_result) : 0;
}

int LedgerRows::affected() const
{
    return m_result ? QByteArray(PQcmdTuples(m_result)).toInt() : 0;
}

QString LedgerRows::text(int row, int column) const
{
    if (!m_result || row >= PQntuples(m_result) || column >= PQnfields(m_result))
        return {};
    return QString::fromUtf8(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}

qint64 LedgerRows::number(int row, int column) const
{
    return text(row, column).toLongLong();
}

bool LedgerRows::isNull(int row, int column) const
{
    return !m_result || row >= PQntuples(m_result) || column >= PQnfields(m_result) ||
           PQgetisnull(m_result, row, column);
}

LedgerConnection::LedgerConnection(const QString &connInfo, const QString &applicationName)
    : m_connInfo(connInfo.toUtf8()), m_applicationName(applicationName.toUtf8())
{
}

LedgerConnection::~LedgerConnection()
{
    close();
}

void LedgerConnection::close()
{
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
}

bool LedgerConnection::isOpen() const
{
    return m_conn && PQstatus(m_conn) == CONNECTION_OK;
}

bool LedgerConnection::ensureOpen(QString *message)
{
    if (isOpen())
        return true;
    close();
    // The string of the line's file is expanded in place of dbname; the keys before it are defaults that
    // the string may override, the keys after it hold in any case.
    const QByteArray appName = m_applicationName.isEmpty() ? QByteArray("doverariz") : m_applicationName;
    const char *keys[] = {"connect_timeout", "dbname", "client_encoding", "application_name", nullptr};
    const char *values[] = {"5", m_connInfo.constData(), "UTF8", appName.constData(), nullptr};
    m_conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_conn) == CONNECTION_OK) {
        // The server's notices (a cascade, a shutdown warning) are no business of the station's output.
        PQsetNoticeProcessor(
            m_conn, [](void *, const char *) {}, nullptr);
        return true;
    }
    if (message)
        *message = trimmedMessage(m_conn ? PQerrorMessage(m_conn) : "out of memory");
    close();
    return false;
}

LedgerRows LedgerConnection::exec(const char *sql, const QVector<QByteArray> &params)
{
    // A connection that waited idle may have lost its server meanwhile (a restart), which libpq learns only
    // when it next sends: then the statement goes once more on a new connection. Outside a transaction every
    // statement of the ledger may be sent twice without harm (BEGIN, reads, idempotent updates and inserts).
    const bool idleBefore = isOpen() && PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    LedgerRows rows = execOnce(sql, params);
    if (rows.status() == LedgerStatus::Unreachable && idleBefore)
        rows = execOnce(sql, params);
    return rows;
}

LedgerRows LedgerConnection::execOnce(const char *sql, const QVector<QByteArray> &params)
{
    LedgerRows rows;
    if (!ensureOpen(&rows.m_message)) {
        rows.m_status = LedgerStatus::Unreachable;
        return rows;
    }
    QVector<const char *> values;
    values.reserve(params.size());
    for (const QByteArray &param : params)
        values.append(param.isNull() ? nullptr : param.constData());
    rows.m_result = PQexecParams(m_conn, sql, int(values.size()), nullptr, values.constData(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(rows.m_result);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        rows.m_status = LedgerStatus::Ok;
        return rows;
    }
    rows.m_sqlState = QString::fromLatin1(PQresultErrorField(rows.m_result, PG_DIAG_SQLSTATE));
    rows.m_message = trimmedMessage(rows.m_result ? PQresultErrorMessage(rows.m_result) : PQerrorMessage(m_conn));
    if (rows.m_message.isEmpty())
        rows.m_message = trimmedMessage(PQerrorMessage(m_conn));
    // An error without a server's code comes from libpq itself: the connection broke, even where libpq has not
    // noticed yet that it is gone.
    if (PQstatus(m_conn) != CONNECTION_OK || rows.m_sqlState.isEmpty() || meansUnreachable(rows.m_sqlState)) {
        rows.m_status = LedgerStatus::Unreachable;
        close();
    } else if (meansRefused(rows.m_sqlState)) {
        rows.m_status = LedgerStatus::Refused;
    } else {
        rows.m_status = LedgerStatus::Failed;
    }
    return rows;
}

bool LedgerConnection::command(const char *sql, QString *message)
{
    const LedgerRows rows = exec(sql);
    if (!rows.ok() && message)
        *message = rows.message();
    return rows.ok();
}

bool LedgerConnection::script(const QByteArray &sql, QString *message)
{
    if (!ensureOpen(message))
        return false;
    PGresult *result = PQexec(m_conn, sql.constData());
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok && message)
        *message = trimmedMessage(PQresultErrorMessage(result));
    PQclear(result);
    if (PQstatus(m_conn) != CONNECTION_OK)
        close();
    return ok;
}

QByteArray LedgerConnection::identifier(const QString &name)
{
    QByteArray text = name.toUtf8();
    text.replace('"', "\"\"");
    return '"' + text + '"';
}

QByteArray LedgerConnection::arrayLiteral(const QStringList &values)
{
    QByteArray text("{");
    for (int i = 0; i < values.size(); ++i) {
        if (i)
            text += ',';
        QByteArray element = values.at(i).toUtf8();
        element.replace('\\', "\\\\").replace('"', "\\\"");
        text += '"' + element + '"';
    }
    return text + '}';
}

QByteArray LedgerConnection::arrayLiteral(const QVector<int> &values)
{
    QByteArray text("{");
    for (int i = 0; i < values.size(); ++i) {
        if (i)
            text += ',';
        text += QByteArray::number(values.at(i));
    }
    return text + '}';
}
