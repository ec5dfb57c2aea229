#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Whether an identity was issued before: the one seam through which every source runs its duplicate test.
// The station's history files stand behind it; a store shared by the stations of a line can stand beside them.
// `kind` is the RunType bit of the identity: 1 IMEI, 2 MBSN, 4 PSN, 8 Bluetooth address.
class IssuedIdentities
{
public:
    virtual ~IssuedIdentities() = default;

    // IMEIs follow the IMEI history's rule (a record whose IMEI part contains the text); the other kinds are
    // exact, case-sensitive matches.
    virtual bool isIssued(int kind, const QString &value) const = 0;
    // One answer per value, in order; sources that test many values at once call this.
    virtual QVector<bool> areIssued(int kind, const QStringList &values) const
    {
        QVector<bool> answers;
        answers.reserve(values.size());
        for (const QString &value : values)
            answers.append(isIssued(kind, value));
        return answers;
    }
};
