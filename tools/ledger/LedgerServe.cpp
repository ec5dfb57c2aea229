// `ledger serve`, in builds that have Qt's HTTP server (LedgerServeAbsent.cpp stands in elsewhere).
#include "CommandOptions.h"
#include "LedgerCommand.h"

#include "ledger/LineFigures.h"
#include "lineview/LineViewServer.h"

#include <QCoreApplication>
#include <QTextStream>

int LedgerCommand::serve(QStringList args)
{
    QString listenText = QStringLiteral("127.0.0.1:8480"), certificate, key, shiftText;
    shiftText = QStringLiteral("06:00,14:00,22:00");
    if (!takeOption(args, QStringLiteral("--listen"), &listenText) ||
        !takeOption(args, QStringLiteral("--tls-cert"), &certificate) ||
        !takeOption(args, QStringLiteral("--tls-key"), &key) ||
        !takeOption(args, QStringLiteral("--shifts"), &shiftText) || !args.isEmpty() ||
        certificate.isEmpty() != key.isEmpty())
        return fail(QStringLiteral("Usage: ledger serve [--listen ADDRESS:PORT] [--tls-cert FILE --tls-key FILE] "
                                   "[--shifts HH:MM,...] (a certificate goes with its key)"),
                    Usage);
    QHostAddress address;
    quint16 port = 0;
    if (!LineViewServer::parseListen(listenText, &address, &port))
        return fail(QStringLiteral("Not an address to listen on: \"%1\" (ADDRESS:PORT, [IPv6]:PORT).").arg(listenText),
                    Usage);
    QVector<QTime> shifts;
    if (!LineFigures::parseShifts(shiftText, &shifts))
        return fail(QStringLiteral("Not a list of shift starts: \"%1\" (HH:MM,HH:MM,...).").arg(shiftText), Usage);
    // The server answers one request at a time: its waits on the ledger stay short, so that a stalled ledger
    // holds the page up for seconds at most.
    LedgerTimeouts timeouts = m_timeouts;
    timeouts.connect = qMin(timeouts.connect, 3);
    timeouts.statement = qMin(timeouts.statement, 5);
    timeouts.lock = qMin(timeouts.lock, 2);
    // The schema and the login are checked before listening when the ledger answers; an unreachable ledger gives
    // 503 until it does.
    auto api = std::make_unique<LedgerApi>(m_connection, timeouts, shifts);
    QString message;
    const LedgerStatus ready = api->checkReady(&message);
    if (ready == LedgerStatus::Unreachable)
        QTextStream(stderr) << "ledger serve: " << message << Qt::endl;
    else if (ready != LedgerStatus::Ok)
        return fail(message);
    LineViewServer server(std::move(api));
    if (!certificate.isEmpty() && !server.setupTls(certificate, key, &message))
        return fail(message);
    const quint16 bound = server.start(address, port, &message);
    if (bound == 0)
        return fail(message);
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    // Said at once, not at exit: scripts and tests wait for this line (with the port chosen for port 0).
    QTextStream(stdout) << QStringLiteral("Serving the line view on %1://%2:%3/\n")
                               .arg(certificate.isEmpty() ? QStringLiteral("http") : QStringLiteral("https"), host)
                               .arg(bound)
                        << Qt::flush;
    return QCoreApplication::exec() == 0 ? Success : Failure;
}
