#pragma once

#include "ledger/LedgerConnection.h"

#include <QCoreApplication>
#include <QStringList>

// The pools the owner copied into the ledger from the line's workbooks (ledger add-pool): what the line view counts
// down. A pool never changes: the same values under its name again add nothing, other values are refused, and so
// is a value another pool holds.
class LedgerPools final
{
    Q_DECLARE_TR_FUNCTIONS(LedgerPools)

public:
    explicit LedgerPools(LedgerConnection &connection) : m_connection(connection) {}

    // `kind` 1 (IMEI sets, each by its first IMEI), 2 (MBSN) or 4 (PSN). Values claimed already count as used.
    // Stations' claims wait meanwhile, so that none slips between the pool's values and their marks.
    LedgerStatus add(const QString &name, int kind, const QStringList &values, bool *added, QString *message);

private:
    LedgerStatus abandon(const LedgerRows &rows, QString *message);

    LedgerConnection &m_connection;
};
