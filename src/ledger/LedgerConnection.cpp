#include "ledger/LedgerConnection.h"

#include "ledger/SocketWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
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

// A lock wait or a statement that ran out of time: the ledger is busy or held up, the connection is fine.
bool meansTimedOut(const QString &sqlState)
{
    return sqlState == QLatin1String("55P03") || sqlState == QLatin1String("57014");
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

// Waits until the socket has something to read or the deadline passes, or `giveUp` is set; false then.
bool waitReadable(int socket, const QDeadlineTimer &deadline, const std::atomic<bool> *giveUp)
{
    // Slices short enough that a wait given up ends at once.
    constexpr qint64 Slice = 50;
    for (;;) {
        if (giveUp && giveUp->load())
            return false;
        qint64 left = deadline.remainingTime();
        if (left == 0)
            return false;
        if (giveUp && (left < 0 || left > Slice))
            left = Slice;
        if (SocketWait::readable(socket, int(left)))
            return true; // readable, or an error that libpq reports when it reads
    }
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

LedgerConnection::LedgerConnection(const QString &connInfo, const QString &applicationName,
                                   const LedgerTimeouts &timeouts)
    : m_connInfo(connInfo.toUtf8()), m_applicationName(applicationName.toUtf8()), m_timeouts(timeouts)
{
}

int LedgerConnection::backendPid() const
{
    return isOpen() ? PQbackendPID(m_conn) : 0;
}

QString LedgerConnection::host() const
{
    return isOpen() ? QString::fromUtf8(PQhost(m_conn)) : QString();
}

QString LedgerConnection::port() const
{
    return isOpen() ? QString::fromUtf8(PQport(m_conn)) : QString();
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
    // libpq's complaint about a string it cannot read quotes the string, password and all.
    char *error = nullptr;
    PQconninfoOption *parsed = PQconninfoParse(m_connInfo.constData(), &error);
    PQfreemem(error);
    if (!parsed && (m_connInfo.contains('=') || m_connInfo.contains("://"))) {
        if (message)
            *message = QCoreApplication::translate("LedgerConnection", "The ledger's connection text cannot be read.");
        return false;
    }
    PQconninfoFree(parsed);
    // The string of the line's file is expanded in place of dbname; the keys after it (the encoding, the name
    // the server shows, the bounds of every wait) hold whatever the string says.
    const QByteArray appName = m_applicationName.isEmpty() ? QByteArray("doverariz") : m_applicationName;
    const QByteArray connect = QByteArray::number(m_timeouts.connect);
    const QByteArray keepalive = QByteArray::number(m_timeouts.keepalive);
    // Data the server does not acknowledge fails the connection after about as long as the probes would.
    const QByteArray userTimeout = QByteArray::number(m_timeouts.keepalive * 4 * 1000);
    const char *keys[] = {
        "dbname",          "client_encoding",     "application_name", "connect_timeout",  "keepalives",
        "keepalives_idle", "keepalives_interval", "keepalives_count", "tcp_user_timeout", nullptr};
    const char *values[] = {m_connInfo.constData(),
                            "UTF8",
                            appName.constData(),
                            connect.constData(),
                            "1",
                            keepalive.constData(),
                            keepalive.constData(),
                            "3",
                            userTimeout.constData(),
                            nullptr};
    m_conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_conn) == CONNECTION_OK) {
        // The server's notices (a cascade, a shutdown warning) are no business of the station's output, except
        // the generic warning of a commit whose wait for a synchronous standby was cancelled: the server kept
        // it, but its standby may not have it, and a failover would lose it.
        PQsetNoticeReceiver(
            m_conn,
            [](void *self, const PGresult *notice) {
                if (qstrcmp(PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED), "WARNING") == 0 &&
                    qstrcmp(PQresultErrorField(notice, PG_DIAG_SQLSTATE), "01000") == 0)
                    static_cast<LedgerConnection *>(self)->m_warning =
                        trimmedMessage(PQresultErrorField(notice, PG_DIAG_MESSAGE_PRIMARY));
            },
            this);
        const QByteArray session =
            "SET statement_timeout = " + QByteArray::number(m_timeouts.statement * 1000) +
            "; SET lock_timeout = " + QByteArray::number(m_timeouts.lock * 1000) +
            "; SET idle_in_transaction_session_timeout = " + QByteArray::number(m_timeouts.idleInTransaction * 1000);
        if (script(session, message))
            return true;
        close();
        return false;
    }
    if (message)
        *message = trimmedMessage(m_conn ? PQerrorMessage(m_conn) : "out of memory");
    close();
    return false;
}

pg_result *LedgerConnection::answer(QString *message)
{
    const QDeadlineTimer deadline(qint64(m_timeouts.answerWithin()) * 1000);
    while (PQisBusy(m_conn)) {
        if (!waitReadable(PQsocket(m_conn), deadline, m_giveUp)) {
            if (message)
                *message =
                    m_giveUp && m_giveUp->load()
                        ? QCoreApplication::translate("Ledger", "the wait for it was stopped")
                        : QCoreApplication::translate("LedgerConnection", "The ledger did not answer within %1 s.")
                              .arg(m_timeouts.answerWithin());
            m_gaveUp = true;
            close();
            return nullptr;
        }
        if (!PQconsumeInput(m_conn))
            break; // the connection broke: PQgetResult says how
    }
    // As PQexec: the first error, else the last result.
    PGresult *kept = nullptr;
    while (PGresult *result = PQgetResult(m_conn)) {
        const ExecStatusType status = PQresultStatus(kept);
        if (kept && (status == PGRES_FATAL_ERROR || status == PGRES_NONFATAL_ERROR)) {
            PQclear(result);
            continue;
        }
        PQclear(kept);
        kept = result;
    }
    if (!kept && message)
        *message = trimmedMessage(PQerrorMessage(m_conn));
    return kept;
}

LedgerRows LedgerConnection::exec(const char *sql, const QVector<QByteArray> &params)
{
    // A connection that waited idle may have lost its server meanwhile (a restart), which libpq learns only
    // when it next sends: then the statement goes once more on a new connection. Outside a transaction every
    // statement of the ledger may be sent twice without harm (BEGIN, reads, idempotent updates and inserts).
    // A statement that ran out of time, or got no answer, is not sent again: it would only wait as long once more.
    const bool idleBefore = isOpen() && PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    m_gaveUp = false;
    LedgerRows rows = execOnce(sql, params);
    if (rows.status() == LedgerStatus::Unreachable && idleBefore && !isOpen() && !m_gaveUp &&
        !meansTimedOut(rows.sqlState()))
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
    m_warning.clear();
    if (!PQsendQueryParams(m_conn, sql, int(values.size()), nullptr, values.constData(), nullptr, nullptr, 0)) {
        rows.m_message = trimmedMessage(PQerrorMessage(m_conn));
        rows.m_status = LedgerStatus::Unreachable;
        close();
        return rows;
    }
    rows.m_result = answer(&rows.m_message);
    if (!m_conn) {
        rows.m_status = LedgerStatus::Unreachable;
        return rows;
    }
    const ExecStatusType status = PQresultStatus(rows.m_result);
    if ((status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) && !m_warning.isEmpty()) {
        // Not a success to report: whether the change survives the server is unknown, as after a lost answer.
        rows.m_message =
            QCoreApplication::translate("LedgerConnection", "The ledger's server kept the change, but warned: %1")
                .arg(m_warning);
        rows.m_status = LedgerStatus::Unreachable;
        return rows;
    }
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        rows.m_status = LedgerStatus::Ok;
        return rows;
    }
    rows.m_sqlState = QString::fromLatin1(PQresultErrorField(rows.m_result, PG_DIAG_SQLSTATE));
    if (rows.m_result)
        rows.m_message = trimmedMessage(PQresultErrorMessage(rows.m_result));
    if (rows.m_message.isEmpty())
        rows.m_message = trimmedMessage(PQerrorMessage(m_conn));
    // An error without a server's code comes from libpq itself: the connection broke, even where libpq has not
    // noticed yet that it is gone.
    if (PQstatus(m_conn) != CONNECTION_OK || rows.m_sqlState.isEmpty() || meansUnreachable(rows.m_sqlState)) {
        rows.m_status = LedgerStatus::Unreachable;
        close();
    } else if (meansTimedOut(rows.m_sqlState)) {
        rows.m_status = LedgerStatus::Unreachable;
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
    m_lastSqlState.clear();
    if (!ensureOpen(message))
        return false;
    if (!PQsendQuery(m_conn, sql.constData())) {
        if (message)
            *message = trimmedMessage(PQerrorMessage(m_conn));
        close();
        return false;
    }
    PGresult *result = answer(message);
    if (!m_conn)
        return false;
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok) {
        m_lastSqlState = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        if (message)
            *message = trimmedMessage(result ? PQresultErrorMessage(result) : PQerrorMessage(m_conn));
    }
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
