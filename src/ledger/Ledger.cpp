#include "ledger/Ledger.h"

#include "ledger/LedgerCallThread.h"
#include "ledger/LedgerSchema.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Ledger", text);
}

bool validKind(int kind)
{
    return kind == 1 || kind == 2 || kind == 4 || kind == 8;
}

// Deadlocks and serialization failures end a transaction that may simply be tried again.
bool mayRetry(const QString &sqlState)
{
    return sqlState == QLatin1String("40P01") || sqlState == QLatin1String("40001");
}

// A text parameter: an empty text stays empty, where a null QByteArray would bind SQL NULL.
QByteArray bound(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return bytes.isNull() ? QByteArray("", 0) : bytes;
}

QString key(int kind, const QString &value)
{
    return QString::number(kind) + QLatin1Char(':') + value;
}

// The set without repeats, in a fixed order so that two stations claiming overlapping sets take their
// row locks in the same order and do not deadlock.
QVector<LedgerIdentity> normalised(const QVector<LedgerIdentity> &set)
{
    QVector<LedgerIdentity> result;
    QSet<QString> seen;
    for (const LedgerIdentity &identity : set) {
        if (!seen.contains(key(identity.kind, identity.value))) {
            seen.insert(key(identity.kind, identity.value));
            result.append(identity);
        }
    }
    std::sort(result.begin(), result.end(), [](const LedgerIdentity &a, const LedgerIdentity &b) {
        return a.kind != b.kind ? a.kind < b.kind : a.value < b.value;
    });
    return result;
}

// Spelled out in full: the catalogue tool attributes tr() outside a class to no context and skips it.
QString checkSet(const QVector<LedgerIdentity> &set)
{
    if (set.isEmpty())
        return QCoreApplication::translate("Ledger", "No identities to record in the ledger.");
    for (const LedgerIdentity &identity : set) {
        if (!validKind(identity.kind) || identity.value.isEmpty())
            return QCoreApplication::translate("Ledger", "Not an identity for the ledger: kind %1, \"%2\".")
                .arg(identity.kind)
                .arg(identity.value);
    }
    return {};
}

void arrays(const QVector<LedgerIdentity> &set, QByteArray *kinds, QByteArray *values, QByteArray *positions)
{
    QVector<int> kindList, positionList;
    QStringList valueList;
    for (const LedgerIdentity &identity : set) {
        kindList.append(identity.kind);
        valueList.append(identity.value);
        positionList.append(identity.position);
    }
    *kinds = LedgerConnection::arrayLiteral(kindList);
    *values = LedgerConnection::arrayLiteral(valueList);
    if (positions)
        *positions = LedgerConnection::arrayLiteral(positionList);
}

LedgerStatus failed(const LedgerRows &rows, QString *message)
{
    if (message)
        *message = rows.message();
    return rows.status() == LedgerStatus::Ok ? LedgerStatus::Failed : rows.status();
}

// The options of "ledger add-counter" that add the counter a station asks for: its allocation code or range, and
// where the station's range starts when that is not where the span does (the station's own counter stood there).
QString addCounterArguments(const QString &counter, qint64 first, qint64 last)
{
    if (counter.startsWith(QLatin1String("DefaultIMEI:"))) {
        const QString code = counter.mid(12);
        const bool fromStart = first == code.toLongLong() * 1000000;
        return QStringLiteral("--imei-tac %1").arg(code) +
               (fromStart ? QString() : QStringLiteral(" --first %1").arg(first));
    }
    if (counter.startsWith(QLatin1String("BT:")))
        return QStringLiteral("--bt-range %1").arg(counter.mid(3));
    return QStringLiteral("--name %1 --first %2 --last %3").arg(counter).arg(first).arg(last);
}

} // namespace

Ledger::Ledger(const QString &connInfo, const QString &station, const LedgerTimeouts &timeouts)
    : m_connection(connInfo, QStringLiteral("doverariz ") + station, timeouts), m_station(station)
{
}

QString Ledger::kindName(int kind)
{
    switch (kind) {
    case 1:
        return QStringLiteral("IMEI");
    case 2:
        return QStringLiteral("MBSN");
    case 4:
        return QStringLiteral("PSN");
    case 8:
        return QStringLiteral("BT");
    default:
        return QString::number(kind);
    }
}

int Ledger::kindOf(const QString &name)
{
    for (int kind : {1, 2, 4, 8}) {
        if (name.compare(kindName(kind), Qt::CaseInsensitive) == 0)
            return kind;
    }
    return -1;
}

QString Ledger::describe(const LedgerHolder &holder)
{
    return tr("%1 %2 is held by station %3 since %4 (%5).")
        .arg(kindName(holder.kind), holder.value, holder.station,
             holder.at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), holder.state);
}

LedgerStatus Ledger::open(QString *message)
{
    QMutexLocker lock(&m_mutex);
    if (m_station.trimmed().isEmpty()) {
        if (message)
            *message = tr("The line's configuration names no station.");
        return LedgerStatus::Failed;
    }
    if (!m_connection.ensureOpen(message))
        return LedgerStatus::Unreachable;
    const LedgerStatus status = LedgerSchema::check(m_connection, message);
    if (status != LedgerStatus::Ok)
        return status;
    const LedgerRows rows = m_connection.exec("SELECT session_user, ledger.station_name()");
    if (!rows.ok())
        return failed(rows, message);
    if (rows.text(0, 1) == m_station)
        return LedgerStatus::Ok;
    if (message) {
        *message = rows.isNull(0, 1)
                       ? tr("The ledger binds role %1 to no station, so station %2 may not claim: the ledger's owner "
                            "binds it with \"ledger add-station %1 --station %2\".")
                             .arg(rows.text(0, 0), m_station)
                       : tr("The ledger binds role %1 to station %2, but this station calls itself %3 (Station= of "
                            "the line's file): one of them is wrong.")
                             .arg(rows.text(0, 0), rows.text(0, 1), m_station);
    }
    return LedgerStatus::Refused;
}

QVector<LedgerHolder> Ledger::holdersOf(const QVector<LedgerIdentity> &set, LedgerStatus *status, QString *message)
{
    QByteArray kinds, values;
    arrays(set, &kinds, &values, nullptr);
    const LedgerRows rows = m_connection.exec(
        "SELECT i.kind, i.value, c.station, c.state, "
        "(extract(epoch FROM coalesce(c.written_at, c.claimed_at)) * 1000)::bigint, c.id "
        "FROM unnest($1::smallint[], $2::text[]) AS u(k, v) "
        "JOIN ledger.identities i ON i.kind = u.k AND i.value = u.v JOIN ledger.cycles c ON c.id = i.cycle_id "
        "ORDER BY i.kind, i.value",
        {kinds, values});
    QVector<LedgerHolder> holders;
    if (!rows.ok()) {
        *status = failed(rows, message);
        return holders;
    }
    *status = LedgerStatus::Ok;
    for (int row = 0; row < rows.rowCount(); ++row) {
        LedgerHolder holder;
        holder.kind = int(rows.number(row, 0));
        holder.value = rows.text(row, 1);
        holder.station = rows.text(row, 2);
        holder.state = rows.text(row, 3);
        holder.at = QDateTime::fromMSecsSinceEpoch(rows.number(row, 4), Qt::UTC);
        holder.cycleId = rows.number(row, 5);
        holders.append(holder);
    }
    return holders;
}

LedgerClaim Ledger::claimOnce(const QVector<LedgerIdentity> &set, const QString &port, const QString &chipId,
                              bool *retry)
{
    LedgerClaim claim;
    *retry = false;
    auto abandon = [&](const LedgerRows &rows) {
        claim.status = failed(rows, &claim.message);
        *retry = mayRetry(rows.sqlState());
        if (m_connection.isOpen())
            m_connection.command("ROLLBACK", nullptr);
        claim.cycleId = 0;
        return claim;
    };
    LedgerRows rows = m_connection.exec("BEGIN");
    if (!rows.ok())
        return abandon(rows);
    rows = m_connection.exec("INSERT INTO ledger.cycles (station, port, chip_id) VALUES ($1, $2, $3) RETURNING id",
                             {bound(m_station), bound(port), bound(chipId)});
    if (!rows.ok() || rows.rowCount() != 1)
        return abandon(rows);
    claim.cycleId = rows.number(0, 0);
    QByteArray kinds, values, positions;
    arrays(set, &kinds, &values, &positions);
    rows = m_connection.exec(
        "INSERT INTO ledger.identities (kind, value, cycle_id, position) "
        "SELECT u.k, u.v, $4, u.p FROM unnest($1::smallint[], $2::text[], $3::smallint[]) AS u(k, v, p) "
        "ORDER BY u.k, u.v ON CONFLICT DO NOTHING",
        {kinds, values, positions, QByteArray::number(claim.cycleId)});
    if (!rows.ok())
        return abandon(rows);
    if (rows.affected() == set.size()) {
        rows = m_connection.exec("COMMIT");
        if (!rows.ok())
            return abandon(rows);
        claim.status = LedgerStatus::Ok;
        return claim;
    }
    // Someone holds part of the set: nothing of it is kept, and the holders are named.
    rows = m_connection.exec("ROLLBACK");
    if (!rows.ok())
        return abandon(rows);
    claim.cycleId = 0;
    claim.holders = holdersOf(set, &claim.status, &claim.message);
    if (claim.status == LedgerStatus::Ok) {
        // None when the holder's own transaction was rolled back meanwhile: then the claim is tried again.
        claim.status = LedgerStatus::Conflict;
        *retry = claim.holders.isEmpty();
        QStringList lines;
        for (const LedgerHolder &holder : std::as_const(claim.holders))
            lines.append(describe(holder));
        claim.message = lines.join(QLatin1Char(' '));
    }
    return claim;
}

LedgerClaim Ledger::claim(const QVector<LedgerIdentity> &set, const QString &port, const QString &chipId)
{
    QMutexLocker lock(&m_mutex);
    LedgerClaim claim;
    claim.message = checkSet(set);
    if (!claim.message.isEmpty())
        return claim;
    const QVector<LedgerIdentity> identities = normalised(set);
    for (int attempt = 0; attempt < 5; ++attempt) {
        bool retry = false;
        claim = claimOnce(identities, port, chipId, &retry);
        if (!retry)
            break;
    }
    return claim;
}

LedgerStatus Ledger::markWritten(qint64 cycleId, QString *message)
{
    QMutexLocker lock(&m_mutex);
    const QByteArray id = QByteArray::number(cycleId);
    LedgerRows rows =
        m_connection.exec("UPDATE ledger.cycles SET state = 'written' WHERE id = $1 AND state = 'claimed'", {id});
    if (!rows.ok())
        return failed(rows, message);
    if (rows.affected() == 1)
        return LedgerStatus::Ok;
    rows = m_connection.exec("SELECT state, station_role = session_user FROM ledger.cycles WHERE id = $1", {id});
    if (!rows.ok())
        return failed(rows, message);
    if (rows.rowCount() == 1 && rows.text(0, 0) == QLatin1String("written") && rows.text(0, 1) == QLatin1String("t"))
        return LedgerStatus::Ok; // marked already, by a try whose answer was lost
    if (message) {
        *message = rows.rowCount() == 0 ? tr("The ledger holds no claim %1.").arg(cycleId)
                                        : tr("Claim %1 of the ledger is not this station's to mark.").arg(cycleId);
    }
    return rows.rowCount() == 0 ? LedgerStatus::Failed : LedgerStatus::Refused;
}

LedgerStatus Ledger::confirmRead(const QVector<LedgerIdentity> &set, const QString &port, const QString &chipId,
                                 QVector<LedgerIdentity> *unknown, QString *message)
{
    QMutexLocker lock(&m_mutex);
    const QString problem = checkSet(set);
    if (!problem.isEmpty()) {
        if (message)
            *message = problem;
        return LedgerStatus::Failed;
    }
    const QVector<LedgerIdentity> identities = normalised(set);
    QByteArray kinds, values;
    arrays(identities, &kinds, &values, nullptr);
    const LedgerRows rows =
        m_connection.exec("INSERT INTO ledger.confirmations (kind, value, station, port, chip_id) "
                          "SELECT u.k, u.v, $3, $4, $5 FROM unnest($1::smallint[], $2::text[]) AS u(k, v) "
                          "WHERE EXISTS (SELECT 1 FROM ledger.identities i WHERE i.kind = u.k AND i.value = u.v) "
                          "RETURNING kind, value",
                          {kinds, values, bound(m_station), bound(port), bound(chipId)});
    if (!rows.ok())
        return failed(rows, message);
    QSet<QString> known;
    for (int row = 0; row < rows.rowCount(); ++row)
        known.insert(key(int(rows.number(row, 0)), rows.text(row, 1)));
    if (unknown) {
        unknown->clear();
        for (const LedgerIdentity &identity : identities) {
            if (!known.contains(key(identity.kind, identity.value)))
                unknown->append(identity);
        }
    }
    return LedgerStatus::Ok;
}

void Ledger::setCallThread(LedgerCallThread *calls)
{
    m_calls = calls;
    m_connection.setGiveUpFlag(calls ? &calls->givenUpFlag() : nullptr);
}

bool Ledger::givenUp() const
{
    return m_calls && m_calls->givenUp();
}

namespace {
// What a job on the call thread fills: its own, since a wait given up leaves the job running on.
template <typename Answer> struct CallResult
{
    LedgerStatus status = LedgerStatus::Unreachable;
    Answer answer{};
    QString message;
};

LedgerStatus waitGivenUp(QString *message)
{
    if (message)
        *message = QCoreApplication::translate("Ledger", "the wait for it was stopped");
    return LedgerStatus::Unreachable;
}
} // namespace

LedgerStatus Ledger::issued(int kind, const QStringList &values, QVector<bool> *answers, QString *message)
{
    if (!m_calls)
        return issuedHere(kind, values, answers, message);
    answers->fill(false, values.size());
    auto result = std::make_shared<CallResult<QVector<bool>>>();
    if (!m_calls->run([this, result, kind, values] {
            result->status = issuedHere(kind, values, &result->answer, &result->message);
        }))
        return waitGivenUp(message);
    *answers = result->answer;
    if (message)
        *message = result->message;
    return result->status;
}

LedgerStatus Ledger::takeBlock(const QString &counter, qint64 first, qint64 last, qint64 size, qint64 *blockFirst,
                               qint64 *blockLast, QString *message)
{
    if (!m_calls)
        return takeBlockHere(counter, first, last, size, blockFirst, blockLast, message);
    auto result = std::make_shared<CallResult<QPair<qint64, qint64>>>();
    if (!m_calls->run([this, result, counter, first, last, size] {
            result->status = takeBlockHere(counter, first, last, size, &result->answer.first, &result->answer.second,
                                           &result->message);
        }))
        return waitGivenUp(message);
    if (result->status == LedgerStatus::Ok) {
        *blockFirst = result->answer.first;
        *blockLast = result->answer.second;
    }
    if (message)
        *message = result->message;
    return result->status;
}

LedgerStatus Ledger::issuedHere(int kind, const QStringList &values, QVector<bool> *answers, QString *message)
{
    QMutexLocker lock(&m_mutex);
    answers->fill(false, values.size());
    if (!validKind(kind)) {
        if (message)
            *message = tr("Not an identity kind of the ledger: %1.").arg(kind);
        return LedgerStatus::Failed;
    }
    // Large batches go in slices, so that one statement's parameter stays a modest size.
    constexpr qsizetype slice = 20000;
    QSet<QString> held;
    for (qsizetype from = 0; from < values.size(); from += slice) {
        const LedgerRows rows =
            m_connection.exec("SELECT value FROM ledger.identities WHERE kind = $1 AND value = ANY ($2::text[])",
                              {QByteArray::number(kind), LedgerConnection::arrayLiteral(values.mid(from, slice))});
        if (!rows.ok())
            return failed(rows, message);
        for (int row = 0; row < rows.rowCount(); ++row)
            held.insert(rows.text(row, 0));
    }
    for (qsizetype i = 0; i < values.size(); ++i)
        (*answers)[i] = held.contains(values.at(i));
    return LedgerStatus::Ok;
}

LedgerStatus Ledger::takeBlockHere(const QString &counter, qint64 first, qint64 last, qint64 size, qint64 *blockFirst,
                                   qint64 *blockLast, QString *message)
{
    QMutexLocker lock(&m_mutex);
    constexpr qint64 limit = qint64(1) << 62; // room for next_value + size
    if (counter.isEmpty() || size <= 0 || size > limit || first < 0 || last < first || last >= limit) {
        if (message)
            *message =
                tr("Not a counter block: %1 from %2 to %3, %4 at a time.").arg(counter).arg(first).arg(last).arg(size);
        return LedgerStatus::Failed;
    }
    // One statement, in which the ledger locks the counter's row for an instant only.
    const LedgerRows rows = m_connection.exec(
        "SELECT block_first, block_last FROM ledger.take_block($1, $2, $3, $4)",
        {bound(counter), QByteArray::number(first), QByteArray::number(last), QByteArray::number(size)});
    if (rows.sqlState() == QLatin1String("P0002")) {
        // Counters are the owner's: the operator's message says which one is missing and how it is added.
        if (message)
            *message = tr("The line's ledger has no shared counter %1: its owner adds it with \"ledger add-counter "
                          "%2\".")
                           .arg(counter, addCounterArguments(counter, first, last));
        return LedgerStatus::Refused;
    }
    if (!rows.ok())
        return failed(rows, message);
    if (rows.rowCount() != 1 || rows.isNull(0, 0)) {
        if (message)
            *message = tr("The shared counter %1 is used up.").arg(counter);
        return LedgerStatus::Conflict;
    }
    const qint64 from = rows.number(0, 0);
    const qint64 to = rows.number(0, 1);
    *blockFirst = from;
    *blockLast = to;
    return LedgerStatus::Ok;
}
