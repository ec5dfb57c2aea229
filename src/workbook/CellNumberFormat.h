#pragma once

#include <QString>
#include <QStringView>

// The text a spreadsheet shows for a number cell, from the cell's number format code.
//
// An integral number that is not a date or a percentage shows all its digits, padded with zeros to the
// integer digits the format asks for ("000000000000000" keeps a leading zero), never an exponent form:
// identities stored as numbers must come out whole. Dates and times follow the format's tokens; other
// numbers follow the format's decimals, grouping, percent and exponent, or up to 15 significant digits
// under "General".
class CellNumberFormat final
{
public:
    // The format code of a built-in format number (0 "General", 14 a date, 49 "@" ...); "General" for
    // numbers without a code of their own.
    static QString builtinCode(int id);
    static QString display(double value, QStringView formatCode, bool date1904 = false);
    // Digits of an integral value, or up to 15 significant digits of any other.
    static QString general(double value);
    static bool isDateCode(QStringView formatCode);
};
