// Starts PostgreSQL servers for test programs that cannot start one themselves: the Windows build's ledger
// suites under wine. Each connection to the agent is one test's server (PgServerFixture on Windows), asked for
// by lines of text; when the connection ends, the agent stops the server and removes its cluster.
//   PgServerAgent [PORT]   listens on 127.0.0.1 (a free port unless given) and prints "listening PORT"
// Requests and answers, one line each (texts percent-encoded):
//   -> "hello ID" on connecting
//   start | stop MODE | standby ID | server-pid | pause PID | resume PID   ->  "ok [NUMBER]" or "error TEXT"
#include "PgServerFixture.h"

#include <QCoreApplication>
#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <memory>

namespace {

struct Session
{
    QTcpSocket *socket = nullptr;
    PgServerFixture server;
};

QByteArray answer(PgServerFixture &server, bool ok, qint64 number = -1)
{
    if (!ok)
        return "error " + server.error().toUtf8().toPercentEncoding() + '\n';
    return number < 0 ? QByteArray("ok\n") : "ok " + QByteArray::number(number) + '\n';
}

QByteArray handle(QHash<int, std::shared_ptr<Session>> &sessions, Session &session, const QByteArray &line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    const QByteArray verb = words.value(0);
    const QByteArray argument = words.value(1);
    PgServerFixture &server = session.server;
    if (verb == "start") {
        const bool ok = server.start();
        return answer(server, ok, server.port());
    }
    if (verb == "stop")
        return answer(server, server.stop(QString::fromLatin1(argument)));
    if (verb == "standby") {
        const std::shared_ptr<Session> primary = sessions.value(argument.toInt());
        if (!primary)
            return "error no%20such%20primary\n";
        const bool ok = server.startAsStandby(primary->server);
        return answer(server, ok, server.port());
    }
    if (verb == "server-pid") {
        const qint64 pid = server.serverPid();
        return answer(server, pid > 0, pid);
    }
    if (verb == "pause" || verb == "resume") {
        const qint64 pid = argument.toLongLong();
        const bool ok = pid > 0 && (verb == "pause" ? server.pauseProcess(pid) : server.resumeProcess(pid));
        return ok ? QByteArray("ok\n") : QByteArray("error no%20such%20process\n");
    }
    return "error unknown%20request\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTcpServer listener;
    if (!listener.listen(QHostAddress::LocalHost, quint16(app.arguments().value(1).toUInt()))) {
        std::fprintf(stderr, "PgServerAgent: cannot listen: %s\n", qPrintable(listener.errorString()));
        return 1;
    }
    std::printf("listening %u\n", unsigned(listener.serverPort()));
    std::fflush(stdout);

    QHash<int, std::shared_ptr<Session>> sessions;
    int lastId = 0;
    QObject::connect(&listener, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = listener.nextPendingConnection()) {
            const int id = ++lastId;
            auto session = std::make_shared<Session>();
            session->socket = socket;
            sessions.insert(id, session);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [&sessions, id] {
                const std::shared_ptr<Session> s = sessions.value(id);
                while (s && s->socket->canReadLine())
                    s->socket->write(handle(sessions, *s, s->socket->readLine()));
            });
            // The test is over (or gone): its server with it.
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [&sessions, id, socket] {
                sessions.remove(id);
                socket->deleteLater();
            });
            socket->write("hello " + QByteArray::number(id) + '\n');
        }
    });
    return app.exec();
}
