#pragma once

#include "ledger/LedgerConnection.h"

#include <QDateTime>
#include <QJsonArray>
#include <QStringList>

class QIODevice;

// What the ledger tells about the line: the story of one identity, and the cycles of a period as CSV for
// the plant's manufacturing system.
class LedgerReports final
{
public:
    explicit LedgerReports(LedgerConnection &connection) : m_connection(connection) {}

    // The lines of an identity's story, oldest first; `kind` 0 searches every kind. Ok with no lines when
    // the ledger does not know the value.
    LedgerStatus story(int kind, const QString &value, QStringList *lines, QString *message);

    // The cycles claimed in [from, to), imports left out, one line each after a header line:
    // cycle,station,port,chip_id,state,claimed_at,written_at,imei1,imei2,imei3,imei4,mbsn,psn,bt,confirmed
    // Times in UTC (ISO 8601). Returns the number of cycles written, or -1 with a message.
    qint64 exportCycles(const QDateTime &from, const QDateTime &to, QIODevice *out, QString *message);

    // Where a page of cycles ends: the claim time (microseconds since the epoch) and identifier of its last cycle.
    struct CycleCursor
    {
        qint64 claimedUs = 0;
        qint64 id = 0;
        bool isNull() const { return id == 0; }
        QString text() const; // "claimedUs.id"
        static bool parse(const QString &text, CycleCursor *cursor);
    };
    // At most `limit` of the cycles that exportCycles gives for [from, to), in its order, after `after` (from the
    // start when null): one object each, with the CSV's columns as fields. `next` is the last cycle's cursor when
    // the page is full (more may follow), else null. Each page is one indexed range, whatever the period's size.
    LedgerStatus cyclePage(const QDateTime &from, const QDateTime &to, const CycleCursor &after, int limit,
                           QJsonArray *cycles, CycleCursor *next, QString *message);

    // A CSV cell: quoted when it holds a comma, a quote or a line end, and behind a single quote inside the
    // quotes when it starts with =, +, -, @, a tab or a carriage return, so that a spreadsheet shows it as text.
    static QByteArray csvField(const QString &text);

private:
    LedgerConnection &m_connection;
};
