#include "lineview/LineViewServer.h"

#include <QEventLoop>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

namespace {

using Status = QHttpServerResponder::StatusCode;

QByteArray header(const QHttpServerRequest &request, const QByteArray &name)
{
    const auto headers = request.headers();
    for (const auto &pair : headers)
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    return {};
}

struct PageFile
{
    const char *path;
    const char *resource;
    const char *type;
};

const PageFile pageFiles[] = {
    {"/", ":/lineview/index.html", "text/html; charset=utf-8"},
    {"/lineview.js", ":/lineview/lineview.js", "text/javascript; charset=utf-8"},
    {"/lineview.css", ":/lineview/lineview.css", "text/css; charset=utf-8"},
};

// Whether the pair serves TLS: a loopback handshake of the server's configuration with a client that takes any
// certificate. OpenSSL refuses a key that is not the certificate's, so the handshake fails on a wrong pair.
bool handshakes(const QSslConfiguration &configuration, QString *why)
{
    QSslServer listener;
    listener.setSslConfiguration(configuration);
    if (!listener.listen(QHostAddress::LocalHost, 0)) {
        *why = listener.errorString();
        return false;
    }
    QSslSocket client;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    bool encrypted = false;
    QObject::connect(&listener, &QSslServer::errorOccurred, &loop, [&](QSslSocket *socket) {
        *why = socket->errorString();
        loop.quit();
    });
    QObject::connect(&client, &QSslSocket::encrypted, &loop, [&] {
        encrypted = true;
        loop.quit();
    });
    QObject::connect(&client, &QSslSocket::errorOccurred, &loop, [&] {
        if (why->isEmpty())
            *why = client.errorString();
        loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        *why = QStringLiteral("no handshake within 5 s");
        loop.quit();
    });
    client.setPeerVerifyMode(QSslSocket::VerifyNone);
    client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), listener.serverPort());
    limit.start(5000);
    loop.exec();
    return encrypted;
}

} // namespace

LineViewServer::LineViewServer(std::unique_ptr<LedgerApi> api, QObject *parent)
    : QAbstractHttpServer(parent), m_api(std::move(api))
{
}

bool LineViewServer::parseListen(const QString &text, QHostAddress *address, quint16 *port)
{
    const int colon = int(text.lastIndexOf(QLatin1Char(':')));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return false; // an IPv6 address goes in brackets
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number > 65535 || !address->setAddress(host))
        return false;
    *port = quint16(number);
    return true;
}

bool LineViewServer::setupTls(const QString &certificateFile, const QString &keyFile, QString *message)
{
    if (!QSslSocket::supportsSsl()) {
        *message = QStringLiteral("This system's Qt has no TLS backend, so it cannot serve https.");
        return false;
    }
    QFile certFile(certificateFile), privateFile(keyFile);
    if (!certFile.open(QIODevice::ReadOnly) || !privateFile.open(QIODevice::ReadOnly)) {
        *message = QStringLiteral("Cannot read %1: %2")
                       .arg(certFile.isOpen() ? keyFile : certificateFile,
                            certFile.isOpen() ? privateFile.errorString() : certFile.errorString());
        return false;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll(), QSsl::Pem);
    if (chain.isEmpty() || chain.first().isNull()) {
        *message = QStringLiteral("%1 holds no PEM certificate.").arg(certificateFile);
        return false;
    }
    const QByteArray keyText = privateFile.readAll();
    QSslKey key;
    for (QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        key = QSslKey(keyText, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            break;
    }
    if (key.isNull()) {
        *message = QStringLiteral("%1 holds no unencrypted PEM private key (RSA or EC).").arg(keyFile);
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    QString why;
    if (!handshakes(configuration, &why)) {
        *message = QStringLiteral("The key of %1 does not serve the certificate of %2 (is it the certificate's "
                                  "key?): %3")
                       .arg(keyFile, certificateFile, why);
        return false;
    }
    sslSetup(configuration);
    return true;
}

quint16 LineViewServer::start(const QHostAddress &address, quint16 port, QString *message)
{
    const quint16 bound = listen(address, port);
    if (bound == 0) {
        const QList<QTcpServer *> list = servers();
        *message = QStringLiteral("Cannot listen on %1 port %2: %3")
                       .arg(address.toString())
                       .arg(port)
                       .arg(list.isEmpty() ? QStringLiteral("the address is in use or not this machine's")
                                           : list.constLast()->errorString());
    }
    return bound;
}

bool LineViewServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    const QString path = request.url().path();
    if (request.method() != QHttpServerRequest::Method::Get) {
        responder.write(QByteArray(R"({"error":"Only GET is served: the line view reads, it never changes."})"),
                        {{"Content-Type", "application/json"}, {"Allow", "GET"}}, Status::MethodNotAllowed);
        return true;
    }
    for (const PageFile &file : pageFiles) {
        if (path != QLatin1String(file.path))
            continue;
        QFile resource(QLatin1String(file.resource));
        resource.open(QIODevice::ReadOnly);
        // The page draws everything itself: nothing from elsewhere, no frames around it.
        responder.write(resource.readAll(), {{"Content-Type", file.type},
                                             {"Cache-Control", "no-cache"},
                                             {"X-Content-Type-Options", "nosniff"},
                                             {"Content-Security-Policy",
                                              "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'"}});
        return true;
    }
    const LedgerApi::Reply reply = m_api->get(path, request.query(), header(request, "Authorization"));
    if (reply.challenge)
        responder.write(reply.body,
                        {{"Content-Type", "application/json"},
                         {"Cache-Control", "no-store"},
                         {"WWW-Authenticate", "Bearer realm=\"ledger\""}},
                        Status(reply.status));
    else
        responder.write(reply.body, {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}},
                        Status(reply.status));
    return true;
}

void LineViewServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket)
        .write(QByteArray(R"({"error":"No such resource."})"), {{"Content-Type", "application/json"}},
               Status::NotFound);
}
