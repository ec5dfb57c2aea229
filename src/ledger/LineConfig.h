#pragma once

#include "ledger/LedgerTimeouts.h"

#include <QString>

// cfg/line.ini: where the line's ledger is and which station this is. Without the file the station works alone on
// its history files; a file that is there must name a ledger.
//
//   [Ledger]
//   Connection=host=ledger.line.lan dbname=line user=station07 sslmode=verify-full
//   Station=LINE1-07
//   SharedCounters=true
//   CounterBlock=100
//   LockTimeout=3          (and ConnectTimeout, StatementTimeout, IdleInTransactionTimeout, KeepaliveTime:
//                           seconds, see LedgerTimeouts)
//
// The connection is a libpq connection string (key=value pairs or a postgresql:// URI). It must not hold a
// password: libpq finds one in the user's password file (~/.pgpass) or a service file.
struct LineConfig
{
    bool configured = false;
    QString connection;
    QString station;
    // Whether the advancing counters (default IMEI, Bluetooth range) are taken in blocks from the ledger.
    bool sharedCounters = false;
    int counterBlock = 100;
    LedgerTimeouts timeouts;

    static constexpr qint64 MaxFileSize = 64 * 1024;

    static QString defaultPath() { return QStringLiteral("cfg/line.ini"); }
    // A missing file gives an unconfigured line and true; a file that is there but wrong gives false and a
    // message naming the line and the fault (never the connection string itself).
    static bool load(const QString &path, LineConfig *config, QString *message);
    // Checks a connection string: it must parse and hold no password. `source` names where it comes from (the
    // file, or the command line's option) in the message, which never quotes the string.
    static bool checkConnection(const QString &connection, const QString &source, QString *message);
};
