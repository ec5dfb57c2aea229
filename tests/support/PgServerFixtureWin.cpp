#include "PgServerFixture.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {

// host:port of the agent that starts Linux servers for the Windows build's suites (tests/support/PgServerAgent).
QString agentAddress()
{
    return qEnvironmentVariable("DOVERARIZ_PG_AGENT");
}

} // namespace

struct PgServerFixture::Platform
{
    QTcpSocket agent;
    int id = 0;

    // One request, one answer line: its number on "ok", or false with the agent's text in `error`.
    bool ask(const QByteArray &request, qint64 *number, QString &error);
    bool connectToAgent(QString &error);
};

bool PgServerFixture::Platform::connectToAgent(QString &error)
{
    if (agent.state() == QAbstractSocket::ConnectedState)
        return true;
    const QString address = agentAddress();
    agent.connectToHost(address.section(QLatin1Char(':'), 0, -2),
                        quint16(address.section(QLatin1Char(':'), -1).toUInt()));
    qint64 hello = 0;
    if (!agent.waitForConnected(10000)) {
        error = QStringLiteral("cannot reach the server agent at %1: %2").arg(address, agent.errorString());
        return false;
    }
    if (!ask(QByteArray(), &hello, error))
        return false;
    id = int(hello);
    return true;
}

bool PgServerFixture::Platform::ask(const QByteArray &request, qint64 *number, QString &error)
{
    if (!request.isEmpty() && (agent.write(request + '\n') < 0 || !agent.waitForBytesWritten(10000))) {
        error = QStringLiteral("the server agent did not take the request: ") + agent.errorString();
        return false;
    }
    // Starting a cluster takes seconds, and the agent serves the suites one request at a time.
    while (!agent.canReadLine()) {
        if (!agent.waitForReadyRead(300000)) {
            error = QStringLiteral("the server agent did not answer: ") + agent.errorString();
            return false;
        }
    }
    const QByteArray line = agent.readLine().trimmed();
    const qsizetype space = line.indexOf(' ');
    const QByteArray word = space < 0 ? line : line.left(space);
    const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1);
    if (word == "ok" || word == "hello") {
        if (number)
            *number = rest.toLongLong();
        return true;
    }
    error = QString::fromUtf8(QByteArray::fromPercentEncoding(rest));
    return false;
}

PgServerFixture::PgServerFixture() : m_platform(std::make_unique<Platform>()) {}

// The agent stops the server and removes its cluster when the link closes, also when the test crashes.
PgServerFixture::~PgServerFixture() = default;

bool PgServerFixture::binariesPresent()
{
    return !agentAddress().isEmpty();
}

QString PgServerFixture::skipMessage()
{
    return QStringLiteral("no PostgreSQL server agent named in DOVERARIZ_PG_AGENT (host:port): the Windows check "
                          "(scripts/windows.sh) starts one to run the ledger tests");
}

QString PgServerFixture::host() const
{
    return QStringLiteral("127.0.0.1");
}

bool PgServerFixture::startServer()
{
    qint64 port = 0;
    if (!m_platform->connectToAgent(m_error) || !m_platform->ask("start", &port, m_error))
        return false;
    m_port = int(port);
    m_running = true;
    return true;
}

bool PgServerFixture::startAsStandby(const PgServerFixture &primary)
{
    qint64 port = 0;
    if (!m_platform->connectToAgent(m_error) ||
        !m_platform->ask("standby " + QByteArray::number(primary.m_platform->id), &port, m_error))
        return false;
    m_port = int(port);
    m_running = true;
    return true;
}

bool PgServerFixture::stop(const QString &mode)
{
    if (!m_running)
        return true;
    if (!m_platform->ask("stop " + mode.toLatin1(), nullptr, m_error))
        return false;
    m_running = false;
    return true;
}

qint64 PgServerFixture::serverPid()
{
    qint64 pid = 0;
    return m_platform->ask("server-pid", &pid, m_error) ? pid : 0;
}

bool PgServerFixture::pauseProcess(qint64 pid)
{
    return m_platform->ask("pause " + QByteArray::number(pid), nullptr, m_error);
}

bool PgServerFixture::resumeProcess(qint64 pid)
{
    return m_platform->ask("resume " + QByteArray::number(pid), nullptr, m_error);
}
