#pragma once

#include "identity/IdentityFrontEnd.h"

#include <QStringList>

// What the write and read cycle shows and asks of the operator beside what the identity sources do. The window
// implements it; tests record it. Everything here is called on the window's thread.
class StationFrontEnd : public IdentityFrontEnd
{
public:
    // The control buttons by StationStates::StationState.
    virtual void showStationState(int state) = 0;
    virtual void showPort(const QString &port) = 0;
    // The production counters: usable or not, and one more cycle counted.
    virtual void setCountersEnabled(bool enabled) = 0;
    virtual void countCycle(bool passed) = 0;

    virtual QString versionText() const = 0;
    virtual void setVersionText(const QString &text) = 0;
    virtual void setVersionEditable(bool editable) = 0;
    virtual void focusVersion() = 0;

    // The operator-entered fields, or all of them.
    virtual void clearOperatorFields() = 0;
    virtual void clearFields() = 0;
    virtual void focusFirstField() = 0;
    // Maximum length 15 for IMEI fields 1 to `count`.
    virtual void setImeiMaxLength(int count) = 0;
    // The values of a cycle in the fields, with a warning for every empty one.
    virtual void showValues(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt) = 0;
};
