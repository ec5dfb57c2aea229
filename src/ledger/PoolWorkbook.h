#pragma once

#include "identity/IdentityFrontEnd.h"
#include "identity/IssuedIdentities.h"

#include <QBuffer>
#include <QStringList>

// A line's pool as its stations read it from a workbook (SheetImport, the same readers and checks): the values
// taken, and the rows refused with the station's own words. An IMEI set stands in the pool by its first IMEI, the
// one a station's claim always holds. Nothing counts as issued here and a value twice in the workbook is refused
// whatever a station's settings say: the ledger itself knows what is claimed, and a value counts once.
class PoolWorkbook final : public IdentityFrontEnd, public IssuedIdentities
{
public:
    // `kind` 1 (IMEI sets from the sheet "IMEI"), 2 (MBSN) or 4 (PSN, each of `length` characters as the
    // stations' Mbsnlen or Psnlen). False when the workbook could not be read; `failure` says why.
    bool read(int kind, const QString &path, int length);

    const QStringList &values() const { return m_values; }
    const QStringList &refusals() const { return m_refusals; }
    // The IMEIs whose check digit was repaired, as a station logs them.
    QStringList adjustments() const;
    const QString &failure() const { return m_failure; }

    void logLine(const QString &text, LineColour colour) override;
    void clearLog() override {}
    void criticalBox(const QString &text) override { m_failure = text; }
    QString fieldText(IdentityField) const override { return {}; }
    void setFieldText(IdentityField, const QString &) override {}
    void focusField(IdentityField, bool) override {}
    void setStatusState(int) override {}
    void endCycle() override {}
    QIODevice *adjustmentLog() const override { return &m_adjustments; }

    bool isIssued(int, const QString &) const override { return false; }

private:
    QStringList m_values;
    QStringList m_refusals;
    QString m_failure;
    mutable QBuffer m_adjustments; // written through adjustmentLog()
};
