#pragma once

#include "ledger/LedgerTimeouts.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <atomic>

struct pg_conn;
struct pg_result;

// How a ledger operation ended. Unreachable: the server could not be reached or the connection broke, and
// the operation may be tried again later; Refused: the server denied it (privileges, a guarded rule).
enum class LedgerStatus : int
{
    Ok = 0,
    Conflict,
    Unreachable,
    Refused,
    Failed,
};

// The rows of one statement, or why there are none. Owns its result.
class LedgerRows final
{
public:
    LedgerRows() = default;
    ~LedgerRows();
    LedgerRows(LedgerRows &&other) noexcept;
    LedgerRows &operator=(LedgerRows &&other) noexcept;
    LedgerRows(const LedgerRows &) = delete;
    LedgerRows &operator=(const LedgerRows &) = delete;

    LedgerStatus status() const { return m_status; }
    bool ok() const { return m_status == LedgerStatus::Ok; }
    // The server's five-character error code ("23505"), empty when none.
    QString sqlState() const { return m_sqlState; }
    QString message() const { return m_message; }

    int rowCount() const;
    int affected() const; // rows changed by an INSERT, UPDATE or DELETE
    QString text(int row, int column) const;
    qint64 number(int row, int column) const;
    bool isNull(int row, int column) const;

private:
    friend class LedgerConnection;
    pg_result *m_result = nullptr;
    LedgerStatus m_status = LedgerStatus::Failed;
    QString m_sqlState;
    QString m_message;
};

// One connection to the ledger's server. Statements go with bound parameters only, sent as text.
// The connection string is kept for reconnecting and never shown: a string libpq cannot read gives a
// message of its own, other messages come from the server or libpq, which do not repeat passwords.
// Every wait is bounded by `timeouts`: the server ends statements and lock waits, and the connection gives
// up on an answer that does not come (a stalled server or network) and counts the ledger unreachable.
// Not thread-safe: one owner, or a lock around it (Ledger).
class LedgerConnection final
{
public:
    explicit LedgerConnection(const QString &connInfo, const QString &applicationName = QString(),
                              const LedgerTimeouts &timeouts = LedgerTimeouts());
    ~LedgerConnection();
    LedgerConnection(const LedgerConnection &) = delete;
    LedgerConnection &operator=(const LedgerConnection &) = delete;

    // Connects, or reconnects after a broken connection; false with a message when the server is unreachable.
    bool ensureOpen(QString *message);
    bool isOpen() const;
    void close();

    // A null QByteArray is SQL NULL.
    LedgerRows exec(const char *sql, const QVector<QByteArray> &params = {});
    // Statements without parameters or results (BEGIN, COMMIT, ROLLBACK); false with a message.
    bool command(const char *sql, QString *message);

    // Several statements without parameters: the schema's fixed definitions only, never values from outside.
    bool script(const QByteArray &sql, QString *message);
    // The server's error code of the last failed script, empty when none.
    QString lastSqlState() const { return m_lastSqlState; }
    // The server's process of this connection, 0 when closed.
    int backendPid() const;
    // The server this connection reached, as libpq names it (a host, an address or a socket directory: of a
    // string naming several, the one taken), and its port; empty when closed.
    QString host() const;
    QString port() const;

    // While `flag` is set, a wait for an answer ends at once, as a lost connection (the caller gave it up).
    void setGiveUpFlag(const std::atomic<bool> *flag) { m_giveUp = flag; }

    // A name quoted as an SQL identifier, for statements that cannot bind one (roles in grants).
    static QByteArray identifier(const QString &name);

    // A text[] or smallint[] literal for binding a list as one parameter.
    static QByteArray arrayLiteral(const QStringList &values);
    static QByteArray arrayLiteral(const QVector<int> &values);

private:
    LedgerRows execOnce(const char *sql, const QVector<QByteArray> &params);
    // The result of the statement sent last, or null with a message when no answer came in time (then the
    // connection is closed).
    pg_result *answer(QString *message);

    QByteArray m_connInfo;
    QByteArray m_applicationName;
    LedgerTimeouts m_timeouts;
    pg_conn *m_conn = nullptr;
    QString m_lastSqlState;
    QString m_warning;     // a generic warning the server sent with the last statement's answer
    bool m_gaveUp = false; // the last statement got no answer in time
    const std::atomic<bool> *m_giveUp = nullptr;
};
