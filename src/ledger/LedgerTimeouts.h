#pragma once

// How long a ledger connection waits, in seconds ([Ledger] keys of cfg/line.ini in brackets). A stalled or
// unreachable ledger, or a station holding a lock, thus ends an operation with an error within these bounds
// instead of freezing the station.
struct LedgerTimeouts
{
    int connect = 5;            // (ConnectTimeout) reaching the server and logging in
    int statement = 10;         // (StatementTimeout) one statement; the station gives up a little after it
    int lock = 3;               // (LockTimeout) a lock held by another session
    int idleInTransaction = 10; // (IdleInTransactionTimeout) the server ends a session stuck in a transaction
    int keepalive = 5;          // (KeepaliveTime) TCP keepalive probes of an idle connection, three before it fails

    // The longest a station waits for one statement's answer before it drops the connection.
    int answerWithin() const { return statement + 2; }
};
