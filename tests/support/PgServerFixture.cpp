#include "PgServerFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port that nobody listens on at this moment; the server may still lose it to another process, so start()
// tries a few.
int freeLocalPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

QString quoted(const QString &value)
{
    QString text = value;
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// The tail of the server's log, for a failure message.
QString logTail(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    return QString::fromLocal8Bit(text.right(1500));
}

} // namespace

PgServerFixture::PgServerFixture() : m_dir(QDir::tempPath() + QLatin1String("/pgtest-XXXXXX")) {}

PgServerFixture::~PgServerFixture()
{
    if (m_running)
        stop(QStringLiteral("immediate"));
}

QString PgServerFixture::binDir()
{
    const QString dir = qEnvironmentVariable("DOVERARIZ_PG_BINDIR");
    return dir.isEmpty() ? QStringLiteral("/usr/lib/postgresql/15/bin") : dir;
}

bool PgServerFixture::binariesPresent()
{
    for (const char *tool : {"initdb", "pg_ctl", "postgres"}) {
        if (!QFileInfo(binDir() + QLatin1Char('/') + QLatin1String(tool)).isExecutable())
            return false;
    }
    return true;
}

QString PgServerFixture::skipMessage()
{
    return QStringLiteral("PostgreSQL server binaries (initdb, pg_ctl, postgres) not found in %1: install the "
                          "Debian package postgresql (scripts/install-deps.sh) to run the ledger tests")
        .arg(binDir());
}

bool PgServerFixture::required()
{
    return qEnvironmentVariableIsSet("DOVERARIZ_REQUIRE_POSTGRESQL");
}

QString PgServerFixture::adminUser()
{
    return QStringLiteral("fixture_admin");
}

QString PgServerFixture::socketDir() const
{
    return m_dir.path();
}

QString PgServerFixture::connInfo(const QString &database, const QString &user) const
{
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
        .arg(quoted(socketDir()))
        .arg(m_port)
        .arg(quoted(database), quoted(user));
}

bool PgServerFixture::runTool(const QString &tool, const QStringList &args, int timeoutMs)
{
    QProcess process;
    const QString path = binDir() + QLatin1Char('/') + tool;
    if (m_runAs.isEmpty()) {
        process.start(path, args);
    } else {
        // runuser drops to the server's user without asking for a password; setpriv where it is missing.
        const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"),
                                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (!runuser.isEmpty()) {
            process.start(runuser, QStringList{QStringLiteral("-u"), m_runAs, QStringLiteral("--"), path} + args);
        } else {
            process.start(QStringLiteral("setpriv"),
                          QStringList{QStringLiteral("--reuid=") + m_runAs, QStringLiteral("--regid=") + m_runAs,
                                      QStringLiteral("--init-groups"), path} +
                              args);
        }
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        m_error = tool + QLatin1String(" did not finish: ") + process.errorString();
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = tool + QLatin1String(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()) +
                  QString::fromLocal8Bit(process.readAllStandardOutput());
        return false;
    }
    return true;
}

bool PgServerFixture::prepareDirectory()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory: ") + m_dir.errorString();
        return false;
    }
    if (::geteuid() == 0) {
        // The server refuses to run as root: hand the directory to an unprivileged user.
        const passwd *user = ::getpwnam("postgres");
        if (!user)
            user = ::getpwnam("nobody");
        if (!user) {
            m_error = QStringLiteral("running as root, and neither user postgres nor nobody exists");
            return false;
        }
        m_runAs = QString::fromLocal8Bit(user->pw_name);
        if (::chown(QFile::encodeName(m_dir.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
            m_error = QStringLiteral("cannot hand %1 to %2").arg(m_dir.path(), m_runAs);
            return false;
        }
    }
    return true;
}

bool PgServerFixture::initCluster()
{
    if (!prepareDirectory())
        return false;
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!runTool(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), data, QStringLiteral("-U"), adminUser(), QStringLiteral("-A"),
                  QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
                  QStringLiteral("--no-sync"), QStringLiteral("--no-instructions")},
                 120000))
        return false;
    m_initialised = true;
    return true;
}

bool PgServerFixture::start()
{
    if (m_running)
        return true;
    if (!binariesPresent()) {
        m_error = skipMessage();
        return false;
    }
    if (!m_initialised && !initCluster())
        return false;
    const QString data = m_dir.filePath(QStringLiteral("data"));
    const QString log = m_dir.filePath(QStringLiteral("server.log"));
    for (int attempt = 0; attempt < 5; ++attempt) {
        // The settings of this start go on the command line, so that a restart may take another port.
        // The test's cluster needs no protection from a power cut (fsync), but a commit must reach the
        // system's cache before it returns, so that an immediate stop keeps it: synchronous_commit stays on.
        // A restart keeps its port where it can, so that clients find the server where it was.
        if (attempt > 0 || m_port == 0)
            m_port = freeLocalPort();
        const QString options = QStringLiteral("-p %1 -c listen_addresses=127.0.0.1 -c unix_socket_directories=%2 "
                                               "-c fsync=off -c full_page_writes=off "
                                               "-c max_connections=80 -c shared_buffers=64MB")
                                    .arg(m_port)
                                    .arg(quoted(socketDir()));
        if (runTool(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), data, QStringLiteral("-l"), log, QStringLiteral("-w"), QStringLiteral("-t"),
                     QStringLiteral("60"), QStringLiteral("-o"), options, QStringLiteral("start")},
                    90000)) {
            m_running = true;
            startWatchdog();
            return true;
        }
    }
    m_error += QLatin1String("\n") + logTail(log);
    return false;
}

bool PgServerFixture::startAsStandby(const PgServerFixture &primary)
{
    if (m_initialised || !primary.isRunning()) {
        m_error = QStringLiteral("a standby is made once, of a running primary");
        return false;
    }
    if (!prepareDirectory())
        return false;
    if (!runTool(QStringLiteral("pg_basebackup"),
                 {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-h"),
                  primary.socketDir(), QStringLiteral("-p"), QString::number(primary.port()), QStringLiteral("-U"),
                  adminUser(), QStringLiteral("-R"), QStringLiteral("-X"), QStringLiteral("stream"),
                  QStringLiteral("-c"), QStringLiteral("fast"), QStringLiteral("--no-sync")},
                 120000))
        return false;
    m_initialised = true;
    return start();
}

bool PgServerFixture::stop(const QString &mode)
{
    if (!m_running)
        return true;
    const bool stopped = runTool(QStringLiteral("pg_ctl"),
                                 {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
                                  mode, QStringLiteral("-w"), QStringLiteral("stop")},
                                 60000);
    if (stopped)
        m_running = false;
    return stopped;
}

void PgServerFixture::startWatchdog()
{
    // A test that crashes never reaches the destructor; this shell stops the server and removes its
    // directory once the test process is gone. It outlives the test by at most a second.
    if (m_watchdog)
        return;
    const QString pgCtl = binDir() + QLatin1String("/pg_ctl");
    const QString stopCommand = m_runAs.isEmpty()
                                    ? QStringLiteral("\"$2\" -D \"$3\" -m immediate stop")
                                    : QStringLiteral("runuser -u \"$4\" -- \"$2\" -D \"$3\" -m immediate stop");
    QProcess watchdog;
    watchdog.setProgram(QStringLiteral("/bin/sh"));
    watchdog.setArguments({QStringLiteral("-c"),
                           QStringLiteral("while kill -0 \"$1\" 2>/dev/null; do sleep 1; done; ") + stopCommand +
                               QStringLiteral("; rm -rf \"$5\""),
                           QStringLiteral("watchdog"), QString::number(QCoreApplication::applicationPid()), pgCtl,
                           m_dir.filePath(QStringLiteral("data")), m_runAs, m_dir.path()});
    watchdog.setStandardInputFile(QProcess::nullDevice());
    watchdog.setStandardOutputFile(QProcess::nullDevice());
    watchdog.setStandardErrorFile(QProcess::nullDevice());
    m_watchdog = watchdog.startDetached();
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
