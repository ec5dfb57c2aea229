#pragma once

#include <QString>
#include <QStringList>

// The line's shared record of issued sets as the write cycle sees it: a set is claimed after the local
// history record and before the flash save, and marked written after the save; a read cycle confirms what it
// found. The worker holds none when the station works alone on its history files.
class IdentityClaims
{
public:
    enum Result : int
    {
        Done = 0,
        Held,        // another handset holds an identity of the set: the message names it, its station and when
        Unreachable, // the ledger cannot be reached: nothing may be written until it is back
        Failed,
    };

    // The identities of one handset; empty fields are left out, IMEIs in their order.
    struct Set
    {
        QStringList imeis;
        QString mbsn;
        QString psn;
        QString bt;
    };

    virtual ~IdentityClaims() = default;

    virtual Result claim(const Set &set, const QString &port, const QString &chipId, qint64 *claimId,
                         QString *message) = 0;
    virtual Result markWritten(qint64 claimId, QString *message) = 0;
    virtual Result confirmRead(const Set &set, const QString &port, const QString &chipId, QString *message) = 0;
};
