#pragma once

#include "ledger/Ledger.h"
#include "ledger/LedgerConnection.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QVector>

// Brings a station's history files into the ledger: each IMEI record becomes a written set of that station
// at the record's time; each line of the MBSN, PSN and Bluetooth histories, which carry no time, a set of
// its own at the import's time. Identities the ledger holds already are not taken twice: those of another station are
// reported as shared (two handsets of the line carry them), those of this station as imported before. Runs as the
// ledger's owner, in transactions of a few thousand records.
class HistoryImport final
{
public:
    struct Shared
    {
        int kind = 0;
        QString value;
        QString otherStation; // empty when the repeat is inside this station's own history
        QDateTime otherAt;
    };
    struct KindCount
    {
        qint64 read = 0;
        qint64 added = 0;
        qint64 importedBefore = 0;
        qint64 invalid = 0;
    };
    struct Report
    {
        KindCount counts[4]; // IMEI, MBSN, PSN, Bluetooth
        QVector<Shared> shared;
        qint64 undated = 0; // IMEI records whose time could not be read: stamped with the import's time
        QStringList notes;
    };

    HistoryImport(LedgerConnection &connection, const QString &station);

    // `dir` is the station's application directory (holding cfg/) or its cfg directory itself.
    LedgerStatus run(const QString &dir, Report *report, QString *message);

    static int kindIndex(int kind);

private:
    struct Record
    {
        QDateTime at; // invalid: the import's time
        QVector<LedgerIdentity> identities;
    };
    bool readFiles(const QString &cfgDir, QVector<Record> *records, Report *report, QString *message);
    LedgerStatus importBatch(const QVector<Record> &records, qsizetype from, qsizetype to, Report *report,
                             QString *message);

    LedgerConnection &m_connection;
    const QString m_station;
    QSet<QString> m_seen; // "kind:value" of this import so far
};
