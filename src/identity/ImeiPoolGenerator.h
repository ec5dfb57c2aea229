#pragma once

#include <QCoreApplication>

class IdentityFrontEnd;
class ImeiPool;
class IssuedIdentities;
class ToolSettings;

// Turns the initial number and the mask ("*" marks a counter position) into a series of IMEI sets.
class ImeiPoolGenerator final
{
    Q_DECLARE_TR_FUNCTIONS(ImeiPoolGenerator)

public:
    // Appends to the pool at its total. False, after a critical box, when a counter position of the initial
    // number is not a digit; true otherwise, also when every value was skipped as issued before.
    static bool generateImeiPool(const ToolSettings &settings, ImeiPool &pool, const IssuedIdentities &issued,
                                 IdentityFrontEnd &frontEnd);
};
