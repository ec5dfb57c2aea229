#pragma once

#include "LedgerConnection.h"

#include <QString>

// The ledger's tables in the schema "ledger" of a database, and their version. The ledger command creates
// them (and brings an older version up to date); a station only checks the version when it starts.
//
// Stations log in as roles of their own, members of one group role that holds their privileges: they may
// read everything and insert claims, identities, read confirmations and counter blocks; they may mark only
// their own claims written and advance a counter; nothing can be deleted or rewritten. Rules the grants
// cannot express (a claim goes from claimed to written and no further, the station and the times of a row
// are the server's) are kept by row policies and triggers.
class LedgerSchema final
{
public:
    static constexpr int currentVersion = 1;
    static QString defaultStationRole() { return QStringLiteral("ledger_station"); }

    // Creates the schema, or brings it up to the current version, in one transaction; creates the stations'
    // group role when it does not exist. A newer schema than this program knows is refused.
    static LedgerStatus create(LedgerConnection &connection, const QString &stationRole, QString *message);
    // The version in the database: 0 when there is no ledger yet.
    static LedgerStatus version(LedgerConnection &connection, int *version, QString *message);
    // The start-up check: Ok only when the schema is there at the current version.
    static LedgerStatus check(LedgerConnection &connection, QString *message);
    // A login role for one station, member of the stations' group role (whose name the schema keeps).
    static LedgerStatus addStation(LedgerConnection &connection, const QString &role, QString *message);
};
