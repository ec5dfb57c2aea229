#include "ledger/HistoryImport.h"

#include "history/HistoryFiles.h"
#include "history/HistoryList.h"
#include "history/ImeiHistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("HistoryImport", text);
}

QString key(int kind, const QString &value)
{
    return QString::number(kind) + QLatin1Char(':') + value;
}

bool isImei(const QString &text)
{
    if (text.size() != 15)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool valid(int kind, const QString &value)
{
    static const QRegularExpression bt(QStringLiteral("^[0-9A-Fa-f]{12}$"));
    static const QRegularExpression serial(QStringLiteral("^[0-9A-Za-z]+$"));
    switch (kind) {
    case 1:
        return isImei(value);
    case 8:
        return bt.match(value).hasMatch();
    default:
        return serial.match(value).hasMatch();
    }
}

LedgerStatus failed(const LedgerRows &rows, QString *message)
{
    if (message)
        *message = rows.message();
    return rows.status() == LedgerStatus::Ok ? LedgerStatus::Failed : rows.status();
}

// A history read in part would leave identities out of the ledger, free to be issued again: nothing is imported.
bool unreadable(const QString &why, QString *message)
{
    if (message)
        *message = QCoreApplication::translate("HistoryImport", "Nothing imported: %1").arg(why);
    return false;
}

// Records per transaction.
constexpr qsizetype batchSize = 5000;

} // namespace

HistoryImport::HistoryImport(LedgerConnection &connection, const QString &station)
    : m_connection(connection), m_station(station)
{
}

int HistoryImport::kindIndex(int kind)
{
    switch (kind) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    default:
        return 3;
    }
}

bool HistoryImport::readFiles(const QString &cfgDir, QVector<Record> *records, Report *report, QString *message)
{
    const QDir dir(cfgDir);
    const QString imeiPath = dir.filePath(QStringLiteral("imei_history.data"));
    const struct
    {
        int kind;
        const char *name;
    } lists[] = {{2, "mbsn_history.data"}, {4, "psn_history.data"}, {8, "bt_history.data"}};
    bool any = false;
    // The readers create a missing file; the import leaves the station's directory as it found it.
    if (QFileInfo::exists(imeiPath)) {
        any = true;
        ImeiHistory history;
        QString why;
        if (!readImeiHistory(imeiPath, history, &why))
            return unreadable(why, message);
        KindCount &count = report->counts[0];
        for (qsizetype i = 0; i < history.size(); ++i) {
            const ImeiHistoryRecord line = history.at(i);
            Record record;
            record.at = QDateTime::fromString(line.dateTime, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            int position = 0;
            for (const QString &imei : line.imeis.split(QLatin1Char(','))) {
                ++count.read;
                if (!valid(1, imei)) {
                    ++count.invalid;
                    if (report->notes.size() < 20)
                        report->notes.append(
                            tr("IMEI record %1: \"%2\" is not an IMEI, left out.").arg(i + 1).arg(imei));
                    continue;
                }
                record.identities.append({1, imei, ++position});
            }
            if (record.identities.isEmpty())
                continue;
            if (!record.at.isValid())
                ++report->undated;
            records->append(record);
        }
    }
    for (const auto &list : lists) {
        const QString path = dir.filePath(QLatin1String(list.name));
        if (!QFileInfo::exists(path))
            continue;
        any = true;
        HistoryList values;
        QString why;
        if (!readHistoryList(path, values, list.kind, &why))
            return unreadable(why, message);
        KindCount &count = report->counts[kindIndex(list.kind)];
        for (qsizetype i = 0; i < values.size(); ++i) {
            const QString value = values.at(i);
            ++count.read;
            if (!valid(list.kind, value)) {
                ++count.invalid;
                if (report->notes.size() < 20)
                    report->notes.append(tr("%1 history line %2: \"%3\" is not an identity of its kind, left out.")
                                             .arg(Ledger::kindName(list.kind))
                                             .arg(i + 1)
                                             .arg(value));
                continue;
            }
            // Each line was issued alone: a set of its own, so that a story names nothing beside it.
            Record record;
            record.identities.append({list.kind, value, 1});
            records->append(record);
        }
    }
    if (!any && message)
        *message = tr("No history files in %1.").arg(QDir::toNativeSeparators(cfgDir));
    return any;
}

LedgerStatus HistoryImport::run(const QString &dir, Report *report, QString *message)
{
    *report = Report();
    m_seen.clear();
    const QString cfgDir =
        QFileInfo(QDir(dir).filePath(QStringLiteral("cfg"))).isDir() ? QDir(dir).filePath(QStringLiteral("cfg")) : dir;
    QVector<Record> records;
    if (m_station.isEmpty()) {
        if (message)
            *message = tr("The import needs the station's name.");
        return LedgerStatus::Failed;
    }
    if (!readFiles(cfgDir, &records, report, message))
        return LedgerStatus::Failed;
    for (qsizetype from = 0; from < records.size(); from += batchSize) {
        const LedgerStatus status =
            importBatch(records, from, std::min(records.size(), from + batchSize), report, message);
        if (status != LedgerStatus::Ok)
            return status;
    }
    return LedgerStatus::Ok;
}

LedgerStatus HistoryImport::importBatch(const QVector<Record> &records, qsizetype from, qsizetype to, Report *report,
                                        QString *message)
{
    auto abandon = [&](const LedgerRows &rows) {
        const LedgerStatus status = failed(rows, message);
        if (m_connection.isOpen())
            m_connection.command("ROLLBACK", nullptr);
        return status;
    };
    LedgerRows rows = m_connection.exec("BEGIN");
    if (!rows.ok())
        return abandon(rows);
    // Stations' claims wait for the batch, so that none slips between the query and the insert.
    rows = m_connection.exec("LOCK TABLE ledger.identities IN SHARE ROW EXCLUSIVE MODE");
    if (!rows.ok())
        return abandon(rows);

    QVector<int> kinds;
    QStringList values;
    for (qsizetype r = from; r < to; ++r) {
        for (const LedgerIdentity &identity : records.at(r).identities) {
            kinds.append(identity.kind);
            values.append(identity.value);
        }
    }
    rows = m_connection.exec(
        "SELECT i.kind, i.value, c.station, (extract(epoch FROM coalesce(c.written_at, c.claimed_at)) * 1000)::bigint "
        "FROM unnest($1::smallint[], $2::text[]) AS u(k, v) "
        "JOIN ledger.identities i ON i.kind = u.k AND i.value = u.v JOIN ledger.cycles c ON c.id = i.cycle_id",
        {LedgerConnection::arrayLiteral(kinds), LedgerConnection::arrayLiteral(values)});
    if (!rows.ok())
        return abandon(rows);
    QHash<QString, Shared> held;
    for (int row = 0; row < rows.rowCount(); ++row) {
        Shared holder{int(rows.number(row, 0)), rows.text(row, 1), rows.text(row, 2),
                      QDateTime::fromMSecsSinceEpoch(rows.number(row, 3), Qt::UTC)};
        held.insert(key(holder.kind, holder.value), holder);
    }

    // What is new, record by record; repeats and holders are reported.
    QVector<const Record *> kept;
    QVector<QVector<LedgerIdentity>> keptIdentities;
    for (qsizetype r = from; r < to; ++r) {
        QVector<LedgerIdentity> fresh;
        for (const LedgerIdentity &identity : records.at(r).identities) {
            const QString k = key(identity.kind, identity.value);
            KindCount &count = report->counts[kindIndex(identity.kind)];
            if (m_seen.contains(k)) {
                // Twice in this station's own history: two of its handsets carry it.
                report->shared.append({identity.kind, identity.value, QString(), QDateTime()});
                continue;
            }
            m_seen.insert(k);
            const auto holder = held.constFind(k);
            if (holder == held.constEnd()) {
                fresh.append(identity);
                ++count.added;
            } else if (holder->otherStation == m_station) {
                ++count.importedBefore;
            } else {
                report->shared.append(*holder);
            }
        }
        if (!fresh.isEmpty()) {
            kept.append(&records.at(r));
            keptIdentities.append(fresh);
        }
    }
    if (kept.isEmpty()) {
        rows = m_connection.exec("COMMIT");
        return rows.ok() ? LedgerStatus::Ok : abandon(rows);
    }

    // Numbers for the new sets first, so that each identity names its set without relying on the order of
    // an insert's returned rows.
    rows =
        m_connection.exec("SELECT nextval(pg_get_serial_sequence('ledger.cycles', 'id')) FROM generate_series(1, $1)",
                          {QByteArray::number(kept.size())});
    if (!rows.ok() || rows.rowCount() != kept.size())
        return abandon(rows);
    QStringList ids, times;
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    QVector<int> identityKinds, positions;
    QStringList identityValues, identityCycles;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        ids.append(rows.text(int(i), 0));
        const QDateTime at = kept.at(i)->at;
        times.append(at.isValid() ? at.toUTC().toString(Qt::ISODateWithMs) : now);
        for (const LedgerIdentity &identity : keptIdentities.at(i)) {
            identityKinds.append(identity.kind);
            identityValues.append(identity.value);
            positions.append(identity.position);
            identityCycles.append(ids.last());
        }
    }
    rows = m_connection.exec(
        "INSERT INTO ledger.cycles (id, station, state, imported, claimed_at, written_at) OVERRIDING SYSTEM VALUE "
        "SELECT u.id, $1, 'written', true, u.t, u.t "
        "FROM unnest($2::bigint[], $3::timestamptz[]) AS u(id, t)",
        {m_station.toUtf8(), LedgerConnection::arrayLiteral(ids), LedgerConnection::arrayLiteral(times)});
    if (!rows.ok())
        return abandon(rows);
    rows = m_connection.exec(
        "INSERT INTO ledger.identities (kind, value, cycle_id, position) "
        "SELECT * FROM unnest($1::smallint[], $2::text[], $3::bigint[], $4::smallint[])",
        {LedgerConnection::arrayLiteral(identityKinds), LedgerConnection::arrayLiteral(identityValues),
         LedgerConnection::arrayLiteral(identityCycles), LedgerConnection::arrayLiteral(positions)});
    if (!rows.ok())
        return abandon(rows);
    rows = m_connection.exec("COMMIT");
    return rows.ok() ? LedgerStatus::Ok : abandon(rows);
}
