#pragma once

#include "lineview/LedgerApi.h"

#include <QAbstractHttpServer>
#include <QHostAddress>

#include <memory>

// The line view's HTTP(S) server: the supervisor's page (HTML, script and style from the program's resources;
// they hold no data and need no token) and the JSON API under /api/ (LedgerApi, a bearer token each request).
// Requests are answered one at a time on the server's thread: each database step is bounded by the ledger's
// timeouts, so that a stalled or closed ledger gives a 503 in bounded time, never a hang.
class LineViewServer final : public QAbstractHttpServer
{
    Q_OBJECT

public:
    explicit LineViewServer(std::unique_ptr<LedgerApi> api, QObject *parent = nullptr);

    // "ADDRESS:PORT", "[IPv6]:PORT"; false for anything else.
    static bool parseListen(const QString &text, QHostAddress *address, quint16 *port);
    // Reads a PEM certificate and its private key and proves that they belong together (a TLS handshake with
    // itself) before the server offers them; false with a message naming the fault.
    bool setupTls(const QString &certificateFile, const QString &keyFile, QString *message);
    // The port listened on (the one the system chose for port 0), or 0 with a message.
    quint16 start(const QHostAddress &address, quint16 port, QString *message);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    std::unique_ptr<LedgerApi> m_api;
};
