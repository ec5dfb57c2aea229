#include "PgServerFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

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

// The tail of the server's log, for a failure message.
QString logTail(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    return QString::fromLocal8Bit(text.right(1500));
}

// The directory of initdb, pg_ctl and postgres: DOVERARIZ_PG_BINDIR, else the Debian path of version 15.
QString binDir()
{
    const QString dir = qEnvironmentVariable("DOVERARIZ_PG_BINDIR");
    return dir.isEmpty() ? QStringLiteral("/usr/lib/postgresql/15/bin") : dir;
}

} // namespace

struct PgServerFixture::Platform
{
    QTemporaryDir dir{QDir::tempPath() + QLatin1String("/pgtest-XXXXXX")};
    QString runAs; // empty when the server runs as the current user
    bool initialised = false;
    bool watchdog = false;

    bool prepareDirectory(QString &error);
    bool runTool(const QString &tool, const QStringList &args, int timeoutMs, QString &error);
    void startWatchdog();
};

PgServerFixture::PgServerFixture() : m_platform(std::make_unique<Platform>()) {}

PgServerFixture::~PgServerFixture()
{
    if (m_running)
        stop(QStringLiteral("immediate"));
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

QString PgServerFixture::host() const
{
    return m_platform->dir.path();
}

bool PgServerFixture::Platform::runTool(const QString &tool, const QStringList &args, int timeoutMs, QString &error)
{
    QProcess process;
    const QString path = binDir() + QLatin1Char('/') + tool;
    if (runAs.isEmpty()) {
        process.start(path, args);
    } else {
        // runuser drops to the server's user without asking for a password; setpriv where it is missing.
        const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"),
                                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (!runuser.isEmpty()) {
            process.start(runuser, QStringList{QStringLiteral("-u"), runAs, QStringLiteral("--"), path} + args);
        } else {
            process.start(QStringLiteral("setpriv"),
                          QStringList{QStringLiteral("--reuid=") + runAs, QStringLiteral("--regid=") + runAs,
                                      QStringLiteral("--init-groups"), path} +
                              args);
        }
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        error = tool + QLatin1String(" did not finish: ") + process.errorString();
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error = tool + QLatin1String(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()) +
                QString::fromLocal8Bit(process.readAllStandardOutput());
        return false;
    }
    return true;
}

bool PgServerFixture::Platform::prepareDirectory(QString &error)
{
    if (!dir.isValid()) {
        error = QStringLiteral("no temporary directory: ") + dir.errorString();
        return false;
    }
    if (::geteuid() == 0) {
        // The server refuses to run as root: hand the directory to an unprivileged user.
        const passwd *user = ::getpwnam("postgres");
        if (!user)
            user = ::getpwnam("nobody");
        if (!user) {
            error = QStringLiteral("running as root, and neither user postgres nor nobody exists");
            return false;
        }
        runAs = QString::fromLocal8Bit(user->pw_name);
        if (::chown(QFile::encodeName(dir.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
            error = QStringLiteral("cannot hand %1 to %2").arg(dir.path(), runAs);
            return false;
        }
    }
    return true;
}

bool PgServerFixture::startServer()
{
    Platform &p = *m_platform;
    const QString data = p.dir.filePath(QStringLiteral("data"));
    if (!p.initialised) {
        if (!p.prepareDirectory(m_error) ||
            !p.runTool(QStringLiteral("initdb"),
                       {QStringLiteral("-D"), data, QStringLiteral("-U"), adminUser(), QStringLiteral("-A"),
                        QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                        QStringLiteral("--locale=C"), QStringLiteral("--no-sync"), QStringLiteral("--no-instructions")},
                       120000, m_error))
            return false;
        p.initialised = true;
    }
    const QString log = p.dir.filePath(QStringLiteral("server.log"));
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
                                    .arg(quoted(host()));
        if (p.runTool(QStringLiteral("pg_ctl"),
                      {QStringLiteral("-D"), data, QStringLiteral("-l"), log, QStringLiteral("-w"),
                       QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"), options,
                       QStringLiteral("start")},
                      90000, m_error)) {
            m_running = true;
            p.startWatchdog();
            return true;
        }
    }
    m_error += QLatin1String("\n") + logTail(log);
    return false;
}

bool PgServerFixture::startAsStandby(const PgServerFixture &primary)
{
    Platform &p = *m_platform;
    if (p.initialised || !primary.isRunning()) {
        m_error = QStringLiteral("a standby is made once, of a running primary");
        return false;
    }
    if (!p.prepareDirectory(m_error))
        return false;
    if (!p.runTool(QStringLiteral("pg_basebackup"),
                   {QStringLiteral("-D"), p.dir.filePath(QStringLiteral("data")), QStringLiteral("-h"), primary.host(),
                    QStringLiteral("-p"), QString::number(primary.port()), QStringLiteral("-U"), adminUser(),
                    QStringLiteral("-R"), QStringLiteral("-X"), QStringLiteral("stream"), QStringLiteral("-c"),
                    QStringLiteral("fast"), QStringLiteral("--no-sync")},
                   120000, m_error))
        return false;
    p.initialised = true;
    return start();
}

bool PgServerFixture::stop(const QString &mode)
{
    if (!m_running)
        return true;
    const bool stopped = m_platform->runTool(QStringLiteral("pg_ctl"),
                                             {QStringLiteral("-D"), m_platform->dir.filePath(QStringLiteral("data")),
                                              QStringLiteral("-m"), mode, QStringLiteral("-w"), QStringLiteral("stop")},
                                             60000, m_error);
    if (stopped)
        m_running = false;
    return stopped;
}

qint64 PgServerFixture::serverPid()
{
    // The first line of the server's own pid file names its main process.
    QFile file(m_platform->dir.filePath(QStringLiteral("data/postmaster.pid")));
    bool ok = false;
    const qint64 pid = file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toLongLong(&ok) : 0;
    if (!ok || pid <= 0) {
        m_error = QStringLiteral("no server process in %1").arg(file.fileName());
        return 0;
    }
    return pid;
}

bool PgServerFixture::pauseProcess(qint64 pid)
{
    return ::kill(pid_t(pid), SIGSTOP) == 0;
}

bool PgServerFixture::resumeProcess(qint64 pid)
{
    return ::kill(pid_t(pid), SIGCONT) == 0;
}

void PgServerFixture::Platform::startWatchdog()
{
    // A test that crashes never reaches the destructor; this shell stops the server and removes its
    // directory once the test process is gone. It outlives the test by at most a second.
    if (watchdog)
        return;
    const QString pgCtl = binDir() + QLatin1String("/pg_ctl");
    const QString stopCommand = runAs.isEmpty()
                                    ? QStringLiteral("\"$2\" -D \"$3\" -m immediate stop")
                                    : QStringLiteral("runuser -u \"$4\" -- \"$2\" -D \"$3\" -m immediate stop");
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({QStringLiteral("-c"),
                          QStringLiteral("while kill -0 \"$1\" 2>/dev/null; do sleep 1; done; ") + stopCommand +
                              QStringLiteral("; rm -rf \"$5\""),
                          QStringLiteral("watchdog"), QString::number(QCoreApplication::applicationPid()), pgCtl,
                          dir.filePath(QStringLiteral("data")), runAs, dir.path()});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    watchdog = process.startDetached();
}
