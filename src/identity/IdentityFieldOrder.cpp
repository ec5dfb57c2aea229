#include "identity/IdentityFieldOrder.h"

#include "config/ToolSettings.h"

#include <algorithm>

namespace {
constexpr IdentityField Order[] = {IdentityField::Imei1, IdentityField::Imei2, IdentityField::Imei3,
                                   IdentityField::Imei4, IdentityField::Mbsn,  IdentityField::Psn,
                                   IdentityField::Bt};
}

int IdentityFieldOrder::imeiCount(const ToolSettings &settings)
{
    return std::clamp(settings.ImeiNum, 0, 4);
}

bool IdentityFieldOrder::isEnabled(const ToolSettings &settings, IdentityField field)
{
    switch (field) {
    case IdentityField::Imei1:
    case IdentityField::Imei2:
    case IdentityField::Imei3:
    case IdentityField::Imei4:
        return (settings.RunType & RunImei) && int(field) < imeiCount(settings);
    case IdentityField::Mbsn:
        return settings.RunType & RunMbsn;
    case IdentityField::Psn:
        return settings.RunType & RunPsn;
    case IdentityField::Bt:
        return settings.RunType & RunBt;
    }
    return false;
}

bool IdentityFieldOrder::isOperatorEntered(const ToolSettings &settings, IdentityField field)
{
    if (!isEnabled(settings, field))
        return false;
    switch (field) {
    case IdentityField::Mbsn:
        return settings.MbsnInputType == InputManual;
    case IdentityField::Psn:
        return settings.PsnInputType == InputManual;
    case IdentityField::Bt:
        return settings.BTInputType == InputManual;
    default:
        return settings.imeiInputTypes.value(int(field), -1) == InputManual;
    }
}

std::optional<IdentityField> IdentityFieldOrder::first(const ToolSettings &settings)
{
    for (IdentityField field : Order) {
        if (isOperatorEntered(settings, field))
            return field;
    }
    return std::nullopt;
}

std::optional<IdentityField> IdentityFieldOrder::after(const ToolSettings &settings, IdentityField field)
{
    for (IdentityField next : Order) {
        if (int(next) > int(field) && isOperatorEntered(settings, next))
            return next;
    }
    return std::nullopt;
}
