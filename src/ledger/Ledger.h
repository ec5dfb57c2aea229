#pragma once

#include "ledger/LedgerConnection.h"

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>

// One identity of a set: `kind` is its RunType bit (1 IMEI, 2 MBSN, 4 PSN, 8 Bluetooth address);
// `position` orders the IMEIs of a set (1 to 4).
struct LedgerIdentity
{
    int kind = 0;
    QString value;
    int position = 1;
};

// Who holds an identity, and since when (the claim's time, or the write's once written).
struct LedgerHolder
{
    int kind = 0;
    QString value;
    QString station;
    QString state; // "claimed" or "written"
    QDateTime at;
    qint64 cycleId = 0;
};

struct LedgerClaim
{
    LedgerStatus status = LedgerStatus::Failed;
    qint64 cycleId = 0;
    QVector<LedgerHolder> holders; // on Conflict: the identities of the set that others hold
    QString message;
};

// A station's side of the line's ledger: claims of identity sets, their marks, read confirmations,
// duplicate queries and counter blocks. Safe to call from several threads: one connection behind a lock.
// An operation that finds the server gone returns Unreachable; the next one connects again.
class LedgerCallThread;

class Ledger final
{
public:
    Ledger(const QString &connInfo, const QString &station, const LedgerTimeouts &timeouts = LedgerTimeouts());
    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;

    QString station() const { return m_station; }

    // The window's ledger: its duplicate queries and counter blocks run on `calls`, and a wait given up there
    // ends them as Unreachable with "stopped". Set before the first call; `calls` outlives the ledger's use.
    void setCallThread(LedgerCallThread *calls);
    // Whether the waits on the call thread are given up (Stop, Exit): an answer missing for that is no trouble.
    bool givenUp() const;

    // Connects and checks the schema version and that the ledger binds this login role to this station's name;
    // anything but Ok leaves a message for the operator.
    LedgerStatus open(QString *message);

    // Claims every identity of the set for this station in one transaction: all or none. Equal IMEIs of one
    // set count once. Conflict when any is held already, with the holders.
    LedgerClaim claim(const QVector<LedgerIdentity> &set, const QString &port, const QString &chipId);
    // Marks this station's claim written (again without harm after a lost answer).
    LedgerStatus markWritten(qint64 cycleId, QString *message);
    // Records the identities a read cycle found; those the ledger does not know go to `unknown`.
    LedgerStatus confirmRead(const QVector<LedgerIdentity> &set, const QString &port, const QString &chipId,
                             QVector<LedgerIdentity> *unknown, QString *message);
    // One answer per value, in order: whether the ledger holds it.
    LedgerStatus issued(int kind, const QStringList &values, QVector<bool> *answers, QString *message);
    // Takes the next block of a shared counter that the station runs from `first` to `last`: as many values as
    // the owner set for the counter (the last block may be shorter; `size` is only checked); Conflict when the
    // counter is used up. The ledger refuses a range that the counter's name does not stand for (see
    // SharedCounter::span), and a counter its owner has not added (Refused, the message naming the "ledger
    // add-counter" that adds it).
    LedgerStatus takeBlock(const QString &counter, qint64 first, qint64 last, qint64 size, qint64 *blockFirst,
                           qint64 *blockLast, QString *message);

    static QString kindName(int kind);
    // The kind a name stands for ("imei", "mbsn", "psn", "bt" in any case); -1 for none.
    static int kindOf(const QString &name);
    // "IMEI 35... is held by station S since 2026-01-02 03:04:05 (written)."
    static QString describe(const LedgerHolder &holder);

private:
    LedgerStatus issuedHere(int kind, const QStringList &values, QVector<bool> *answers, QString *message);
    LedgerStatus takeBlockHere(const QString &counter, qint64 first, qint64 last, qint64 size, qint64 *blockFirst,
                               qint64 *blockLast, QString *message);
    LedgerClaim claimOnce(const QVector<LedgerIdentity> &set, const QString &port, const QString &chipId, bool *retry);
    QVector<LedgerHolder> holdersOf(const QVector<LedgerIdentity> &set, LedgerStatus *status, QString *message);

    mutable QMutex m_mutex; // guards m_connection
    LedgerConnection m_connection;
    const QString m_station;
    LedgerCallThread *m_calls = nullptr;
};
