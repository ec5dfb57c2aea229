#include "ledger/LedgerPools.h"

#include "ledger/Ledger.h"
#include "ledger/LedgerSchema.h"

LedgerStatus LedgerPools::abandon(const LedgerRows &rows, QString *message)
{
    if (message && !rows.ok())
        *message = rows.message();
    const LedgerStatus status = rows.status() == LedgerStatus::Ok ? LedgerStatus::Failed : rows.status();
    if (m_connection.isOpen())
        m_connection.command("ROLLBACK", nullptr);
    return status;
}

LedgerStatus LedgerPools::add(const QString &name, int kind, const QStringList &values, bool *added, QString *message)
{
    *added = false;
    if (!LedgerSchema::isValidName(name) || (kind != 1 && kind != 2 && kind != 4) || values.isEmpty()) {
        if (message)
            *message = values.isEmpty() ? tr("The pool %1 holds no value.").arg(name)
                                        : tr("A pool is named with letters, digits, '_' or '-' (at most 63), and "
                                             "holds IMEI sets, MBSN or PSN values: \"%1\".")
                                              .arg(name);
        return LedgerStatus::Refused;
    }
    LedgerStatus status = LedgerSchema::check(m_connection, message);
    if (status != LedgerStatus::Ok)
        return status;
    LedgerRows rows = m_connection.exec("BEGIN");
    if (!rows.ok())
        return abandon(rows, message);
    rows = m_connection.exec("LOCK TABLE ledger.identities IN SHARE ROW EXCLUSIVE MODE");
    if (!rows.ok())
        return abandon(rows, message);
    const QByteArray kindText = QByteArray::number(kind);
    const QByteArray list = LedgerConnection::arrayLiteral(values);
    rows = m_connection.exec("SELECT kind, size FROM ledger.pools WHERE name = $1", {name.toUtf8()});
    if (!rows.ok())
        return abandon(rows, message);
    if (rows.rowCount() == 1) {
        const bool sameKind = rows.number(0, 0) == kind && rows.number(0, 1) == values.size();
        rows = m_connection.exec("SELECT count(*) FROM unnest($1::text[]) u(v) JOIN ledger.pool_values p "
                                 "ON p.kind = $2 AND p.value = u.v AND p.pool = $3",
                                 {list, kindText, name.toUtf8()});
        if (!rows.ok())
            return abandon(rows, message);
        m_connection.command("ROLLBACK", nullptr);
        if (sameKind && rows.number(0, 0) == values.size())
            return LedgerStatus::Ok;
        if (message)
            *message = tr("The pool %1 holds other values already, and a pool never changes: add these under "
                          "another name.")
                           .arg(name);
        return LedgerStatus::Refused;
    }
    rows = m_connection.exec("SELECT p.value, p.pool FROM unnest($1::text[]) u(v) JOIN ledger.pool_values p "
                             "ON p.kind = $2 AND p.value = u.v LIMIT 1",
                             {list, kindText});
    if (!rows.ok())
        return abandon(rows, message);
    if (rows.rowCount() == 1) {
        m_connection.command("ROLLBACK", nullptr);
        if (message)
            *message = tr("%1 %2 lies in the pool %3 already: a value counts in one pool only.")
                           .arg(Ledger::kindName(kind), rows.text(0, 0), rows.text(0, 1));
        return LedgerStatus::Refused;
    }
    rows = m_connection.exec("INSERT INTO ledger.pools (name, kind, size) VALUES ($1, $2, $3)",
                             {name.toUtf8(), kindText, QByteArray::number(values.size())});
    if (rows.ok())
        rows = m_connection.exec("INSERT INTO ledger.pool_values (kind, value, pool, claimed_at) "
                                 "SELECT $1, u.v, $2, (SELECT c.claimed_at FROM ledger.identities i JOIN ledger.cycles "
                                 "c ON c.id = i.cycle_id "
                                 "                     WHERE i.kind = $1 AND i.value = u.v) "
                                 "FROM unnest($3::text[]) u(v)",
                                 {kindText, name.toUtf8(), list});
    if (rows.ok())
        rows = m_connection.exec("COMMIT");
    if (!rows.ok())
        return abandon(rows, message);
    *added = true;
    // A table of a few rows is never analysed by autovacuum; the line view's plan counts its rows.
    m_connection.exec("ANALYZE ledger.pools, ledger.pool_values");
    return LedgerStatus::Ok;
}
