#include "ledger/LedgerReports.h"

#include "ledger/Ledger.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LedgerReports", text);
}

QString localTime(const QString &epochMs)
{
    if (epochMs.isEmpty())
        return {};
    return QDateTime::fromMSecsSinceEpoch(epochMs.toLongLong(), Qt::UTC)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// Spelled out in full: the catalogue tool attributes tr() outside a class to no context and skips it.
QString where(const QString &station, const QString &port, const QString &chip)
{
    QString text = QCoreApplication::translate("LedgerReports", "station %1").arg(station);
    if (!port.isEmpty())
        text += QCoreApplication::translate("LedgerReports", ", port %1").arg(port);
    if (!chip.isEmpty())
        text += QCoreApplication::translate("LedgerReports", ", chip %1").arg(chip);
    return text;
}

} // namespace

LedgerStatus LedgerReports::story(int kind, const QString &value, QStringList *lines, QString *message)
{
    lines->clear();
    LedgerRows rows = m_connection.exec(
        "SELECT i.kind, c.id, c.station, c.port, c.chip_id, c.state, c.imported, "
        "(extract(epoch FROM c.claimed_at) * 1000)::bigint, (extract(epoch FROM c.written_at) * 1000)::bigint "
        "FROM ledger.identities i JOIN ledger.cycles c ON c.id = i.cycle_id "
        "WHERE i.value = $1 AND ($2 = 0 OR i.kind = $2) ORDER BY i.kind",
        {value.toUtf8(), QByteArray::number(kind)});
    if (!rows.ok()) {
        if (message)
            *message = rows.message();
        return rows.status();
    }
    for (int row = 0; row < rows.rowCount(); ++row) {
        const int found = int(rows.number(row, 0));
        const QString cycle = rows.text(row, 1);
        const QString name = Ledger::kindName(found) + QLatin1Char(' ') + value;
        if (rows.text(row, 6) == QLatin1String("t")) {
            lines->append(tr("%1: %2 imported from the history of station %3 (set %4).")
                              .arg(name, localTime(rows.text(row, 7)), rows.text(row, 2), cycle));
        } else {
            lines->append(tr("%1: %2 claimed by %3 (set %4).")
                              .arg(name, localTime(rows.text(row, 7)),
                                   where(rows.text(row, 2), rows.text(row, 3), rows.text(row, 4)), cycle));
            if (rows.text(row, 5) == QLatin1String("written"))
                lines->append(tr("%1: %2 written into the handset.").arg(name, localTime(rows.text(row, 8))));
            else
                lines->append(tr("%1: never marked written: the handset was not saved, or its station lost the "
                                 "ledger before it could say so. The identity stays taken.")
                                  .arg(name));
        }
        LedgerRows others = m_connection.exec("SELECT kind, value FROM ledger.identities WHERE cycle_id = $1 "
                                              "AND NOT (kind = $2 AND value = $3) ORDER BY kind, position, value "
                                              "LIMIT 8",
                                              {cycle.toUtf8(), QByteArray::number(found), value.toUtf8()});
        QStringList set;
        for (int other = 0; other < others.rowCount(); ++other)
            set.append(Ledger::kindName(int(others.number(other, 0))) + QLatin1Char(' ') + others.text(other, 1));
        if (!set.isEmpty())
            lines->append(tr("%1: in one set with %2.").arg(name, set.join(QLatin1String(", "))));
        LedgerRows reads =
            m_connection.exec("SELECT station, port, chip_id, (extract(epoch FROM confirmed_at) * 1000)::bigint "
                              "FROM ledger.confirmations WHERE kind = $1 AND value = $2 ORDER BY confirmed_at, id",
                              {QByteArray::number(found), value.toUtf8()});
        if (!others.ok() || !reads.ok()) {
            if (message)
                *message = others.ok() ? reads.message() : others.message();
            return others.ok() ? reads.status() : others.status();
        }
        for (int read = 0; read < reads.rowCount(); ++read) {
            lines->append(tr("%1: %2 confirmed by a read on %3.")
                              .arg(name, localTime(reads.text(read, 3)),
                                   where(reads.text(read, 0), reads.text(read, 1), reads.text(read, 2))));
        }
    }
    return LedgerStatus::Ok;
}

QByteArray LedgerReports::csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    // A spreadsheet runs a cell that starts like a formula (a port named "=cmd|..."); behind a single quote it
    // shows it as text.
    const bool formula = !bytes.isEmpty() && QByteArray("=+-@\t\r").contains(bytes.at(0));
    if (formula || bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace('"', "\"\"");
        bytes = (formula ? "\"'" : "\"") + bytes + '"';
    }
    return bytes;
}

qint64 LedgerReports::exportCycles(const QDateTime &from, const QDateTime &to, QIODevice *out, QString *message)
{
    const LedgerRows rows = m_connection.exec(
        "SELECT c.id, c.station, c.port, c.chip_id, c.state, "
        "to_char(c.claimed_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), "
        "coalesce(to_char(c.written_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), ''), "
        "coalesce(max(i.value) FILTER (WHERE i.kind = 1 AND i.position = 1), ''), "
        "coalesce(max(i.value) FILTER (WHERE i.kind = 1 AND i.position = 2), ''), "
        "coalesce(max(i.value) FILTER (WHERE i.kind = 1 AND i.position = 3), ''), "
        "coalesce(max(i.value) FILTER (WHERE i.kind = 1 AND i.position = 4), ''), "
        "coalesce(max(i.value) FILTER (WHERE i.kind = 2), ''), "
        "coalesce(max(i.value) FILTER (WHERE i.kind = 4), ''), "
        "coalesce(max(i.value) FILTER (WHERE i.kind = 8), ''), "
        "EXISTS (SELECT 1 FROM ledger.confirmations f JOIN ledger.identities j ON j.kind = f.kind "
        "AND j.value = f.value WHERE j.cycle_id = c.id) "
        "FROM ledger.cycles c LEFT JOIN ledger.identities i ON i.cycle_id = c.id "
        "WHERE NOT c.imported AND c.claimed_at >= $1 AND c.claimed_at < $2 "
        "GROUP BY c.id ORDER BY c.claimed_at, c.id",
        {from.toUTC().toString(Qt::ISODateWithMs).toUtf8(), to.toUTC().toString(Qt::ISODateWithMs).toUtf8()});
    if (!rows.ok()) {
        if (message)
            *message = rows.message();
        return -1;
    }
    QByteArray text("cycle,station,port,chip_id,state,claimed_at,written_at,imei1,imei2,imei3,imei4,mbsn,psn,bt,"
                    "confirmed\r\n");
    for (int row = 0; row < rows.rowCount(); ++row) {
        for (int column = 0; column < 14; ++column)
            text += csvField(rows.text(row, column)) + ',';
        text += rows.text(row, 14) == QLatin1String("t") ? "yes\r\n" : "no\r\n";
    }
    if (out->write(text) != text.size()) {
        if (message)
            *message = tr("The export could not be written: %1").arg(out->errorString());
        return -1;
    }
    return rows.rowCount();
}

QString LedgerReports::CycleCursor::text() const
{
    return QString::number(claimedUs) + QLatin1Char('.') + QString::number(id);
}

bool LedgerReports::CycleCursor::parse(const QString &text, CycleCursor *cursor)
{
    static const QRegularExpression form(QStringLiteral("^(-?\\d{1,18})\\.(\\d{1,18})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    cursor->claimedUs = match.captured(1).toLongLong();
    cursor->id = match.captured(2).toLongLong();
    return cursor->id > 0;
}

LedgerStatus LedgerReports::cyclePage(const QDateTime &from, const QDateTime &to, const CycleCursor &after, int limit,
                                      QJsonArray *cycles, CycleCursor *next, QString *message)
{
    *cycles = QJsonArray();
    *next = CycleCursor();
    // The page's cycles first, through the index in export order; their identities then, cycle by cycle.
    // (claimed_at, id) > (from, 0) is claimed_at >= from, identifiers being positive.
    const qint64 fromUs = from.toMSecsSinceEpoch() * 1000;
    const bool resume = !after.isNull() && after.claimedUs >= fromUs;
    const LedgerRows rows = m_connection.exec(
        "SELECT c.id, c.station, c.port, c.chip_id, c.state, "
        "to_char(c.claimed_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), "
        "coalesce(to_char(c.written_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), ''), "
        "coalesce(i.imei1, ''), coalesce(i.imei2, ''), coalesce(i.imei3, ''), coalesce(i.imei4, ''), "
        "coalesce(i.mbsn, ''), coalesce(i.psn, ''), coalesce(i.bt, ''), "
        "EXISTS (SELECT 1 FROM ledger.confirmations f JOIN ledger.identities j ON j.kind = f.kind "
        "AND j.value = f.value WHERE j.cycle_id = c.id), "
        "(extract(epoch FROM c.claimed_at) * 1000000)::bigint "
        "FROM (SELECT * FROM ledger.cycles WHERE NOT imported "
        "      AND (claimed_at, id) > (timestamptz 'epoch' + $1::bigint * interval '1 microsecond', $2::bigint) "
        "      AND claimed_at < $3::timestamptz ORDER BY claimed_at, id LIMIT $4::int) c "
        "LEFT JOIN LATERAL (SELECT max(value) FILTER (WHERE kind = 1 AND position = 1) AS imei1, "
        "                          max(value) FILTER (WHERE kind = 1 AND position = 2) AS imei2, "
        "                          max(value) FILTER (WHERE kind = 1 AND position = 3) AS imei3, "
        "                          max(value) FILTER (WHERE kind = 1 AND position = 4) AS imei4, "
        "                          max(value) FILTER (WHERE kind = 2) AS mbsn, "
        "                          max(value) FILTER (WHERE kind = 4) AS psn, "
        "                          max(value) FILTER (WHERE kind = 8) AS bt "
        "                   FROM ledger.identities WHERE cycle_id = c.id) i ON true "
        "ORDER BY c.claimed_at, c.id",
        {QByteArray::number(resume ? after.claimedUs : fromUs), QByteArray::number(resume ? after.id : 0),
         to.toUTC().toString(Qt::ISODateWithMs).toUtf8(), QByteArray::number(limit)});
    if (!rows.ok()) {
        if (message)
            *message = rows.message();
        return rows.status() == LedgerStatus::Ok ? LedgerStatus::Failed : rows.status();
    }
    static const char *const names[] = {"cycle", "station", "port",  "chip_id", "state", "claimed_at", "written_at",
                                        "imei1", "imei2",   "imei3", "imei4",   "mbsn",  "psn",        "bt"};
    for (int row = 0; row < rows.rowCount(); ++row) {
        QJsonObject cycle;
        cycle.insert(QLatin1String(names[0]), rows.number(row, 0));
        for (int column = 1; column < 14; ++column)
            cycle.insert(QLatin1String(names[column]), rows.text(row, column));
        cycle.insert(QStringLiteral("confirmed"), rows.text(row, 14) == QLatin1String("t"));
        cycles->append(cycle);
    }
    if (rows.rowCount() == limit && limit > 0)
        *next = {rows.number(limit - 1, 15), rows.number(limit - 1, 0)};
    return LedgerStatus::Ok;
}
