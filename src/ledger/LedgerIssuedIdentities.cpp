#include "ledger/LedgerIssuedIdentities.h"

#include "ledger/Ledger.h"

#include <QCoreApplication>

LedgerIssuedIdentities::LedgerIssuedIdentities(const IssuedIdentities &local, Ledger &ledger, TroubleFunction onTrouble)
    : m_local(local), m_ledger(ledger), m_onTrouble(std::move(onTrouble))
{
}

void LedgerIssuedIdentities::troubled(const QString &message) const
{
    if (!m_down.exchange(true) && m_onTrouble) {
        m_onTrouble(QCoreApplication::translate("LedgerIssuedIdentities",
                                                "The line's ledger cannot answer (%1): only this station's history "
                                                "is asked, and nothing is written until the ledger is back.")
                        .arg(message));
    }
}

bool LedgerIssuedIdentities::isIssued(int kind, const QString &value) const
{
    return areIssued(kind, {value}).value(0);
}

QVector<bool> LedgerIssuedIdentities::areIssued(int kind, const QStringList &values) const
{
    QVector<bool> answers = m_local.areIssued(kind, values);
    QStringList ask;
    QVector<qsizetype> where;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (!answers.at(i) && !values.at(i).isEmpty()) {
            ask.append(values.at(i));
            where.append(i);
        }
    }
    if (ask.isEmpty())
        return answers;
    QVector<bool> held;
    QString message;
    if (m_ledger.issued(kind, ask, &held, &message) != LedgerStatus::Ok) {
        // A wait the operator stopped is no outage; the claim keeps the set apart all the same.
        if (!m_ledger.givenUp())
            troubled(message);
        return answers;
    }
    m_down = false;
    for (qsizetype i = 0; i < where.size(); ++i)
        answers[where.at(i)] = held.at(i);
    return answers;
}
