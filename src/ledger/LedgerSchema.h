#pragma once

#include "ledger/LedgerConnection.h"

#include <QString>

// The ledger's tables in the schema "ledger" of a database, and their version. The ledger command creates
// them (and brings an older version up to date); a station only checks the version when it starts.
//
// Stations log in as roles of their own, members of one group role that holds their privileges: they may
// read everything and insert the columns of claims, identities and read confirmations that are theirs; they
// may mark only their own claims written and take counter blocks only through ledger.take_block; nothing can
// be deleted or rewritten. Each login role is bound to one station name, which the server puts into every
// row of that role (a row asking for another name is refused). Rules the grants cannot express (a claim goes
// from claimed to written and no further, the station and the times of a row are the server's) are kept by
// row policies and triggers.
class LedgerSchema final
{
public:
    static constexpr int currentVersion = 5;
    static QString defaultStationRole() { return QStringLiteral("ledger_station"); }
    // The group role of the line view's logins: it may read the line's records and look up an API client's
    // token, nothing more (no claim, mark, counter block or token).
    static QString readerRole() { return QStringLiteral("ledger_reader"); }

    // Creates the schema, or brings it up to `version` (the current one unless an older is asked for), in one
    // transaction; creates the stations' group role when it does not exist. A newer schema than this program
    // knows is refused. While another session holds the ledger's locks the wait ends with the connection's
    // lock timeout, and the message names the sessions that hold them.
    static LedgerStatus create(LedgerConnection &connection, const QString &stationRole, QString *message,
                               int version = currentVersion);
    // The version in the database: 0 when there is no ledger yet.
    static LedgerStatus version(LedgerConnection &connection, int *version, QString *message);
    // The start-up check: Ok only when the schema is there at the current version.
    static LedgerStatus check(LedgerConnection &connection, QString *message);
    // A login role for one station, member of the stations' group role (whose name the schema keeps), bound
    // to the station's name (again: bound anew). A name another role holds is refused.
    static LedgerStatus addStation(LedgerConnection &connection, const QString &role, const QString &station,
                                   QString *message);
    // A login role for the line view (ledger serve), member of the read-only group role; a station's role or a
    // superuser is refused, since the view must not be able to claim.
    static LedgerStatus addReader(LedgerConnection &connection, const QString &role, QString *message);
    // A shared counter, added by the owner: `name` as the stations ask for it ("DefaultIMEI:35000000",
    // "BT:001122334400-001122334500", another name), handing out `first` to `last` in blocks of `blockSize`.
    // `added` is false when the same counter is there already; another range under the name is Refused (a
    // counter never changes), as is a range outside what the name stands for.
    static LedgerStatus addCounter(LedgerConnection &connection, const QString &name, qint64 first, qint64 last,
                                   qint64 blockSize, bool *added, QString *message);
    // Role and station names: letters, digits, '_' and '-', 1 to 63 characters (a role's name must fit, and
    // the name reaches logs, CSV files and connection settings unquoted).
    static bool isValidName(const QString &name);
};
