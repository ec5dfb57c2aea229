#pragma once

#include "identity/IssuedIdentities.h"

class ToolSettings;

// The duplicate test over the station's own histories, as loaded from cfg/ and extended by the worker.
class LocalIssuedIdentities final : public IssuedIdentities
{
public:
    explicit LocalIssuedIdentities(const ToolSettings &settings) : m_settings(settings) {}

    bool isIssued(int kind, const QString &value) const override;

private:
    const ToolSettings &m_settings;
};
