#pragma once

#include "ledger/LedgerConnection.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// The bearer tokens of the line view's API clients. The ledger keeps each token's SHA-256 only: a token is shown
// once, when it is made, and a stolen table gives no working token. Adding and revoking need the ledger's owner;
// the read-only role only asks whose a token is (ledger.api_client).
class LedgerTokens final
{
public:
    struct Client
    {
        QString name;
        QDateTime createdAt;
        QDateTime revokedAt; // invalid while the token works
    };

    explicit LedgerTokens(LedgerConnection &connection) : m_connection(connection) {}

    // A new token for the client `name` (a revoked client's name is given a new one); Conflict when the client
    // holds a token that works.
    LedgerStatus add(const QString &name, QString *token, QString *message);
    // Ends the client's token; Conflict when there is no such client, or it is revoked already.
    LedgerStatus revoke(const QString &name, QString *message);
    LedgerStatus list(QVector<Client> *clients, QString *message);
    // The client whose working token this is, or an empty name (Ok) when it is none.
    LedgerStatus clientOf(const QString &token, QString *name, QString *message);

    // 32 random bytes from the system's generator, as 64 hex digits.
    static QString newToken();
    static QByteArray hash(const QString &token);

private:
    LedgerConnection &m_connection;
};
