#pragma once

#include "ledger/LedgerConnection.h"

#include <QDateTime>
#include <QJsonObject>
#include <QTime>
#include <QVector>

// The line's current figures, as the line view shows them: per station the sets written in the last hour and
// today, the first-pass yield (the share of today's write attempts that were written: a handset written at its
// second attempt counts one failure), the last failed attempt and since when the station fails, and how long it
// has been idle; for the line the sets written in each quarter hour of the shift, and what is left of every
// shared counter (default-IMEI allocation codes, Bluetooth ranges, other counters) and of every pool copied from a
// workbook (ledger add-pool), with the time it runs out at the last hour's rate.
class LineFigures final
{
public:
    struct Shift
    {
        QDateTime start;
        QDateTime end;
    };

    // A claim still open this long after it was made is a failed attempt; younger, the handset is being written.
    static constexpr int attemptSeconds = 180;
    static constexpr int bucketMinutes = 15;

    explicit LineFigures(LedgerConnection &connection) : m_connection(connection) {}

    // "06:00,14:00,22:00": the local times shifts start at, at least one, each once.
    static bool parseShifts(const QString &text, QVector<QTime> *starts);
    // The shift `now` falls in: from the last start at or before it to the next start after it.
    static Shift shiftAt(const QVector<QTime> &starts, const QDateTime &now);

    LedgerStatus collect(const QDateTime &now, const Shift &shift, QJsonObject *figures, QString *message);

private:
    LedgerStatus stations(const QDateTime &now, QJsonArray *out, QString *message);
    LedgerStatus throughput(const QDateTime &now, const Shift &shift, QJsonArray *out, QString *message);
    LedgerStatus ranges(const QDateTime &now, const Shift &shift, QJsonArray *out, QString *message);
    LedgerStatus pools(const QDateTime &now, const Shift &shift, QJsonArray *out, QString *message);

    LedgerConnection &m_connection;
};
