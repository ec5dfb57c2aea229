#pragma once

#include "device/StationStatus.h"

#include <QString>

class QIODevice;

// The identity fields of the window, in the order the operator fills them.
enum class IdentityField : int
{
    Imei1 = 0,
    Imei2,
    Imei3,
    Imei4,
    Mbsn,
    Psn,
    Bt,
};

// What the identity sources show and ask of the operator. The window implements it; tests record it.
// Everything here is called on the window's thread.
class IdentityFrontEnd
{
public:
    virtual ~IdentityFrontEnd() = default;

    virtual void logLine(const QString &text, LineColour colour) = 0;
    virtual void clearLog() = 0;
    // A modal critical box titled "Error".
    virtual void criticalBox(const QString &text) = 0;
    // A modal warning box titled "Error"; a front end without one shows the critical box.
    virtual void warningBox(const QString &text) { criticalBox(text); }

    virtual QString fieldText(IdentityField field) const = 0;
    virtual void setFieldText(IdentityField field, const QString &text) = 0;
    virtual void focusField(IdentityField field, bool selectAll) = 0;

    // The status panel's state (PanelStates::StatusState).
    virtual void setStatusState(int state) = 0;
    // Ends the running write cycle as the Stop button would.
    virtual void endCycle() = 0;

    // The run's IMEI adjustment log; null when the run keeps none.
    virtual QIODevice *adjustmentLog() const = 0;
};
