#pragma once

#include "identity/IdentityFrontEnd.h"

#include <optional>

class ToolSettings;

// Which identity fields the operator fills and in which order: the Return chain and the first focus follow it.
// IMEI fields count up to ImeiNum (at most four); MBSN, PSN and the Bluetooth address follow the IMEIs.
class IdentityFieldOrder final
{
public:
    // The field's identity is in RunType (and, for an IMEI, within ImeiNum).
    static bool isEnabled(const ToolSettings &settings, IdentityField field);
    // Enabled and typed or scanned by the operator (input type 0).
    static bool isOperatorEntered(const ToolSettings &settings, IdentityField field);
    // The first operator-entered field; none when the tool produces every identity.
    static std::optional<IdentityField> first(const ToolSettings &settings);
    // The operator-entered field after `field`; none when `field` is the last and the write starts.
    static std::optional<IdentityField> after(const ToolSettings &settings, IdentityField field);
    // IMEIs per handset as the fields use them: ImeiNum, at most four.
    static int imeiCount(const ToolSettings &settings);
};
