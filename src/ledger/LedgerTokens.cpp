#include "ledger/LedgerTokens.h"

#include "ledger/LedgerSchema.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

LedgerStatus failed(const LedgerRows &rows, QString *message)
{
    if (message)
        *message = rows.message();
    return rows.status() == LedgerStatus::Ok ? LedgerStatus::Failed : rows.status();
}

QDateTime utc(const LedgerRows &rows, int row, int column)
{
    if (rows.isNull(row, column))
        return {};
    return QDateTime::fromMSecsSinceEpoch(rows.number(row, column), Qt::UTC);
}

} // namespace

QString LedgerTokens::newToken()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
}

QByteArray LedgerTokens::hash(const QString &token)
{
    return QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex();
}

LedgerStatus LedgerTokens::add(const QString &name, QString *token, QString *message)
{
    if (!LedgerSchema::isValidName(name)) {
        if (message)
            *message = QStringLiteral("A client's name is letters, digits, '_' or '-' (at most 63): \"%1\".").arg(name);
        return LedgerStatus::Failed;
    }
    const QString made = newToken();
    // A revoked client is given a new token under its name; a working one is left alone.
    const LedgerRows rows = m_connection.exec(
        "INSERT INTO ledger.api_tokens (name, token_hash) VALUES ($1, $2) ON CONFLICT (name) DO UPDATE "
        "SET token_hash = EXCLUDED.token_hash, created_at = now(), revoked_at = NULL "
        "WHERE ledger.api_tokens.revoked_at IS NOT NULL",
        {name.toUtf8(), hash(made)});
    if (!rows.ok())
        return failed(rows, message);
    if (rows.affected() != 1) {
        if (message)
            *message = QStringLiteral("Client %1 has a working token: revoke it first.").arg(name);
        return LedgerStatus::Conflict;
    }
    *token = made;
    return LedgerStatus::Ok;
}

LedgerStatus LedgerTokens::revoke(const QString &name, QString *message)
{
    const LedgerRows rows = m_connection.exec(
        "UPDATE ledger.api_tokens SET revoked_at = now() WHERE name = $1 AND revoked_at IS NULL", {name.toUtf8()});
    if (!rows.ok())
        return failed(rows, message);
    if (rows.affected() != 1) {
        if (message)
            *message = QStringLiteral("No client %1 with a working token.").arg(name);
        return LedgerStatus::Conflict;
    }
    return LedgerStatus::Ok;
}

LedgerStatus LedgerTokens::list(QVector<Client> *clients, QString *message)
{
    clients->clear();
    const LedgerRows rows = m_connection.exec(
        "SELECT name, (extract(epoch FROM created_at) * 1000)::bigint, (extract(epoch FROM revoked_at) * 1000)::bigint "
        "FROM ledger.api_tokens ORDER BY name");
    if (!rows.ok())
        return failed(rows, message);
    for (int row = 0; row < rows.rowCount(); ++row)
        clients->append({rows.text(row, 0), utc(rows, row, 1), utc(rows, row, 2)});
    return LedgerStatus::Ok;
}

LedgerStatus LedgerTokens::clientOf(const QString &token, QString *name, QString *message)
{
    name->clear();
    const LedgerRows rows = m_connection.exec("SELECT ledger.api_client($1)", {hash(token)});
    if (!rows.ok())
        return failed(rows, message);
    if (rows.rowCount() == 1 && !rows.isNull(0, 0))
        *name = rows.text(0, 0);
    return LedgerStatus::Ok;
}
