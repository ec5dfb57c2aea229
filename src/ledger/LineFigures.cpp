#include "ledger/LineFigures.h"

#include "ledger/Ledger.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <algorithm>

namespace {

QByteArray param(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODateWithMs).toUtf8();
}

QJsonValue isoOrNull(const LedgerRows &rows, int row, int column)
{
    if (rows.isNull(row, column))
        return QJsonValue::Null;
    return QDateTime::fromMSecsSinceEpoch(rows.number(row, column), Qt::UTC).toString(Qt::ISODateWithMs);
}

// When `left` values run out at `perHour`: null when nothing is taken; now when none is left.
void addRunOut(QJsonObject *entry, const QDateTime &now, const LineFigures::Shift &shift, qint64 left, qint64 perHour)
{
    QJsonValue runsOut = QJsonValue::Null;
    bool withinShift = left == 0;
    if (left == 0) {
        runsOut = now.toUTC().toString(Qt::ISODateWithMs);
    } else if (perHour > 0) {
        const QDateTime at = now.addMSecs(qint64(double(left) / double(perHour) * 3600.0 * 1000.0));
        runsOut = at.toUTC().toString(Qt::ISODateWithMs);
        withinShift = at <= shift.end;
    }
    entry->insert(QStringLiteral("runsOutAt"), runsOut);
    entry->insert(QStringLiteral("runsOutInShift"), withinShift);
}

LedgerStatus failed(const LedgerRows &rows, QString *message)
{
    if (message)
        *message = rows.message();
    return rows.status() == LedgerStatus::Ok ? LedgerStatus::Failed : rows.status();
}

} // namespace

bool LineFigures::parseShifts(const QString &text, QVector<QTime> *starts)
{
    static const QRegularExpression form(QStringLiteral("^([01]\\d|2[0-3]):([0-5]\\d)$"));
    starts->clear();
    for (const QString &start : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch match = form.match(start.trimmed());
        if (!match.hasMatch())
            return false;
        const QTime time(match.captured(1).toInt(), match.captured(2).toInt());
        if (starts->contains(time))
            return false;
        starts->append(time);
    }
    std::sort(starts->begin(), starts->end());
    return !starts->isEmpty();
}

LineFigures::Shift LineFigures::shiftAt(const QVector<QTime> &starts, const QDateTime &now)
{
    const QDateTime local = now.toLocalTime();
    // The candidates of yesterday, today and tomorrow, in order: the shift is between two neighbours.
    QVector<QDateTime> times;
    for (int day = -1; day <= 1; ++day)
        for (const QTime &start : starts)
            times.append(QDateTime(local.date().addDays(day), start));
    Shift shift;
    for (int i = 0; i + 1 < times.size(); ++i) {
        if (times.at(i) <= local && local < times.at(i + 1)) {
            shift.start = times.at(i);
            shift.end = times.at(i + 1);
        }
    }
    return shift;
}

LedgerStatus LineFigures::collect(const QDateTime &now, const Shift &shift, QJsonObject *figures, QString *message)
{
    QJsonArray stationList, buckets, rangeList, poolList;
    // The figures' queries are short: compiling them (JIT, which a high estimate turns on) costs far more than it
    // saves.
    const LedgerRows noJit = m_connection.exec("SET jit = off");
    if (!noJit.ok())
        return failed(noJit, message);
    LedgerStatus status = stations(now, &stationList, message);
    if (status == LedgerStatus::Ok)
        status = throughput(now, shift, &buckets, message);
    if (status == LedgerStatus::Ok)
        status = ranges(now, shift, &rangeList, message);
    if (status == LedgerStatus::Ok)
        status = pools(now, shift, &poolList, message);
    if (status != LedgerStatus::Ok)
        return status;
    *figures = QJsonObject{
        {QStringLiteral("generatedAt"), now.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("day"), now.toLocalTime().date().startOfDay().toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("shift"),
         QJsonObject{{QStringLiteral("start"), shift.start.toUTC().toString(Qt::ISODateWithMs)},
                     {QStringLiteral("end"), shift.end.toUTC().toString(Qt::ISODateWithMs)}}},
        {QStringLiteral("stations"), stationList},
        {QStringLiteral("throughput"),
         QJsonObject{{QStringLiteral("bucketMinutes"), bucketMinutes}, {QStringLiteral("buckets"), buckets}}},
        {QStringLiteral("ranges"), rangeList},
        {QStringLiteral("pools"), poolList},
    };
    return LedgerStatus::Ok;
}

LedgerStatus LineFigures::stations(const QDateTime &now, QJsonArray *out, QString *message)
{
    // Every lateral subquery reads one station through an index on (station, claimed_at): today's cycles, its open
    // claims, its last cycle, so that the time does not grow with the ledger.
    const LedgerRows rows = m_connection.exec(
        "WITH names AS (SELECT station FROM ledger.stations UNION "
        "               SELECT DISTINCT station FROM ledger.cycles WHERE NOT imported AND claimed_at >= $2), "
        "     bounds AS (SELECT $1::timestamptz AS now, $2::timestamptz AS day, $3::timestamptz AS hour, "
        "                       $1::timestamptz - $4::int * interval '1 second' AS settled) "
        "SELECT n.station, w.hour, w.today, w.attempts, w.written, "
        "       (extract(epoch FROM e.claimed_at) * 1000)::bigint, e.id, e.port, "
        "       (extract(epoch FROM f.since) * 1000)::bigint, "
        "       (extract(epoch FROM l.last) * 1000)::bigint, coalesce(l.busy, false) "
        "FROM names n CROSS JOIN bounds b "
        "LEFT JOIN LATERAL (SELECT count(*) FILTER (WHERE c.written_at >= b.hour) AS hour, "
        "                          count(*) FILTER (WHERE c.written_at >= b.day) AS today, "
        "                          count(*) FILTER (WHERE c.claimed_at >= b.day AND (c.state = 'written' "
        "                                           OR c.claimed_at < b.settled)) AS attempts, "
        "                          count(*) FILTER (WHERE c.claimed_at >= b.day AND c.state = 'written') AS written "
        "                   FROM ledger.cycles c WHERE c.station = n.station AND NOT c.imported "
        "                   AND c.claimed_at >= least(b.day, b.hour) - interval '1 hour') w ON true "
        "LEFT JOIN LATERAL (SELECT c.id, c.port, c.claimed_at FROM ledger.cycles c "
        "                   WHERE c.station = n.station AND c.state = 'claimed' AND NOT c.imported "
        "                   AND c.claimed_at < b.settled ORDER BY c.claimed_at DESC LIMIT 1) e ON true "
        "LEFT JOIN LATERAL (SELECT c.claimed_at FROM ledger.cycles c WHERE c.station = n.station "
        "                   AND NOT c.imported AND c.state = 'written' ORDER BY c.claimed_at DESC LIMIT 1) ok ON true "
        "LEFT JOIN LATERAL (SELECT min(c.claimed_at) AS since FROM ledger.cycles c "
        "                   WHERE c.station = n.station AND c.state = 'claimed' AND NOT c.imported "
        "                   AND c.claimed_at < b.settled AND c.claimed_at > coalesce(ok.claimed_at, '-infinity')) f "
        "          ON e.id IS NOT NULL "
        "LEFT JOIN LATERAL (SELECT greatest(c.claimed_at, c.written_at) AS last, "
        "                          (c.state = 'claimed' AND c.claimed_at >= b.settled) AS busy "
        "                   FROM ledger.cycles c WHERE c.station = n.station AND NOT c.imported "
        "                   ORDER BY c.claimed_at DESC LIMIT 1) l ON true "
        "ORDER BY n.station",
        {param(now), param(now.toLocalTime().date().startOfDay()), param(now.addSecs(-3600)),
         QByteArray::number(attemptSeconds)});
    if (!rows.ok())
        return failed(rows, message);
    for (int row = 0; row < rows.rowCount(); ++row) {
        const qint64 attempts = rows.number(row, 3);
        QJsonObject station{
            {QStringLiteral("station"), rows.text(row, 0)},
            {QStringLiteral("writtenLastHour"), rows.number(row, 1)},
            {QStringLiteral("writtenToday"), rows.number(row, 2)},
            {QStringLiteral("attemptsToday"), attempts},
            {QStringLiteral("firstPassYield"),
             attempts > 0 ? QJsonValue(double(rows.number(row, 4)) / double(attempts)) : QJsonValue::Null},
            {QStringLiteral("failingSince"), isoOrNull(rows, row, 8)},
            {QStringLiteral("lastActivity"), isoOrNull(rows, row, 9)},
            {QStringLiteral("busy"), rows.text(row, 10) == QLatin1String("t")},
        };
        station.insert(QStringLiteral("lastError"),
                       rows.isNull(row, 6) ? QJsonValue(QJsonValue::Null)
                                           : QJsonValue(QJsonObject{{QStringLiteral("at"), isoOrNull(rows, row, 5)},
                                                                    {QStringLiteral("cycle"), rows.number(row, 6)},
                                                                    {QStringLiteral("port"), rows.text(row, 7)}}));
        QJsonValue idle = QJsonValue::Null;
        if (station.value(QStringLiteral("busy")).toBool())
            idle = 0;
        else if (!rows.isNull(row, 9))
            idle = qMax<qint64>(0, (now.toMSecsSinceEpoch() - rows.number(row, 9)) / 1000);
        station.insert(QStringLiteral("idleSeconds"), idle);
        out->append(station);
    }
    return LedgerStatus::Ok;
}

LedgerStatus LineFigures::throughput(const QDateTime &now, const Shift &shift, QJsonArray *out, QString *message)
{
    const qint64 bucketMs = qint64(bucketMinutes) * 60 * 1000;
    const LedgerRows rows =
        m_connection.exec("SELECT floor(extract(epoch FROM written_at - $1::timestamptz) / $3::int)::int, count(*) "
                          "FROM ledger.cycles WHERE written_at IS NOT NULL AND NOT imported "
                          "AND written_at >= $1::timestamptz AND written_at < $2::timestamptz GROUP BY 1",
                          {param(shift.start), param(qMin(now, shift.end)), QByteArray::number(bucketMs / 1000)});
    if (!rows.ok())
        return failed(rows, message);
    const qint64 span = qMax<qint64>(0, qMin(now, shift.end).toMSecsSinceEpoch() - shift.start.toMSecsSinceEpoch());
    QVector<qint64> sets(int(span / bucketMs) + 1, 0);
    for (int row = 0; row < rows.rowCount(); ++row) {
        const qint64 bucket = rows.number(row, 0);
        if (bucket >= 0 && bucket < sets.size())
            sets[int(bucket)] += rows.number(row, 1);
    }
    for (int bucket = 0; bucket < sets.size(); ++bucket)
        out->append(QJsonObject{
            {QStringLiteral("start"), shift.start.addMSecs(bucket * bucketMs).toUTC().toString(Qt::ISODateWithMs)},
            {QStringLiteral("sets"), sets.at(bucket)}});
    return LedgerStatus::Ok;
}

LedgerStatus LineFigures::ranges(const QDateTime &now, const Shift &shift, QJsonArray *out, QString *message)
{
    // What is left is what no block holds yet: a block taken counts as used, whatever its station made of it.
    const LedgerRows rows = m_connection.exec(
        "SELECT k.name, k.next_value, k.last_value, "
        "       k.last_value - greatest(k.next_value - 1, coalesce(t.taken_to, k.next_value - 1)), "
        "       coalesce(r.values, 0) "
        "FROM ledger.counters k "
        "LEFT JOIN LATERAL (SELECT max(b.last_value) AS taken_to FROM ledger.counter_blocks b "
        "                   WHERE b.counter = k.name) t ON true "
        "LEFT JOIN LATERAL (SELECT sum(b.last_value - b.first_value + 1) AS values FROM ledger.counter_blocks b "
        "                   WHERE b.counter = k.name AND b.taken_at >= $1::timestamptz) r ON true "
        "ORDER BY k.name",
        {param(now.addSecs(-3600))});
    if (!rows.ok())
        return failed(rows, message);
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QString name = rows.text(row, 0);
        const qint64 left = qMax<qint64>(0, rows.number(row, 3));
        const qint64 perHour = rows.number(row, 4);
        QString kind = QStringLiteral("counter");
        QString label = name;
        if (name.startsWith(QLatin1String("DefaultIMEI:"))) {
            kind = QStringLiteral("imei-tac");
            label = name.mid(12);
        } else if (name.startsWith(QLatin1String("BT:"))) {
            kind = QStringLiteral("bt");
            label = name.mid(3);
        }
        QJsonObject entry{{QStringLiteral("name"), name},
                          {QStringLiteral("kind"), kind},
                          {QStringLiteral("label"), label},
                          {QStringLiteral("first"), rows.number(row, 1)},
                          {QStringLiteral("last"), rows.number(row, 2)},
                          {QStringLiteral("left"), left},
                          {QStringLiteral("takenLastHour"), perHour}};
        addRunOut(&entry, now, shift, left, perHour);
        out->append(entry);
    }
    return LedgerStatus::Ok;
}

LedgerStatus LineFigures::pools(const QDateTime &now, const Shift &shift, QJsonArray *out, QString *message)
{
    // Both counts read the index on (pool, claimed_at): the values not claimed, and those claimed this hour.
    const LedgerRows rows = m_connection.exec(
        "SELECT p.name, p.kind, p.size, "
        "       (SELECT count(*) FROM ledger.pool_values v WHERE v.pool = p.name AND v.claimed_at IS NULL), "
        "       (SELECT count(*) FROM ledger.pool_values v WHERE v.pool = p.name AND v.claimed_at >= $1) "
        "FROM ledger.pools p ORDER BY p.name",
        {param(now.addSecs(-3600))});
    if (!rows.ok())
        return failed(rows, message);
    for (int row = 0; row < rows.rowCount(); ++row) {
        const qint64 left = rows.number(row, 3);
        const qint64 perHour = rows.number(row, 4);
        QJsonObject entry{{QStringLiteral("name"), rows.text(row, 0)},
                          {QStringLiteral("kind"), Ledger::kindName(int(rows.number(row, 1))).toLower()},
                          {QStringLiteral("size"), rows.number(row, 2)},
                          {QStringLiteral("left"), left},
                          {QStringLiteral("takenLastHour"), perHour}};
        addRunOut(&entry, now, shift, left, perHour);
        out->append(entry);
    }
    return LedgerStatus::Ok;
}
