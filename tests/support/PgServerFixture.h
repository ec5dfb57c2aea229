#pragma once

#include <QString>
#include <QStringList>

#include <memory>

struct pg_conn;

// A PostgreSQL server of its own for one test executable: a cluster initialised in a temporary directory,
// listening on a free local port and on a unix socket in that directory, stopped and removed at the end.
// When the suite runs as root the server runs as an unprivileged user (postgres, or nobody), since the
// server refuses to run as root. Tests give every case a database of its own (createDatabase), so that
// test executables and cases never see each other's data.
// On Windows the server is a Linux one, asked for from the agent named in DOVERARIZ_PG_AGENT (host:port; the
// Windows check starts it) and reached over the loopback port; the agent stops and removes it when this ends.
class PgServerFixture final
{
public:
    PgServerFixture();
    ~PgServerFixture();
    PgServerFixture(const PgServerFixture &) = delete;
    PgServerFixture &operator=(const PgServerFixture &) = delete;

    // Whether the server binaries (on Windows, the agent) are there. When they are not, a test skips with
    // skipMessage(), unless DOVERARIZ_REQUIRE_POSTGRESQL is set (as the suite's script does), where it fails instead.
    static bool binariesPresent();
    static QString skipMessage();
    static bool required();

    // Initialises the cluster (once) and starts the server; false with error() when it does not come up.
    bool start();
    // Makes this server a standby of `primary`, which runs: a copy of its cluster (pg_basebackup -R) that
    // follows it, started. False with error() when it does not come up.
    bool startAsStandby(const PgServerFixture &primary);
    // Stops the server: "fast" waits for sessions to end, "immediate" is a crash as far as clients see.
    bool stop(const QString &mode = QStringLiteral("fast"));
    bool isRunning() const { return m_running; }
    QString error() const { return m_error; }

    // Where clients find the server: its socket directory, or on Windows the loopback address.
    QString host() const;
    int port() const { return m_port; }
    // The server's main process, and stopping and resuming a process of the server (SIGSTOP, SIGCONT): a
    // server that hangs, as far as its clients see.
    qint64 serverPid();
    bool pauseProcess(qint64 pid);
    bool resumeProcess(qint64 pid);
    // The superuser that owns the cluster; connections through the socket need no password.
    static QString adminUser();
    // A libpq connection string for `user` to `database` through the socket.
    QString connInfo(const QString &database, const QString &user = adminUser()) const;

    // A fresh database with a name unique in this server; empty (and error()) on failure.
    QString createDatabase(const QString &prefix = QStringLiteral("test"));
    // Runs statements as the superuser; false with error() on the first failure.
    bool exec(const QString &database, const QString &sql);
    // Adds a shared counter to the ledger in `database` as its owner would (ledger add-counter); `name` is plain
    // text of letters, digits and ":-_". False with error() when the ledger refuses it.
    bool addCounter(const QString &database, const QString &name, qint64 first, qint64 last, qint64 block = 100);
    // A connection as `user`, or null with error(); the caller finishes it (PQfinish).
    pg_conn *connect(const QString &database, const QString &user = adminUser());

private:
    bool startServer();
    // A value in single quotes as libpq's connection strings and the server's options take it.
    static QString quoted(const QString &value);

    struct Platform; // the cluster's directory and tools, or the link to the agent
    std::unique_ptr<Platform> m_platform;
    QString m_error;
    int m_port = 0;
    int m_databases = 0;
    bool m_running = false;
};
