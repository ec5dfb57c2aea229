#pragma once

#include <QCoreApplication>
#include <QString>

class IdentityFrontEnd;
class IdentityPool;
class IssuedIdentities;
class ToolSettings;

// MBSN and PSN values: a custom series from an initial text and a mask ("*" counter positions, "##" the month,
// "%%" the day), or a time stamp with millisecond resolution. `kind` is RunMbsn or RunPsn.
class SerialGenerator final
{
    Q_DECLARE_TR_FUNCTIONS(SerialGenerator)

public:
    // Appends to the pool at its total. False, after a critical box, when a counter position of the initial
    // text is neither a letter nor a digit.
    static bool generateSerialPool(const ToolSettings &settings, int kind, IdentityPool &pool,
                                   const IssuedIdentities &issued, IdentityFrontEnd &frontEnd);
    // "yyyyMMddhhmmsszzz" of a millisecond no earlier stamp of this record used, brought to `length`.
    static QString serialByTime(ToolSettings &settings, int length);
    // A new stamp into the pool (as its only value) and into the current value; false, after an error line,
    // when the history holds it.
    static bool takeSerialByTime(ToolSettings &settings, int kind, IdentityPool &pool, const IssuedIdentities &issued,
                                 IdentityFrontEnd &frontEnd);
    static bool isValidSerial(const QString &text, int maxLength);
};
