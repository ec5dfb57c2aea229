#pragma once

#include "identity/IssuedIdentities.h"

struct StationHistories;

// The duplicate test over the station's own histories, as loaded from cfg/ and extended by the worker.
class LocalIssuedIdentities final : public IssuedIdentities
{
public:
    explicit LocalIssuedIdentities(const StationHistories &histories) : m_histories(histories) {}

    bool isIssued(int kind, const QString &value) const override;

private:
    const StationHistories &m_histories;
};
